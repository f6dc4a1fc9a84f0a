declare variable $inputDocument external;
string(doc($inputDocument)/contract/contractor/signer)
