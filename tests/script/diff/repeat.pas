program DiffRepeat;
var i, s: integer;
begin
  i := 0; s := 0;
  repeat
    i := i + 1;
    s := s + i * i;
  until i >= 10;
  WriteLn(s);
end.
