(: Адрес в несколько строк: команда стоит одна в абзаце, и каждая строка становится абзацем. :)
declare variable $inputDocument external;
string-join(doc($inputDocument)/act/contractor/address/line, '&#10;')
