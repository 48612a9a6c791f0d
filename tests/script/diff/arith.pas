program DiffArith;
var a, b: integer;
begin
  a := 17; b := 5;
  WriteLn(a + b, ' ', a - b, ' ', a * b, ' ', a div b, ' ', a mod b);
  WriteLn(-a div b, ' ', -a mod b, ' ', a div -b, ' ', a mod -b);
  WriteLn((a + b) * (a - b), ' ', a * b + a div b - a mod b);
end.
