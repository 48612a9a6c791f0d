program DiffPrimes;
var i, j, count: integer; prime: boolean;
begin
  count := 0;
  for i := 2 to 200 do
  begin
    prime := true;
    j := 2;
    while j * j <= i do
    begin
      if i mod j = 0 then prime := false;
      j := j + 1;
    end;
    if prime then
    begin
      count := count + 1;
      Write(i, ' ');
    end;
  end;
  WriteLn;
  WriteLn('count ', count);
end.
