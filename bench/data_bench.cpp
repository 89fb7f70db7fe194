// The data module's walks against the raw rate of reading their files: a
// diary of ten years (36,500 rows, ten a day) and a catalogue of 8,000
// products of which 500 are marked for the selection list. R reads the
// diary record by record, C the catalogue, one pread per record.
#include <memory>

#include "bench/bench_util.h"
#include "data/dm1.h"
#include "data/headless_window.h"
#include "storage/dates.h"

namespace kalbor::bench {
namespace {

constexpr int kDiaryRows = 36500;
constexpr int kProducts = 8000;
constexpr int kMarked = 500;

// A window that is not there: user 1 on the food entry page, a fixed date.
struct TQuietWindow : THeadlessWindow {
  TQuietWindow() {
    user_id = 1;
    user_name = "Bench";
    page_mode = pmFoodEntry;
    calendar_date = DateToSerial(2020, 3, 14);
  }
};

// The module as it stands after user 1 was selected on the food entry page.
struct TSetup {
  TQuietWindow window;
  std::unique_ptr<TDM1> dm;
  TSetup() {
    const std::string folder = BenchFolder();
    MakeDiary(folder, UserFileName(1), kDiaryRows);
    MakeCatalogue(folder, kProducts, kMarked);
    dm = std::make_unique<TDM1>(window);
    dm->DM1Create(folder);
    dm->MakeTableByNumber(tnMealType);
    dm->MakeTableByNumber(tnFoodGroups);
    dm->UserDbf.Append();
    dm->UserDbfUSER_ID->SetAsInteger(1);
    dm->UserDbfUSERNAME->SetAsString("Bench");
    dm->UserDbf.Post();
    dm->UserFoodDbf.SetTableName(UserFileName(1));
    dm->UserFoodDbf.Open();
    dm->FoodGroupDbf.Open();  // group 0: both group filters off
    dm->IndexUserFood();
    dm->BuildUserCal();
  }
};

TSetup& Setup() {
  static TSetup setup;
  return setup;
}

void BM_R(benchmark::State& state) {
  const std::string path = Setup().dm->FolderFile(UserFileName(1));
  for (auto _ : state) ReadRecordByRecord(path);
}

void BM_C(benchmark::State& state) {
  const std::string path = Setup().dm->FolderFile(kFoodCalFile);
  for (auto _ : state) ReadRecordByRecord(path);
}

void BM_IndexUserFood(benchmark::State& state) {
  TDM1& dm = *Setup().dm;
  for (auto _ : state) dm.IndexUserFood();
}

void BM_BuildUserResult(benchmark::State& state) {
  TDM1& dm = *Setup().dm;
  for (auto _ : state) dm.BuildUserResult();
}

void BM_BoldDays(benchmark::State& state) {
  TDM1& dm = *Setup().dm;
  for (auto _ : state) benchmark::DoNotOptimize(dm.MonthCalendar1GetMonthInfo(3));
}

void BM_UpdateUserCount(benchmark::State& state) {
  TDM1& dm = *Setup().dm;
  for (auto _ : state) dm.UpdateUserCount();
}

void BM_BuildUserCal(benchmark::State& state) {
  TDM1& dm = *Setup().dm;
  for (auto _ : state) dm.BuildUserCal();
}

// One screen of the diary grid: the meal and product texts of its last ten
// rows (products near the middle of the catalogue, found by a walk from its
// first row).
void BM_LookupScreen(benchmark::State& state) {
  TDM1& dm = *Setup().dm;
  std::vector<uint32_t> rows = dm.UserFoodDbf.VisibleRecordNumbers();
  rows.erase(rows.begin(), rows.end() - 10);
  const std::vector<std::string> fields = {"Type", "Description"};
  std::vector<std::string> texts;
  for (auto _ : state)
    for (uint32_t recno : rows) dm.UserFoodDbf.ReadRowTexts(recno, fields, texts);
}

}  // namespace
}  // namespace kalbor::bench

int main(int argc, char** argv) {
  using namespace kalbor::bench;
  const auto ms = benchmark::kMillisecond;
  benchmark::RegisterBenchmark("R/diary_record_by_record", BM_R)->Unit(ms);
  benchmark::RegisterBenchmark("C/catalogue_record_by_record", BM_C)->Unit(ms);
  benchmark::RegisterBenchmark("IndexUserFood", BM_IndexUserFood)->Unit(ms);
  benchmark::RegisterBenchmark("BuildUserResult", BM_BuildUserResult)->Unit(ms);
  benchmark::RegisterBenchmark("bold_days_one_month", BM_BoldDays)->Unit(ms);
  benchmark::RegisterBenchmark("UpdateUserCount", BM_UpdateUserCount)->Unit(ms);
  benchmark::RegisterBenchmark("BuildUserCal_500_marked", BM_BuildUserCal)->Unit(ms);
  benchmark::RegisterBenchmark("lookup_texts_one_screen", BM_LookupScreen)->Unit(ms);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const std::string R = "R/diary_record_by_record", C = "C/catalogue_record_by_record";
  reporter.PrintRatios({{"IndexUserFood", R},
                        {"BuildUserResult", R},
                        {"bold_days_one_month", R},
                        {"UpdateUserCount", R},
                        {"BuildUserCal_500_marked", C},
                        {"lookup_texts_one_screen", C}},
                       {{"IndexUserFood", 3.0},
                        {"BuildUserResult", 5.0},
                        {"bold_days_one_month", 1.5},
                        {"UpdateUserCount", 1.5},
                        {"BuildUserCal_500_marked", 3.0},
                        {"lookup_texts_one_screen", 5.0}});
  benchmark::Shutdown();
  return 0;
}
