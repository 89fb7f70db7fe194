// The tool's own errors, beside the table layer's ETableError: EUsage for a
// command line that cannot be run (the usage hint follows its message), and
// EToolError for a request the tool refuses on its own account.
#pragma once

#include <stdexcept>
#include <string>

namespace kalbor::dbftool {

class EUsage : public std::runtime_error {
 public:
  explicit EUsage(const std::string& message) : std::runtime_error(message) {}
};

class EToolError : public std::runtime_error {
 public:
  explicit EToolError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kalbor::dbftool
