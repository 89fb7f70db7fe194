#include "csv.h"

#include "tool_error.h"

namespace kalbor::dbftool {

TCsvReader::TCsvReader(std::istream& in) : in_(in) {}

void TCsvReader::SkipByteOrderMark() {
  static const char kBom[] = "\xEF\xBB\xBF";
  for (int i = 0; i < 3; ++i) {
    if (in_.peek() != static_cast<unsigned char>(kBom[i])) {
      // Only a whole mark is skipped; a partial one cannot be put back and
      // is no valid start of UTF-8 text anyway.
      if (i > 0) throw EToolError("the input does not begin with UTF-8 text");
      return;
    }
    in_.get();
  }
}

bool TCsvReader::ReadRecord(std::vector<std::string>& values) {
  values.clear();
  if (!started_) {
    started_ = true;
    record_line_ = 1;
    SkipByteOrderMark();
  }
  // Skip empty lines.
  for (;;) {
    int c = in_.peek();
    if (c == EOF) return false;
    if (c == '\n') {
      in_.get();
      ++line_;
    } else if (c == '\r') {
      in_.get();
      if (in_.peek() == '\n') in_.get();
      ++line_;
    } else {
      break;
    }
  }
  record_line_ = line_;
  std::string value;
  bool in_quotes = false;
  bool was_quoted = false;  // the current value began with a quote
  for (;;) {
    int c = in_.get();
    if (in_quotes) {
      if (c == EOF)
        throw EToolError("a quoted value is not closed");
      if (c == '"') {
        if (in_.peek() == '"') {
          in_.get();
          value += '"';
        } else {
          in_quotes = false;
        }
      } else {
        if (c == '\n') ++line_;
        value += static_cast<char>(c);
      }
      continue;
    }
    if (c == ',') {
      values.push_back(std::move(value));
      value.clear();
      was_quoted = false;
      continue;
    }
    if (c == EOF || c == '\n' || c == '\r') {
      if (c == '\r' && in_.peek() == '\n') in_.get();
      if (c != EOF) ++line_;
      values.push_back(std::move(value));
      return true;
    }
    if (was_quoted)
      throw EToolError("unexpected text after a closing quote");
    if (c == '"' && value.empty()) {
      in_quotes = was_quoted = true;
      continue;
    }
    // A quote inside an unquoted value is taken as it is.
    value += static_cast<char>(c);
  }
}

std::string CsvValue(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string CsvLine(const std::vector<std::string>& values) {
  std::string line;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvValue(values[i]);
  }
  return line;
}

}  // namespace kalbor::dbftool
