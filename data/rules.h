// Rules on single values and rows that need no data module: the name key,
// the diary's order key and kilocalories, storing a catalogue product (the
// installer, the benchmarks and the tests make catalogues with them), and
// reading the weights and targets a person types.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/files.h"

namespace kalbor {

class TTableObject;

// The name key of user and product names: a to z become A to Z, nothing
// else changes ("Änna" keeps its "Ä").
inline std::string NameKey(const std::string& name) { return UpperAscii(name); }

// The diary's order key: day number of the date x 10 + meal position (0
// "Unknown" to 4 "Snack").
int32_t DiaryOrderKey(int32_t date_serial, int meal_position);

// Kilocalories of a diary entry: catalogue kilocalories per 100 grams x
// quantity / 100, truncated toward zero. No value when the product of the
// two does not fit a 32-bit signed integer.
std::optional<int32_t> ComputeCalories(int32_t kcal_per_100g, int32_t quantity);

// Kilocalories per 100 g of a catalogue product: present, and 0 or more.
// Throws ETableError with one of these texts otherwise.
inline constexpr char kNoCaloriesText[] = "A product needs its kilocalories per 100 g.";
inline constexpr char kNegativeCaloriesText[] = "Kilocalories per 100 g cannot be negative.";
void CheckProductCalories(std::optional<int32_t> calories);

// One product as a catalogue row holds it. AppendCatalogueProduct appends
// it to an open table with the catalogue's fields and posts it; its name
// key IDX_NAME is made from its name.
struct TCatalogueProduct {
  int32_t group_id = 0;
  bool used = false;
  int32_t food_id = 0;
  std::string name;
  std::string make;
  int32_t calories = 0;
};
void AppendCatalogueProduct(TTableObject& table, const TCatalogueProduct& product);

// Makes `folder` + FOODCAL.DBF empty with the catalogue's fields (level 3)
// and opens it exclusively on `table`, ready for AppendCatalogueProduct.
void CreateCatalogueFile(TTableObject& table, const std::string& folder);

// A weight as a person types it, in tenths of a kilogram: digits with at
// most one decimal separator, which may be a point, a comma or
// `decimal_separator` (a weight has no thousands to group), an optional
// leading minus sign, spaces around it ignored. Digits after the first
// decimal round it half up (72.45 is 72.5). No value when the text is no
// number.
std::optional<int32_t> ParseWeightTenths(const std::string& text, char decimal_separator);
// The weights a table keeps: 20.0 to 400.0 kg.
inline constexpr int32_t kMinWeightTenths = 200;
inline constexpr int32_t kMaxWeightTenths = 4000;
// Kilograms read from a table, to the nearest tenth.
int32_t WeightTenths(double kilograms);
// "72.5" with `decimal_separator` for the point; "-1.4" below zero.
std::string TenthsText(int32_t tenths, char decimal_separator);

// A whole number as a person types it (digits, spaces around them
// ignored); no value when the text is not one or has more than nine digits.
std::optional<int32_t> ParseWholeNumber(const std::string& text);
// The daily targets a person may set, in kilocalories.
inline constexpr int32_t kMinTarget = 500;
inline constexpr int32_t kMaxTarget = 10000;

// The mean of each value and up to `window` - 1 values before it.
std::vector<double> TrailingAverage(const std::vector<int32_t>& values, size_t window);

}  // namespace kalbor
