// The food diary: the values of a new row, the diary's order key and index
// file, the one-day filter, and the hooks that keep the user's entry count
// and the calendar's bold days current.
#include <limits>

#include "data/dm1.h"
#include "storage/dates.h"

namespace kalbor {

namespace {

const char kQuantityTooLargeText[] =
    "The quantity is too large for this product.\r\nPlease enter a smaller quantity.";
const char kQuantityTooLargeCaption[] = "Invalid Quantity";

// The widest whole number the diary's numeric columns hold (9 characters).
constexpr int32_t kMaxStoredNumber = 999999999;

}  // namespace

int32_t DiaryOrderKey(int32_t date_serial, int meal_position) {
  return SerialToDayNumber(date_serial) * 10 + meal_position;
}

std::optional<int32_t> ComputeCalories(int32_t kcal_per_100g, int32_t quantity) {
  const int64_t product = int64_t{kcal_per_100g} * quantity;
  if (product > std::numeric_limits<int32_t>::max() ||
      product < std::numeric_limits<int32_t>::min())
    return std::nullopt;
  return static_cast<int32_t>(product / 100);  // truncates toward zero
}

// Builds USERnnnn.NDX on INDEXFLD (date, then meal) and selects it while the
// diary shows rows; an empty view stays in file order.
void TDM1::IndexUserFood() {
  const std::string name = UserFileName(window_.CurrentUserId());
  if (!FileExists(FolderFile(name))) return;
  const std::string index_file = ChangeFileExt(name, ".NDX");
  UserFoodDbf.SetIndexName("");
  UserFoodDbf.BuildIndexFile(index_file, "INDEXFLD", 0);
  if (UserFoodDbf.CountVisibleRows() > 0) UserFoodDbf.SetIndexName(index_file);
}

int32_t TDM1::SelectedFoodId() { return MakeDB.FieldByName("FOOD_ID").AsInteger(); }

TStoreResult TDM1::StoreDiaryRow(int32_t date_serial, int meal_position, int32_t food_id,
                                 int32_t quantity) {
  if (quantity <= 0) return TStoreResult::QuantityNotPositive;
  UserFoodDbf.Close();
  UserFoodDbf.SetTableName(UserFileName(window_.CurrentUserId()));
  UserFoodDbf.Open();  // opens the catalogue as a lookup table too

  // The product's kilocalories, whatever food group the catalogue shows.
  int32_t kcal = 0;
  {
    const bool filtered = FoodCalDbf.Filtered();
    FoodCalDbf.SetFiltered(false);
    bool found = false;
    try {
      found = FoodCalDbf.Locate("FOOD_ID", TVariant(double(food_id)), 0);
      if (found) kcal = FoodCalDbfCALORIES->AsInteger();
    } catch (...) {
      FoodCalDbf.SetFiltered(filtered);
      throw;
    }
    FoodCalDbf.SetFiltered(filtered);
    if (!found) kcal = 0;
  }
  const std::optional<int32_t> calories = ComputeCalories(kcal, quantity);
  if (!calories || quantity > kMaxStoredNumber) {
    window_.ShowMessageBox(kQuantityTooLargeText, kQuantityTooLargeCaption, TMsgIcon::Error,
                           TMsgButtons::OK, TModalResult::OK);
    return TStoreResult::QuantityTooLarge;
  }

  UserFoodDbf.Insert();
  try {
    UserFoodDbfDATUM->SetAsDateTime(date_serial);
    UserFoodDbfINDEXFLD->SetAsInteger(DiaryOrderKey(date_serial, meal_position));
    UserFoodDbfFOOD_ID->SetAsInteger(food_id);
    UserFoodDbfKIND->SetAsInteger(meal_position + 1);
    UserFoodDbfQUANTITY->SetAsInteger(quantity);
    UserFoodDbfCALORIES->SetAsInteger(*calories);
    UserFoodDbf.Post();  // the after-post hook refreshes the entry count
  } catch (...) {
    UserFoodDbf.Cancel();
    throw;
  }
  return TStoreResult::Stored;
}

// --- Hooks ------------------------------------------------------------------

// One-day view: only rows of the calendar's date.
void TDM1::UserFoodDbfFilterRecord(TTableObject&, bool& accept) {
  accept = UserFoodDbfDATUM->AsDateTime() == double(window_.CalendarDate());
}

void TDM1::UserFoodDbfAfterPost(TTableObject&) { UpdateUserCount(); }

// A deletion marks the row by editing and posting it, so the after-post hook
// counts again once the row is gone.
void TDM1::UserFoodDbfBeforeDelete(TTableObject&) { UpdateUserCount(); }

void TDM1::UserFoodDbfAfterDelete(TTableObject&) { window_.RefreshCalendar(); }

}  // namespace kalbor
