declare variable $inputDocument external;
string(doc($inputDocument)/act/@number)
