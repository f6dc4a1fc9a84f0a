(: Имя документа при переименовании: «Белый парус №2024-031 от 29.03.2024». :)
declare variable $inputDocument external;
let $act := doc($inputDocument)/act
return concat($act/customer/shortName, ' №', $act/@number, ' от ',
              string-join(reverse(tokenize($act/@date, '-')), '.'))
