// The calendar's bold days: which days of a month have diary entries.
#include <cmath>

#include "data/dm1.h"
#include "data/walk_guards.h"
#include "storage/dates.h"

namespace kalbor {

// Walks the whole diary with the one-day filter off. The year compared is
// always the calendar date's year, also for the partly shown months of the
// years before and after it. The diary's current row and filter are as
// before afterwards.
uint32_t TDM1::MonthCalendar1GetMonthInfo(int month) {
  const std::string name = UserFileName(window_.CurrentUserId());
  if (UserFoodDbf.TableName().empty() || UserFoodDbf.TableName() != name) return 0;
  if (month < 1 || month > 12) return 0;
  int year, calendar_month, calendar_day;
  SerialToDate(window_.CalendarDate(), year, calendar_month, calendar_day);
  const int32_t first = DateToSerial(year, month, 1);
  const int32_t next = month == 12 ? first + 31 : DateToSerial(year, month + 1, 1);

  uint32_t days = 0;
  TControlsSuspended suspended(UserFoodDbf);
  if (!FileExists(FolderFile(name))) return 0;
  const bool filtered = UserFoodDbf.Filtered();
  UserFoodDbf.SetFiltered(false);
  try {
    if (!UserFoodDbf.Active()) UserFoodDbf.Open();
    const uint32_t bookmark = UserFoodDbf.Bookmark();
    TField& datum = *UserFoodDbfDATUM;
    for (UserFoodDbf.First(); !UserFoodDbf.Eof(); UserFoodDbf.Next()) {
      const double serial = std::floor(datum.AsDateTime());
      if (serial >= first && serial < next) days |= 1u << static_cast<int>(serial - first);
    }
    UserFoodDbf.SetFiltered(filtered);
    if (bookmark != 0) UserFoodDbf.GotoBookmark(bookmark);
  } catch (...) {
    UserFoodDbf.SetFiltered(filtered);
    throw;
  }
  return days;
}

}  // namespace kalbor
