(: Выбирает шаблон «Договор» для XML-файлов с корневым элементом contract. :)
declare variable $inputDocument external;
exists(doc($inputDocument)/contract)
