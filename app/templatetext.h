// A template's text as it goes into the memo: "|" marks where the caret
// goes and is not part of the text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct TTemplateInsertion {
  std::string text;  // every "|" removed
  size_t caret = 0;  // where the first "|" stood, or the end
};

// nullopt for an empty text, which leaves the memo alone.
std::optional<TTemplateInsertion> PrepareTemplateText(std::string_view text);
