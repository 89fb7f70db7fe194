// Rules that turn the USDA SR24 energy list (resources/catalogue) into the
// rows of the shipped food catalogue FOODCAL.DBF: reading the list, choosing
// a food group, shortening the database description to a 50-character name
// and marking a starter set of everyday foods as used. Standard library only;
// writing the table is left to the table layer.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

namespace kalbor {

// One food of the source list.
struct SourceFood {
  std::string ndb_no;  // five digits; the first two are the database's group code
  std::string name;    // the database's description
  int kcal = 0;        // kilocalories per 100 grams
};

// One catalogue row, fields in the order of the FOODCAL.DBF schema.
struct CatalogueRow {
  int group_id = 0;
  bool used = false;
  int food_id = 0;
  std::string name;      // at most kMaxNameLength characters, plain ASCII
  std::string idx_name;  // name with a..z upper-cased
  std::string make;
  int calories = 0;
};

inline constexpr std::size_t kMaxNameLength = 50;
inline constexpr const char* kCatalogueMake = "USDA SR24";

// Reads the list "ndb_no,name,kcal_per_100g" (header line first; fields may
// be quoted, a quote inside a quoted field is doubled; LF or CRLF line ends).
// Throws std::runtime_error naming the line on malformed input.
std::vector<SourceFood> ParseSourceFoods(std::istream& in);
std::vector<SourceFood> ReadSourceFoods(const std::string& path);

// Product group 1..21 of the food (the FOODGROUPS seed list).
int GroupFor(const std::string& ndb_no, const std::string& name);

// The description shortened to at most kMaxNameLength characters, plain
// ASCII, cut only between words (unless a single word is longer than a
// name). Descriptions that fit are only tidied (blanks, accents).
std::string ShortName(const std::string& description);

// ShortName for every food, made distinct where two foods with the same
// kilocalories would otherwise share a name (compared with a..z
// upper-cased). Same order as the input.
std::vector<std::string> DistinctShortNames(const std::vector<SourceFood>& foods);

// True for the everyday foods that the shipped catalogue marks USED.
bool IsStarterFood(const std::string& ndb_no);

// The catalogue rows: FOOD_ID 1..n in source order, distinct short names,
// group, starter marks, maker kCatalogueMake.
std::vector<CatalogueRow> BuildCatalogue(const std::vector<SourceFood>& foods);

// a..z become A..Z; every other character is unchanged.
std::string UpperNameKey(const std::string& name);

}  // namespace kalbor
