(: Реквизиты Заказчика, по строке на абзац. :)
declare variable $inputDocument external;
let $party := doc($inputDocument)/contract/customer
return string-join((concat('ИНН ', $party/inn, ', КПП ', $party/kpp), concat('ОГРН ', $party/ogrn),
                    $party/address/line,
                    concat('р/с ', $party/bank/account, ' в ', $party/bank/name),
                    concat('к/с ', $party/bank/corrAccount, ', БИК ', $party/bank/bik)), '&#10;')
