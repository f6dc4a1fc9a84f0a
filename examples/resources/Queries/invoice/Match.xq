(: Выбирает шаблон «Счёт на оплату» для XML-файлов с корневым элементом invoice. :)
declare variable $inputDocument external;
exists(doc($inputDocument)/invoice)
