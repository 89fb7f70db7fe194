#include "bench/bench_util.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "data/dm1.h"
#include "storage/coding.h"
#include "storage/dates.h"
#include "storage/files.h"
#include "storage/table_object.h"

namespace kalbor::bench {

std::string BenchFolder() {
  static std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "kalbor-bench-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    std::string path = std::string(::mkdtemp(buf.data())) + "/";
    static std::string remove_at_exit = path;
    std::atexit([] { std::filesystem::remove_all(remove_at_exit); });
    return path;
  }();
  return folder;
}

void MakeDiary(const std::string& folder, const std::string& name, int rows) {
  TTableObject t;
  CreateSchemaTable(t, folder, name, kDiaryColumns);
  TField& indexfld = t.FieldByName("INDEXFLD");
  TField& kind = t.FieldByName("KIND");
  TField& datum = t.FieldByName("DATUM");
  TField& food = t.FieldByName("FOOD_ID");
  TField& quantity = t.FieldByName("QUANTITY");
  TField& calories = t.FieldByName("CALORIES");
  const int32_t first_day = DateToSerial(2015, 1, 1);
  for (int i = 0; i < rows; ++i) {
    int32_t serial = first_day + i / 10;
    int meal = i % 5;
    t.Append();
    datum.SetAsDateTime(serial);
    indexfld.SetAsInteger(SerialToDayNumber(serial) * 10 + meal);
    kind.SetAsInteger(meal + 1);
    food.SetAsInteger(1 + (i * 7919) % 8000);
    quantity.SetAsInteger(10 + i % 300);
    calories.SetAsInteger((i * 37) % 900);
    t.Post();
  }
  t.Close();
}

void MakeWeights(const std::string& folder, const std::string& name, int days) {
  TTableObject t;
  CreateSchemaTable(t, folder, name, kWeightColumns);
  TField& datum = t.FieldByName("DATUM");
  TField& weight = t.FieldByName("WEIGHT");
  TField& day_number = t.FieldByName("DAYNUMBER");
  const int32_t first_day = DateToSerial(2015, 1, 1);
  for (int i = 0; i < days; ++i) {
    const int32_t serial = first_day + i;
    t.Append();
    datum.SetAsDateTime(serial);
    weight.SetAsFloat((750 + (i * 13) % 100 + (i * 7) % 11) / 10.0);
    day_number.SetAsInteger(SerialToDayNumber(serial));
    t.Post();
  }
  t.Close();
}

void MakeCatalogue(const std::string& folder, int products, int marked) {
  TTableObject t;
  CreateCatalogueFile(t, folder);
  for (int i = 0; i < products; ++i) {
    std::string name = "Product " + std::to_string((i * 4099) % products);
    AppendCatalogueProduct(t, {1 + i % 21, i % (products / marked) == 0, i + 1, name, "Shop",
                               50 + i % 500});
  }
}

void ReadRecordByRecord(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  uint8_t header[32];
  if (::pread(fd, header, 32, 0) != 32) std::abort();
  uint16_t header_length = DecodeFixed16(header + 8);
  uint16_t record_length = DecodeFixed16(header + 10);
  std::vector<uint8_t> record(record_length);
  off_t offset = header_length;
  size_t live = 0;
  while (::pread(fd, record.data(), record_length, offset) == record_length) {
    live += record[0] != '*';
    offset += record_length;
  }
  benchmark::DoNotOptimize(live);
  ::close(fd);
}

void ReadSequentially(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  std::vector<uint8_t> block(1 << 20);
  size_t total = 0;
  for (ssize_t n; (n = ::read(fd, block.data(), block.size())) > 0;) total += static_cast<size_t>(n);
  benchmark::DoNotOptimize(total);
  ::close(fd);
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.run_type != Run::RT_Iteration) continue;
    seconds_[run.run_name.function_name] =
        run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
  }
  ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::PrintRatios(const std::map<std::string, std::string>& baseline_of,
                                const std::map<std::string, double>& targets) {
  std::printf("\n%-44s %12s %10s %8s\n", "figure", "time", "ratio", "target");
  for (const auto& [name, seconds] : seconds_) {
    auto b = baseline_of.find(name);
    if (b == baseline_of.end()) {
      std::printf("%-44s %10.3f ms %10s\n", name.c_str(), seconds * 1e3, "(baseline)");
      continue;
    }
    double base = seconds_.count(b->second) ? seconds_[b->second] : 0;
    auto t = targets.find(name);
    std::printf("%-44s %10.3f ms %7.2f %-2s", name.c_str(), seconds * 1e3,
                base > 0 ? seconds / base : 0.0, b->second.substr(0, 1).c_str());
    if (t != targets.end()) std::printf(" %6.2f%s", t->second, seconds / base <= t->second ? "" : "  MISSED");
    std::printf("\n");
  }
}

}  // namespace kalbor::bench
