(: Число позиций перечня материалов. При 0 раздел-приложение удаляется (delete_empty_section). :)
declare variable $inputDocument external;
count(doc($inputDocument)/act/materials/material)
