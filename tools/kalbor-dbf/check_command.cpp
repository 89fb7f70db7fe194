// check: the structure of a table file and of index files over it, read
// without changing a byte. The table's bytes are examined directly rather
// than through the table file class, so that faults which would stop it
// opening the file are still named one by one.
#include <algorithm>
#include <cstring>

#include "commands.h"
#include "storage/dbf_format.h"
#include "storage/errors.h"
#include "storage/index_check.h"
#include "storage/table_file.h"
#include "table_access.h"

namespace kalbor::dbftool {

namespace {

constexpr size_t kMaxFlagFaults = 10;  // bad deletion flags listed one by one

// Field descriptors from offset 32 up to the terminator; faults in them.
// Returns 1 + the sum of the field lengths.
uint32_t CheckDescriptors(const std::vector<uint8_t>& block, std::vector<std::string>& faults) {
  uint32_t sum = 1;
  size_t pos = TTableHeader::kSize, number = 0;
  bool terminated = false;
  while (pos < block.size()) {
    if (block[pos] == kHeaderTerminator) {
      terminated = true;
      break;
    }
    if (pos + TFieldDescriptor::kSize > block.size()) break;
    const TFieldDescriptor d = TFieldDescriptor::DecodeFrom(block.data() + pos);
    ++number;
    const std::string& name = d.name;
    const char letter =
        static_cast<char>(d.letter >= 'a' && d.letter <= 'z' ? d.letter - 32 : d.letter);
    if (name.empty()) faults.push_back(Format("field %zu has no name", number));
    if (letter == 0 || std::strchr("CNFLD", letter) == nullptr)
      faults.push_back(Format("field %s has the type letter 0x%02X, not one of C, N, F, L, D",
                              name.empty() ? std::to_string(number).c_str() : name.c_str(),
                              static_cast<unsigned>(static_cast<uint8_t>(d.letter))));
    sum += d.length;
    pos += TFieldDescriptor::kSize;
  }
  if (!terminated)
    faults.push_back("the header terminator 0x0D does not follow the field descriptors");
  return sum;
}

// Deletion flags of records 1 .. count, read a block of records at a time.
void CheckDeletionFlags(TPageFile& file, uint16_t header_length, uint16_t record_length,
                        uint32_t count, std::vector<std::string>& faults) {
  const uint32_t per_chunk = std::max<uint32_t>(1, (1u << 16) / record_length);
  std::vector<uint8_t> chunk(static_cast<size_t>(per_chunk) * record_length);
  size_t bad = 0;
  for (uint32_t first = 1; first <= count; first += per_chunk) {
    uint32_t n = std::min(per_chunk, count - first + 1);
    size_t got = file.ReadAt(header_length + static_cast<uint64_t>(first - 1) * record_length,
                             chunk.data(), static_cast<size_t>(n) * record_length);
    for (uint32_t i = 0; i < n && static_cast<size_t>(i) * record_length < got; ++i) {
      uint8_t flag = chunk[static_cast<size_t>(i) * record_length];
      if (flag == ' ' || flag == '*') continue;
      if (++bad <= kMaxFlagFaults)
        faults.push_back(Format("record %u has the deletion flag 0x%02X, neither ' ' nor '*'",
                                first + i, static_cast<unsigned>(flag)));
    }
  }
  if (bad > kMaxFlagFaults)
    faults.push_back(Format("%zu more records have a bad deletion flag", bad - kMaxFlagFaults));
}

std::vector<std::string> TableFaults(TPageFile& file) {
  std::vector<std::string> faults;
  const uint64_t size = file.Size();
  uint8_t raw[TTableHeader::kSize] = {};
  if (file.ReadAt(0, raw, sizeof raw) < sizeof raw) {
    faults.push_back(Format("the file is %llu bytes long, shorter than a table header",
                            static_cast<unsigned long long>(size)));
    return faults;
  }
  const TTableHeader header = TTableHeader::DecodeFrom(raw);
  if ((header.version & 0x07) != 3)
    faults.push_back(Format("the version byte 0x%02X announces no level-3 or level-4 table",
                            static_cast<unsigned>(header.version)));
  const uint32_t stored = header.record_count;
  const uint16_t header_length = header.header_length;
  const uint16_t record_length = header.record_length;
  if (header_length == 0 || record_length == 0) {
    faults.push_back(Format("the header gives header length %u and record length %u; "
                            "neither may be 0",
                            header_length, record_length));
    return faults;
  }
  if (header_length < 33 || header_length > size) {
    faults.push_back(Format("the header length %u does not fit a file of %llu bytes", header_length,
                            static_cast<unsigned long long>(size)));
    return faults;
  }
  std::vector<uint8_t> block(header_length);
  file.ReadAt(0, block.data(), block.size());
  const uint32_t sum = CheckDescriptors(block, faults);
  if (sum != record_length)
    faults.push_back(Format("the record length %u differs from 1 + the field lengths (%u)",
                            record_length, sum));

  const uint64_t data = size - header_length;
  const uint64_t derived = data / record_length;
  const uint64_t rest = data % record_length;
  if (stored != derived)
    faults.push_back(Format("the header counts %u records, the file holds %llu", stored,
                            static_cast<unsigned long long>(derived)));
  if (rest == 1) {
    uint8_t last = 0;
    file.ReadAt(size - 1, &last, 1);
    if (last != kEndOfFile)
      faults.push_back(Format("the byte after the last record is 0x%02X, not the end-of-file "
                              "marker 0x1A",
                              static_cast<unsigned>(last)));
  } else if (rest > 1) {
    faults.push_back(Format("%llu bytes follow the last whole record: a record is cut short or "
                            "data follows the end-of-file marker",
                            static_cast<unsigned long long>(rest)));
  }
  CheckDeletionFlags(file, header_length, record_length,
                     static_cast<uint32_t>(std::min<uint64_t>(derived, UINT32_MAX)), faults);
  return faults;
}

// Prints the faults of one file, or OK; returns how many there were.
size_t Report(std::ostream& out, const std::string& name, const std::vector<std::string>& faults) {
  if (faults.empty()) out << name << ": OK\n";
  for (const std::string& fault : faults) out << name << ": " << fault << '\n';
  return faults.size();
}

}  // namespace

int RunCheck(const TArgs& args, std::ostream& out) {
  args.ExpectPositional(1, SIZE_MAX, "check FILE.DBF [FILE.NDX]...");
  args.AllowOptions({});
  const std::string& name = args.positional[0];
  const std::string path = AbsolutePath(name);
  size_t faults = 0;
  {
    TPageFile file;
    file.Open(path, TOpenMode::ReadOnly);
    std::vector<std::string> table_faults = TableFaults(file);
    file.Close();
    faults += Report(out, name, table_faults);
  }
  if (args.positional.size() > 1) {
    // Index entries are checked against the records as the table layer
    // reads them.
    TTableFile table;
    std::string unreadable;
    try {
      if (!table.Open(path, TOpenMode::ReadOnly, true))
        unreadable = "its header gives a zero header or record length";
    } catch (const std::exception& e) {
      unreadable = e.what();
    }
    for (size_t i = 1; i < args.positional.size(); ++i) {
      std::vector<std::string> index_faults;
      if (!unreadable.empty()) {
        index_faults.push_back("not checked: the table cannot be read (" + unreadable + ")");
      } else {
        try {
          index_faults = CheckIndexOfTable(table, AbsolutePath(args.positional[i]));
        } catch (const std::exception& e) {
          index_faults.push_back(e.what());
        }
      }
      faults += Report(out, args.positional[i], index_faults);
    }
    table.Close(false);
  }
  return faults == 0 ? kExitOk : kExitNegative;
}

}  // namespace kalbor::dbftool
