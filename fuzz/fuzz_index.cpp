// Fuzz target: a table file and an index file placed side by side (input:
// 4-byte little-endian table length, table bytes, index bytes). Opens the
// table with the index listed, selects it, walks both ways, moves by
// position, searches it, and changes rows so the index is maintained. Only
// ETableError may come out.
#include "fuzz_common.h"

#include "storage/index_file.h"

using namespace kalbor;

namespace {

void Exercise(TTableObject& t, const std::string& expression) {
  // The fields' own conversions are the table target's business: here the
  // rows are read by value, the first one through every accessor.
  t.First();
  if (!t.IsEmpty()) fuzz::TouchRow(t);
  fuzz::WalkBothWays(t, false);
  const int32_t count = t.RecordCount();
  for (int32_t n : {0, 1, 2, count / 2, count, count + 1})
    try {
      t.SetRecNo(n);
      fuzz::ReadRow(t);
    } catch (const ETableError&) {
    }

  // Exact searches through the index: for the values of the first and last
  // rows, and for values no row is likely to hold.
  std::vector<TVariant> keys = {TVariant(0.0), TVariant(-1e300), TVariant(std::string()),
                                TVariant(std::string("ZZZZ"))};
  for (bool last : {false, true}) {
    if (last) t.Last(); else t.First();
    if (t.IsEmpty()) break;
    for (size_t i = 0; i < t.FieldCount(); ++i) {
      try {
        keys.push_back(t.Fields(i).AsVariant());
      } catch (const ETableError&) {
      }
    }
  }
  // Every key on every field would make each input slow: the walking
  // search (fields the index is not keyed on) gets the first row's value.
  for (size_t i = 0; i < t.FieldCount(); ++i) {
    const std::string name = t.Fields(i).FieldName();
    const bool by_index = name == expression;
    for (size_t k = 0; k < keys.size(); ++k) {
      if (!by_index && k != 4 + i) continue;
      try {
        t.Locate(name, keys[k], 0);
        fuzz::ReadRow(t);
      } catch (const ETableError&) {
      }
    }
  }
  if (t.ReadOnly) return;

  // Changes that maintain the index; the edit also changes the first field.
  fuzz::EditAppendDelete(t, [](TTableObject& row) {
    if (row.FieldCount() == 0) return;
    TField& f = row.Fields(0);
    try {
      if (f.DataType() == ftString) f.SetAsString("A");
      else f.SetAsFloat(1);
    } catch (const ETableError&) {
    }
  });
  fuzz::WalkBothWays(t, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TPair pair = fuzz::WritePairFiles(data, size);
  // The key expression as the header stores it (offset 24, zero-ended).
  std::string expression;
  for (size_t i = 24; i < pair.index_size && i < 244 && pair.index[i] != 0; ++i)
    expression += static_cast<char>(pair.index[i]);
  for (int pass = 0; pass < 2; ++pass) {
    TTableObject t;
    t.SetFilePath(fuzz::Scratch());
    t.SetTableName("FUZZ.DBF");
    t.Exclusive = pass == 0;
    t.ReadOnly = pass == 1;
    t.Indexes.push_back(TIndexDef{"FUZZ.NDX", "", 0});
    t.SetIndexName("FUZZ.NDX");
    try {
      t.Open();
      if (!t.Active()) continue;
      Exercise(t, expression);
      t.Close();
    } catch (const ETableError&) {
    }
  }
  return 0;
}
