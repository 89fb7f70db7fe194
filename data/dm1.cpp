// The data module's tables: their settings, field objects and hook bindings,
// start-up, the creation of every table file with its fixed schema (all
// through MakeDB at level 3), the seed rows of the two code tables, and the
// display texts of the diary's lookup fields.
#include "data/dm1.h"

#include <memory>

#include "data/product_search.h"

#include "storage/errors.h"
#include "storage/files.h"

namespace kalbor {

namespace {

const char kDiaryExistsText[] =
    "The file you want to make exists already.\r\nMaking a new one may cause lost of data.";
const char kDiaryExistsCaption[] = "File Exists";

}  // namespace

TDM1::TDM1(TMainWindow& window) : window_(window) {
  UserDbf.SetTableName(kUserNameFile);
  UserDbf.Exclusive = true;

  FoodCalDbf.SetTableName(kFoodCalFile);
  FoodCalDbf.Exclusive = true;
  // Never built or opened: the catalogue opens in file order.
  FoodCalDbf.SetIndexName(kFoodIdIndex);
  FoodCalDbf.SetFiltered(true);

  MakeDB.Exclusive = false;

  MealTypeDbf.SetTableName(kMealTypeFile);
  MealTypeDbf.Exclusive = true;

  UserFoodDbf.SetTableName(UserFileName(0));
  UserFoodDbf.Exclusive = true;

  FoodGroupDbf.SetTableName(kFoodGroupsFile);
  FoodGroupDbf.Exclusive = true;

  UserResultDbf.SetTableName(kUserResultFile);
  UserResultDbf.Exclusive = true;

  UserWeightDbf.Exclusive = true;  // pointed at the user's table when it is opened

  UserTargetDbf.SetTableName(kUserTargetFile);
  UserTargetDbf.Exclusive = true;

  DeclareFields();
  BindHooks();
  folder_ = UserDbf.FilePathFull();
  catalogue_search_ = std::make_unique<TNameSearch>(FoodCalDbf);
  product_search_ = std::make_unique<TNameSearch>(MakeDB);
}

// The index files left in the program folder match their tables, so that
// another program opening a table with its index reads it right.
TDM1::~TDM1() {
  try {
    DropStaleIndexes();
  } catch (...) {
    // A file that cannot be removed stays; the program rebuilds every index
    // before it uses it.
  }
}

// An index file the table has open was kept current by every change; one it
// does not have open may have missed changes and goes. The selection list's
// index is built with the list itself, which changes in no other way.
void TDM1::DropStaleIndexes() {
  auto drop_unless_open = [this](TTableObject& table, const std::string& index_file) {
    if (FileExists(FolderFile(index_file)) && !table.IndexFileOpen(index_file))
      DeleteFile(FolderFile(index_file));
  };
  for (const char* index_file : {kUserNameIndex, kUserIdIndex, kUserCountIndex})
    drop_unless_open(UserDbf, index_file);
  drop_unless_open(FoodCalDbf, kFoodCalIndex);
  // The diary shown: its index is built each time it is opened for a user.
  if (UserFoodDbf.Active()) drop_unless_open(UserFoodDbf, ChangeFileExt(UserFoodDbf.TableName(), ".NDX"));
  if (UserWeightDbf.Active())
    drop_unless_open(UserWeightDbf, ChangeFileExt(UserWeightDbf.TableName(), ".NDX"));
}

void TDM1::DeclareFields() {
  DeclareSchemaFields(UserDbf, kUserNameColumns);
  UserDbfUSER_ID = &UserDbf.FieldByName("USER_ID");
  UserDbfUSERNAME = &UserDbf.FieldByName("USERNAME");
  UserDbfIDX_NAME = &UserDbf.FieldByName("IDX_NAME");
  UserDbfCOUNT = &UserDbf.FieldByName("COUNT");

  DeclareSchemaFields(FoodCalDbf, kCatalogueColumns);
  FoodCalDbfGROUP_ID = &FoodCalDbf.FieldByName("GROUP_ID");
  FoodCalDbfUSED = &FoodCalDbf.FieldByName("USED");
  FoodCalDbfFOOD_ID = &FoodCalDbf.FieldByName("FOOD_ID");
  FoodCalDbfNAME = &FoodCalDbf.FieldByName("NAME");
  FoodCalDbfIDX_NAME = &FoodCalDbf.FieldByName("IDX_NAME");
  FoodCalDbfMAKE = &FoodCalDbf.FieldByName("MAKE");
  FoodCalDbfCALORIES = &FoodCalDbf.FieldByName("CALORIES");

  DeclareSchemaFields(MealTypeDbf, kMealTypeColumns);
  MealTypeDbfKIND = &MealTypeDbf.FieldByName("KIND");
  MealTypeDbfDESCRIPT = &MealTypeDbf.FieldByName("DESCRIPT");

  DeclareSchemaFields(UserFoodDbf, kDiaryColumns);
  UserFoodDbfGROUP_ID = &UserFoodDbf.FieldByName("GROUP_ID");
  UserFoodDbfINDEXFLD = &UserFoodDbf.FieldByName("INDEXFLD");
  UserFoodDbfKIND = &UserFoodDbf.FieldByName("KIND");
  UserFoodDbfDATUM = &UserFoodDbf.FieldByName("DATUM");
  UserFoodDbfFOOD_ID = &UserFoodDbf.FieldByName("FOOD_ID");
  UserFoodDbfQUANTITY = &UserFoodDbf.FieldByName("QUANTITY");
  UserFoodDbfCALORIES = &UserFoodDbf.FieldByName("CALORIES");
  UserFoodDbfType =
      UserFoodDbf.AddField(std::make_unique<TStringField>("Type", 20, TFieldKind::fkLookup));
  UserFoodDbfType->KeyFields = "KIND";
  UserFoodDbfType->LookupDataSet = &MealTypeDbf;
  UserFoodDbfType->LookupKeyFields = "KIND";
  UserFoodDbfType->LookupResultField = "DESCRIPT";
  UserFoodDbfDescription = UserFoodDbf.AddField(
      std::make_unique<TStringField>("Description", 50, TFieldKind::fkLookup));
  UserFoodDbfDescription->KeyFields = "FOOD_ID";
  UserFoodDbfDescription->LookupDataSet = &FoodCalDbf;
  UserFoodDbfDescription->LookupKeyFields = "FOOD_ID";
  UserFoodDbfDescription->LookupResultField = "NAME";

  DeclareSchemaFields(FoodGroupDbf, kFoodGroupsColumns);
  FoodGroupDbfGROUP_ID = &FoodGroupDbf.FieldByName("GROUP_ID");
  FoodGroupDbfGROUP_NAME = &FoodGroupDbf.FieldByName("GROUP_NAME");

  DeclareSchemaFields(UserResultDbf, kUserResultColumns);
  UserResultDbfDAY = &UserResultDbf.FieldByName("DAY");
  UserResultDbfDATUM = &UserResultDbf.FieldByName("DATUM");
  UserResultDbfCALORIES = &UserResultDbf.FieldByName("CALORIES");

  DeclareSchemaFields(UserWeightDbf, kWeightColumns);
  UserWeightDbfDATUM = &UserWeightDbf.FieldByName("DATUM");
  UserWeightDbfWEIGHT = &UserWeightDbf.FieldByName("WEIGHT");
  UserWeightDbfDAYNUMBER = &UserWeightDbf.FieldByName("DAYNUMBER");

  DeclareSchemaFields(UserTargetDbf, kTargetColumns);
  UserTargetDbfUSER_ID = &UserTargetDbf.FieldByName("USER_ID");
  UserTargetDbfTARGET = &UserTargetDbf.FieldByName("TARGET");
}

void TDM1::BindHooks() {
  UserDbf.AfterEdit = [this](TTableObject& t) { UserDbfAfterEdit(t); };
  UserDbf.BeforePost = [this](TTableObject& t) { UserDbfBeforePost(t); };
  UserDbf.AfterPost = [this](TTableObject& t) { UserDbfAfterPost(t); };
  UserDbf.AfterScroll = [this](TTableObject& t) { UserDbfAfterScroll(t); };

  FoodCalDbf.AfterEdit = [this](TTableObject& t) { FoodCalDbfAfterEdit(t); };
  FoodCalDbf.BeforePost = [this](TTableObject& t) { FoodCalDbfBeforePost(t); };
  FoodCalDbf.OnFilterRecord = [this](TTableObject& t, bool& a) { FoodCalDbfFilterRecord(t, a); };

  MakeDB.OnFilterRecord = [this](TTableObject& t, bool& a) { MakeDBFilterRecord(t, a); };

  UserFoodDbf.AfterPost = [this](TTableObject& t) { UserFoodDbfAfterPost(t); };
  UserFoodDbf.BeforeDelete = [this](TTableObject& t) { UserFoodDbfBeforeDelete(t); };
  UserFoodDbf.AfterDelete = [this](TTableObject& t) { UserFoodDbfAfterDelete(t); };
  UserFoodDbf.OnFilterRecord = [this](TTableObject& t, bool& a) { UserFoodDbfFilterRecord(t, a); };
  UserFoodDbfType->OnGetText = [this](TField& f, std::string& s) { UserFoodDbfMealTypeGetText(f, s); };
  UserFoodDbfDescription->OnGetText = [this](TField& f, std::string& s) {
    UserFoodDbfFoodTextGetText(f, s);
  };

  FoodGroupDbf.AfterScroll = [this](TTableObject& t) { FoodGroupDbfAfterScroll(t); };
  UserResultDbf.AfterScroll = [this](TTableObject& t) { UserResultDbfAfterScroll(t); };
  // Weights read with one decimal, whatever the stored text.
  UserWeightDbfWEIGHT->OnGetText = [this](TField& f, std::string& s) {
    s = f.IsNull() ? std::string() : WeightText(WeightTenths(f.AsFloat()));
  };
}

// --- Start-up ---------------------------------------------------------------

void TDM1::SetFolder(const std::string& folder) {
  for (TTableObject* table : {&UserDbf, &FoodCalDbf, &MakeDB, &MealTypeDbf, &UserFoodDbf,
                              &FoodGroupDbf, &UserResultDbf, &UserWeightDbf, &UserTargetDbf})
    table->SetFilePath(folder);
  folder_ = UserDbf.FilePathFull();
}

void TDM1::DM1Create(const std::string& program_folder) {
  SetFolder(program_folder);
  if (!FileExists(FolderFile(kUserNameFile))) MakeTableByNumber(tnUserName);
  OpenUserList();
}

// --- Creation ---------------------------------------------------------------

void TDM1::MakeTableByNumber(int n) {
  switch (n) {
    case tnUserName: return MakeUserNameTable();
    case tnFoodCal: return MakeFoodCalTable();
    case tnUserCal: return MakeUserCalTable();
    case tnUserFood: return MakeUserFoodTable();
    case tnUserResult: return MakeUserResultTable();
    case tnMealType: return MakeMealTypeTable();
    case tnFoodGroups: return MakeFoodGroupsTable();
    default: return;
  }
}

void TDM1::StartCreation(const std::string& file_name) {
  MakeDB.Close();
  MakeDB.SetTableName(file_name);
  MakeDB.SetTableLevel(3);
  MakeDB.FieldDefs.Clear();
}

void TDM1::MakeTable(const std::string& file_name, TSchema schema) {
  StartCreation(file_name);
  AddSchemaFields(MakeDB.FieldDefs, schema);
  MakeDB.CreateDbfFile();
}

void TDM1::MakeUserNameTable() {
  if (!FileExists(FolderFile(kUserNameFile))) MakeTable(kUserNameFile, kUserNameColumns);
}

void AppendCatalogueProduct(TTableObject& table, const TCatalogueProduct& product) {
  table.Append();
  table.FieldByName("GROUP_ID").SetAsInteger(product.group_id);
  table.FieldByName("USED").SetAsBoolean(product.used);
  table.FieldByName("FOOD_ID").SetAsInteger(product.food_id);
  table.FieldByName("NAME").SetAsString(product.name);
  table.FieldByName("IDX_NAME").SetAsString(NameKey(product.name));
  table.FieldByName("MAKE").SetAsString(product.make);
  table.FieldByName("CALORIES").SetAsInteger(product.calories);
  table.Post();
}

void CreateCatalogueFile(TTableObject& table, const std::string& folder) {
  CreateSchemaTable(table, folder, kFoodCalFile, kCatalogueColumns);
}

void TDM1::MakeFoodTable(const std::string& file_name) { MakeTable(file_name, kCatalogueColumns); }

void TDM1::MakeFoodCalTable() {
  if (!FileExists(FolderFile(kFoodCalFile))) MakeFoodTable(kFoodCalFile);
}

void TDM1::MakeUserCalTable() {
  if (!FileExists(FolderFile(kUserCalFile))) MakeFoodTable(kUserCalFile);
}

bool TDM1::DiaryHolds(const std::string& file_name) const {
  return UserFoodDbf.Active() && SameTextAscii(UserFoodDbf.FullFileName(), FolderFile(file_name));
}

void TDM1::ReleaseDiary(const std::string& file_name) {
  if (DiaryHolds(file_name)) CloseDiary();
}

void TDM1::MakeUserFoodTable() {
  const std::string name = UserFileName(window_.CurrentUserId());
  if (FileExists(FolderFile(name))) {
    TModalResult answer = window_.ShowMessageBox(kDiaryExistsText, kDiaryExistsCaption,
                                                 TMsgIcon::Warning, TMsgButtons::OKCancel,
                                                 TModalResult::Cancel);
    if (answer != TModalResult::OK) return;
  }
  // The diary table holds its file exclusively; it lets go of it while the
  // file is replaced and then shows the new, empty diary.
  const bool reopen = DiaryHolds(name);
  if (reopen) UserFoodDbf.Close();
  try {
    MakeTable(name, kDiaryColumns);
  } catch (...) {
    try {
      if (reopen) UserFoodDbf.Open();
    } catch (...) {
      // The creation's error is the one to report.
    }
    throw;
  }
  if (reopen) UserFoodDbf.Open();
}

void TDM1::MakeUserResultTable() {
  if (!FileExists(FolderFile(kUserResultFile))) MakeTable(kUserResultFile, kUserResultColumns);
}

void TDM1::Seed(const std::string& key_field, const std::string& text_field,
                const char* const* texts, size_t count, int32_t first_key) {
  MakeDB.Open();
  try {
    TField& key = MakeDB.FieldByName(key_field);
    TField& text = MakeDB.FieldByName(text_field);
    for (size_t i = 0; i < count; ++i) {
      MakeDB.Insert();
      key.SetAsInteger(first_key + static_cast<int32_t>(i));
      text.SetAsString(texts[i]);
      MakeDB.Post();
    }
  } catch (...) {
    MakeDB.Close();
    throw;
  }
  MakeDB.Close();
}

void TDM1::MakeMealTypeTable() {
  if (FileExists(FolderFile(kMealTypeFile))) return;
  MakeTable(kMealTypeFile, kMealTypeColumns);
  Seed("KIND", "DESCRIPT", kMealTypeNames.data(), kMealTypeNames.size(), 1);
}

void TDM1::MakeFoodGroupsTable() {
  if (FileExists(FolderFile(kFoodGroupsFile))) return;
  MakeTable(kFoodGroupsFile, kFoodGroupsColumns);
  Seed("GROUP_ID", "GROUP_NAME", kFoodGroupNames.data(), kFoodGroupNames.size(), 0);
}

// --- Lookup texts -----------------------------------------------------------

// Each text is the first lookup-table row whose key equals the diary row's
// key (exact search), or a single blank when there is none.
void TDM1::UserFoodDbfMealTypeGetText(TField&, std::string& text) {
  const int32_t kind = UserFoodDbfKIND->AsInteger();
  if (MealTypeDbf.Active() && MealTypeDbf.Locate("KIND", TVariant(double(kind)), 0))
    text = MealTypeDbfDESCRIPT->AsString();
  else
    text = " ";
}

// Searches under the catalogue's current filter and leaves the catalogue on
// the match.
void TDM1::UserFoodDbfFoodTextGetText(TField&, std::string& text) {
  const int32_t food_id = UserFoodDbfFOOD_ID->AsInteger();
  if (FoodCalDbf.Active() && FoodCalDbf.Locate("FOOD_ID", TVariant(double(food_id)), 0))
    text = FoodCalDbfNAME->AsString();
  else
    text = " ";
}

}  // namespace kalbor
