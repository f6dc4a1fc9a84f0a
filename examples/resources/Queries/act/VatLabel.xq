declare variable $inputDocument external;
let $rate := xs:integer(doc($inputDocument)/act/vatRate)
return if ($rate eq 0) then 'Без налога (НДС)' else concat('в том числе НДС (', $rate, '%)')
