// TDM1: the data module. Owns the application's seven table objects for the
// whole run, makes their files with the fixed schemas, and keeps the rules
// and data steps that tie the tables together: the user list, each user's
// food diary, the daily totals, the food catalogue and the selection list.
// The window's pages call these steps and do no table work of their own.
// The module reads the window's state and calls it back only through
// TMainWindow.
//
// The operations live in one unit per subject: dm1.cpp (tables, creation,
// lookup texts), users.cpp, diary.cpp, results.cpp, catalogue.cpp,
// product_search.cpp, calendar.cpp, weight.cpp (weights and the daily target)
// and progress.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/file_names.h"
#include "data/rules.h"
#include "data/schemas.h"
#include "data/window_interface.h"
#include "storage/table_object.h"

namespace kalbor {

class TNameSearch;

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

// Where a word search of a product grid looks first and which way it goes.
// Every search goes round past the end of the list (past its top going up)
// and so looks at each row the list shows once.
enum class TSearchStep {
  Top,       // the list's first row, then on down
  Here,      // the current row, then the rows below it
  Next,      // the row below the current one, then on down
  Previous,  // the row above the current one, then on up
};

// What StoreDiaryRow did.
enum class TStoreResult {
  Stored,
  NoProduct,            // no product was chosen: nothing stored
  QuantityNotPositive,  // nothing stored, no message (the page checks first)
  QuantityTooLarge,     // the kilocalories would overflow, or the quantity is wider than
                        // its column: nothing stored, the refusal message was shown
};

// A step that needs a selected user refuses without one with this message.
inline constexpr char kNoUserSelectedText[] = "There is no user selected.\r\n";
inline constexpr char kInvalidUserCaption[] = "Invalid User";

// What AddWeight and SetDailyTarget did.
enum class TWeightResult {
  Stored,    // a new row, or the day's weight replaced after asking
  Kept,      // the day had a weight and the person chose to keep it
  NoUser,    // no user selected: nothing stored, the refusal was shown
  Refused,   // no number, or out of range: nothing stored, the refusal was shown
};

// One weight of the weight table with the moving average of the entries up
// to it.
struct TWeightPoint {
  int32_t date_serial = 0;
  int32_t tenths = 0;    // kilograms x 10
  double average = 0.0;  // kilograms: mean of this entry and up to six before it
  bool operator==(const TWeightPoint&) const = default;
};

// What the progress page shows for a period of days ending on a date.
struct TProgressFigures {
  int32_t first_day = 0, last_day = 0;  // date serials
  // Kilocalories of each day of the period, first day first; no value on a
  // day without entries.
  std::vector<std::optional<int64_t>> daily;
  std::vector<TWeightPoint> weights;  // the period's weights, date order
  std::optional<int32_t> target;      // the user's daily target
  int days_with_entries = 0;
  std::optional<int64_t> average_per_day;  // over the days with entries, rounded
  int days_over_target = 0;                // days with entries above the target
  // Last weight of the period minus its first, in tenths of a kilogram;
  // no value with fewer than two weights in the period.
  std::optional<int32_t> weight_change;
};

// What AddFood did: the store's result, and the table layer's error when
// storing failed (nothing is stored then).
struct TAddFoodResult {
  TStoreResult result = TStoreResult::NoProduct;
  std::string error;
};

class TDM1 {
 public:
  explicit TDM1(TMainWindow& window);
  ~TDM1();
  TDM1(const TDM1&) = delete;
  TDM1& operator=(const TDM1&) = delete;

  // --- The tables -----------------------------------------------------------
  TTableObject UserDbf;        // USERNAME.DBF: the user list
  TTableObject FoodCalDbf;     // FOODCAL.DBF: the food catalogue
  TTableObject MakeDB;         // makes every table file; holds USERCAL.DBF otherwise
  TTableObject MealTypeDbf;    // MEALTYPE.DBF
  TTableObject UserFoodDbf;    // USERnnnn.DBF: the selected user's diary
  TTableObject FoodGroupDbf;   // FOODGROUPS.DBF
  TTableObject UserResultDbf;  // USERRESULT.DBF: daily totals
  TTableObject UserWeightDbf;  // USEWnnnn.DBF: the selected user's weights
  TTableObject UserTargetDbf;  // USERTARGET.DBF: daily targets, opened for each step

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
  TField *UserWeightDbfDATUM, *UserWeightDbfWEIGHT, *UserWeightDbfDAYNUMBER;
  TField *UserTargetDbfUSER_ID, *UserTargetDbfTARGET;
  // The diary's two lookup fields (their texts come from the text hooks).
  TStringField* UserFoodDbfType = nullptr;         // "Type": KIND in MealTypeDbf
  TStringField* UserFoodDbfDescription = nullptr;  // "Description": FOOD_ID in FoodCalDbf

  // GROUP_ID of the current food group; 0 = all groups. Set only by
  // ApplyGroupFilter.
  int32_t SelectedGroup = 0;

  // --- Start-up, tables and schemas (dm1.cpp) -------------------------------
  // Points every table at the program folder (ProgramFolders() decides it),
  // makes USERNAME.DBF when it is missing and opens the user list.
  void DM1Create(const std::string& program_folder);
  // Points every table at `folder`, where each bare file name is resolved.
  void SetFolder(const std::string& folder);
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
  bool UserOrderChosen() const;  // an order's index is selected
  // Numbers the just-appended row whose USER_ID is 0; answers its number
  // (0 when there was no such row).
  int32_t AssignUserId();
  bool UserNameExists(const std::string& name, int32_t user_id);
  void UpdateUserCount();  // leaves the diary open on the counted user's diary

  // The user list's current row: its number and name (0 and empty when the
  // list is closed or empty), and the number of rows the list shows.
  bool HasUsers() const;  // the user list is open and shows a row
  int32_t CurrentRowUserId();
  std::string CurrentRowUserName();
  int32_t UserRowCount();
  // Opens the user list when it is closed and moves to the row of user `id`
  // (exact search; none found: the row stays where it was).
  void LocateUser(int32_t id);
  // The user list's display updates on again, however often a step left
  // them suspended.
  void ResumeUserListDisplay();

  // "Add User": a name no other user has (else the refusal is shown and 0
  // answered) is stored as a new row with the lowest free number, which is
  // answered.
  int32_t AddUser(const std::string& name);
  // Renames the current row's user `id` unless another user has the name
  // (the refusal is shown then); the list is ordered again.
  bool RenameUser(int32_t id, const std::string& name);
  // The files of the user the window has just selected (CurrentUserId): the
  // diary is made when missing, opened in date and meal order, and the
  // selection list rebuilt, when the user changed from `previous_user_id` or
  // a file is still missing; then the entry count. Errors opening the diary
  // leave it closed until the next selection.
  void OpenUserFiles(int32_t previous_user_id);
  // Deletes user `user_id` (the user list's current row) with the diary,
  // the weight table, their index files and the daily target; a file that
  // cannot be deleted is reported. Then packs the user list (PackUserList).
  void DeleteUser(int32_t user_id);
  // Removes the rows marked deleted from USERNAME.DBF; the list is opened
  // again, in file order.
  void PackUserList();

  void UserDbfAfterEdit(TTableObject& table);
  void UserDbfBeforePost(TTableObject& table);
  void UserDbfAfterPost(TTableObject& table);
  void UserDbfAfterScroll(TTableObject& table);

  // --- Food diary (diary.cpp) -----------------------------------------------
  void IndexUserFood();
  // Points the diary at user `user_id`'s diary file with the one-day filter
  // off, in date and meal order.
  void OpenDiary(int32_t user_id);
  bool DiaryOpen() const { return UserFoodDbf.Active(); }
  void CloseDiary();  // closed, and pointed at no file
  bool DiaryFileExists(int32_t user_id) const;
  // Stores one diary row for the current user: opens the diary on the
  // user's file, computes the kilocalories from the catalogue and posts.
  // Table-layer errors reach the caller; nothing is stored then.
  TStoreResult StoreDiaryRow(int32_t date_serial, int meal_position, int32_t food_id,
                             int32_t quantity);
  // "&Add Food": the diary is made when missing (the selection list is
  // opened again on the same product), the row stored and the diary shown in
  // date and meal order on the new row. Without a product nothing is stored
  // (and no diary made).
  TAddFoodResult AddFood(int32_t date_serial, int meal_position, std::optional<int32_t> food_id,
                         int32_t quantity);
  // FOOD_ID of the selection list's current row; no value when the list is
  // not open or shows no product.
  std::optional<int32_t> SelectedFoodId();
  // "All" or "One day": the diary without or with the one-day filter, in
  // date and meal order. Nothing when the diary is closed.
  void SetDiaryView(bool one_day);
  void DiaryFilterOff();  // all days, the order left as it is
  // The calendar's date changed: the one-day view shows the new date.
  void DiaryDateChanged();
  void RefreshDiary();      // re-reads the rows the diary shows, when it is open
  bool DiaryShowsRows();    // the diary is open and shows at least one row
  void DeleteDiaryRow();    // the diary's current row; the hooks count again
  // Kilocalories of the diary rows on one date, by meal type 1 to 5.
  std::array<int64_t, 5> DayTotals(int32_t date_serial);

  void UserFoodDbfFilterRecord(TTableObject& table, bool& accept);
  void UserFoodDbfAfterPost(TTableObject& table);
  void UserFoodDbfBeforeDelete(TTableObject& table);
  void UserFoodDbfAfterDelete(TTableObject& table);

  // --- Daily results (results.cpp) ------------------------------------------
  void BuildUserResult();
  void AddResultDay(int32_t day_number, int64_t total);
  void CloseUserResult();  // the daily totals' grid shows nothing

  // --- Catalogue and selection list (catalogue.cpp) -------------------------
  void ApplyGroupFilter();
  void BuildUserCal();
  int32_t NextFoodId();  // highest FOOD_ID of the whole catalogue + 1

  // The selection list opened ordered by name; false when it cannot be
  // opened (the product grid is then empty).
  bool OpenUserCal();
  // The first product of the selection list whose name begins with `text`
  // in any letter case; none (false): the list stays where it is.
  bool FindProduct(const std::string& text);

  // The catalogue opened on FOODCAL.DBF; false when it cannot be.
  bool OpenCatalogue();
  // The food groups opened when closed.
  void OpenFoodGroups();
  // The catalogue reopened, ordered by `field` (NAME by its name key),
  // ascending, on its first row.
  void SortCatalogue(const std::string& field);
  // Flips the true/false field of the catalogue's current row and stores
  // the row at once; a new row is only marked. A change that cannot be
  // stored is dropped and the error thrown.
  void ToggleProductField(const std::string& field);
  // "Add": a new product of `group` (above 0) with the next free number,
  // marked used. Without `calories` the new row is left open, unposted.
  void AddProduct(int32_t group, const std::string& name, const std::string& make,
                  std::optional<int32_t> calories);
  // Drops the catalogue's row being inserted, if any.
  void CancelNewProduct();
  bool NewProductOpen() const;  // a catalogue row is being inserted

  void FoodCalDbfFilterRecord(TTableObject& table, bool& accept);
  void MakeDBFilterRecord(TTableObject& table, bool& accept);
  void FoodCalDbfAfterEdit(TTableObject& table);
  void FoodCalDbfBeforePost(TTableObject& table);
  void FoodGroupDbfAfterScroll(TTableObject& table);
  void UserResultDbfAfterScroll(TTableObject& table);

  // --- Word search of the product grids (product_search.cpp) ----------------
  // The catalogue's search box: the product, in the order and food group
  // the catalogue shows, whose name holds every word of `text` (TNameWords),
  // looked for as `step` says. Found: it is the catalogue's current row.
  // Nothing found, or no words in `text`: the catalogue stays where it is.
  bool SearchCatalogue(const std::string& text, TSearchStep step);
  // Reads the catalogue's rows for the search now, when a change left them
  // to be read again (the search box got the focus: the first keystroke
  // then finds at once).
  void PrepareCatalogueSearch();
  // The memory the catalogue's search keeps.
  size_t CatalogueSearchBytes() const;
  // The food entry page's search box. Typing keeps the first product whose
  // name begins with the text (FindProduct); when no name does, the first
  // product of the list whose name holds every word. Next and Previous
  // (Enter, F3, Shift+F3) step through the products whose names hold every
  // word.
  bool TypeInProductSearch(const std::string& text);
  bool StepProductSearch(const std::string& text, TSearchStep step);

  // --- Calendar (calendar.cpp) ----------------------------------------------
  // Days of `month` (1 to 12) in the calendar date's year that have diary
  // entries: bit d-1 set for day d.
  uint32_t MonthCalendar1GetMonthInfo(int month);
  // The same for all twelve months of the calendar date's year, in one walk
  // (the calendar asks for the three months it shows at once).
  std::array<uint32_t, 12> CalendarYearInfo();

  // --- Weights and the daily target (weight.cpp) -----------------------------
  // A user is selected: a number and a name.
  bool UserSelected() const;
  // Makes user `user_id`'s weight table USEWnnnn.DBF when it is missing and
  // opens it in date order on the latest weight.
  void OpenWeightTable(int32_t user_id);
  void MakeUserWeightTable(int32_t user_id);
  void CloseWeightTable();  // closed, and pointed at no file
  bool WeightTableOpen() const { return UserWeightDbf.Active(); }
  // "Add &Weight": the weight typed as `text` for the day `date_serial` of
  // the current user. Refused with a message when no user is selected, or
  // when the text is no number or outside 20.0 to 400.0 kg; a day that has
  // a weight asks before replacing it. The table is made when missing and
  // left open in date order on the day's row.
  TWeightResult AddWeight(int32_t date_serial, const std::string& text);
  bool WeightShowsRows();  // the weight table is open and shows a row
  void DeleteWeightRow();  // the weight table's current row
  // The current user's weights in date order, each with the moving average
  // of seven entries; none when the user has no weight table.
  std::vector<TWeightPoint> WeightSeries();
  // The text of a weight: kilograms with one decimal, the window's decimal
  // separator ("72.5").
  std::string WeightText(int32_t tenths) const;

  // The daily target of user `user_id` in kilocalories; none when not set.
  std::optional<int32_t> DailyTarget(int32_t user_id);
  // Sets the current user's target from `text`: empty removes it, a whole
  // number from 500 to 10,000 is kept; anything else is refused with a
  // message.
  TWeightResult SetDailyTarget(const std::string& text);
  void RemoveDailyTarget(int32_t user_id);

  // --- Progress (progress.cpp) -----------------------------------------------
  // Kilocalories of each day from `first_day` to `last_day` (date serials)
  // in the current user's diary; no value on a day without entries.
  std::vector<std::optional<int64_t>> DailyTotals(int32_t first_day, int32_t last_day);
  // The figures of the `days` days ending on `last_day`.
  TProgressFigures ProgressFigures(int32_t last_day, int days);

 private:
  void DeclareFields();
  void BindHooks();
  void StartCreation(const std::string& file_name);  // closes and re-points MakeDB
  void MakeTable(const std::string& file_name, TSchema schema);
  void Seed(const std::string& key_field, const std::string& text_field, const char* const* texts,
            size_t count, int32_t first_key);
  bool DiaryHolds(const std::string& file_name) const;
  bool OpenUserList();  // false when it could not be opened (reported once)
  // A file of user `user_id` (diary, weights, their index files) is in the
  // folder, or a daily target is kept for the number.
  bool UserFilesLeft(int32_t user_id);
  // Removes the index files the program makes that are not open on their
  // table, and so may not match it any more.
  void DropStaleIndexes();
  void ReleaseDiary(const std::string& file_name);  // closes the diary when it holds the file
  bool WeightHolds(const std::string& file_name) const;
  void ShowNoUser();
  void IndexUserWeight();
  // Opens the target table (made when missing if `make`); false when it is missing.
  bool OpenTargets(bool make);
  // Deletes a file of the folder when it is there; a file that cannot be
  // deleted is reported.
  void DeleteUserFile(const std::string& bare_name);

  TMainWindow& window_;
  std::string folder_;
  // The word search of the catalogue and of the selection list (MakeDB);
  // made after the tables and gone before them.
  std::unique_ptr<TNameSearch> catalogue_search_, product_search_;
  std::string user_list_damage_;  // why the user list could not be opened
};

}  // namespace kalbor
