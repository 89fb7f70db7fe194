// TDM1: the data module. Owns the application's seven table objects for the
// whole run, makes their files with the fixed schemas, and keeps the rules
// that tie the tables together: the user list, each user's food diary, the
// daily totals, the food catalogue and the selection list. It reads the main
// window's state and calls it back only through TMainWindow.
//
// The operations live in one unit per subject: dm1.cpp (tables, schemas,
// creation, lookup texts), users.cpp, diary.cpp, results.cpp, catalogue.cpp
// and calendar.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "data/main_window.h"
#include "storage/files.h"
#include "storage/index_file.h"
#include "storage/table_object.h"

namespace kalbor {

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

// Table numbers of MakeTableByNumber, in the order of the table-making page.
enum TTableNumber : int {
  tnUserName = 1,
  tnFoodCal = 2,
  tnUserCal = 3,
  tnUserFood = 4,
  tnUserResult = 5,
  tnMealType = 6,
  tnFoodGroups = 7,
};

// The name key of user and product names: a to z become A to Z, nothing
// else changes ("Änna" keeps its "Ä").
inline std::string NameKey(const std::string& name) { return UpperAscii(name); }

// The fields of the catalogue FOODCAL.DBF and of the selection list
// USERCAL.DBF, in file order.
void AddCatalogueFields(TFieldDefs& defs);

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

// The diary's order key: day number of the date x 10 + meal position (0
// "Unknown" to 4 "Snack").
int32_t DiaryOrderKey(int32_t date_serial, int meal_position);

// Kilocalories of a diary entry: catalogue kilocalories per 100 grams x
// quantity / 100, truncated toward zero. No value when the product of the
// two does not fit a 32-bit signed integer.
std::optional<int32_t> ComputeCalories(int32_t kcal_per_100g, int32_t quantity);

// What StoreDiaryRow did.
enum class TStoreResult {
  Stored,
  QuantityNotPositive,  // nothing stored, no message (the page checks first)
  QuantityTooLarge,     // the kilocalories would overflow, or the quantity is wider than
                        // its column: nothing stored, the refusal message was shown
};

class TDM1 {
 public:
  explicit TDM1(TMainWindow& window);
  ~TDM1();
  TDM1(const TDM1&) = delete;
  TDM1& operator=(const TDM1&) = delete;

  // --- The tables -----------------------------------------------------------
  TTableObject UserDbf;        // username.DBF: the user list
  TTableObject FoodCalDbf;     // foodcal.dbf: the food catalogue
  TTableObject MakeDB;         // makes every table file; holds USERCAL.DBF otherwise
  TTableObject MealTypeDbf;    // mealtype.dbf
  TTableObject UserFoodDbf;    // USERnnnn.DBF: the selected user's diary
  TTableObject FoodGroupDbf;   // FOODGROUPS.DBF
  TTableObject UserResultDbf;  // USERRESULT.DBF: daily totals

  // Fixed field objects, named table + field. They stay the same objects
  // while their table is closed and opened again.
  TField *UserDbfUSER_ID, *UserDbfUSERNAME, *UserDbfIDX_NAME, *UserDbfCOUNT;
  TField *FoodCalDbfGROUP_ID, *FoodCalDbfUSED, *FoodCalDbfFOOD_ID, *FoodCalDbfNAME,
      *FoodCalDbfIDX_NAME, *FoodCalDbfMAKE, *FoodCalDbfCALORIES;
  TField *MealTypeDbfKIND, *MealTypeDbfDESCRIPT;
  TField *UserFoodDbfGROUP_ID, *UserFoodDbfINDEXFLD, *UserFoodDbfKIND, *UserFoodDbfDATUM,
      *UserFoodDbfFOOD_ID, *UserFoodDbfQUANTITY, *UserFoodDbfCALORIES;
  TField *FoodGroupDbfGROUP_ID, *FoodGroupDbfGROUP_NAME;
  TField *UserResultDbfDAY, *UserResultDbfDATUM, *UserResultDbfCALORIES;
  // The diary's two lookup fields (their texts come from the text hooks).
  TStringField* UserFoodDbfType = nullptr;         // "Type": KIND in MealTypeDbf
  TStringField* UserFoodDbfDescription = nullptr;  // "Description": FOOD_ID in FoodCalDbf

  // GROUP_ID of the current food group; 0 = all groups. Set only by
  // ApplyGroupFilter.
  int32_t SelectedGroup = 0;

  // --- Start-up, tables and schemas (dm1.cpp) -------------------------------
  // Points every table at the program folder, makes USERNAME.DBF when it is
  // missing and opens the user list.
  void DM1Create(const std::string& program_folder = ProgramFolder());
  const std::string& ProgramFolderPath() const { return folder_; }
  std::string FolderFile(const std::string& bare_name) const { return folder_ + bare_name; }

  // Creates table number n (TTableNumber) unless its file exists; any other
  // number does nothing.
  void MakeTableByNumber(int n);
  void MakeUserNameTable();
  void MakeFoodCalTable();
  void MakeUserCalTable();
  void MakeUserFoodTable();  // asks before replacing an existing diary
  void MakeUserResultTable();
  void MakeMealTypeTable();
  void MakeFoodGroupsTable();
  void MakeFoodTable(const std::string& file_name);  // the catalogue's schema

  void UserFoodDbfMealTypeGetText(TField& sender, std::string& text);
  void UserFoodDbfFoodTextGetText(TField& sender, std::string& text);

  // --- User registry (users.cpp) --------------------------------------------
  void SetUserOrder(int order);  // 0 name, 1 number, 2 count; repositions on CurrentUserId
  void AssignUserId();           // numbers the just-appended row whose USER_ID is 0
  bool UserNameExists(const std::string& name, int32_t user_id);
  void UpdateUserCount();  // leaves the diary open on the counted user's diary

  void UserDbfAfterEdit(TTableObject& table);
  void UserDbfBeforePost(TTableObject& table);
  void UserDbfAfterPost(TTableObject& table);
  void UserDbfAfterScroll(TTableObject& table);

  // --- Food diary (diary.cpp) -----------------------------------------------
  void IndexUserFood();
  // Stores one diary row for the current user: re-opens the diary on the
  // user's file, computes the kilocalories from the catalogue and posts.
  // Table-layer errors reach the caller; nothing is stored then.
  TStoreResult StoreDiaryRow(int32_t date_serial, int meal_position, int32_t food_id,
                             int32_t quantity);
  // FOOD_ID of the selection list's current row (0 when the list is empty).
  int32_t SelectedFoodId();

  void UserFoodDbfFilterRecord(TTableObject& table, bool& accept);
  void UserFoodDbfAfterPost(TTableObject& table);
  void UserFoodDbfBeforeDelete(TTableObject& table);
  void UserFoodDbfAfterDelete(TTableObject& table);

  // --- Daily results (results.cpp) ------------------------------------------
  void BuildUserResult();
  void AddResultDay(int32_t day_number, int64_t total);

  // --- Catalogue and selection list (catalogue.cpp) -------------------------
  void ApplyGroupFilter();
  void BuildUserCal();
  int32_t NextFoodId();  // highest FOOD_ID of the whole catalogue + 1

  void FoodCalDbfFilterRecord(TTableObject& table, bool& accept);
  void MakeDBFilterRecord(TTableObject& table, bool& accept);
  void FoodCalDbfAfterEdit(TTableObject& table);
  void FoodCalDbfBeforePost(TTableObject& table);
  void FoodGroupDbfAfterScroll(TTableObject& table);
  void UserResultDbfAfterScroll(TTableObject& table);

  // --- Calendar (calendar.cpp) ----------------------------------------------
  // Days of `month` (1 to 12) in the calendar date's year that have diary
  // entries: bit d-1 set for day d.
  uint32_t MonthCalendar1GetMonthInfo(int month);
  // The same for all twelve months of the calendar date's year, in one walk
  // (the calendar asks for the three months it shows at once).
  std::array<uint32_t, 12> CalendarYearInfo();

 private:
  void DeclareFields();
  void BindHooks();
  void StartCreation(const std::string& file_name);  // closes and re-points MakeDB
  void Seed(const std::string& key_field, const std::string& text_field, const char* const* texts,
            size_t count, int32_t first_key);
  bool DiaryHolds(const std::string& file_name) const;

  TMainWindow& window_;
  std::string folder_;
};

}  // namespace kalbor
