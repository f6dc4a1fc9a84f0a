(: Строки таблицы товаров: ячейки через табуляцию, строки через перевод строки.
   Порядок ячеек как в шаблонной строке: №, наименование, количество, ед., цена, сумма. :)
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
  for $item at $n in doc($inputDocument)/invoice/items/item
  return string-join((string($n), $item/name, $item/quantity, $item/unit,
                      local:money($item/price),
                      local:money(xs:decimal($item/quantity) * xs:decimal($item/price))), '&#9;'),
  '&#10;')
