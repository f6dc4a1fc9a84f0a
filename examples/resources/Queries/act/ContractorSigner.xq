declare variable $inputDocument external;
string(doc($inputDocument)/act/contractor/signer)
