// header, dump and locate: the commands that only read. They open the
// table read-only, so the file keeps every byte, its date included.
#include <cstdio>
#include <set>

#include "commands.h"
#include "csv.h"
#include "storage/dbf_format.h"
#include "storage/errors.h"
#include "storage/table_file.h"
#include "table_access.h"
#include "tool_error.h"

namespace kalbor::dbftool {

namespace {

// Characters of UTF-8 text, for lining up columns.
size_t DisplayWidth(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string Pad(const std::string& text, size_t width, bool right) {
  size_t w = DisplayWidth(text);
  std::string fill(w < width ? width - w : 0, ' ');
  return right ? fill + text : text + fill;
}

void PrintColumns(std::ostream& out, const std::vector<std::vector<std::string>>& lines,
                  const std::vector<bool>& right) {
  std::vector<size_t> widths(right.size(), 0);
  for (const auto& line : lines)
    for (size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(line[i]));
  for (const auto& line : lines) {
    std::string text;
    for (size_t i = 0; i < line.size(); ++i) {
      if (i > 0) text += "  ";
      text += Pad(line[i], widths[i], right[i]);
    }
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << '\n';
  }
}

}  // namespace

int RunHeader(const TArgs& args, std::ostream& out) {
  args.ExpectPositional(1, 1, "header FILE.DBF");
  args.AllowOptions({});
  const std::string& name = args.positional[0];
  TTableFile file;
  if (!file.Open(AbsolutePath(name), TOpenMode::ReadOnly, true))
    throw EToolError(Format("%s cannot be opened: its header gives a zero header or record length.",
                            name.c_str()));
  uint8_t raw[TTableHeader::kSize] = {};
  file.File().ReadAt(0, raw, sizeof raw);
  const TTableHeader header = TTableHeader::DecodeFrom(raw);
  const uint32_t stored = header.record_count;
  const uint32_t count = file.RecordCount();
  char line[128];
  auto row = [&](const char* label, const std::string& value) {
    std::snprintf(line, sizeof line, "%-15s%s\n", label, value.c_str());
    out << line;
  };
  row("level", std::to_string(file.Level()));
  std::snprintf(line, sizeof line, "%04d-%02d-%02d", 1900 + header.year, header.month, header.day);
  row("last update", line);
  std::string records = std::to_string(count);
  if (stored != count) records += " (the header says " + std::to_string(stored) + ")";
  row("records", records);
  row("header length", std::to_string(file.HeaderLength()));
  row("record length", std::to_string(file.RecordLength()));
  row("fields", std::to_string(file.Fields().size()));
  for (const TTableField& f : file.Fields()) {
    std::snprintf(line, sizeof line, "%-10s  %c  %3u  %2u\n", f.name.c_str(), f.letter, f.length,
                  f.decimals);
    out << line;
  }
  file.Close(false);
  return kExitOk;
}

int RunDump(const TArgs& args, std::ostream& out) {
  args.ExpectPositional(1, 1, "dump FILE.DBF [--deleted] [--csv] [--index FILE.NDX]...");
  args.AllowOptions({"--deleted", "--csv", "--index"});
  TTableObject table;
  OpenTable(table, args.positional[0], TAccess::ReadOnly, args.indexes);
  SelectFirstIndex(table, args.indexes);

  // The table object tells rows apart by visibility only: the rows that
  // appear once deleted rows are shown are the deleted ones.
  std::set<uint32_t> live;
  if (args.deleted) {
    for (uint32_t recno : table.VisibleRecordNumbers()) live.insert(recno);
    table.SetShowDeleted(true);
  }

  std::vector<TField*> fields;
  std::vector<std::string> header{"RECNO"};
  for (size_t i = 0; i < table.FieldCount(); ++i) {
    fields.push_back(&table.Fields(i));
    header.push_back(table.Fields(i).FieldName());
  }
  std::vector<std::vector<std::string>> lines{header};
  if (args.csv) out << CsvLine(header) << '\n';
  for (table.First(); !table.Eof(); table.Next()) {
    uint32_t recno = table.Bookmark();
    std::vector<std::string> line;
    line.push_back((args.deleted && !live.count(recno) ? "*" : "") + std::to_string(recno));
    for (TField* f : fields) line.push_back(FieldText(*f));
    if (args.csv) out << CsvLine(line) << '\n';
    else lines.push_back(std::move(line));
  }
  if (!args.csv) {
    std::vector<bool> right{true};
    for (TField* f : fields) right.push_back(IsNumericField(*f));
    PrintColumns(out, lines, right);
  }
  table.Close();
  return kExitOk;
}

int RunLocate(const TArgs& args, std::ostream& out) {
  args.ExpectPositional(
      3, 3, "locate FILE.DBF FIELD VALUE [--nocase] [--partial] [--index FILE.NDX]...");
  args.AllowOptions({"--nocase", "--partial", "--index"});
  TTableObject table;
  OpenTable(table, args.positional[0], TAccess::ReadOnly, args.indexes);
  SelectFirstIndex(table, args.indexes);
  TField& field = table.FieldByName(args.positional[1]);
  TVariant key = KeyValue(field, args.positional[2]);
  int options = (args.nocase ? loCaseInsensitive : 0) | (args.partial ? loPartialKey : 0);
  // The stored (upper-case) name: an order keyed on the field is then used
  // for the search, as the table layer does for its own callers.
  bool found = table.Locate(field.FieldName(), key, options);
  if (found) out << table.Bookmark() << '\n';
  else out << "not found\n";
  table.Close();
  return found ? kExitOk : kExitNegative;
}

}  // namespace kalbor::dbftool
