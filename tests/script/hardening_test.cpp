// Hostile scripts: each one crashed, hung or exhausted the program once.
// They must end with a script error (or normally), within bounds of time and
// memory, and leave the program object usable.
#include <gtest/gtest.h>

#include <string>

#include "interp_support.h"

namespace {

TEST(Hostile, ClassReferenceNeverReachesAnInstanceGetter) {
  EInterpreterError e = ScriptError("begin WriteLn(Exception.Message); end;");
  EXPECT_EQ(e.ErrCode, 53);
  EXPECT_EQ(Eval("begin Result := Exception.Create('made').Message; end;"), "made");
  EXPECT_EQ(Eval("var E: TObject; begin E := Exception.Create('x'); Result := E.Message; E.Free; end;"), "x");
}

}  // namespace
