program DiffGlobals;
var counter: integer;

procedure Tick(n: integer);
begin
  counter := counter + n;
end;

function Total: integer;
begin
  Tick(1);
  Result := counter * 2;
end;

begin
  counter := 0;
  Tick(5); Tick(10);
  WriteLn(counter, ' ', Total, ' ', counter);
end.
