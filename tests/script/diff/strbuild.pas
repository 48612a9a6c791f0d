program DiffStrbuild;
uses SysUtils;
var s: string; i: integer;
begin
  s := '';
  for i := 1 to 12 do
  begin
    if s <> '' then s := s + ',';
    s := s + IntToStr(i * i);
  end;
  WriteLn(s);
  WriteLn(Length(s));
end.
