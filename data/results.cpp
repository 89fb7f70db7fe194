// Daily results: USERRESULT.DBF thrown away and rebuilt from the current
// user's diary, one row per day with entries, in date order.
#include "data/dm1.h"
#include "data/walk_guards.h"
#include "storage/dates.h"
#include "storage/errors.h"

namespace kalbor {

// The table is thrown away first; one that cannot be is an error, and the
// grid shows nothing rather than another user's days.
void TDM1::BuildUserResult() {
  const std::string path = FolderFile(kUserResultFile);
  if (FileExists(path)) {
    UserResultDbf.Close();
    UserResultDbf.SetTableName("");
    if (!DeleteFile(path)) throw ETableError(Format("Cannot delete file %s", path.c_str()));
  }
  MakeTableByNumber(tnUserResult);

  UserResultDbf.SetTableName(kUserResultFile);
  if (!UserResultDbf.Active()) UserResultDbf.Open();
  UserResultDbf.First();
  TControlsSuspended result_suspended(UserResultDbf);
  TProgressReset progress(window_);
  // The rows the diary shows now, before it is re-pointed below.
  window_.SetProgressMax(UserFoodDbf.Active() ? UserFoodDbf.CountVisibleRows() : 0);

  const std::string name = UserFileName(window_.CurrentUserId());
  bool any = false;
  int32_t day = 0;
  int64_t sum = 0;
  if (FileExists(FolderFile(name))) {
    TControlsSuspended diary_suspended(UserFoodDbf);
    OpenDiary(window_.CurrentUserId());  // date, then meal

    TField& calories = *UserFoodDbfCALORIES;
    TField& indexfld = *UserFoodDbfINDEXFLD;
    for (UserFoodDbf.First(); !UserFoodDbf.Eof(); UserFoodDbf.Next()) {
      const int32_t cal = calories.AsInteger();
      const int32_t d = indexfld.AsInteger() / 10;
      if (d == day) {
        sum += cal;
      } else {
        if (day > 0) AddResultDay(day, sum);
        sum = cal;
        day = d;
      }
      window_.StepProgress();
      window_.ProcessMessages();
      any = true;
    }
  }
  if (any) AddResultDay(day, sum);
  // Left open for the result page; a diary name without a file (no user
  // selected) stays closed instead of failing after the rebuild.
  if (!UserFoodDbf.Active() && FileExists(UserFoodDbf.FullFileName())) UserFoodDbf.Open();
}

void TDM1::AddResultDay(int32_t day_number, int64_t total) {
  const int32_t serial = DayNumberToSerial(day_number);
  UserResultDbf.Insert();
  UserResultDbfCALORIES->SetAsFloat(static_cast<double>(total));
  UserResultDbfDATUM->SetAsDateTime(serial);
  UserResultDbfDAY->SetAsString(window_.ShortDayName(DayOfWeek(serial)));
  UserResultDbf.Post();
}

void TDM1::CloseUserResult() { UserResultDbf.Close(); }

void TDM1::UserResultDbfAfterScroll(TTableObject&) {}

}  // namespace kalbor
