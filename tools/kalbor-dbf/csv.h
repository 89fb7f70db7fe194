// CSV as kalbor-dbf reads and writes it, in UTF-8: values separated by
// commas, a value quoted with '"' when it holds a comma, a quote or a line
// break, a quote inside a quoted value doubled. Written lines end with LF;
// lines read may end with LF or CR LF. A byte-order mark at the start of the
// input is skipped, and so are empty lines between records.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace kalbor::dbftool {

class TCsvReader {
 public:
  explicit TCsvReader(std::istream& in);

  // Reads the next record into `values`; false at the end of the input.
  // A quoted value left open at the end of the input, or text after a
  // closing quote, raises EToolError; RecordLine() then tells where.
  bool ReadRecord(std::vector<std::string>& values);
  // The line on which the record last read began (1-based).
  int RecordLine() const { return record_line_; }

 private:
  void SkipByteOrderMark();

  std::istream& in_;
  bool started_ = false;
  int line_ = 1;
  int record_line_ = 0;
};

// One value as it appears in a CSV line.
std::string CsvValue(const std::string& text);
// A whole CSV line, without its line end.
std::string CsvLine(const std::vector<std::string>& values);

}  // namespace kalbor::dbftool
