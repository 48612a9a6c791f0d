program DiffDownto;
var i, f: integer;
begin
  f := 1;
  for i := 10 downto 1 do
  begin
    f := f * i;
    if f > 100000 then Write('big ');
  end;
  WriteLn(f);
  for i := 3 downto 5 do WriteLn('never');
end.
