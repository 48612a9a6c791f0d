program DiffArrays;
var a: array[1..10] of integer; i, j, t: integer;
begin
  for i := 1 to 10 do a[i] := (i * 7) mod 11;
  for i := 1 to 9 do
    for j := 1 to 10 - i do
      if a[j] > a[j + 1] then
      begin
        t := a[j]; a[j] := a[j + 1]; a[j + 1] := t;
      end;
  for i := 1 to 10 do Write(a[i], ' ');
  WriteLn;
end.
