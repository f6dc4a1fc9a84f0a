(: Число особых условий. Может быть 0: блок с keep_empty всё равно выводится один раз. :)
declare variable $inputDocument external;
count(doc($inputDocument)/contract/terms/term)
