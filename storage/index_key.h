// The key of an index: the field of the table that its key expression
// names, and where that key lies in the table's records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "storage/field_defs.h"

namespace kalbor {

class TTableFile;

// Where the key lies in a table record and how it is read.
struct TKeySource {
  bool character = true;  // character key: raw field bytes; else numeric (double)
  uint16_t offset = 0;    // field position in the record (deletion flag is byte 0)
  uint16_t length = 0;    // field length in bytes
};

// The key an expression gives over a table's fields.
struct TIndexKey {
  static constexpr size_t kNoField = static_cast<size_t>(-1);
  size_t field = kNoField;  // position of the named field among the fields; kNoField: none
  bool character = true;    // C and L fields key on their bytes, N fields on their number
  uint16_t length = 0;      // key length: the field's length, or 8 for a number
  std::string refusal;      // why no index can be built on it (the build's message);
                            // empty when one can
};

// Binds an index's key expression (a field name) to the field it names,
// matched without regard to letter case, as field names are. `fields` are
// a table file's fields in file order. A key that cannot be built carries
// the build's message in `refusal`: an unknown field, a date field, a field
// of another kind that cannot be indexed, or a character key longer than
// an index allows.
TIndexKey IndexKeyOf(const TFieldDefs& fields, const std::string& expression);

// Where `key`, found over the fields of the open table file `file`, lies in
// its records.
TKeySource KeySourceIn(const TTableFile& file, const TIndexKey& key);

}  // namespace kalbor
