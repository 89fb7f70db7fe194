#include "data/name_search.h"

#include <algorithm>
#include <array>
#include <optional>

#include "storage/codepage.h"

namespace kalbor {

namespace {

// What each Windows-1252 byte folds to: an empty text keeps the byte.
using TFoldTable = std::array<std::string_view, 256>;

TFoldTable MakeFoldTable() {
  TFoldTable t{};
  static const char* const kLower[26] = {"a", "b", "c", "d", "e", "f", "g", "h", "i",
                                         "j", "k", "l", "m", "n", "o", "p", "q", "r",
                                         "s", "t", "u", "v", "w", "x", "y", "z"};
  for (int c = 0; c < 26; ++c) t['A' + c] = kLower[c];
  // Letters of the code page above 0x7F, by byte.
  const std::pair<unsigned char, const char*> kAccented[] = {
      {0x83, "f"},  {0x8A, "s"},  {0x8C, "oe"}, {0x8E, "z"},  {0x9A, "s"}, {0x9C, "oe"},
      {0x9E, "z"},  {0x9F, "y"},  {0xC6, "ae"}, {0xC7, "c"},  {0xD0, "d"}, {0xD1, "n"},
      {0xD8, "o"},  {0xDD, "y"},  {0xDE, "th"}, {0xDF, "ss"}, {0xE6, "ae"}, {0xE7, "c"},
      {0xF0, "d"},  {0xF1, "n"},  {0xF8, "o"},  {0xFD, "y"},  {0xFE, "th"}, {0xFF, "y"}};
  for (auto [byte, folded] : kAccented) t[byte] = folded;
  // The runs of a base letter with its accents: À..Å, È..Ë, Ì..Ï, Ò..Ö,
  // Ù..Ü, in capitals and in small letters.
  const std::pair<int, std::pair<int, const char*>> kRuns[] = {
      {0xC0, {6, "a"}}, {0xC8, {4, "e"}}, {0xCC, {4, "i"}}, {0xD2, {5, "o"}}, {0xD9, {4, "u"}}};
  for (auto [first, run] : kRuns)
    for (int k = 0; k < run.first; ++k) {
      t[static_cast<size_t>(first + k)] = run.second;
      t[static_cast<size_t>(first + 0x20 + k)] = run.second;
    }
  return t;
}

const TFoldTable& FoldTable() {
  static const TFoldTable table = MakeFoldTable();
  return table;
}

// A byte that belongs to a word of a typed text once folded: a letter or a
// digit (the code page's letters that fold to none are kept: ª, µ, º).
bool IsWordByte(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || b == 0xAA || b == 0xB5 ||
         b == 0xBA;
}

void AppendFolded(std::string& out, std::string_view table_text) {
  const TFoldTable& fold = FoldTable();
  size_t at = out.size();
  out.resize(at + table_text.size());
  for (char c : table_text) {
    const std::string_view folded = fold[static_cast<unsigned char>(c)];
    if (folded.size() <= 1) {
      out[at++] = folded.empty() ? c : folded[0];
      continue;
    }
    out.resize(out.size() + folded.size() - 1);  // a joined letter spelt out
    out.replace(at, folded.size(), folded);
    at += folded.size();
  }
}

}  // namespace

std::string FoldTableText(std::string_view table_text) {
  std::string out;
  out.reserve(table_text.size());
  AppendFolded(out, table_text);
  return out;
}

TNameWords::TNameWords(const std::string& typed) {
  const std::optional<std::string> table_text = Utf8ToTableText(typed);
  if (!table_text) {
    unmatchable_ = true;
    return;
  }
  const std::string folded = FoldTableText(*table_text);
  std::string word;
  for (char c : folded + ' ') {
    if (IsWordByte(static_cast<unsigned char>(c))) {
      word += c;
    } else if (!word.empty()) {
      words_.push_back(word);
      word.clear();
    }
  }
}

void AppendFoldedName(std::string& out, const std::string& name) {
  // Most names are plain ASCII, which is its own single-byte form; text
  // read from a table always has one.
  const bool ascii = std::all_of(name.begin(), name.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  const std::optional<std::string> table_text = ascii ? std::nullopt : Utf8ToTableText(name);
  AppendFolded(out, table_text ? *table_text : name);
}

bool TNameWords::Matches(std::string_view folded_name) const {
  if (unmatchable_) return false;
  for (const std::string& word : words_)
    if (folded_name.find(word) == std::string_view::npos) return false;
  return true;
}

}  // namespace kalbor
