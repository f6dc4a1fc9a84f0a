declare variable $inputDocument external;
concat('invoice_', doc($inputDocument)/invoice/number)
