program DiffReraise;
uses SysUtils;
procedure Inner;
begin
  raise Exception.Create('deep');
end;

procedure Middle;
begin
  try
    Inner;
  except
    on E: Exception do
    begin
      WriteLn('middle saw ', E.Message);
      raise;
    end;
  end;
end;

begin
  try
    Middle;
  except
    on E: Exception do WriteLn('outer saw ', E.Message);
  end;
end.
