program DiffExit;
function Find(s: string; c: string): integer;
var i: integer;
begin
  Result := 0;
  for i := 1 to Length(s) do
    if s[i] = c then
    begin
      Result := i;
      exit;
    end;
end;

begin
  WriteLn(Find('abcdef', 'd'), ' ', Find('abc', 'z'), ' ', Find('aaa', 'a'));
end.
