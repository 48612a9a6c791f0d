program DiffMatrix;
var m: array[1..3, 1..3] of integer; i, j, k, s: integer;
begin
  for i := 1 to 3 do
    for j := 1 to 3 do m[i, j] := i * 3 + j;
  s := 0;
  for i := 1 to 3 do
    for j := 1 to 3 do
      for k := 1 to 3 do s := s + m[i, k] * m[k, j];
  WriteLn(s, ' ', m[2, 3], ' ', m[3, 1]);
end.
