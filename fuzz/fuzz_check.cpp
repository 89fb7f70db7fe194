// Fuzz target: `kalbor-dbf check` on a table file and an index file placed
// side by side (input: 4-byte little-endian table length, table bytes, index
// bytes). The check reads damaged files on purpose; it must name what it
// finds and never fail in any other way than by reporting.
#include <sstream>

#include "commands.h"
#include "fuzz_common.h"
#include "tool_error.h"

using namespace kalbor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WritePairFiles(data, size);
  dbftool::TArgs args;
  args.command = "check";
  args.positional = {fuzz::Scratch() + "FUZZ.DBF", fuzz::Scratch() + "FUZZ.NDX"};
  std::ostringstream out;
  try {
    dbftool::RunCheck(args, out);
  } catch (const ETableError&) {
    // The table file itself cannot be opened for reading: reported by the
    // command's caller.
  }
  return 0;
}
