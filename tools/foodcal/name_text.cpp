#include "tools/foodcal/name_text.h"

#include <cctype>

namespace kalbor::naming {

namespace {

// ASCII spelling of U+00C0..U+00FF.
constexpr const char* kLatin1Letters[64] = {
    "A", "A", "A", "A", "A",  "A", "AE", "C",  "E", "E", "E", "E", "I", "I", "I", "I",
    "D", "N", "O", "O", "O",  "O", "O",  "x",  "O", "U", "U", "U", "U", "Y", "Th", "ss",
    "a", "a", "a", "a", "a",  "a", "ae", "c",  "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o",  "o", "o",  "/",  "o", "u", "u", "u", "u", "y", "th", "y"};

std::string AsciiFor(char32_t cp) {
  if (cp < 0x80) return std::string(1, static_cast<char>(cp));
  if (cp >= 0xC0 && cp <= 0xFF) return kLatin1Letters[cp - 0xC0];
  switch (cp) {
    case 0xA0: return " ";
    case 0xB4: case 0x2018: case 0x2019: return "'";
    case 0x201C: case 0x201D: return "\"";
    case 0x2013: case 0x2014: return "-";
    case 0x0152: return "OE";
    case 0x0153: return "oe";
    case 0x0160: return "S";
    case 0x0161: return "s";
    case 0x017D: return "Z";
    case 0x017E: return "z";
    case 0x0178: return "Y";
    default: return "";
  }
}

}  // namespace

std::string FoldToAscii(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3
             : (c & 0xF8) == 0xF0 ? 4 : 0;
    char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    bool valid = n > 0 && i + n <= text.size();
    for (size_t k = 1; valid && k < n; ++k) {
      unsigned char cc = static_cast<unsigned char>(text[i + k]);
      valid = (cc & 0xC0) == 0x80;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!valid) {
      cp = c;
      n = 1;
    }
    out += AsciiFor(cp);
    i += n;
  }
  return out;
}

std::string Clean(const std::string& description) {
  std::string ascii = FoldToAscii(description);
  std::string out;
  for (char c : ascii) {
    if (std::isspace(static_cast<unsigned char>(c)) || std::iscntrl(static_cast<unsigned char>(c))) {
      if (!out.empty() && out.back() != ' ' && out.back() != '(') out += ' ';
    } else if (c == ',') {
      while (!out.empty() && out.back() == ' ') out.pop_back();
      out += ", ";
    } else if (c == ')') {
      while (!out.empty() && out.back() == ' ') out.pop_back();
      out += c;
    } else {
      out += c;
    }
  }
  while (!out.empty() && (out.back() == ' ' || out.back() == ',')) out.pop_back();
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  size_t start = s.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : s.substr(start);
}

std::vector<std::string> SplitWords(const std::string& s) {
  std::vector<std::string> words;
  size_t pos = 0;
  while (pos < s.size()) {
    size_t end = s.find(' ', pos);
    if (end == std::string::npos) end = s.size();
    if (end > pos) words.push_back(s.substr(pos, end - pos));
    pos = end + 1;
  }
  return words;
}

std::string JoinWords(const std::vector<std::string>& words, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i) out += ' ';
    out += words[i];
  }
  return out;
}

}  // namespace kalbor::naming
