program DiffStrings;
var s, t: string; i: integer;
begin
  s := 'Hello';
  t := '';
  for i := Length(s) downto 1 do t := t + s[i];
  WriteLn(t);
  WriteLn(Copy(s, 2, 3), '|', Length(s + t), '|', s[1], s[5]);
  s[1] := 'J';
  WriteLn(s);
end.
