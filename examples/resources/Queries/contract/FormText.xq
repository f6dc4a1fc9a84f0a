(: Текст формы акта для этапа $f: результаты этапа через точку с запятой и стоимость. :)
declare variable $inputDocument external;
declare variable $f external;
declare function local:money($value as xs:decimal) as xs:string {
  let $kopecks := xs:integer(round($value * 100))
  return concat(local:groups($kopecks idiv 100), ',', substring(string(100 + $kopecks mod 100), 2))
};
declare function local:groups($n as xs:integer) as xs:string {
  if ($n lt 1000) then string($n)
  else concat(local:groups($n idiv 1000), '&#160;', substring(string(1000 + $n mod 1000), 2))
};
let $contract := doc($inputDocument)/contract
let $stage := $contract/stages/stage[$f]
return concat('Исполнитель передал, а Заказчик принял результаты этапа ', $f,
              ' по договору подряда № ', $contract/@number, ': ',
              string-join($stage/deliverables/deliverable, '; '),
              '. Стоимость этапа составляет ', local:money($stage/price), ' руб.')
