(: Окончание работ: дата окончания последнего этапа. :)
declare variable $inputDocument external;
declare function local:date($d as xs:date) as xs:string {
  concat(day-from-date($d), ' ',
         ('января', 'февраля', 'марта', 'апреля', 'мая', 'июня', 'июля',
          'августа', 'сентября', 'октября', 'ноября', 'декабря')[month-from-date($d)],
         ' ', year-from-date($d), ' г.')
};
local:date(max(doc($inputDocument)/contract/stages/stage/xs:date(end)))
