(: 2024-03-22 -> 22.03.2024 :)
declare variable $inputDocument external;
string-join(reverse(tokenize(doc($inputDocument)/invoice/paymentDue, '-')), '.')
