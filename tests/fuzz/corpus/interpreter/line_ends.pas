unit U;
function main: integer;begin
  Result := Nowhere;
end;
end.