declare variable $inputDocument external;
declare variable $s external;
declare function local:money($value as xs:decimal) as xs:string {
  let $kopecks := xs:integer(round($value * 100))
  return concat(local:groups($kopecks idiv 100), ',', substring(string(100 + $kopecks mod 100), 2))
};
declare function local:groups($n as xs:integer) as xs:string {
  if ($n lt 1000) then string($n)
  else concat(local:groups($n idiv 1000), '&#160;', substring(string(1000 + $n mod 1000), 2))
};
concat(local:money(doc($inputDocument)/contract/stages/stage[$s]/price), ' руб.')
