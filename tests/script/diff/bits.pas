program DiffBits;
var a, b: integer;
begin
  a := 202; b := 115;
  WriteLn(a and b, ' ', a or b, ' ', a xor b, ' ', a shl 3, ' ', a shr 2);
  WriteLn((a and 15) + (b and 15), ' ', not 0);
end.
