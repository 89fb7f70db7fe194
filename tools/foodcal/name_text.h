// Text helpers of catalogue naming: plain ASCII, blanks and words.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kalbor::naming {

// UTF-8 text as plain ASCII; a byte that does not start a valid UTF-8
// sequence is taken as a Latin-1 character. Accented letters lose their
// accents; characters without an ASCII spelling are left out.
std::string FoldToAscii(const std::string& text);

// ASCII, blanks collapsed, none inside the edges of parentheses or before a
// comma, one after each comma, none at the ends.
std::string Clean(const std::string& description);

std::string Lower(std::string s);
std::string Trim(std::string s);
std::vector<std::string> SplitWords(const std::string& s);
// The first `count` words joined by blanks.
std::string JoinWords(const std::vector<std::string>& words, std::size_t count);

}  // namespace kalbor::naming
