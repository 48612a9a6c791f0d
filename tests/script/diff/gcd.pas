program DiffGcd;
function Gcd(a, b: integer): integer;
begin
  while b <> 0 do
  begin
    Result := b;
    b := a mod b;
    a := Result;
  end;
  Result := a;
end;

begin
  WriteLn(Gcd(48, 18), ' ', Gcd(17, 5), ' ', Gcd(100, 75), ' ', Gcd(0, 9));
end.
