program DiffDigits;
uses SysUtils;
function DigitSum(n: integer): integer;
begin
  Result := 0;
  while n > 0 do
  begin
    Result := Result + n mod 10;
    n := n div 10;
  end;
end;

var i: integer; s: string;
begin
  s := '';
  for i := 95 to 105 do s := s + IntToStr(DigitSum(i)) + ' ';
  WriteLn(s);
  WriteLn(StrToInt('123') + 1);
end.
