(: Результат $d этапа $s с номером «s.d.»: видны переменные обоих блоков. :)
declare variable $inputDocument external;
declare variable $s external;
declare variable $d external;
concat($s, '.', $d, '. ', doc($inputDocument)/contract/stages/stage[$s]/deliverables/deliverable[$d])
