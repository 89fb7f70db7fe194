// The structural check of an index file against its table, for
// `kalbor-dbf check` and the tests: it accepts every state that index
// maintenance leaves and names each violation on a line of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kalbor {

class TIndexFile;
class TTableFile;

// Checks an open index, its key bound, against a table of `record_count`
// records. `read_record(n, buffer)` fills buffer with record n (1-based).
// Returns one line per violation; empty when the index is sound.
std::vector<std::string> CheckIndexFile(
    TIndexFile& index, uint32_t record_count, uint16_t record_length,
    const std::function<void(uint32_t, uint8_t*)>& read_record);

// Checks the index file at `index_path` against the open table file
// `table`, as a separate reader: the index is opened read-only, its key
// expression bound to the field it names (IndexKeyOf), and a key that does
// not fit that field is a fault; then CheckIndexFile. Raises the error of
// an index file that cannot be opened.
std::vector<std::string> CheckIndexOfTable(TTableFile& table, const std::string& index_path);

}  // namespace kalbor
