// The table object against the raw rate of reading the same file: appends,
// counting, walking and a scanning Locate over a 100,000-row diary.
#include <unistd.h>

#include "bench/bench_util.h"
#include "storage/table_object.h"

namespace kalbor::bench {
namespace {

constexpr int kRows = 100000;
const char kDiary[] = "DIARY.DBF";

std::string DiaryPath() {
  static bool made = [] {
    MakeDiary(BenchFolder(), kDiary, kRows);
    return true;
  }();
  (void)made;
  return BenchFolder() + kDiary;
}

void OpenDiary(TTableObject& t) {
  t.SetFilePath(BenchFolder());
  t.SetTableName(kDiary);
  t.Exclusive = true;
  t.Open();
}

void BM_R_ReadRecordByRecord(benchmark::State& state) {
  std::string path = DiaryPath();
  for (auto _ : state) ReadRecordByRecord(path);
}

void BM_S_SequentialPass(benchmark::State& state) {
  std::string path = DiaryPath();
  for (auto _ : state) ReadSequentially(path);
}

void BM_Append100k(benchmark::State& state) {
  for (auto _ : state) MakeDiary(BenchFolder(), "APPEND.DBF", kRows);
}

void BM_CountVisibleRows(benchmark::State& state) {
  DiaryPath();
  TTableObject t;
  OpenDiary(t);
  for (auto _ : state) benchmark::DoNotOptimize(t.CountVisibleRows());
}

// Every row in the table's present order, two fields read from each.
void WalkReadingTwoFields(TTableObject& t, benchmark::State& state) {
  TField& indexfld = t.FieldByName("INDEXFLD");
  TField& calories = t.FieldByName("CALORIES");
  for (auto _ : state) {
    int64_t sum = 0;
    for (t.First(); !t.Eof(); t.Next()) sum += indexfld.AsInteger() + calories.AsInteger();
    benchmark::DoNotOptimize(sum);
  }
}

void BM_WalkReadingTwoFields(benchmark::State& state) {
  DiaryPath();
  TTableObject t;
  OpenDiary(t);
  WalkReadingTwoFields(t, state);
}

void BM_LocateScanToLastRow(benchmark::State& state) {
  DiaryPath();
  TTableObject t;
  OpenDiary(t);
  t.Last();
  double last = t.FieldByName("INDEXFLD").AsFloat();
  int32_t last_food = t.FieldByName("FOOD_ID").AsInteger();
  for (auto _ : state) {
    t.First();
    bool found = t.Locate("INDEXFLD;FOOD_ID", std::vector<TVariant>{last, double(last_food)}, 0);
    if (!found) state.SkipWithError("not found");
  }
}

void BM_BuildNumericIndex(benchmark::State& state) {
  DiaryPath();
  TTableObject t;
  OpenDiary(t);
  for (auto _ : state) t.BuildIndexFile("DIARY.NDX", "INDEXFLD", 0);
}

void BM_WalkIndexOrderTwoFields(benchmark::State& state) {
  DiaryPath();
  TTableObject t;
  OpenDiary(t);
  t.BuildIndexFile("DIARY.NDX", "INDEXFLD", 0);
  t.SetIndexName("DIARY.NDX");
  WalkReadingTwoFields(t, state);
}

// 10,000 exact searches for keys spread over the whole diary.
std::vector<double> SearchKeys(TTableObject& t, int count) {
  std::vector<double> keys;
  int32_t rows = t.RecordCount();
  for (int i = 0; i < count; ++i) {
    t.SetIndexName("");
    t.GotoBookmark(1 + static_cast<uint32_t>((static_cast<int64_t>(i) * 7919) % rows));
    keys.push_back(t.FieldByName("INDEXFLD").AsFloat());
  }
  return keys;
}

void BM_LocateByIndex10k(benchmark::State& state) {
  DiaryPath();
  TTableObject t;
  OpenDiary(t);
  t.BuildIndexFile("DIARY.NDX", "INDEXFLD", 0);
  std::vector<double> keys = SearchKeys(t, 10000);
  t.SetIndexName("DIARY.NDX");
  for (auto _ : state)
    for (double key : keys)
      if (!t.Locate("INDEXFLD", key, 0)) state.SkipWithError("not found");
}

void BM_LocateWalking10kOn1000Rows(benchmark::State& state) {
  static bool made = [] {
    MakeDiary(BenchFolder(), "SMALL.DBF", 1000);
    return true;
  }();
  (void)made;
  TTableObject t;
  t.SetFilePath(BenchFolder());
  t.SetTableName("SMALL.DBF");
  t.Exclusive = true;
  t.Open();
  std::vector<double> keys = SearchKeys(t, 10000);
  for (auto _ : state)
    for (double key : keys)
      if (!t.Locate("INDEXFLD", key, 0)) state.SkipWithError("not found");
}

}  // namespace
}  // namespace kalbor::bench

int main(int argc, char** argv) {
  using namespace kalbor::bench;
  benchmark::RegisterBenchmark("R/read_record_by_record", BM_R_ReadRecordByRecord)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("S/sequential_pass", BM_S_SequentialPass)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("append_100k_rows", BM_Append100k)->Unit(benchmark::kMillisecond)->Iterations(3);
  benchmark::RegisterBenchmark("count_visible_rows", BM_CountVisibleRows)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("walk_first_next_two_fields", BM_WalkReadingTwoFields)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("locate_scan_to_last_row", BM_LocateScanToLastRow)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("index_build_numeric", BM_BuildNumericIndex)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("index_order_walk_two_fields", BM_WalkIndexOrderTwoFields)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("index_locate_10k", BM_LocateByIndex10k)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("walking_locate_10k_on_1000_rows", BM_LocateWalking10kOn1000Rows)->Unit(benchmark::kMillisecond)->Iterations(1);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const std::string R = "R/read_record_by_record";
  reporter.PrintRatios(
      {{"append_100k_rows", R}, {"count_visible_rows", R}, {"walk_first_next_two_fields", R},
       {"locate_scan_to_last_row", R}, {"S/sequential_pass", R}, {"index_build_numeric", R},
       {"index_order_walk_two_fields", R}, {"index_locate_10k", R},
       {"walking_locate_10k_on_1000_rows", R}},
      {{"append_100k_rows", 5.0}, {"count_visible_rows", 1.5}, {"walk_first_next_two_fields", 1.5},
       {"locate_scan_to_last_row", 1.5}, {"index_build_numeric", 3.0},
       {"index_order_walk_two_fields", 2.0}, {"index_locate_10k", 0.5}});
  benchmark::Shutdown();
  return 0;
}
