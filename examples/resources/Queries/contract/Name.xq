(: Имя документа при переименовании: «Белый парус №21-2024 от 12.02.2024».
   Косая черта из номера договора в имени файла недопустима и заменяется дефисом. :)
declare variable $inputDocument external;
let $contract := doc($inputDocument)/contract
return concat($contract/customer/shortName, ' №', translate($contract/@number, '/', '-'), ' от ',
              string-join(reverse(tokenize($contract/@date, '-')), '.'))
