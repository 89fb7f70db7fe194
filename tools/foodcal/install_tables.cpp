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
  for (TTableObject* t : {&dm.UserDbf, &dm.FoodCalDbf, &dm.MakeDB, &dm.MealTypeDbf,
                          &dm.UserFoodDbf, &dm.FoodGroupDbf, &dm.UserResultDbf})
    t->SetFilePath(folder);

  report.meal_types_made = !FileExists(folder + "MEALTYPE.DBF");
  dm.MakeTableByNumber(tnMealType);
  report.food_groups_made = !FileExists(folder + "FOODGROUPS.DBF");
  dm.MakeTableByNumber(tnFoodGroups);

  if (FileExists(folder + "FOODCAL.DBF")) return report;
  std::vector<CatalogueRow> rows = BuildCatalogue(ReadSourceFoods(source_csv));
  // The catalogue is filled under a spare name and renamed into place at
  // the end, so a build that stops half-way never leaves a short catalogue
  // that later builds would take for the user's own.
  const std::string spare = "FOODCAL_NEW.DBF";
  DeleteFile(folder + spare);
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
  RenameFile(folder + spare, folder + "FOODCAL.DBF");
  report.catalogue_made = true;
  report.products = static_cast<int>(rows.size());
  return report;
}

}  // namespace kalbor
