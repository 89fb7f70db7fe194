#include "data/schemas.h"

#include <memory>

#include "storage/table_object.h"

namespace kalbor {

namespace {

TFieldType FileKind(TColumnKind kind) {
  switch (kind) {
    case TColumnKind::Integer: return ftInteger;
    case TColumnKind::String: return ftString;
    case TColumnKind::Boolean: return ftBoolean;
    case TColumnKind::Date: return ftDate;
    case TColumnKind::Decimal: return ftFloat;
  }
  return ftUnknown;
}

}  // namespace

void AddSchemaFields(TFieldDefs& defs, TSchema schema) {
  for (const TColumn& c : schema) defs.Add(c.name, FileKind(c.kind), c.size).Precision = c.decimals;
}

void CreateSchemaTable(TTableObject& table, const std::string& folder,
                       const std::string& file_name, TSchema schema) {
  table.SetFilePath(folder);
  table.SetTableName(file_name);
  table.Exclusive = true;
  table.SetTableLevel(3);
  AddSchemaFields(table.FieldDefs, schema);
  table.CreateDbfFile();
  table.Open();
}

void DeclareSchemaFields(TTableObject& table, TSchema schema) {
  for (const TColumn& c : schema) {
    switch (c.kind) {
      case TColumnKind::Integer:
      case TColumnKind::Decimal: table.AddField(std::make_unique<TFloatField>(c.name)); break;
      case TColumnKind::String: table.AddField(std::make_unique<TStringField>(c.name, c.size)); break;
      case TColumnKind::Boolean: table.AddField(std::make_unique<TBooleanField>(c.name)); break;
      case TColumnKind::Date: table.AddField(std::make_unique<TDateField>(c.name)); break;
    }
  }
}

}  // namespace kalbor
