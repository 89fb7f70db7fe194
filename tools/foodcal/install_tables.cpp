#include "tools/foodcal/install_tables.h"

#include "data/dm1.h"
#include "data/headless_window.h"
#include "storage/files.h"
#include "tools/foodcal/catalogue_rules.h"

namespace kalbor {


TInstallReport InstallTables(const std::string& program_folder, const std::string& source_csv) {
  TInstallReport report;
  const std::string folder = WithTrailingSeparator(program_folder);
  THeadlessWindow window;  // questions get their default: nothing is replaced
  TDM1 dm(window);
  dm.SetFolder(folder);

  report.meal_types_made = !FileExists(dm.FolderFile(kMealTypeFile));
  dm.MakeTableByNumber(tnMealType);
  report.food_groups_made = !FileExists(dm.FolderFile(kFoodGroupsFile));
  dm.MakeTableByNumber(tnFoodGroups);

  if (FileExists(dm.FolderFile(kFoodCalFile))) return report;
  std::vector<CatalogueRow> rows = BuildCatalogue(ReadSourceFoods(source_csv));
  // The catalogue is filled under a spare name and renamed into place at
  // the end, so a build that stops half-way never leaves a short catalogue
  // that later builds would take for the user's own.
  const std::string spare = "FOODCAL_NEW.DBF";
  DeleteFile(dm.FolderFile(spare));
  dm.MakeFoodTable(spare);
  TTableObject& t = dm.MakeDB;
  t.SetTableName(spare);
  t.Exclusive = true;
  t.Open();
  for (const CatalogueRow& row : rows)
    AppendCatalogueProduct(
        t, {row.group_id, row.used, row.food_id, row.name, row.make, row.calories});
  t.Close();
  t.Exclusive = false;
  RenameFile(dm.FolderFile(spare), dm.FolderFile(kFoodCalFile));
  report.catalogue_made = true;
  report.products = static_cast<int>(rows.size());
  return report;
}

}  // namespace kalbor
