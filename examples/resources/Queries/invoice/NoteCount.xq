(: Сколько раз повторить блок примечаний. :)
declare variable $inputDocument external;
count(doc($inputDocument)/invoice/notes/note)
