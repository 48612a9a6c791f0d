program DiffNestedif;
function Sign(n: integer): integer;
begin
  if n > 0 then Result := 1
  else if n < 0 then Result := -1
  else Result := 0;
end;

begin
  WriteLn(Sign(5), Sign(-3), Sign(0));
  if Sign(2) = 1 then
    if Sign(-2) = 1 then WriteLn('no') else WriteLn('inner else')
  else WriteLn('outer else');
end.
