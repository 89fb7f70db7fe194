// The food catalogue and the selection list: the name key of products, the
// food-group filter of both lists, the selection list USERCAL.DBF built from
// the products marked USED, and the number of a new product.
#include <vector>

#include "data/dm1.h"
#include "data/walk_guards.h"
#include "storage/errors.h"
#include "storage/index_options.h"

namespace kalbor {

// --- Group filter -----------------------------------------------------------

// Takes the current food group; on the food entry page it narrows the
// selection list, on the food data page the catalogue; group 0 shows all.
void TDM1::ApplyGroupFilter() {
  MakeDB.SetFiltered(false);
  FoodCalDbf.SetFiltered(false);
  SelectedGroup = FoodGroupDbfGROUP_ID->AsInteger();
  if (SelectedGroup > 0) {
    if (window_.PageMode() == pmFoodEntry) MakeDB.SetFiltered(true);
    if (window_.PageMode() == pmFoodData) FoodCalDbf.SetFiltered(true);
  }
  if (SelectedGroup < 1) {
    window_.SetGroupLabel("All");
    window_.SetAddProductEnabled(false);
  } else {
    window_.SetGroupLabel(std::to_string(SelectedGroup));
    window_.SetAddProductEnabled(true);
  }
}

void TDM1::FoodCalDbfFilterRecord(TTableObject&, bool& accept) {
  accept = FoodCalDbfGROUP_ID->AsInteger() == SelectedGroup;
}

// MakeDB also makes and seeds every other table; a table without food groups
// is not narrowed by the group filter.
void TDM1::MakeDBFilterRecord(TTableObject& table, bool& accept) {
  TField* group = table.FindField("GROUP_ID");
  accept = group == nullptr || table.FindField("FOOD_ID") == nullptr ||
           group->AsInteger() == SelectedGroup;
}

void TDM1::FoodGroupDbfAfterScroll(TTableObject&) { ApplyGroupFilter(); }

// --- Name key ---------------------------------------------------------------

void TDM1::FoodCalDbfAfterEdit(TTableObject&) {
  FoodCalDbfIDX_NAME->SetAsString(NameKey(FoodCalDbfNAME->AsString()));
}

// Every stored product has its kilocalories, and none below zero (water
// and tea have 0).
void TDM1::FoodCalDbfBeforePost(TTableObject&) {
  CheckProductCalories(FoodCalDbfCALORIES->IsNull()
                           ? std::nullopt
                           : std::optional<int32_t>(FoodCalDbfCALORIES->AsInteger()));
  FoodCalDbfIDX_NAME->SetAsString(NameKey(FoodCalDbfNAME->AsString()));
}

void CheckProductCalories(std::optional<int32_t> calories) {
  if (!calories) throw ETableError(kNoCaloriesText);
  if (*calories < 0) throw ETableError(kNegativeCaloriesText);
}

// --- Selection list ---------------------------------------------------------

void TDM1::BuildUserCal() {
  MakeDB.Close();
  MakeDB.SetTableName(kUserCalFile);
  // The new file takes the catalogue file's own field list.
  if (!FoodCalDbf.Active()) FoodCalDbf.Open();
  MakeDB.CreateDbfFile(FoodCalDbf.FileFieldDefs());

  MakeDB.Open();
  FoodCalDbf.SetFiltered(false);
  FoodCalDbf.First();
  TControlsSuspended catalogue_suspended(FoodCalDbf);
  TControlsSuspended list_suspended(MakeDB);
  TProgressReset progress(window_);
  window_.SetProgressMax(FoodCalDbf.CountVisibleRows());

  // Field i of the list is field i of the catalogue file; each is fed from
  // the catalogue's field of the same name.
  std::vector<std::pair<TField*, TField*>> copy;
  for (size_t i = 0; i < MakeDB.FieldCount(); ++i) {
    TField& target = MakeDB.Fields(i);
    if (TField* source = FoodCalDbf.FindField(target.FieldName());
        source && source->FieldKind() == TFieldKind::fkData)
      copy.emplace_back(&target, source);
  }
  TField& used = *FoodCalDbfUSED;
  for (; !FoodCalDbf.Eof(); FoodCalDbf.Next()) {
    if (used.AsBoolean()) {
      MakeDB.Insert();
      try {
        for (auto& [target, source] : copy) target->SetAsVariant(source->AsVariant());
        MakeDB.Post();
      } catch (...) {
        MakeDB.Cancel();
        throw;
      }
    }
    window_.ProcessMessages();
    window_.StepProgress();
  }

  try {
    MakeDB.SetIndexName("");
    MakeDB.BuildIndexFile(kUserCalIndex, "NAME", ixCaseInsensitive);
    MakeDB.SetIndexName(kUserCalIndex);
  } catch (const std::exception&) {
    // The list stays in file order.
  }
  MakeDB.First();
}

// Highest FOOD_ID of the whole catalogue, whatever group it shows, plus 1.
int32_t TDM1::NextFoodId() {
  if (!FoodCalDbf.Active()) FoodCalDbf.Open();
  TControlsSuspended suspended(FoodCalDbf);
  const bool filtered = FoodCalDbf.Filtered();
  const uint32_t bookmark = FoodCalDbf.Bookmark();
  int32_t highest = 0;
  FoodCalDbf.SetFiltered(false);
  try {
    TField& food_id = *FoodCalDbfFOOD_ID;
    for (FoodCalDbf.First(); !FoodCalDbf.Eof(); FoodCalDbf.Next())
      highest = std::max(highest, food_id.AsInteger());
  } catch (...) {
    FoodCalDbf.SetFiltered(filtered);
    throw;
  }
  FoodCalDbf.SetFiltered(filtered);
  if (bookmark != 0) FoodCalDbf.GotoBookmark(bookmark);
  return highest + 1;
}

// --- Pages' steps ------------------------------------------------------------

bool TDM1::OpenUserCal() {
  try {
    MakeDB.Close();
    MakeDB.SetTableName(kUserCalFile);
    MakeDB.Open();
    MakeDB.SetIndexName("");
    MakeDB.BuildIndexFile(kUserCalIndex, "IDX_NAME", ixCaseInsensitive);
    MakeDB.SetIndexName(kUserCalIndex);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TDM1::FindProduct(const std::string& text) {
  if (!MakeDB.Active() || !MakeDB.FindField("NAME")) return false;
  return MakeDB.Locate("NAME", TVariant(text), loCaseInsensitive | loPartialKey);
}

bool TDM1::OpenCatalogue() {
  try {
    FoodCalDbf.Close();
    FoodCalDbf.SetTableName(kFoodCalFile);
    FoodCalDbf.Open();
    if (!FoodCalDbf.Active()) FoodCalDbf.Open();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void TDM1::OpenFoodGroups() {
  if (!FoodGroupDbf.Active()) FoodGroupDbf.Open();
}

// The name column sorts by the upper-cased name key, so letter case does not
// matter.
void TDM1::SortCatalogue(const std::string& field) {
  const std::string key = field == "NAME" ? "IDX_NAME" : field;
  FoodCalDbf.Close();
  FoodCalDbf.Open();
  FoodCalDbf.SetIndexName("");
  FoodCalDbf.BuildIndexFile(kFoodCalIndex, key, ixCaseInsensitive);
  FoodCalDbf.SetIndexName(kFoodCalIndex);
  FoodCalDbf.First();
}

void TDM1::ToggleProductField(const std::string& field_name) {
  if (!FoodCalDbf.Active()) return;
  const bool inserting = FoodCalDbf.State() == TDataSetState::dsInsert;
  if (!inserting && FoodCalDbf.IsEmpty()) return;
  TField* field = FoodCalDbf.FindField(field_name);
  if (!field) return;
  const bool began_edit = FoodCalDbf.State() == TDataSetState::dsBrowse;
  try {
    FoodCalDbf.Edit();
    field->SetAsBoolean(!field->AsBoolean());
    if (!inserting) FoodCalDbf.Post();
  } catch (const ETableError&) {
    // A mark that could not be stored is not left pending either.
    if (began_edit && FoodCalDbf.State() == TDataSetState::dsEdit) FoodCalDbf.Cancel();
    throw;
  }
}

void TDM1::AddProduct(int32_t group, const std::string& name, const std::string& make,
                      std::optional<int32_t> calories) {
  // A refused value adds nothing; a missing one leaves the row open.
  if (calories) CheckProductCalories(calories);
  const int32_t id = NextFoodId();
  FoodCalDbf.Insert();
  try {
    FoodCalDbfGROUP_ID->SetAsInteger(group);
    FoodCalDbfUSED->SetAsBoolean(true);
    FoodCalDbfFOOD_ID->SetAsInteger(id);
    FoodCalDbfNAME->SetAsString(name);
    FoodCalDbfMAKE->SetAsString(make);
  } catch (...) {
    // A name or make the table cannot hold: nothing is added.
    FoodCalDbf.Cancel();
    throw;
  }
  if (!calories) return;  // the new row stays open until it is posted or cancelled
  FoodCalDbfCALORIES->SetAsInteger(*calories);
  FoodCalDbf.Post();
}

bool TDM1::NewProductOpen() const {
  return FoodCalDbf.Active() && FoodCalDbf.State() == TDataSetState::dsInsert;
}

void TDM1::CancelNewProduct() {
  if (NewProductOpen()) FoodCalDbf.Cancel();
}

}  // namespace kalbor
