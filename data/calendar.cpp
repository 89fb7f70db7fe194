// The calendar's bold days: which days of a month have diary entries.
#include <cmath>

#include "data/dm1.h"
#include "data/walk_guards.h"
#include "storage/dates.h"

namespace kalbor {

// Walks the whole diary once with the one-day filter off. The year compared
// is always the calendar date's year, also for the partly shown months of
// the years before and after it. The diary's current row and filter are as
// before afterwards.
std::array<uint32_t, 12> TDM1::CalendarYearInfo() {
  std::array<uint32_t, 12> months{};
  const std::string name = UserFileName(window_.CurrentUserId());
  if (UserFoodDbf.TableName().empty() || UserFoodDbf.TableName() != name) return months;
  int year, calendar_month, calendar_day;
  SerialToDate(window_.CalendarDate(), year, calendar_month, calendar_day);

  TControlsSuspended suspended(UserFoodDbf);
  if (!FileExists(FolderFile(name))) return months;
  const bool filtered = UserFoodDbf.Filtered();
  UserFoodDbf.SetFiltered(false);
  try {
    if (!UserFoodDbf.Active()) UserFoodDbf.Open();
    const uint32_t bookmark = UserFoodDbf.Bookmark();
    TField& datum = *UserFoodDbfDATUM;
    for (UserFoodDbf.First(); !UserFoodDbf.Eof(); UserFoodDbf.Next()) {
      int y, m, d;
      SerialToDate(static_cast<int32_t>(std::floor(datum.AsDateTime())), y, m, d);
      if (y == year) months[static_cast<size_t>(m - 1)] |= 1u << (d - 1);
    }
    UserFoodDbf.SetFiltered(filtered);
    if (bookmark != 0) UserFoodDbf.GotoBookmark(bookmark);
  } catch (...) {
    UserFoodDbf.SetFiltered(filtered);
    throw;
  }
  return months;
}

uint32_t TDM1::MonthCalendar1GetMonthInfo(int month) {
  if (month < 1 || month > 12) return 0;
  return CalendarYearInfo()[static_cast<size_t>(month - 1)];
}

}  // namespace kalbor
