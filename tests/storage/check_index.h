// Checks an index file on disk against its table file, as a separate
// reader would: the table opened read-only, then the table layer's check of
// the index against it.
#pragma once

#include <string>
#include <vector>

#include "storage/errors.h"
#include "storage/index_check.h"
#include "storage/table_file.h"

namespace kalbor::test {

inline std::vector<std::string> CheckIndex(const std::string& table_path,
                                           const std::string& index_path) {
  TTableFile table;
  if (!table.Open(table_path, TOpenMode::ReadOnly, true)) return {"the table has no fields"};
  try {
    return CheckIndexOfTable(table, index_path);
  } catch (const ETableError& e) {
    return {std::string("the index does not open: ") + e.what()};
  }
}

}  // namespace kalbor::test
