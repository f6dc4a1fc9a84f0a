declare variable $inputDocument external;
string-join(reverse(tokenize(doc($inputDocument)/act/period/@to, '-')), '.')
