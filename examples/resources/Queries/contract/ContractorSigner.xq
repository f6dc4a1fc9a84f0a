declare variable $inputDocument external;
let $signer := doc($inputDocument)/contract/contractor/signer
return concat($signer/@positionGenitive, ' ', $signer/@nameGenitive, ', ', $signer/@acting)
