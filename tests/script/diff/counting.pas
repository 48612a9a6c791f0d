program DiffCounting;
var s: string; i, vowels, spaces: integer;
begin
  s := 'the quick brown fox jumps over the lazy dog';
  vowels := 0; spaces := 0;
  for i := 1 to Length(s) do
  begin

    case Ord(s[i]) of
      97, 101, 105, 111, 117: vowels := vowels + 1;
      32: spaces := spaces + 1;
    end;
  end;
  WriteLn(vowels, ' ', spaces, ' ', Length(s));
end.
