(: Имя файла картинки печати, относительно папки XML-файла. :)
declare variable $inputDocument external;
string(doc($inputDocument)/act/contractor/stamp)
