(: Имя документа при переименовании: «Заречная мануфактура №147 от 12.03.2024». :)
declare variable $inputDocument external;
let $invoice := doc($inputDocument)/invoice
return concat($invoice/buyer/shortName, ' №', $invoice/@number, ' от ',
              string-join(reverse(tokenize($invoice/@date, '-')), '.'))
