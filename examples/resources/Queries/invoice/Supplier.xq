(: Реквизиты поставщика одной строкой. :)
declare variable $inputDocument external;
let $s := doc($inputDocument)/invoice/supplier
return string-join(($s/name, concat('ИНН ', $s/inn), concat('КПП ', $s/kpp),
                    $s/address/line, concat('тел. ', $s/phone)), ', ')
