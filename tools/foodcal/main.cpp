// kalbor-install-tables PROGRAM_FOLDER SOURCE_CSV: gives a program folder the
// tables a first start needs (catalogue, meal types, food groups), keeping
// any that exist.
#include <cstdio>
#include <exception>

#include "tools/foodcal/install_tables.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kalbor-install-tables PROGRAM_FOLDER SOURCE_CSV\n");
    return 2;
  }
  try {
    kalbor::TInstallReport r = kalbor::InstallTables(argv[1], argv[2]);
    if (r.catalogue_made) std::printf("FOODCAL.DBF: %d products\n", r.products);
    if (r.meal_types_made) std::printf("MEALTYPE.DBF made\n");
    if (r.food_groups_made) std::printf("FOODGROUPS.DBF made\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kalbor-install-tables: %s\n", e.what());
    return 1;
  }
  return 0;
}
