declare variable $inputDocument external;
string(doc($inputDocument)/act/customer/signer/@position)
