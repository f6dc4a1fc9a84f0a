(: Строки таблицы работ: №, наименование, ед., количество, цена, сумма, примечание.
   Пустое примечание остаётся пустой ячейкой; шаблон ставит в неё прочерк (replace_empty). :)
declare variable $inputDocument external;
declare function local:money($value as xs:decimal) as xs:string {
  let $kopecks := xs:integer(round($value * 100))
  return concat(local:groups($kopecks idiv 100), ',', substring(string(100 + $kopecks mod 100), 2))
};
declare function local:groups($n as xs:integer) as xs:string {
  if ($n lt 1000) then string($n)
  else concat(local:groups($n idiv 1000), '&#160;', substring(string(1000 + $n mod 1000), 2))
};
string-join(
  for $work at $n in doc($inputDocument)/act/works/work
  return string-join((string($n), $work/name, $work/unit, $work/quantity,
                      local:money($work/price),
                      local:money(xs:decimal($work/quantity) * xs:decimal($work/price)),
                      $work/note), '&#9;'),
  '&#10;')
