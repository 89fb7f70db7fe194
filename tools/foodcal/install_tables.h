// The tables a fresh installation needs before its first start: the food
// catalogue FOODCAL.DBF built from the shipped energy list, and the two code
// tables MEALTYPE.DBF and FOODGROUPS.DBF with their seed rows. Files that
// exist are left alone: they hold the users' own products and marks.
#pragma once

#include <string>

namespace kalbor {

struct TInstallReport {
  bool catalogue_made = false;
  int products = 0;
  bool meal_types_made = false;
  bool food_groups_made = false;
};

// `program_folder` ends with a separator; `source_csv` is the energy list.
TInstallReport InstallTables(const std::string& program_folder, const std::string& source_csv);

}  // namespace kalbor
