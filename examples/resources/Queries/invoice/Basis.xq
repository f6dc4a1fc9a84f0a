(: Пусто, если счёт выставлен без договора: шаблон подставит прочерк (replace_empty). :)
declare variable $inputDocument external;
string(doc($inputDocument)/invoice/basis)
