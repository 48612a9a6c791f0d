program DiffOrd;
var s, t: string; i: integer;
begin
  s := 'Pascal';
  t := '';
  for i := 1 to Length(s) do t := t + Chr(Ord(s[i]) + 1);
  WriteLn(t, ' ', Ord('A'), ' ', Chr(66));
end.
