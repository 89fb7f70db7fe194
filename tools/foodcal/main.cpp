// kalbor-install-tables PROGRAM_FOLDER SOURCE_CSV: gives a program folder the
// tables a first start needs (catalogue, meal types, food groups), keeping
// any that exist.
#include <cstdio>
#include <exception>

#include "data/file_names.h"
#include "tools/foodcal/install_tables.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kalbor-install-tables PROGRAM_FOLDER SOURCE_CSV\n");
    return 2;
  }
  try {
    kalbor::TInstallReport r = kalbor::InstallTables(argv[1], argv[2]);
    if (r.catalogue_made) std::printf("%s: %d products\n", kalbor::kFoodCalFile, r.products);
    if (r.meal_types_made) std::printf("%s made\n", kalbor::kMealTypeFile);
    if (r.food_groups_made) std::printf("%s made\n", kalbor::kFoodGroupsFile);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kalbor-install-tables: %s\n", e.what());
    return 1;
  }
  return 0;
}
