#pragma once
// Every text the program shows has a number and a built-in English default;
// a language file can replace it line by line.

#include <string>
#include <string_view>

namespace cvk {

// The text of `id` in the active language: the translation when the
// language file gave one, else the built-in default ("" for an id without
// one).
std::string text(int id);
// The same with an explicit default, for the ids that stand for two texts.
std::string text(int id, std::string_view fallback);

}  // namespace cvk
