program DiffFib;
function Fib(n: integer): integer;
begin
  if n < 2 then Result := n
  else Result := Fib(n - 1) + Fib(n - 2);
end;

var i: integer;
begin
  for i := 0 to 20 do Write(Fib(i), ' ');
  WriteLn;
end.
