(: «с 4 марта 2024 г. по 22 марта 2024 г.» :)
declare variable $inputDocument external;
declare variable $s external;
declare function local:date($d as xs:date) as xs:string {
  concat(day-from-date($d), ' ',
         ('января', 'февраля', 'марта', 'апреля', 'мая', 'июня', 'июля',
          'августа', 'сентября', 'октября', 'ноября', 'декабря')[month-from-date($d)],
         ' ', year-from-date($d), ' г.')
};
let $stage := doc($inputDocument)/contract/stages/stage[$s]
return concat('с ', local:date(xs:date($stage/start)), ' по ', local:date(xs:date($stage/end)))
