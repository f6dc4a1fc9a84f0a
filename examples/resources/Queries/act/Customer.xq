declare variable $inputDocument external;
let $c := doc($inputDocument)/act/customer
return string-join(($c/name, concat('ИНН ', $c/inn), for $kpp in $c/kpp return concat('КПП ', $kpp)), ', ')
