(: Примечание номер $n (переменная блока iterate_start=n, от 1 до NoteCount). :)
declare variable $inputDocument external;
declare variable $n external;
concat($n, '. ', doc($inputDocument)/invoice/notes/note[$n])
