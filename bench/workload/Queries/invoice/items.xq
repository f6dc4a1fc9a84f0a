declare variable $inputDocument external;
string-join(
  for $it in doc($inputDocument)/invoice/items/item
  return string-join(($it/no, $it/name, $it/qty, $it/price, $it/amount), "&#9;"),
  "&#10;")
