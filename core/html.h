// A crude reduction of HTML to its visible text, for gate answers shown to
// the user as error texts.
#pragma once

#include <string>
#include <string_view>

// Drops control characters and everything from "<" to ">" and collapses
// runs of spaces to one; a space inside a tag still counts, so the blank
// between a tag's name and its attributes survives. Entities stay as written.
std::string HtmlToText(std::string_view s);
