declare variable $inputDocument external;
count(doc($inputDocument)/invoice/items/item)
