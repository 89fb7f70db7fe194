// The table layer's one exception class. Its message is the exact text the
// user sees; callers never distinguish errors by anything but the text.
#pragma once

#include <stdexcept>
#include <string>

namespace kalbor {

class ETableError : public std::runtime_error {
 public:
  explicit ETableError(const std::string& message) : std::runtime_error(message) {}
};

// printf-style formatting of message texts ("Cannot open file %s").
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kalbor
