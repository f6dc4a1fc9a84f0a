(: «генерального директора Гавриловой Елены Михайловны, действующей на основании Устава» :)
declare variable $inputDocument external;
let $signer := doc($inputDocument)/contract/customer/signer
return concat($signer/@positionGenitive, ' ', $signer/@nameGenitive, ', ', $signer/@acting)
