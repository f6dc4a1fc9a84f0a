declare variable $inputDocument external;
string-join(doc($inputDocument)/act/customer/address/line, '&#10;')
