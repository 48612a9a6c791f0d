// Conversion between the program's code page (Windows-1251) and the charsets
// gates name for their pages and forms ("UTF-8", "KOI8-R", "windows-1251"
// and whatever else the system's iconv knows by name).
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Receives a long text piece by piece.
using TTextSink = std::function<void(std::string_view piece)>;

// s read in charset, as Windows-1251. Characters the code page lacks and
// malformed input become "?". An empty or unknown charset name leaves s as it is.
std::string ConvertFromEncoding(std::string_view s, std::string_view charset);

// Windows-1251 s written in charset. Characters the charset lacks become
// "?". An empty or unknown charset name leaves s as it is.
std::string ConvertToEncoding(std::string_view s, std::string_view charset);
// The same, handed to `write` in pieces of a few kilobytes as it is made, so
// that neither the whole result nor a Unicode copy of s is ever held here.
void ConvertToEncoding(std::string_view s, std::string_view charset, const TTextSink& write);
