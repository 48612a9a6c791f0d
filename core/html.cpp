// HTML to plain text in one pass.
#include "html.h"

std::string HtmlToText(std::string_view s) {
  std::string text;
  bool inTag = false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (static_cast<unsigned char>(c) < 32) continue;
    if (c == '<') {
      inTag = true;
    } else if (c == '>') {
      inTag = false;
    } else if (c == ' ') {
      if (i > 0 && s[i - 1] != ' ') text += c;
    } else if (!inTag) {
      text += c;
    }
  }
  return text;
}
