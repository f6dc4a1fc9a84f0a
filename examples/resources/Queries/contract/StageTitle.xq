(: «Этап 2. Изготовление мебели» для $s = 2. :)
declare variable $inputDocument external;
declare variable $s external;
concat('Этап ', $s, '. ', doc($inputDocument)/contract/stages/stage[$s]/title)
