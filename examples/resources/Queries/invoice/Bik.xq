declare variable $inputDocument external;
string(doc($inputDocument)/invoice/supplier/bank/bik)
