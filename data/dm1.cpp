// The data module's tables: their settings, field objects and hook bindings,
// start-up, the creation of every table file with its fixed schema (all
// through MakeDB at level 3), the seed rows of the two code tables, and the
// display texts of the diary's lookup fields.
#include "data/dm1.h"

#include <memory>

#include "storage/errors.h"

namespace kalbor {

namespace {

const char kUserNameFile[] = "USERNAME.DBF";
const char kFoodCalFile[] = "FOODCAL.DBF";
const char kUserCalFile[] = "USERCAL.DBF";
const char kUserResultFile[] = "USERRESULT.DBF";
const char kMealTypeFile[] = "MEALTYPE.DBF";
const char kFoodGroupsFile[] = "FOODGROUPS.DBF";

const char kDiaryExistsText[] =
    "The file you want to make exists already.\r\nMaking a new one may cause lost of data.";
const char kDiaryExistsCaption[] = "File Exists";

}  // namespace

TDM1::TDM1(TMainWindow& window) : window_(window) {
  UserDbf.SetTableName("username.DBF");
  UserDbf.Exclusive = true;

  FoodCalDbf.SetTableName("foodcal.dbf");
  FoodCalDbf.Exclusive = true;
  // Never built or opened: the catalogue opens in file order.
  FoodCalDbf.SetIndexName("FOOD_ID.NDX");
  FoodCalDbf.SetFiltered(true);

  MakeDB.Exclusive = false;

  MealTypeDbf.SetTableName("mealtype.dbf");
  MealTypeDbf.Exclusive = true;

  UserFoodDbf.SetTableName(UserFileName(0));
  UserFoodDbf.Exclusive = true;

  FoodGroupDbf.SetTableName(kFoodGroupsFile);
  FoodGroupDbf.Exclusive = true;

  UserResultDbf.SetTableName(kUserResultFile);
  UserResultDbf.Exclusive = true;

  DeclareFields();
  BindHooks();
  folder_ = UserDbf.FilePathFull();
}

TDM1::~TDM1() = default;

void TDM1::DeclareFields() {
  auto number = [](TTableObject& t, const char* name) -> TField* {
    return t.AddField(std::make_unique<TFloatField>(name));
  };
  auto text = [](TTableObject& t, const char* name, int size) -> TField* {
    return t.AddField(std::make_unique<TStringField>(name, size));
  };
  auto date = [](TTableObject& t, const char* name) -> TField* {
    return t.AddField(std::make_unique<TDateField>(name));
  };

  UserDbfUSER_ID = number(UserDbf, "USER_ID");
  UserDbfUSERNAME = text(UserDbf, "USERNAME", 50);
  UserDbfIDX_NAME = text(UserDbf, "IDX_NAME", 50);
  UserDbfCOUNT = number(UserDbf, "COUNT");

  FoodCalDbfGROUP_ID = number(FoodCalDbf, "GROUP_ID");
  FoodCalDbfUSED = FoodCalDbf.AddField(std::make_unique<TBooleanField>("USED"));
  FoodCalDbfFOOD_ID = number(FoodCalDbf, "FOOD_ID");
  FoodCalDbfNAME = text(FoodCalDbf, "NAME", 50);
  FoodCalDbfIDX_NAME = text(FoodCalDbf, "IDX_NAME", 50);
  FoodCalDbfMAKE = text(FoodCalDbf, "MAKE", 20);
  FoodCalDbfCALORIES = number(FoodCalDbf, "CALORIES");

  MealTypeDbfKIND = number(MealTypeDbf, "KIND");
  MealTypeDbfDESCRIPT = text(MealTypeDbf, "DESCRIPT", 20);

  UserFoodDbfGROUP_ID = number(UserFoodDbf, "GROUP_ID");
  UserFoodDbfINDEXFLD = number(UserFoodDbf, "INDEXFLD");
  UserFoodDbfKIND = number(UserFoodDbf, "KIND");
  UserFoodDbfDATUM = date(UserFoodDbf, "DATUM");
  UserFoodDbfFOOD_ID = number(UserFoodDbf, "FOOD_ID");
  UserFoodDbfQUANTITY = number(UserFoodDbf, "QUANTITY");
  UserFoodDbfCALORIES = number(UserFoodDbf, "CALORIES");
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

  FoodGroupDbfGROUP_ID = number(FoodGroupDbf, "GROUP_ID");
  FoodGroupDbfGROUP_NAME = text(FoodGroupDbf, "GROUP_NAME", 32);

  UserResultDbfDAY = text(UserResultDbf, "DAY", 10);
  UserResultDbfDATUM = date(UserResultDbf, "DATUM");
  UserResultDbfCALORIES = number(UserResultDbf, "CALORIES");
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
}

// --- Start-up ---------------------------------------------------------------

void TDM1::DM1Create(const std::string& program_folder) {
  for (TTableObject* table : {&UserDbf, &FoodCalDbf, &MakeDB, &MealTypeDbf, &UserFoodDbf,
                              &FoodGroupDbf, &UserResultDbf})
    table->SetFilePath(program_folder);
  folder_ = UserDbf.FilePathFull();
  if (!FileExists(FolderFile(kUserNameFile))) MakeTableByNumber(tnUserName);
  if (!UserDbf.Active()) UserDbf.Open();
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

void TDM1::MakeUserNameTable() {
  if (FileExists(FolderFile(kUserNameFile))) return;
  StartCreation(kUserNameFile);
  MakeDB.FieldDefs.Add("USER_ID", ftInteger);
  MakeDB.FieldDefs.Add("USERNAME", ftString, 50);
  MakeDB.FieldDefs.Add("IDX_NAME", ftString, 50);
  MakeDB.FieldDefs.Add("COUNT", ftInteger);
  MakeDB.CreateDbfFile();
}

void AddCatalogueFields(TFieldDefs& defs) {
  defs.Add("GROUP_ID", ftInteger);
  defs.Add("USED", ftBoolean);
  defs.Add("FOOD_ID", ftInteger);
  defs.Add("NAME", ftString, 50);
  defs.Add("IDX_NAME", ftString, 50);
  defs.Add("MAKE", ftString, 20);
  defs.Add("CALORIES", ftInteger);
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
  table.SetFilePath(folder);
  table.SetTableName(kFoodCalFile);
  table.Exclusive = true;
  table.SetTableLevel(3);
  AddCatalogueFields(table.FieldDefs);
  table.CreateDbfFile();
  table.Open();
}

void TDM1::MakeFoodTable(const std::string& file_name) {
  StartCreation(file_name);
  AddCatalogueFields(MakeDB.FieldDefs);
  MakeDB.CreateDbfFile();
}

void TDM1::MakeFoodCalTable() {
  if (FileExists(FolderFile(kFoodCalFile))) return;
  MakeFoodTable(kFoodCalFile);
}

void TDM1::MakeUserCalTable() {
  if (FileExists(FolderFile(kUserCalFile))) return;
  MakeFoodTable(kUserCalFile);
}

bool TDM1::DiaryHolds(const std::string& file_name) const {
  return UserFoodDbf.Active() && SameTextAscii(UserFoodDbf.FullFileName(), FolderFile(file_name));
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
  StartCreation(name);
  MakeDB.FieldDefs.Add("GROUP_ID", ftInteger);
  MakeDB.FieldDefs.Add("INDEXFLD", ftInteger);
  MakeDB.FieldDefs.Add("KIND", ftInteger);
  MakeDB.FieldDefs.Add("DATUM", ftDate);
  MakeDB.FieldDefs.Add("FOOD_ID", ftInteger);
  MakeDB.FieldDefs.Add("QUANTITY", ftInteger);
  MakeDB.FieldDefs.Add("CALORIES", ftInteger);
  try {
    MakeDB.CreateDbfFile();
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
  if (FileExists(FolderFile(kUserResultFile))) return;
  StartCreation(kUserResultFile);
  MakeDB.FieldDefs.Add("DAY", ftString, 10);
  MakeDB.FieldDefs.Add("DATUM", ftDate);
  MakeDB.FieldDefs.Add("CALORIES", ftInteger);
  MakeDB.CreateDbfFile();
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
  StartCreation(kMealTypeFile);
  MakeDB.FieldDefs.Add("KIND", ftInteger);
  MakeDB.FieldDefs.Add("DESCRIPT", ftString, 20);
  MakeDB.CreateDbfFile();
  Seed("KIND", "DESCRIPT", kMealTypeNames.data(), kMealTypeNames.size(), 1);
}

void TDM1::MakeFoodGroupsTable() {
  if (FileExists(FolderFile(kFoodGroupsFile))) return;
  StartCreation(kFoodGroupsFile);
  MakeDB.FieldDefs.Add("GROUP_ID", ftInteger);
  MakeDB.FieldDefs.Add("GROUP_NAME", ftString, 32);
  MakeDB.CreateDbfFile();
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
