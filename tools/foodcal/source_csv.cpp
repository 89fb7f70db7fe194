// Reader of the energy list: comma-separated, fields optionally quoted.
#include <charconv>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/foodcal/catalogue_rules.h"

namespace kalbor {

namespace {

[[noreturn]] void Fail(int line, const std::string& what) {
  throw std::runtime_error("energy list, line " + std::to_string(line) + ": " + what);
}

// Reads one record starting at the current position. Returns false at the
// end of input. A quoted field may span lines: `line` counts physical lines,
// `first_line` is set to the line the record starts on.
bool ReadRecord(std::istream& in, int& line, int& first_line, std::vector<std::string>& fields) {
  fields.clear();
  int c = in.get();
  if (c == EOF) return false;
  first_line = ++line;
  std::string field;
  bool quoted = false;     // inside quotes
  bool was_quoted = false;  // the current field began with a quote
  for (;; c = in.get()) {
    if (quoted) {
      if (c == EOF) Fail(first_line, "unterminated quoted field");
      if (c == '"') {
        if (in.peek() == '"') {
          in.get();
          field += '"';
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++line;
        field += static_cast<char>(c);
      }
      continue;
    }
    if (c == '"') {
      if (!field.empty() || was_quoted) Fail(first_line, "quote inside an unquoted field");
      quoted = was_quoted = true;
    } else if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
      was_quoted = false;
    } else if (c == '\n' || c == EOF) {
      break;
    } else if (c == '\r' && (in.peek() == '\n' || in.peek() == EOF)) {
      // the LF (or the end) follows
    } else {
      if (was_quoted) Fail(first_line, "text after a closing quote");
      field += static_cast<char>(c);
    }
  }
  fields.push_back(std::move(field));
  return true;
}

int ParseKcal(const std::string& text, int line) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) {
    Fail(line, "kcal_per_100g is not a whole number: \"" + text + "\"");
  }
  if (value < 0) Fail(line, "negative kcal_per_100g");
  return value;
}

}  // namespace

std::vector<SourceFood> ParseSourceFoods(std::istream& in) {
  std::vector<SourceFood> foods;
  std::vector<std::string> fields;
  int physical_line = 0;
  int line = 0;  // first line of the current record
  if (!ReadRecord(in, physical_line, line, fields)) Fail(1, "empty input");
  if (fields != std::vector<std::string>{"ndb_no", "name", "kcal_per_100g"}) {
    Fail(line, "header is not ndb_no,name,kcal_per_100g");
  }
  while (ReadRecord(in, physical_line, line, fields)) {
    if (fields.size() == 1 && fields[0].empty()) continue;  // blank line
    if (fields.size() != 3) {
      Fail(line, "expected 3 fields, found " + std::to_string(fields.size()));
    }
    const std::string& ndb = fields[0];
    if (ndb.size() != 5 || ndb.find_first_not_of("0123456789") != std::string::npos) {
      Fail(line, "ndb_no is not five digits: \"" + ndb + "\"");
    }
    if (fields[1].empty()) Fail(line, "empty name");
    foods.push_back({ndb, fields[1], ParseKcal(fields[2], line)});
  }
  return foods;
}

std::vector<SourceFood> ReadSourceFoods(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open energy list " + path);
  return ParseSourceFoods(in);
}

}  // namespace kalbor
