// The command line of kalbor-dbf: a command word, then positional arguments
// and "--" options in any order. "--" ends the options, so that values
// beginning with "--" can be given after it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kalbor::dbftool {

struct TArgs {
  std::string command;
  std::vector<std::string> positional;
  std::vector<std::string> indexes;  // --index FILE.NDX, in the order given
  bool deleted = false;              // --deleted
  bool csv = false;                  // --csv
  bool nocase = false;               // --nocase
  bool partial = false;              // --partial
  bool replace = false;              // --replace
  std::optional<int> options;        // --options N
  std::set<std::string> seen;        // the options given, by name

  // Refuses (EUsage) every option given that is not in `allowed`.
  void AllowOptions(std::initializer_list<const char*> allowed) const;
  // Refuses (EUsage) fewer than `min` or more than `max` positional arguments;
  // `form` is the command's usage line.
  void ExpectPositional(size_t min, size_t max, const char* form) const;
};

// Parses argv[1..]; argv[1] is the command. Raises EUsage.
TArgs ParseArgs(int argc, char** argv);

// A record number argument: a whole number from 1 up. Raises EUsage.
uint32_t ParseRecordNumber(const std::string& text);

}  // namespace kalbor::dbftool
