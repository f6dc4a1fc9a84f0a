(: 2024-02-12 -> «12 февраля 2024 г.» :)
declare variable $inputDocument external;
declare function local:date($d as xs:date) as xs:string {
  concat(day-from-date($d), ' ',
         ('января', 'февраля', 'марта', 'апреля', 'мая', 'июня', 'июля',
          'августа', 'сентября', 'октября', 'ноября', 'декабря')[month-from-date($d)],
         ' ', year-from-date($d), ' г.')
};
local:date(xs:date(doc($inputDocument)/contract/@date))
