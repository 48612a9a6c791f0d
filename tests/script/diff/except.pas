program DiffExcept;
uses SysUtils;
var a, z: integer;
begin
  z := 0;
  try
    a := 10 div z;
    WriteLn('not reached');
  except
    on E: EDivByZero do WriteLn('caught: ', E.Message);
  end;
  try
    raise Exception.Create('custom');
  except
    on E: Exception do WriteLn('got ', E.Message);
  end;
end.
