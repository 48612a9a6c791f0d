program DiffTryinloop;
uses SysUtils;
var i, z, ok, bad: integer;
begin
  ok := 0; bad := 0;
  for i := -3 to 3 do
  begin
    z := i;
    try
      ok := ok + 100 div z;
    except
      on E: EDivByZero do bad := bad + 1;
    end;
  end;
  WriteLn(ok, ' ', bad);
end.
