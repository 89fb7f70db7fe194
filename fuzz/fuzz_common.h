// Shared pieces of the fuzz targets: a private scratch folder per process,
// writing the input bytes there as files, and walking a table object through
// everything its rows and fields offer.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "storage/coding.h"
#include "storage/errors.h"
#include "storage/fields.h"
#include "storage/table_object.h"

namespace kalbor::fuzz {

// A folder of this process's own, emptied before every input and removed at
// exit.
inline const std::string& Scratch() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kalbor-fuzz-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    static std::string made = std::string(buf.data()) + "/";
    std::atexit([] {
      if (DIR* d = ::opendir(made.c_str())) {
        while (dirent* e = ::readdir(d))
          if (e->d_name[0] != '.') ::unlink((made + e->d_name).c_str());
        ::closedir(d);
      }
      ::rmdir(made.c_str());
    });
    return made;
  }();
  return folder;
}

inline void EmptyScratch() {
  const std::string& dir = Scratch();
  if (DIR* d = ::opendir(dir.c_str())) {
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    ::closedir(d);
    for (const std::string& n : names) ::unlink((dir + n).c_str());
  }
}

inline void WriteFile(const std::string& name, const uint8_t* data, size_t size) {
  std::string path = Scratch() + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

// Inputs that carry a table and an index: a 4-byte little-endian length of
// the table part, the table bytes, then the index bytes.
struct TPair {
  const uint8_t* table = nullptr;
  size_t table_size = 0;
  const uint8_t* index = nullptr;
  size_t index_size = 0;
};

inline TPair SplitPair(const uint8_t* data, size_t size) {
  TPair p;
  if (size < 4) return p;
  size_t n = DecodeFixed32(data);
  data += 4;
  size -= 4;
  if (n > size) n = size;
  p.table = data;
  p.table_size = n;
  p.index = data + n;
  p.index_size = size - n;
  return p;
}

// A fresh scratch folder holding the pair as FUZZ.DBF and FUZZ.NDX.
inline TPair WritePairFiles(const uint8_t* data, size_t size) {
  EmptyScratch();
  TPair pair = SplitPair(data, size);
  WriteFile("FUZZ.DBF", pair.table, pair.table_size);
  WriteFile("FUZZ.NDX", pair.index, pair.index_size);
  return pair;
}

inline std::vector<uint8_t> JoinPair(const std::vector<uint8_t>& table,
                                     const std::vector<uint8_t>& index) {
  std::vector<uint8_t> out;
  out.resize(4);
  EncodeFixed32(out.data(), static_cast<uint32_t>(table.size()));
  out.insert(out.end(), table.begin(), table.end());
  out.insert(out.end(), index.begin(), index.end());
  return out;
}

// Reads one field through every accessor. A conversion the field kind does
// not offer raises ETableError; anything else escaping is a fault.
inline void TouchField(TField& f) {
  try { (void)f.AsString(); } catch (const ETableError&) {}
  try { (void)f.AsFloat(); } catch (const ETableError&) {}
  try { (void)f.AsInteger(); } catch (const ETableError&) {}
  try { (void)f.AsBoolean(); } catch (const ETableError&) {}
  try { (void)f.AsDateTime(); } catch (const ETableError&) {}
  try { (void)f.AsVariant(); } catch (const ETableError&) {}
  try { (void)f.IsNull(); } catch (const ETableError&) {}
  try { (void)f.DisplayText(); } catch (const ETableError&) {}
}

inline void TouchRow(TTableObject& t) {
  for (size_t i = 0; i < t.FieldCount(); ++i) TouchField(t.Fields(i));
  (void)t.RecNo();
  (void)t.Bookmark();
}

// The value of every field: the cheap reading, for walks that repeat one.
inline void ReadRow(TTableObject& t) {
  for (size_t i = 0; i < t.FieldCount(); ++i) {
    try {
      (void)t.Fields(i).AsVariant();
    } catch (const ETableError&) {
    }
  }
  (void)t.RecNo();
}

// First to last touching every field of every row through every accessor
// (with `every_accessor`; else reading every value), then last to first
// reading every value.
inline void WalkBothWays(TTableObject& t, bool every_accessor = true) {
  t.First();
  while (!t.Eof()) {
    if (every_accessor) TouchRow(t);
    else ReadRow(t);
    t.Next();
  }
  t.Last();
  while (!t.Bof()) {
    ReadRow(t);
    t.Prior();
  }
  (void)t.RecordCount();
  (void)t.CountVisibleRows();
}

// Writes every field of the current row back with the value it reads as.
inline void RewriteRow(TTableObject& t) {
  for (size_t i = 0; i < t.FieldCount(); ++i) {
    TField& f = t.Fields(i);
    try {
      f.SetAsVariant(f.AsVariant());
    } catch (const ETableError&) {
    }
  }
}

// The changes a user makes, on a table that may be damaged: edit the first
// row (every field written back, then `also` on the row being edited),
// append a copy of the row as it read before, delete the last row.
// Refusals are expected; anything else escaping is a fault.
inline void EditAppendDelete(TTableObject& t,
                             const std::function<void(TTableObject&)>& also = {}) {
  t.First();
  if (t.IsEmpty()) return;
  std::vector<TVariant> values;
  for (size_t i = 0; i < t.FieldCount(); ++i) {
    try {
      values.push_back(t.Fields(i).AsVariant());
    } catch (const ETableError&) {
      values.emplace_back();
    }
  }
  try {
    t.Edit();
    RewriteRow(t);
    if (also) also(t);
    t.Post();
  } catch (const ETableError&) {
    t.Cancel();
  }
  try {
    t.Append();
    for (size_t i = 0; i < t.FieldCount() && i < values.size(); ++i) {
      try {
        t.Fields(i).SetAsVariant(values[i]);
      } catch (const ETableError&) {
      }
    }
    t.Post();
  } catch (const ETableError&) {
    t.Cancel();
  }
  try {
    t.Last();
    if (!t.IsEmpty()) t.Delete();
  } catch (const ETableError&) {
  }
}

}  // namespace kalbor::fuzz
