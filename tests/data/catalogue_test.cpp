// The catalogue's group filter, the selection list and new product numbers.
#include "data/data_fixture.h"

namespace kalbor::test {
namespace {

using Strings = std::vector<std::string>;

class Catalogue : public DataModuleTest {
 protected:
  void SetUp() override {
    Start();
    MakeCodeTables();
  }
  void ChooseGroup(int page, int group) {
    window.page_mode = page;
    if (!dm->FoodGroupDbf.Active()) dm->FoodGroupDbf.Open();
    ASSERT_TRUE(dm->FoodGroupDbf.Locate("GROUP_ID", TVariant(double(group)), 0));
  }
  static Strings Names(TTableObject& t) {
    Strings out;
    for (t.First(); !t.Eof(); t.Next()) out.push_back(t.FieldByName("NAME").AsString());
    return out;
  }
};

TEST_F(Catalogue, GroupChoiceNarrowsOnlyTheListOfThePageShown) {
  WriteCatalogue({{8, true, 1, "Pear", 50}, {3, true, 2, "Oil", 900}, {8, true, 3, "Fig", 70}});
  dm->FoodCalDbf.Open();
  dm->BuildUserCal();
  ChooseGroup(pmFoodData, 8);
  EXPECT_EQ(Names(dm->FoodCalDbf), (Strings{"Pear", "Fig"}));
  EXPECT_EQ(Names(dm->MakeDB).size(), 3u);
  EXPECT_EQ(window.group_label, "8");
  EXPECT_TRUE(window.add_product_enabled);

  ChooseGroup(pmFoodEntry, 0);
  ChooseGroup(pmFoodEntry, 8);
  EXPECT_EQ(Names(dm->MakeDB), (Strings{"Fig", "Pear"}));
  EXPECT_EQ(Names(dm->FoodCalDbf).size(), 3u);

  ChooseGroup(pmFoodData, 0);
  EXPECT_EQ(Names(dm->FoodCalDbf).size(), 3u);
  EXPECT_EQ(Names(dm->MakeDB).size(), 3u);
  EXPECT_EQ(window.group_label, "All");
  EXPECT_FALSE(window.add_product_enabled);
}

TEST_F(Catalogue, SelectionListHoldsTheMarkedProductsInNameByteOrder) {
  std::vector<TProduct> products;
  const Strings marked = {"apple", "Zwieback", "banana", "Apricot", "cherry", "Bagel",
                          "date",  "Eclair",   "fig",    "Grape",   "kiwi",   "Lime"};
  for (int i = 0; i < 500; ++i) {
    bool used = i % 40 == 7 && i < 480;
    std::string name = used ? marked[i / 40] : "Product " + std::to_string(i);
    products.push_back({1 + i % 21, used, i + 1, name, i});
  }
  WriteCatalogue(products);
  dm->FoodCalDbf.Open();
  dm->BuildUserCal();
  EXPECT_EQ(Names(dm->MakeDB), (Strings{"Apricot", "Bagel", "Eclair", "Grape", "Lime", "Zwieback",
                                        "apple", "banana", "cherry", "date", "fig", "kiwi"}));
  EXPECT_EQ(Column("USERCAL.DBF", "CALORIES").at(0), "7");  // every field copied
  EXPECT_EQ(window.progress_max, 500);
  EXPECT_EQ(window.progress_position, 0);
  EXPECT_GE(window.process_messages_calls, 500);

  // Unmarking changes the list only at the next build.
  ASSERT_TRUE(dm->FoodCalDbf.Locate("NAME", TVariant(std::string("apple")), 0));
  dm->FoodCalDbf.Edit();
  dm->FoodCalDbfUSED->SetAsBoolean(false);
  dm->FoodCalDbf.Post();
  EXPECT_EQ(Names(dm->MakeDB).size(), 12u);
  dm->BuildUserCal();
  EXPECT_EQ(Names(dm->MakeDB).size(), 11u);
}

// The list is a copy of the catalogue file's fields; a catalogue whose file
// keeps them in another order still gives every value its own field.
TEST_F(Catalogue, SelectionListFromAClosedCatalogueInAnotherFieldOrder) {
  TTableObject t;
  t.SetFilePath(dir.path());
  t.SetTableName("FOODCAL.DBF");
  t.FieldDefs.Add("NAME", ftString, 50);
  t.FieldDefs.Add("CALORIES", ftInteger);
  t.FieldDefs.Add("MAKE", ftString, 20);
  t.FieldDefs.Add("FOOD_ID", ftInteger);
  t.FieldDefs.Add("IDX_NAME", ftString, 50);
  t.FieldDefs.Add("USED", ftBoolean);
  t.FieldDefs.Add("GROUP_ID", ftInteger);
  t.CreateDbfFile();
  t.Open();
  t.Append();
  t.FieldByName("NAME").SetAsString("Plum");
  t.FieldByName("CALORIES").SetAsInteger(46);
  t.FieldByName("FOOD_ID").SetAsInteger(9);
  t.FieldByName("USED").SetAsBoolean(true);
  t.FieldByName("GROUP_ID").SetAsInteger(8);
  t.Post();
  t.Close();
  dm->BuildUserCal();
  EXPECT_EQ(Column("USERCAL.DBF", "NAME"), Strings{"Plum"});
  EXPECT_EQ(Column("USERCAL.DBF", "CALORIES"), Strings{"46"});
  EXPECT_EQ(Column("USERCAL.DBF", "FOOD_ID"), Strings{"9"});
}

TEST_F(Catalogue, NewProductNumberCountsHiddenProducts) {
  WriteCatalogue({});
  EXPECT_EQ(dm->NextFoodId(), 1);
  dm->FoodCalDbf.Close();
  WriteCatalogue({{5, false, 3, "Tea", 1}, {2, false, 41, "Muesli", 370}, {5, false, 7, "Cola", 42}});
  ChooseGroup(pmFoodData, 5);
  dm->FoodCalDbf.Open();
  dm->FoodCalDbf.Last();
  EXPECT_EQ(dm->NextFoodId(), 42);
  EXPECT_EQ(dm->FoodCalDbfNAME->AsString(), "Cola");
  EXPECT_TRUE(dm->FoodCalDbf.Filtered());
}

TEST_F(Catalogue, StoredProductsKeepTheUpperCasedNameKey) {
  WriteCatalogue({{5, true, 1, "Tea", 1}});
  dm->FoodCalDbf.Open();
  ChooseGroup(pmFoodData, 0);
  dm->FoodCalDbf.First();
  dm->FoodCalDbf.Edit();
  dm->FoodCalDbfNAME->SetAsString("green tea");
  dm->FoodCalDbf.Post();
  dm->FoodCalDbf.Append();
  dm->FoodCalDbfNAME->SetAsString("äpfel");
  dm->FoodCalDbfCALORIES->SetAsInteger(52);
  dm->FoodCalDbf.Post();
  EXPECT_EQ(Column("FOODCAL.DBF", "IDX_NAME"), (Strings{"GREEN TEA", "äPFEL"}));
}

// No product is stored without its kilocalories or with fewer than 0; 0
// itself is a product's value (water, tea).
TEST_F(Catalogue, ProductsAreStoredOnlyWithKilocaloriesOfZeroOrMore) {
  WriteCatalogue({{5, true, 1, "Tea", 1}});
  ASSERT_TRUE(dm->OpenCatalogue());
  struct {
    std::optional<int32_t> calories;
    const char* refusal;  // nullptr: stored
  } cases[] = {{-5, kNegativeCaloriesText}, {std::nullopt, kNoCaloriesText}, {0, nullptr}};
  for (const auto& c : cases) {
    std::string refused;
    try {
      dm->AddProduct(5, "Water", "Tap", c.calories);
      if (dm->NewProductOpen()) dm->FoodCalDbf.Post();
    } catch (const ETableError& e) {
      refused = e.what();
    }
    EXPECT_EQ(refused, c.refusal ? c.refusal : "");
    dm->CancelNewProduct();
  }
  // An edit that empties or lowers the value is refused as well.
  dm->FoodCalDbf.First();
  for (const char* text : {"", "-1"}) {
    dm->FoodCalDbf.Edit();
    dm->FoodCalDbfCALORIES->SetAsString(text);
    EXPECT_THROW(dm->FoodCalDbf.Post(), ETableError) << text;
    dm->FoodCalDbf.Cancel();
  }
  EXPECT_EQ(Column("FOODCAL.DBF", "CALORIES"), (Strings{"1", "0"}));
}

}  // namespace
}  // namespace kalbor::test
