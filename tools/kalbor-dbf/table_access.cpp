#include "table_access.h"

#include <charconv>
#include <cmath>
#include <filesystem>

#include "storage/dates.h"
#include "storage/errors.h"
#include "tool_error.h"

namespace kalbor::dbftool {

void UseToolFormats() {
  FormatSettings().short_date_format = "yyyy-mm-dd";
  FormatSettings().decimal_separator = '.';
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  return std::filesystem::absolute(path).lexically_normal().string();
}

void OpenTable(TTableObject& table, const std::string& path, TAccess access,
               const std::vector<std::string>& indexes) {
  table.SetTableName(AbsolutePath(path));  // the folder part becomes the table's folder
  table.Exclusive = access == TAccess::Exclusive;
  table.ReadOnly = access == TAccess::ReadOnly;
  // A command that changes nothing (a refused change among them) leaves
  // the file as it was, its date included.
  table.KeepHeaderUnlessChanged = true;
  table.Indexes.clear();
  for (const std::string& index : indexes)
    table.Indexes.push_back(TIndexDef{AbsolutePath(index), "", 0});
  table.Open();
  if (!table.Active())
    throw EToolError(Format("%s cannot be opened: its header gives a zero header or record length.",
                            path.c_str()));
}

void SelectFirstIndex(TTableObject& table, const std::vector<std::string>& indexes) {
  if (!indexes.empty()) table.SetIndexName(AbsolutePath(indexes.front()));
}

void GotoRecord(TTableObject& table, uint32_t recno) {
  const int32_t count = table.RecordCount();
  if (recno < 1 || recno > static_cast<uint32_t>(count))
    throw EToolError(Format("Record %u does not exist: the table holds %d records.", recno, count));
  table.GotoBookmark(recno);
  if (table.IsEmpty() || table.Bookmark() != recno)
    throw EToolError(Format("Record %u is marked deleted.", recno));
}

bool IsNumericField(const TField& field) {
  switch (field.DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint:
    case ftFloat:
    case ftCurrency:
      return true;
    default:
      return false;
  }
}

std::string FieldText(TField& field) {
  if (field.DataType() == ftBoolean) {
    if (field.IsNull()) return std::string();
    return field.AsBoolean() ? "T" : "F";
  }
  return field.AsString();  // dates in the short date form set by UseToolFormats
}

TVariant KeyValue(TField& field, const std::string& text) {
  if (field.DataType() == ftString) return text;
  if (text.empty()) return std::monostate{};
  const std::string& name = field.FieldName();
  if (field.DataType() == ftBoolean) {
    switch (text[0]) {
      case 'T': case 't': case 'Y': case 'y': return true;
      case 'F': case 'f': case 'N': case 'n': return false;
      default:
        throw ETableError(Format("'%s' is not a valid boolean value for field '%s'", text.c_str(),
                                 name.c_str()));
    }
  }
  if (field.DataType() == ftDate) {
    int32_t serial = 0;
    if (!ParseDate(FormatSettings().short_date_format, text, serial))
      throw ETableError(Format("'%s' is not a valid date", text.c_str()));
    return static_cast<double>(serial);
  }
  double value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (*first == '+') ++first;
  auto r = std::from_chars(first, last, value, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != last || !std::isfinite(value))
    throw ETableError(Format("'%s' is not a valid floating point value for field '%s'",
                             text.c_str(), name.c_str()));
  return value;
}

}  // namespace kalbor::dbftool
