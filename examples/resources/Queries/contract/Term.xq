(: Особое условие номер $t, пункт 4.$t. Если условий нет, блок выводится один раз
   (keep_empty, $t = 1), и запрос даёт запись об их отсутствии. :)
declare variable $inputDocument external;
declare variable $t external;
let $term := doc($inputDocument)/contract/terms/term[$t]
return concat('4.', $t, '. ', if ($term) then string($term) else 'Особые условия сторонами не установлены.')
