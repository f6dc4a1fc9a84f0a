(: Реквизиты покупателя одной строкой; у индивидуального предпринимателя КПП нет. :)
declare variable $inputDocument external;
let $b := doc($inputDocument)/invoice/buyer
return string-join(($b/name, concat('ИНН ', $b/inn),
                    for $kpp in $b/kpp return concat('КПП ', $kpp),
                    $b/address/line), ', ')
