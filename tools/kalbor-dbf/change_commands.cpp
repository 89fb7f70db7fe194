// create, append, set, delete, pack and index: the commands that change
// files. Each opens the table exclusively, so no other program writes it
// meanwhile, and goes through the table object, so every index file given
// with --index is kept current.
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "commands.h"
#include "csv.h"
#include "storage/errors.h"
#include "storage/files.h"
#include "storage/index_key.h"
#include "table_access.h"
#include "tool_error.h"

namespace kalbor::dbftool {

namespace {

constexpr size_t kMaxFieldName = 10;

int ParseSize(const std::string& given, const std::string& text, int min, int max) {
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || n > 1000) {
      n = -1;
      break;
    }
    n = n * 10 + (c - '0');
  }
  if (text.empty() || n < min || n > max)
    throw EUsage(Format("%s: the size must be a number from %d to %d", given.c_str(), min, max));
  return n;
}

bool IsFieldName(const std::string& name) {
  if (name.empty() || name.size() > kMaxFieldName) return false;
  if (!std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

// NAME:KIND[:SIZE] as a field definition.
void AddFieldDef(TFieldDefs& defs, const std::string& given) {
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    size_t colon = given.find(':', start);
    parts.push_back(given.substr(start, colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > 3)
    throw EUsage(Format("%s: a field is given as NAME:KIND[:SIZE]", given.c_str()));
  const std::string name = UpperAscii(parts[0]);
  if (!IsFieldName(name))
    throw EUsage(Format("%s: a field name is 1 to 10 letters, digits or '_', beginning with "
                        "a letter", given.c_str()));
  for (const TFieldDef& def : defs)
    if (def.FieldName == name)
      throw EUsage(Format("%s: the field %s is named twice", given.c_str(), name.c_str()));
  const std::string kind = UpperAscii(parts[1]);
  const bool sized = parts.size() == 3;
  if (kind == "INTEGER") {
    defs.Add(name, ftInteger, sized ? ParseSize(given, parts[2], 1, 20) : 0);
  } else if (kind == "STRING") {
    if (!sized) throw EUsage(Format("%s: a string field needs a size", given.c_str()));
    defs.Add(name, ftString, ParseSize(given, parts[2], 1, 254));
  } else if (kind == "BOOLEAN" || kind == "DATE") {
    if (sized)
      throw EUsage(Format("%s: a %s field takes no size", given.c_str(), parts[1].c_str()));
    defs.Add(name, kind == "DATE" ? ftDate : ftBoolean);
  } else {
    throw EUsage(Format("%s: the kind must be integer, string, boolean or date", given.c_str()));
  }
}

// The key checks of an index build, made before the build: the table layer
// swallows a key error and removes the file, so the reason would otherwise
// be lost, and an existing index file would be emptied for nothing.
void CheckIndexKey(const TFieldDefs& defs, const std::string& key_field) {
  std::string expression = UpperAscii(key_field);
  expression.erase(0, expression.find_first_not_of(' '));
  expression.erase(expression.find_last_not_of(' ') + 1);
  const TIndexKey key = IndexKeyOf(defs, expression);
  if (!key.refusal.empty()) throw ETableError(key.refusal);
}

}  // namespace

int RunCreate(const TArgs& args, std::ostream& out) {
  args.ExpectPositional(2, SIZE_MAX, "create FILE.DBF NAME:KIND[:SIZE]... [--replace]");
  args.AllowOptions({"--replace"});
  const std::string& name = args.positional[0];
  TFieldDefs defs;
  for (size_t i = 1; i < args.positional.size(); ++i) AddFieldDef(defs, args.positional[i]);
  const std::string path = AbsolutePath(name);
  if (!args.replace && FileExists(path))
    throw EToolError(Format("%s already exists; give --replace to replace it by an empty table.",
                            name.c_str()));
  TTableObject table;
  table.SetTableName(path);
  table.SetTableLevel(3);
  table.CreateDbfFile(defs);
  return kExitOk;
}

int RunAppend(const TArgs& args, std::istream& in, std::ostream& out) {
  args.ExpectPositional(1, 1, "append FILE.DBF [--index FILE.NDX]...");
  args.AllowOptions({"--index"});
  TTableObject table;
  OpenTable(table, args.positional[0], TAccess::Exclusive, args.indexes);
  TCsvReader reader(in);
  int appended = 0;
  try {
    std::vector<std::string> header;
    if (reader.ReadRecord(header)) {
      // The columns: a field each, or none for a RECNO column that names no
      // field (dump --csv writes one).
      std::vector<TField*> columns;
      for (const std::string& column : header) {
        TField* field = table.FindField(column);
        if (field == nullptr && UpperAscii(column) == "RECNO") {
          columns.push_back(nullptr);
          continue;
        }
        if (field == nullptr) field = &table.FieldByName(column);  // the layer's message
        if (std::count(columns.begin(), columns.end(), field))
          throw EToolError(Format("the field %s is named twice", field->FieldName().c_str()));
        columns.push_back(field);
      }
      std::vector<std::string> values;
      while (reader.ReadRecord(values)) {
        if (values.size() != columns.size())
          throw EToolError(Format("the row has %zu values, the header names %zu columns",
                                  values.size(), columns.size()));
        table.Append();
        for (size_t i = 0; i < columns.size(); ++i)
          if (columns[i]) columns[i]->SetAsString(values[i]);
        table.Post();
        ++appended;
      }
    }
  } catch (const std::exception& e) {
    try {
      table.Cancel();
      table.Close();
    } catch (...) {
    }
    std::string outcome = appended == 0 ? std::string("No row was appended.")
                          : Format("%d %s before it %s appended and %s in the table.", appended,
                                   appended == 1 ? "row" : "rows", appended == 1 ? "was" : "were",
                                   appended == 1 ? "stays" : "stay");
    throw EToolError(Format("line %d: %s\n%s", std::max(reader.RecordLine(), 1), e.what(),
                            outcome.c_str()));
  }
  table.Close();
  out << appended << (appended == 1 ? " row" : " rows") << " appended\n";
  return kExitOk;
}

int RunSet(const TArgs& args, std::ostream& out) {
  args.ExpectPositional(3, SIZE_MAX, "set FILE.DBF RECNO NAME=VALUE... [--index FILE.NDX]...");
  args.AllowOptions({"--index"});
  const uint32_t recno = ParseRecordNumber(args.positional[1]);
  std::vector<std::pair<std::string, std::string>> changes;
  for (size_t i = 2; i < args.positional.size(); ++i) {
    const std::string& a = args.positional[i];
    size_t eq = a.find('=');
    if (eq == std::string::npos || eq == 0)
      throw EUsage(Format("'%s' is no NAME=VALUE pair", a.c_str()));
    changes.emplace_back(a.substr(0, eq), a.substr(eq + 1));
  }
  TTableObject table;
  OpenTable(table, args.positional[0], TAccess::Exclusive, args.indexes);
  GotoRecord(table, recno);
  table.Edit();
  try {
    for (const auto& [name, value] : changes) table.FieldByName(name).SetAsString(value);
    table.Post();
  } catch (...) {
    table.Cancel();
    throw;
  }
  table.Close();
  return kExitOk;
}

int RunDelete(const TArgs& args, std::ostream& out) {
  args.ExpectPositional(2, SIZE_MAX, "delete FILE.DBF RECNO... [--index FILE.NDX]...");
  args.AllowOptions({"--index"});
  std::vector<uint32_t> recnos;
  for (size_t i = 1; i < args.positional.size(); ++i) {
    uint32_t recno = ParseRecordNumber(args.positional[i]);
    if (std::find(recnos.begin(), recnos.end(), recno) == recnos.end()) recnos.push_back(recno);
  }
  TTableObject table;
  OpenTable(table, args.positional[0], TAccess::Exclusive, args.indexes);
  // Every number is checked before the first row is marked.
  for (uint32_t recno : recnos) GotoRecord(table, recno);
  for (uint32_t recno : recnos) {
    GotoRecord(table, recno);
    table.Delete();
  }
  table.Close();
  return kExitOk;
}

int RunPack(const TArgs& args, std::ostream& out) {
  args.ExpectPositional(1, 1, "pack FILE.DBF [--index FILE.NDX]...");
  args.AllowOptions({"--index"});
  TTableObject table;
  OpenTable(table, args.positional[0], TAccess::Exclusive, args.indexes);
  const int32_t total = table.RecordCount();
  const size_t kept = table.VisibleRecordNumbers().size();
  table.PackFile();
  table.Close();
  out << kept << (kept == 1 ? " record" : " records") << " kept, "
      << total - static_cast<int32_t>(kept) << " removed\n";
  return kExitOk;
}

int RunIndex(const TArgs& args, std::ostream& out) {
  args.ExpectPositional(3, 3, "index FILE.DBF FILE.NDX FIELD [--options N]");
  args.AllowOptions({"--options"});
  const std::string& index_name = args.positional[1];
  const std::string index_path = AbsolutePath(index_name);
  TTableObject table;
  OpenTable(table, args.positional[0], TAccess::Exclusive, {});
  CheckIndexKey(table.FileFieldDefs(), args.positional[2]);
  table.BuildIndexFile(index_path, args.positional[2], args.options.value_or(0));
  const bool built = FileExists(index_path);
  table.Close();
  if (!built)
    throw EToolError(Format("The index %s was not built on %s.", index_name.c_str(),
                            args.positional[2].c_str()));
  return kExitOk;
}

}  // namespace kalbor::dbftool
