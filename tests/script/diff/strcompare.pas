program DiffStrcompare;
var a, b: string;
begin
  a := 'apple'; b := 'apricot';
  if a < b then WriteLn('a<b') else WriteLn('a>=b');
  if a + 'x' = 'applex' then WriteLn('eq');
  if Copy(b, 1, 2) = Copy(a, 1, 2) then WriteLn('same prefix');
  if a <> b then WriteLn('differ');
end.
