(: «договор № 21/2024 от 12 февраля 2024 г.» :)
declare variable $inputDocument external;
declare function local:date($d as xs:date) as xs:string {
  concat(day-from-date($d), ' ',
         ('января', 'февраля', 'марта', 'апреля', 'мая', 'июня', 'июля',
          'августа', 'сентября', 'октября', 'ноября', 'декабря')[month-from-date($d)],
         ' ', year-from-date($d), ' г.')
};
let $contract := doc($inputDocument)/act/contract
return concat('договор № ', $contract/@number, ' от ', local:date(xs:date($contract/@date)))
