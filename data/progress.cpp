// Progress over a period: the kilocalories of each day from the diary, the
// weights with their moving average, and the figures said in words (average
// per day with entries, days over the target, weight change).
#include <cmath>

#include "data/dm1.h"
#include "data/walk_guards.h"
#include "storage/dates.h"

namespace kalbor {

namespace {

// The moving average of the weight line: the mean of seven entries.
constexpr size_t kAverageEntries = 7;

}  // namespace

// A day's total is the sum of its rows, the day taken from the order key as
// the daily results take it. With the diary in date order the walk goes
// back from its last row and stops before the period, so a period near the
// end of a long diary reads only its own rows. The diary's current row,
// view and filter are as before afterwards.
std::vector<std::optional<int64_t>> TDM1::DailyTotals(int32_t first_day, int32_t last_day) {
  std::vector<std::optional<int64_t>> totals;
  if (last_day < first_day) return totals;
  totals.resize(static_cast<size_t>(last_day - first_day) + 1);
  const int32_t id = window_.CurrentUserId();
  const std::string name = UserFileName(id);
  if (id <= 0 || !FileExists(FolderFile(name))) return totals;
  if (!DiaryHolds(name)) OpenDiary(id);

  TControlsSuspended suspended(UserFoodDbf);
  const bool filtered = UserFoodDbf.Filtered();
  UserFoodDbf.SetFiltered(false);
  const uint32_t bookmark = UserFoodDbf.Bookmark();
  const bool date_order = SameTextAscii(UserFoodDbf.IndexName(), UserIndexFileName(id));
  TField& indexfld = *UserFoodDbfINDEXFLD;
  TField& calories = *UserFoodDbfCALORIES;
  // False once the walk has passed the period's first day.
  auto count_row = [&]() {
    const int32_t day = DayNumberToSerial(indexfld.AsInteger() / 10);
    if (day < first_day) return !date_order;
    if (day <= last_day) {
      std::optional<int64_t>& total = totals[static_cast<size_t>(day - first_day)];
      total = total.value_or(0) + calories.AsInteger();
    }
    return true;
  };
  try {
    if (date_order) {
      for (UserFoodDbf.Last(); !UserFoodDbf.Bof() && count_row(); UserFoodDbf.Prior()) {
      }
    } else {
      for (UserFoodDbf.First(); !UserFoodDbf.Eof(); UserFoodDbf.Next()) count_row();
    }
  } catch (...) {
    UserFoodDbf.SetFiltered(filtered);
    throw;
  }
  UserFoodDbf.SetFiltered(filtered);
  if (bookmark != 0) UserFoodDbf.GotoBookmark(bookmark);
  return totals;
}

// The weight table is opened on the user's file when that exists; a user
// without one has no weights (and gets no file from being looked at).
std::vector<TWeightPoint> TDM1::WeightSeries() {
  std::vector<TWeightPoint> points;
  const int32_t id = window_.CurrentUserId();
  if (id <= 0 || !FileExists(FolderFile(WeightFileName(id)))) return points;
  OpenWeightTable(id);
  TControlsSuspended suspended(UserWeightDbf);
  const uint32_t bookmark = UserWeightDbf.Bookmark();
  std::vector<int32_t> tenths;
  for (UserWeightDbf.First(); !UserWeightDbf.Eof(); UserWeightDbf.Next()) {
    const int32_t weight = WeightTenths(UserWeightDbfWEIGHT->AsFloat());
    points.push_back({static_cast<int32_t>(std::floor(UserWeightDbfDATUM->AsDateTime())), weight});
    tenths.push_back(weight);
  }
  if (bookmark != 0) UserWeightDbf.GotoBookmark(bookmark);
  const std::vector<double> averages = TrailingAverage(tenths, kAverageEntries);
  for (size_t i = 0; i < points.size(); ++i) points[i].average = averages[i] / 10.0;
  return points;
}

TProgressFigures TDM1::ProgressFigures(int32_t last_day, int days) {
  TProgressFigures f;
  f.last_day = last_day;
  f.first_day = last_day - std::max(days, 1) + 1;
  f.daily = DailyTotals(f.first_day, f.last_day);
  f.target = DailyTarget(window_.CurrentUserId());

  int64_t sum = 0;
  for (const std::optional<int64_t>& total : f.daily) {
    if (!total) continue;
    ++f.days_with_entries;
    sum += *total;
    if (f.target && *total > *f.target) ++f.days_over_target;
  }
  if (f.days_with_entries > 0)
    f.average_per_day = static_cast<int64_t>(
        std::llround(static_cast<double>(sum) / static_cast<double>(f.days_with_entries)));

  // The moving average runs over all weights, so the period's first points
  // carry the entries before it.
  for (const TWeightPoint& point : WeightSeries())
    if (point.date_serial >= f.first_day && point.date_serial <= f.last_day)
      f.weights.push_back(point);
  if (f.weights.size() >= 2) f.weight_change = f.weights.back().tenths - f.weights.front().tenths;
  return f;
}

}  // namespace kalbor
