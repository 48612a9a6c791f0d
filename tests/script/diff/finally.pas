program DiffFinally;
uses SysUtils;
var log: string; z: integer;

procedure Work(fail: integer);
begin
  log := log + '[';
  try
    log := log + 'w';
    if fail = 1 then raise Exception.Create('x');
    log := log + 'k';
  finally
    log := log + ']';
  end;
end;

begin
  log := '';
  Work(0);
  try
    Work(1);
  except
    on E: Exception do log := log + 'e' + E.Message;
  end;
  WriteLn(log);
end.
