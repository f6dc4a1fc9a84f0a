(: Число этапов: столько раз повторяются лист этапа (переменная s) и форма акта (переменная f). :)
declare variable $inputDocument external;
count(doc($inputDocument)/contract/stages/stage)
