program DiffConsts;
const
  Base = 10;
  Name = 'pxs';
var n, digits: integer;
begin
  n := 987654;
  digits := 0;
  while n > 0 do
  begin
    n := n div Base;
    digits := digits + 1;
  end;
  WriteLn(Name, ' ', digits, ' ', Base * Base);
end.
