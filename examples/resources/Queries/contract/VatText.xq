(: Конец фразы о цене: «в том числе НДС 20% — 98 666,67 руб.» или «НДС не облагается.» :)
declare variable $inputDocument external;
declare function local:money($value as xs:decimal) as xs:string {
  let $kopecks := xs:integer(round($value * 100))
  return concat(local:groups($kopecks idiv 100), ',', substring(string(100 + $kopecks mod 100), 2))
};
declare function local:groups($n as xs:integer) as xs:string {
  if ($n lt 1000) then string($n)
  else concat(local:groups($n idiv 1000), '&#160;', substring(string(1000 + $n mod 1000), 2))
};
let $contract := doc($inputDocument)/contract
let $rate := xs:decimal($contract/vatRate)
let $price := sum($contract/stages/stage/xs:decimal(price))
return if ($rate eq 0) then 'НДС не облагается.'
       else concat('в том числе НДС ', $rate, '% — ', local:money($price * $rate div (100 + $rate)), ' руб.')
