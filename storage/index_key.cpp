#include "storage/index_key.h"

#include "storage/errors.h"
#include "storage/files.h"
#include "storage/ndx_format.h"
#include "storage/table_file.h"

namespace kalbor {

TIndexKey IndexKeyOf(const TFieldDefs& fields, const std::string& expression) {
  TIndexKey key;
  for (size_t i = 0; i < fields.Count(); ++i)
    if (SameTextAscii(fields[i].FieldName, expression)) key.field = i;
  if (key.field == TIndexKey::kNoField) {
    key.refusal = Format("Index based on unknown field \"%s\".", expression.c_str());
    return key;
  }
  const TFieldDef& def = fields[key.field];
  switch (def.NativeFieldType) {
    case 'C':
    case 'L':
      key.character = true;
      key.length = static_cast<uint16_t>(def.Size);
      if (key.length > kNdxMaxKeyLength)
        key.refusal = Format("Index result for \"%s\" too long, >100 characters (%d).",
                             expression.c_str(), def.Size);
      break;
    case 'N':
      key.character = false;
      key.length = kNdxNumericKeyLength;
      break;
    case 'D':
      key.refusal = "Invalid index type: can only be string or float.";
      break;
    default:
      key.refusal =
          Format("Field \"%s\" is an invalid field type to base index on.", expression.c_str());
  }
  return key;
}

TKeySource KeySourceIn(const TTableFile& file, const TIndexKey& key) {
  const TTableField& field = file.Fields().at(key.field);
  return TKeySource{key.character, field.offset, field.length};
}

}  // namespace kalbor
