// Perl-compatible regular expressions over Windows-1251 text, bounded so
// that a hostile page cannot keep a send step busy.
#pragma once

#include <string>
#include <string_view>

#include "exceptions.h"

// Failures of the regular-expression engine itself.
class ERegExpError : public Exception {
  PX_CLASS(ERegExpError, Exception)
 public:
  using Exception::Exception;
};

// Group index of the first match of pattern in s (0 = the whole match), with
// "^"/"$" matching at line breaks and "." matching them too, case-sensitive.
// Empty when nothing matches, when the match did not capture that group or
// when the pattern does not compile. Raises ERegExpError "Required value is
// null" for an empty pattern, and with the engine's text for any other
// engine failure, a match that would take too long among them.
std::string RegExp(std::string_view s, std::string_view pattern, int index);
