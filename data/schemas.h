// The application's tables as their files are made: each field's name,
// kind and size, in file order, one list per table. The files are created
// from these lists, and the data module's fixed field objects are declared
// from the same lists, so the two cannot differ.
//
//   kind     in the file                         field object
//   Integer  numeric, 9 characters, 0 decimals   floating point
//   String   character, `size` characters        string of `size`
//   Boolean  logical, 1 character                true/false
//   Date     date, 8 characters (YYYYMMDD)       date
//   Decimal  numeric, `size` characters with      floating point
//            `decimals` after the point
#pragma once

#include <array>
#include <span>
#include <string>

#include "storage/field_defs.h"

namespace kalbor {

class TTableObject;

enum class TColumnKind { Integer, String, Boolean, Date, Decimal };

struct TColumn {
  const char* name;
  TColumnKind kind;
  int size = 0;      // characters of a string or a decimal; 0 for the other kinds
  int decimals = 0;  // digits after the point of a decimal
};

using TSchema = std::span<const TColumn>;

inline constexpr TColumn kUserNameColumns[] = {
    {"USER_ID", TColumnKind::Integer},
    {"USERNAME", TColumnKind::String, 50},
    {"IDX_NAME", TColumnKind::String, 50},  // USERNAME with a to z upper-cased
    {"COUNT", TColumnKind::Integer},        // rows of the user's diary, as last counted
};

// FOODCAL.DBF and the selection list USERCAL.DBF.
inline constexpr TColumn kCatalogueColumns[] = {
    {"GROUP_ID", TColumnKind::Integer},  // food group 1 to 21
    {"USED", TColumnKind::Boolean},      // offered in the selection list
    {"FOOD_ID", TColumnKind::Integer},   // product number, unique
    {"NAME", TColumnKind::String, 50},
    {"IDX_NAME", TColumnKind::String, 50},  // NAME with a to z upper-cased
    {"MAKE", TColumnKind::String, 20},      // manufacturer or shop
    {"CALORIES", TColumnKind::Integer},     // kilocalories per 100 grams
};

// USERnnnn.DBF, one per user.
inline constexpr TColumn kDiaryColumns[] = {
    {"GROUP_ID", TColumnKind::Integer},  // never written
    {"INDEXFLD", TColumnKind::Integer},  // day number x 10 + meal position
    {"KIND", TColumnKind::Integer},      // meal type 1 to 5
    {"DATUM", TColumnKind::Date},
    {"FOOD_ID", TColumnKind::Integer},
    {"QUANTITY", TColumnKind::Integer},  // grams
    {"CALORIES", TColumnKind::Integer},  // kilocalories of the entry
};

inline constexpr TColumn kUserResultColumns[] = {
    {"DAY", TColumnKind::String, 10},  // abbreviated weekday name
    {"DATUM", TColumnKind::Date},
    {"CALORIES", TColumnKind::Integer},
};

// USEWnnnn.DBF, one per user: one weight a day.
inline constexpr TColumn kWeightColumns[] = {
    {"DATUM", TColumnKind::Date},
    {"WEIGHT", TColumnKind::Decimal, 5, 1},  // kilograms, 20.0 to 400.0
    {"DAYNUMBER", TColumnKind::Integer},     // day number of DATUM: the table's order key
};

// USERTARGET.DBF: one row per user who has set a daily target.
inline constexpr TColumn kTargetColumns[] = {
    {"USER_ID", TColumnKind::Integer},
    {"TARGET", TColumnKind::Integer},  // kilocalories a day, 500 to 10,000
};

inline constexpr TColumn kMealTypeColumns[] = {
    {"KIND", TColumnKind::Integer},
    {"DESCRIPT", TColumnKind::String, 20},
};

inline constexpr TColumn kFoodGroupsColumns[] = {
    {"GROUP_ID", TColumnKind::Integer},
    {"GROUP_NAME", TColumnKind::String, 32},
};

// Seed rows of MEALTYPE.DBF (KIND 1 to 5) and FOODGROUPS.DBF (GROUP_ID 0 to
// 21, 0 standing for all groups), in the order they are inserted.
inline constexpr std::array<const char*, 5> kMealTypeNames = {"Unknown", "Breakfast", "Lunch",
                                                               "Dinner", "Snack"};
inline constexpr std::array<const char*, 22> kFoodGroupNames = {
    "All",
    "Bread, toast",
    "Breakfast products",
    "Butter, margarine, oil, fat",
    "Drinks, alcoholic",
    "Drinks, coffee, thee, soft",
    "Eggs, egg food",
    "Fish, sea food",
    "Fruits",
    "Herbs and spices",
    "Meals",
    "Meat, meat products",
    "Milk, milk products",
    "Miscellaneous",
    "Potatos, rice, pasta",
    "Sauces",
    "Snacks, nuts",
    "Soups",
    "Special sport products",
    "Sugar, ice cream, sweet stuff",
    "Vegetables, raw food",
    "Vegetarian food",
};

// The definitions a file of `schema` is created with.
void AddSchemaFields(TFieldDefs& defs, TSchema schema);
// Makes `folder` + `file_name` empty with the fields of `schema` (level 3)
// and opens it exclusively on `table` (tools, benchmarks and tests that
// write tables outside the data module).
void CreateSchemaTable(TTableObject& table, const std::string& folder,
                       const std::string& file_name, TSchema schema);
// Declares the fixed field objects of `schema` on a closed table object.
void DeclareSchemaFields(TTableObject& table, TSchema schema);

}  // namespace kalbor
