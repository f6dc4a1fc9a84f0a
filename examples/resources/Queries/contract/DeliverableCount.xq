(: Число результатов этапа $s: вложенный блок (переменная d) повторяется столько раз. :)
declare variable $inputDocument external;
declare variable $s external;
count(doc($inputDocument)/contract/stages/stage[$s]/deliverables/deliverable)
