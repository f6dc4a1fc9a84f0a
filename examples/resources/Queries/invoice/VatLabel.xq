declare variable $inputDocument external;
let $rate := xs:integer(doc($inputDocument)/invoice/vatRate)
return if ($rate eq 0) then 'Без налога (НДС)' else concat('В том числе НДС (', $rate, '%)')
