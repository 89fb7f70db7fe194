// The food diary: the values of a new row, the diary's order key and index
// file, the one-day filter, and the hooks that keep the user's entry count
// and the calendar's bold days current.
#include <cmath>
#include <limits>

#include "data/dm1.h"
#include "data/walk_guards.h"
#include "storage/dates.h"
#include "storage/errors.h"

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
// diary shows rows; an empty view stays in file order. An index the diary
// has selected is kept current by every change made through the diary, so
// it is not built again.
void TDM1::IndexUserFood() {
  const int32_t id = window_.CurrentUserId();
  if (!FileExists(FolderFile(UserFileName(id)))) return;
  const std::string index_file = UserIndexFileName(id);
  if (UserFoodDbf.Active() && DiaryHolds(UserFileName(id)) &&
      SameTextAscii(UserFoodDbf.IndexName(), index_file)) {
    if (!UserFoodDbf.HasVisibleRows()) UserFoodDbf.SetIndexName("");
    return;
  }
  UserFoodDbf.SetIndexName("");
  UserFoodDbf.BuildIndexFile(index_file, "INDEXFLD", 0);
  if (UserFoodDbf.HasVisibleRows()) UserFoodDbf.SetIndexName(index_file);
}

void TDM1::OpenDiary(int32_t user_id) {
  TControlsSuspended suspended(UserFoodDbf);
  UserFoodDbf.Close();
  UserFoodDbf.SetTableName(UserFileName(user_id));
  UserFoodDbf.Open();
  UserFoodDbf.SetFiltered(false);
  IndexUserFood();
}

void TDM1::CloseDiary() {
  UserFoodDbf.Close();
  UserFoodDbf.SetTableName("");
}

bool TDM1::DiaryFileExists(int32_t user_id) const {
  return FileExists(FolderFile(UserFileName(user_id)));
}

std::optional<int32_t> TDM1::SelectedFoodId() {
  if (!MakeDB.Active() || MakeDB.IsEmpty()) return std::nullopt;
  try {
    return MakeDB.FieldByName("FOOD_ID").AsInteger();
  } catch (const ETableError&) {
    return std::nullopt;
  }
}

TStoreResult TDM1::StoreDiaryRow(int32_t date_serial, int meal_position, int32_t food_id,
                                 int32_t quantity) {
  if (quantity <= 0) return TStoreResult::QuantityNotPositive;
  // A diary already open on the user's file stays open, with its index.
  const std::string file = UserFileName(window_.CurrentUserId());
  if (!DiaryHolds(file)) {
    UserFoodDbf.Close();
    UserFoodDbf.SetTableName(file);
    UserFoodDbf.Open();  // opens the catalogue as a lookup table too
  }

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

TAddFoodResult TDM1::AddFood(int32_t date_serial, int meal_position,
                             std::optional<int32_t> food_id, int32_t quantity) {
  TAddFoodResult out;
  if (!food_id) return out;
  if (!FileExists(FolderFile(UserFileName(window_.CurrentUserId())))) {
    // Making the diary re-points the table object that holds the selection
    // list: the list is opened again on the same product.
    uint32_t product_row = 0;
    try {
      if (MakeDB.Active()) product_row = MakeDB.Bookmark();
    } catch (const ETableError&) {
    }
    MakeTableByNumber(tnUserFood);
    if (OpenUserCal()) {
      ApplyGroupFilter();
      try {
        if (product_row != 0) MakeDB.GotoBookmark(product_row);
      } catch (const ETableError&) {
      }
    }
  }
  uint32_t new_row = 0;
  try {
    out.result = StoreDiaryRow(date_serial, meal_position, *food_id, quantity);
    // Posting leaves the diary where it was; the new row is the file's last.
    if (out.result == TStoreResult::Stored) new_row = UserFoodDbf.FileRecordCount();
  } catch (const ETableError& e) {
    out.error = e.what();
  }
  IndexUserFood();
  if (UserFoodDbf.Active()) {
    UserFoodDbf.Refresh();
    // The diary shows the food just added, so that "&Delete" right after it
    // takes that row back.
    try {
      if (new_row != 0) UserFoodDbf.GotoBookmark(new_row);
    } catch (const ETableError&) {
    }
  }
  return out;
}

void TDM1::SetDiaryView(bool one_day) {
  if (!UserFoodDbf.Active()) return;
  UserFoodDbf.SetFiltered(one_day);
  IndexUserFood();
  UserFoodDbf.Refresh();
}

void TDM1::DiaryFilterOff() { UserFoodDbf.SetFiltered(false); }

void TDM1::DiaryDateChanged() {
  if (!UserFoodDbf.Active()) return;
  // The one-day view of a day without rows left the diary in file order; a
  // day with rows is shown in meal order again.
  if (UserFoodDbf.Filtered() && UserFoodDbf.IndexName().empty()) IndexUserFood();
  UserFoodDbf.Refresh();
}

void TDM1::RefreshDiary() {
  if (UserFoodDbf.Active()) UserFoodDbf.Refresh();
}

bool TDM1::DiaryShowsRows() { return UserFoodDbf.Active() && UserFoodDbf.HasVisibleRows(); }

void TDM1::DeleteDiaryRow() { UserFoodDbf.Delete(); }

// Walks the diary in its present view; its current row is kept.
std::array<int64_t, 5> TDM1::DayTotals(int32_t date_serial) {
  std::array<int64_t, 5> sums{};
  if (!UserFoodDbf.Active()) UserFoodDbf.Open();
  TControlsSuspended suspended(UserFoodDbf);
  const uint32_t bookmark = UserFoodDbf.Bookmark();
  TField& datum = *UserFoodDbfDATUM;
  TField& kind_field = *UserFoodDbfKIND;
  TField& calories = *UserFoodDbfCALORIES;
  for (UserFoodDbf.First(); !UserFoodDbf.Eof(); UserFoodDbf.Next()) {
    if (std::floor(datum.AsDateTime()) != date_serial) continue;
    const int32_t kind = kind_field.AsInteger();
    if (kind >= 1 && kind <= 5) sums[static_cast<size_t>(kind - 1)] += calories.AsInteger();
  }
  if (bookmark != 0) UserFoodDbf.GotoBookmark(bookmark);
  return sums;
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
