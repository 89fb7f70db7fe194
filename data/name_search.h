// Word search in product names. A typed text is cut into words at blanks and
// punctuation; a name matches when it holds every word somewhere, in any
// order, letter case and accents aside: "creme brulee" matches "Crème
// brûlée", "milk choc" matches "Candies, milk chocolate".
//
// Both sides are compared in the table's code page (Windows-1252), folded
// byte by byte: letters become lower case without their accents (É e, ñ n,
// Š s), and the joined letters are spelt out (Æ ae, Œ oe, ß ss, Þ th).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalbor {

// Windows-1252 text folded as above; other bytes stay as they are.
std::string FoldTableText(std::string_view table_text);
// A name as a field reads it (UTF-8) appended to `out` in its folded
// single-byte form.
void AppendFoldedName(std::string& out, const std::string& name);

class TNameWords {
 public:
  // `typed` as the person typed it (UTF-8).
  explicit TNameWords(const std::string& typed);

  // No words were typed (only blanks and punctuation, or nothing).
  bool Empty() const { return words_.empty() && !unmatchable_; }
  // The folded name (AppendFoldedName) holds every word.
  bool Matches(std::string_view folded_name) const;

 private:
  std::vector<std::string> words_;  // folded
  // A typed character no table text can hold: nothing matches.
  bool unmatchable_ = false;
};

}  // namespace kalbor
