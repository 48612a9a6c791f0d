program DiffHanoi;
var moves: integer;

procedure Hanoi(n: integer; src, dst, via: string);
begin
  if n = 0 then exit;
  Hanoi(n - 1, src, via, dst);
  moves := moves + 1;
  if n = 4 then WriteLn('move 4 ', src, '->', dst);
  Hanoi(n - 1, via, dst, src);
end;

begin
  moves := 0;
  Hanoi(6, 'A', 'C', 'B');
  WriteLn(moves);
end.
