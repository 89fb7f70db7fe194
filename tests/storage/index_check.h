// Checks an index file on disk against its table file, as a separate
// reader would: both opened read-only, the key bound to its field, then the
// table layer's structural index check.
#pragma once

#include <string>
#include <vector>

#include "storage/files.h"
#include "storage/index_file.h"
#include "storage/table_file.h"

namespace kalbor::test {

inline std::vector<std::string> CheckIndex(const std::string& table_path,
                                           const std::string& index_path) {
  TTableFile table;
  if (!table.Open(table_path, TOpenMode::ReadOnly, true)) return {"the table has no fields"};
  TIndexFile index;
  try {
    index.Open(index_path, TOpenMode::ReadOnly);
  } catch (const ETableError& e) {
    return {std::string("the index does not open: ") + e.what()};
  }
  const TTableField* field = nullptr;
  for (const TTableField& f : table.Fields())
    if (SameTextAscii(f.name, index.Expression())) field = &f;
  if (field == nullptr) return {"the index is keyed on no field of the table"};
  TKeySource source;
  source.character = field->letter == 'C' || field->letter == 'L';
  source.offset = field->offset;
  source.length = field->length;
  index.BindKeySource(source);
  return CheckIndexFile(index, table.RecordCount(), table.RecordLength(),
                        [&](uint32_t n, uint8_t* buffer) { table.ReadRecord(n, buffer); });
}

}  // namespace kalbor::test
