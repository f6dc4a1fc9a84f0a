declare variable $inputDocument external;
string(doc($inputDocument)/invoice/totalInWords)
