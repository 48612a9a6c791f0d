program DiffForbreak;
var i, j, n: integer;
begin
  n := 0;
  for i := 1 to 10 do
  begin
    if i mod 3 = 0 then continue;
    if i > 8 then break;
    for j := i downto 1 do n := n + j;
  end;
  WriteLn(n);
end.
