program DiffBoolops;
var a, b: integer; r: string;
begin
  r := '';
  for a := 0 to 3 do
    for b := 0 to 3 do
      if (a > 1) and (b < 2) or (a = b) then r := r + 'y' else r := r + 'n';
  WriteLn(r);
  if not (r = '') then WriteLn('nonempty');
end.
