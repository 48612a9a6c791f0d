#include "templatetext.h"

std::optional<TTemplateInsertion> PrepareTemplateText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  TTemplateInsertion out;
  size_t firstBar = text.find('|');
  for (char c : text)
    if (c != '|') out.text += c;
  out.caret = firstBar == std::string_view::npos ? out.text.size() : firstBar;
  return out;
}
