program DiffCase;
function Grade(n: integer): string;
begin
  case n of
    0..49: Result := 'F';
    50..69: Result := 'C';
    70, 71, 72: Result := 'B-';
    73..89: Result := 'B';
  else Result := 'A';
  end;
end;

var i: integer;
begin
  i := 0;
  while i <= 100 do
  begin
    Write(Grade(i), ' ');
    i := i + 7;
  end;
  WriteLn;
end.
