(: Строки таблицы материалов: №, наименование, ед., количество. :)
declare variable $inputDocument external;
string-join(
  for $material at $n in doc($inputDocument)/act/materials/material
  return string-join((string($n), $material/name, $material/unit, $material/quantity), '&#9;'),
  '&#10;')
