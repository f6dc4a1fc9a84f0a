declare variable $inputDocument external;
declare variable $i external;
string(doc($inputDocument)/invoice/notes/note[$i])
