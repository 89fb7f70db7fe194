// Shared pieces of the benchmark programs: a diary-shaped table of many rows
// in a temporary folder, the baselines every figure is compared with, and a
// reporter that prints each figure as a ratio to a named baseline.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace kalbor::bench {

// A fresh temporary folder, removed at exit.
std::string BenchFolder();

// Creates `name` in `folder` with the diary's fields (GROUP_ID, INDEXFLD,
// KIND, DATUM, FOOD_ID, QUANTITY, CALORIES) and `rows` rows: ten entries a
// day from 1 January 2015, meal kinds cycling, products 1..8000.
void MakeDiary(const std::string& folder, const std::string& name, int rows);

// Creates `name` in `folder` with the weight table's fields and one weight a
// day for `days` days from 1 January 2015, wandering between 75 and 86 kg.
void MakeWeights(const std::string& folder, const std::string& name, int days);

// FOODCAL.DBF in `folder` with `products` products spread over the 21
// groups, every (products / marked)-th of them marked as used.
void MakeCatalogue(const std::string& folder, int products, int marked);

// R: reading the file record by record, one pread per record.
void ReadRecordByRecord(const std::string& path);
// S: one sequential pass over the file in large reads.
void ReadSequentially(const std::string& path);

// Collects real times per benchmark name and, at the end, prints each as a
// ratio to the baselines given by name.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  void PrintRatios(const std::map<std::string, std::string>& baseline_of,
                   const std::map<std::string, double>& targets);

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace kalbor::bench
