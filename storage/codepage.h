// Table text is stored in the Western European single-byte code page
// (Windows-1252); the program's strings are UTF-8. Field objects convert at
// the boundary.
#pragma once

#include <optional>
#include <string>

namespace kalbor {

// UTF-8 to Windows-1252; nullopt when a character has no single-byte form
// (or the text is not valid UTF-8).
std::optional<std::string> Utf8ToTableText(const std::string& utf8);
std::string TableTextToUtf8(const std::string& bytes);

}  // namespace kalbor
