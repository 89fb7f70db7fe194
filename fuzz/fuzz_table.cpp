// Fuzz target: any bytes placed in the program folder as a table file.
// Opens them as the program does, walks every row both ways through every
// field accessor, edits, appends, deletes and packs, then reads the result
// again read-only with integer fields. Only ETableError may come out.
#include "fuzz_common.h"
#include "storage/index_options.h"

using namespace kalbor;

namespace {

void Exercise(TTableObject& t) {
  fuzz::WalkBothWays(t);
  t.SetShowDeleted(true);
  for (t.First(); !t.Eof(); t.Next()) fuzz::ReadRow(t);
  t.SetShowDeleted(false);
  if (t.ReadOnly) return;

  // Ordered views over the first fields, built from whatever they hold, and
  // searches through them and by walking.
  for (size_t i = 0; i < t.FieldCount() && i < 3; ++i) {
    const std::string name = t.Fields(i).FieldName();
    try {
      t.SetIndexName("");
      t.BuildIndexFile("FUZZ.NDX", name, i == 1 ? ixDescending : 0);
      t.SetIndexName("FUZZ.NDX");
      fuzz::WalkBothWays(t, false);
      t.Last();
      if (!t.IsEmpty()) {
        TVariant value = t.Fields(i).AsVariant();
        t.Locate(name, value, 0);
        t.Locate(name, TVariant(std::string("a")), loCaseInsensitive | loPartialKey);
      }
    } catch (const ETableError&) {
    }
  }
  try {
    t.SetIndexName("");
  } catch (const ETableError&) {
  }

  fuzz::EditAppendDelete(t);
  try {
    t.PackFile();
  } catch (const ETableError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::EmptyScratch();
  fuzz::WriteFile("FUZZ.DBF", data, size);
  for (int pass = 0; pass < 2; ++pass) {
    TTableObject t;
    t.SetFilePath(fuzz::Scratch());
    t.SetTableName("FUZZ.DBF");
    t.Exclusive = pass == 0;
    t.ReadOnly = pass == 1;
    t.UseFloatFields = pass == 0;
    try {
      t.Open();
      if (!t.Active()) continue;  // a header announcing no fields opens silently closed
      Exercise(t);
      t.Close();
    } catch (const ETableError&) {
    }
  }
  return 0;
}
