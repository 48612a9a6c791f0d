program DiffPalindrome;
function IsPal(s: string): integer;
var i, n: integer;
begin
  Result := 1;
  n := Length(s);
  for i := 1 to n div 2 do
    if s[i] <> s[n - i + 1] then Result := 0;
end;

begin
  WriteLn(IsPal('level'), IsPal('abca'), IsPal(''), IsPal('x'), IsPal('abba'));
end.
