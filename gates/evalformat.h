// The scripts' Format: Delphi's format directives over a list of script
// values, parsed here so that a script's format string never reaches the C
// library. "." is the decimal separator; %n and %m group thousands with the
// Russian no-break space, and %m writes the Russian currency "р." after the
// amount.
//
//   "%" [index ":"] ["-"] [width] ["." precision] type
//
// type: d u x (whole numbers), e f g n m (floating point), s (text), p
// (pointer); index, width and precision may be "*", taken from the next
// argument. "%%" is a percent sign.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "variant.h"

// `format` with the arguments put in. Raises EConvertError "No argument for
// format '...'" when an argument is missing and "Format '...' invalid or
// incompatible with argument" for a bad directive or an argument of the
// wrong kind (the format text, cut at 31 characters, is quoted). Inside a
// script run the text is charged to its memory budget as it grows.
std::string FormatScriptText(std::string_view format, const std::vector<Variant>& args);
