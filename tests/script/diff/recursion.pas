program DiffRecursion;
function Power(b, e: integer): integer;
begin
  if e = 0 then Result := 1
  else if e mod 2 = 0 then Result := Power(b * b, e div 2)
  else Result := b * Power(b, e - 1);
end;

function Ackermann(m, n: integer): integer;
begin
  if m = 0 then Result := n + 1
  else if n = 0 then Result := Ackermann(m - 1, 1)
  else Result := Ackermann(m - 1, Ackermann(m, n - 1));
end;

begin
  WriteLn(Power(3, 13), ' ', Power(2, 30), ' ', Ackermann(2, 3));
end.
