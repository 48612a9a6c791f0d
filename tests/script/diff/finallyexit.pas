program DiffFinallyexit;
var log: string;

function Guarded(n: integer): integer;
begin
  Result := 0;
  try
    if n > 0 then
    begin
      Result := n;
      exit;
    end;
    Result := -1;
  finally
    log := log + 'f';
  end;
end;

begin
  log := '';
  WriteLn(Guarded(3), ' ', Guarded(0), ' ', log);
end.
