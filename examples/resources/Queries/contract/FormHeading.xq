(: Заголовок формы акта для этапа $f (блок iterate_start=f, каждая форма в своём разделе). :)
declare variable $inputDocument external;
declare variable $f external;
concat('Акт сдачи-приёмки этапа ', $f, ' «', doc($inputDocument)/contract/stages/stage[$f]/title, '»')
