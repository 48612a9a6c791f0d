// Escaping of form values for url-encoded HTTP bodies and query strings.
#pragma once

#include <string>
#include <string_view>

#include "charset.h"

// Every byte other than letters A-Z a-z, digits and ! # ' * - . _ ~ @
// becomes "%" and two upper-case hexadecimal digits (a space is %20).
std::string EncodeFormElem(std::string_view s);

// "+" becomes a space, then "%" and two hexadecimal digits become that byte;
// a "%" before a line break (CR, LF, CR LF or LF CR) is removed with it,
// any other "%" stays, and a "%" among the last two characters ends the text.
std::string DecodeFormElem(std::string_view s);

// DecodeFormElem without the "+" step: a "+" stays a "+".
std::string DecodePercentEscapes(std::string_view s);

// EncodeFormElem of s converted to charset (see ConvertToEncoding).
std::string ConvertAndEncodeFormElem(std::string_view s, std::string_view charset);
// The same, handed to `write` in pieces as it is made; an empty charset
// gives EncodeFormElem of s in pieces.
void ConvertAndEncodeFormElem(std::string_view s, std::string_view charset, const TTextSink& write);
