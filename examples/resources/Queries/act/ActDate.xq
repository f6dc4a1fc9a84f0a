(: 2024-03-29 -> «29 марта 2024 г.» :)
declare variable $inputDocument external;
declare function local:date($d as xs:date) as xs:string {
  concat(day-from-date($d), ' ',
         ('января', 'февраля', 'марта', 'апреля', 'мая', 'июня', 'июля',
          'августа', 'сентября', 'октября', 'ноября', 'декабря')[month-from-date($d)],
         ' ', year-from-date($d), ' г.')
};
local:date(xs:date(doc($inputDocument)/act/@date))
