#include "args.h"

#include <charconv>
#include <limits>

#include "tool_error.h"

namespace kalbor::dbftool {

namespace {

bool ParseWhole(const std::string& text, int64_t& value) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  auto r = std::from_chars(first, last, value);
  return !text.empty() && r.ec == std::errc() && r.ptr == last;
}

}  // namespace

void TArgs::AllowOptions(std::initializer_list<const char*> allowed) const {
  for (const std::string& name : seen) {
    bool ok = false;
    for (const char* a : allowed) ok = ok || name == a;
    if (!ok) throw EUsage("the " + command + " command takes no option " + name);
  }
}

void TArgs::ExpectPositional(size_t min, size_t max, const char* form) const {
  if (positional.size() < min || positional.size() > max)
    throw EUsage(std::string("usage: kalbor-dbf ") + form);
}

TArgs ParseArgs(int argc, char** argv) {
  TArgs args;
  if (argc < 2) throw EUsage("no command given");
  args.command = argv[1];
  bool options_ended = false;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (options_ended || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      args.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    // "--name value" or "--name=value" for the options that take a value.
    std::string name = arg, value;
    bool has_value = false;
    if (size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      has_value = true;
    }
    auto take_value = [&]() {
      if (has_value) return value;
      if (i + 1 >= argc) throw EUsage("the option " + name + " needs a value");
      return std::string(argv[++i]);
    };
    if (name == "--index") {
      std::string file = take_value();
      if (file.empty()) throw EUsage("the option --index needs a file name");
      args.indexes.push_back(file);
    } else if (name == "--options") {
      std::string text = take_value();
      int64_t n = 0;
      if (!ParseWhole(text, n) || n < 0 || n > 31)
        throw EUsage("the option --options needs a number from 0 to 31, not '" + text + "'");
      args.options = static_cast<int>(n);
    } else if (has_value) {
      throw EUsage("the option " + name + " takes no value");
    } else if (name == "--deleted") {
      args.deleted = true;
    } else if (name == "--csv") {
      args.csv = true;
    } else if (name == "--nocase") {
      args.nocase = true;
    } else if (name == "--partial") {
      args.partial = true;
    } else if (name == "--replace") {
      args.replace = true;
    } else {
      throw EUsage("unknown option " + name);
    }
    args.seen.insert(name);
  }
  return args;
}

uint32_t ParseRecordNumber(const std::string& text) {
  int64_t n = 0;
  if (!ParseWhole(text, n) || n < 1 || n > std::numeric_limits<int32_t>::max())
    throw EUsage("'" + text + "' is not a record number (a whole number from 1 up)");
  return static_cast<uint32_t>(n);
}

}  // namespace kalbor::dbftool
