// Helpers of the index file tests: an in-memory "table" of records with one
// key field at offset 1 (byte 0 is the deletion flag), and verbs to build,
// walk and check an index over it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "storage/coding.h"
#include "storage/index_check.h"
#include "storage/index_file.h"
#include "test_util.h"

namespace kalbor::test {

// Records of one field at offset 1, `width` bytes wide.
struct TRows {
  bool character = false;
  uint16_t width = 12;
  std::vector<std::vector<uint8_t>> rows;  // rows[recno - 1]

  uint16_t RecordLength() const { return static_cast<uint16_t>(width + 1); }
  uint32_t Count() const { return static_cast<uint32_t>(rows.size()); }
  TKeySource Source() const { return TKeySource{character, 1, width}; }
  const uint8_t* Row(uint32_t recno) const { return rows.at(recno - 1).data(); }

  std::vector<uint8_t> MakeText(const std::string& text) const {
    std::vector<uint8_t> r(RecordLength(), ' ');
    std::memcpy(r.data() + 1, text.data(), std::min<size_t>(text.size(), width));
    return r;
  }
  std::vector<uint8_t> MakeNumber(double value) const {
    char text[64];
    std::snprintf(text, sizeof text, "%*.*f", static_cast<int>(width), 3, value);
    std::vector<uint8_t> r(RecordLength(), ' ');
    std::memcpy(r.data() + 1, text, std::min<size_t>(std::strlen(text), width));
    return r;
  }
  uint32_t AddText(const std::string& text) {
    rows.push_back(MakeText(text));
    return Count();
  }
  uint32_t AddNumber(double value) {
    rows.push_back(MakeNumber(value));
    return Count();
  }
  uint32_t AddBlank() {
    rows.push_back(std::vector<uint8_t>(RecordLength(), ' '));
    return Count();
  }
  void MarkDeleted(uint32_t recno) { rows.at(recno - 1)[0] = '*'; }
  std::function<void(uint32_t, uint8_t*)> Reader() const {
    return [this](uint32_t recno, uint8_t* buffer) {
      std::memcpy(buffer, rows.at(recno - 1).data(), RecordLength());
    };
  }
};

inline TRows NumericRows() { return TRows{false, 12, {}}; }
inline TRows TextRows(uint16_t width) { return TRows{true, width, {}}; }

// Creates (exclusive unless `mode` says otherwise) an index keyed on the
// rows' field and binds it.
inline void CreateIndex(TIndexFile& index, const std::string& path, const TRows& rows,
                        int options = 0, TOpenMode mode = TOpenMode::ExclusiveCreate,
                        const std::string& expression = "KEY") {
  index.Open(path, mode);
  index.SetupKey(expression, rows.character, rows.character ? rows.width : 8, options);
  index.BindKeySource(rows.Source());
}

// Inserts every row in record order (a build).
inline void InsertAll(TIndexFile& index, const TRows& rows) {
  for (uint32_t n = 1; n <= rows.Count(); ++n) index.InsertKey(n, rows.Row(n));
}

inline std::vector<uint32_t> Walk(TIndexFile& index) {
  std::vector<uint32_t> out;
  index.First();
  while (index.Next()) out.push_back(index.CurrentRecNo());
  return out;
}

inline std::vector<uint32_t> WalkBack(TIndexFile& index) {
  std::vector<uint32_t> out;
  index.Last();
  while (index.Prior()) out.push_back(index.CurrentRecNo());
  return out;
}

inline std::vector<uint8_t> NumberKey(double v) {
  std::vector<uint8_t> k(8);
  EncodeDouble(k.data(), v);
  return k;
}

inline std::vector<uint8_t> Page(const std::vector<uint8_t>& file, uint32_t n) {
  if (file.size() < (n + 1) * 512ull) return {};
  return std::vector<uint8_t>(file.begin() + n * 512, file.begin() + (n + 1) * 512);
}

inline uint32_t U32(const std::vector<uint8_t>& bytes, size_t offset) {
  return DecodeFixed32(bytes.data() + offset);
}

// One entry of a page image: child, record number, key bytes.
inline uint32_t EntryChild(const std::vector<uint8_t>& page, size_t entry_length, int i) {
  return U32(page, 4 + i * entry_length);
}
inline uint32_t EntryRecNo(const std::vector<uint8_t>& page, size_t entry_length, int i) {
  return U32(page, 8 + i * entry_length);
}
inline double EntryNumber(const std::vector<uint8_t>& page, size_t entry_length, int i) {
  return DecodeDouble(page.data() + 12 + i * entry_length);
}

inline std::vector<std::string> Check(TIndexFile& index, const TRows& rows) {
  return CheckIndexFile(index, rows.Count(), rows.RecordLength(), rows.Reader());
}

// The order a build gives: by key, equal keys in record order (`keys` in
// record order; descending reverses the key order only).
inline std::vector<uint32_t> ExpectedOrder(const std::vector<double>& keys, bool descending) {
  std::vector<uint32_t> order(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) order[i] = static_cast<uint32_t>(i + 1);
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return descending ? keys[a - 1] > keys[b - 1] : keys[a - 1] < keys[b - 1];
  });
  return order;
}

}  // namespace kalbor::test
