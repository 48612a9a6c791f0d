program DiffVarparams;
procedure Swap(var a, b: integer);
var t: integer;
begin
  t := a; a := b; b := t;
end;

procedure AddTo(var total: integer; n: integer);
begin
  total := total + n;
  n := 0;
end;

var x, y, s, k: integer;
begin
  x := 1; y := 2;
  Swap(x, y);
  WriteLn(x, ' ', y);
  s := 0; k := 7;
  AddTo(s, k); AddTo(s, k); AddTo(s, 3);
  WriteLn(s, ' ', k);
end.
