(: Выбирает шаблон «Акт» для XML-файлов с корневым элементом act.
   Файлы с именем AKT_*.xml проверяются этим запросом раньше других (префикс соответствия). :)
declare variable $inputDocument external;
exists(doc($inputDocument)/act)
