// The word search of the product grids: which names a typed text matches,
// where each step of a search lands in the catalogue, and that a search sees
// every change of the catalogue at once.
#include "data/data_fixture.h"
#include "data/name_search.h"

namespace kalbor::test {
namespace {

TEST(NameWords, NameMatchesWhenItHoldsEveryWordCaseAndAccentsAside) {
  struct {
    const char* typed;
    const char* name;
    bool matches;
  } cases[] = {
      {"creme brulee", "Crème brûlée", true},
      {"CRÈME", "creme", true},
      {"milk choc", "Candies, milk chocolate", true},
      {"choc milk", "Candies, milk chocolate", true},    // any order
      {"candies,milk", "Candies, milk chocolate", true},  // punctuation parts words
      {"milk dark", "Candies, milk chocolate", false},    // every word
      {"nino", "Niño", true},
      {"oeufs", "Œufs à la neige", true},                 // joined letters spelt out
      {"strasse", "Straßenbrot", true},
      {"aeble", "Æblekage", true},
      {"salat", "Šalát", true},
      {"7 up", "7-Up", true},
      {"cafe", "Cafe", true},
      {"café", "CAFE", true},                             // both sides folded
      {"tea ☕", "tea", false},                            // no table text holds ☕
  };
  for (const auto& c : cases) {
    std::string folded;
    AppendFoldedName(folded, c.name);
    EXPECT_EQ(TNameWords(c.typed).Matches(folded), c.matches) << c.typed << " / " << c.name;
  }
  for (const char* nothing : {"", "   ", ", -"})
    EXPECT_TRUE(TNameWords(nothing).Empty()) << nothing;
  EXPECT_FALSE(TNameWords("☕").Empty());
}

class ProductSearch : public DataModuleTest {
 protected:
  void SetUp() override {
    Start();
    MakeCodeTables();
    // In file order; the bananas are products 1, 3 and 5.
    WriteCatalogue({{8, false, 1, "Banana, raw", 89},
                    {3, false, 2, "Crème brûlée", 250},
                    {8, false, 3, "Bananas, dried", 346},
                    {19, false, 4, "Candies, milk chocolate", 535},
                    {8, false, 5, "Plantain (banana family)", 122}});
    window.page_mode = pmFoodData;
    ASSERT_TRUE(dm->OpenCatalogue());
    dm->OpenFoodGroups();
    ChooseGroup(0);
  }
  void ChooseGroup(int group) {
    ASSERT_TRUE(dm->FoodGroupDbf.Locate("GROUP_ID", TVariant(double(group)), 0));
  }
  void GoTo(int32_t food_id) {
    ASSERT_TRUE(dm->FoodCalDbf.Locate("FOOD_ID", TVariant(double(food_id)), 0));
  }
  int32_t Current() { return dm->FoodCalDbfFOOD_ID->AsInteger(); }
};

TEST_F(ProductSearch, EachStepLandsOnTheMatchingProductOfTheGroupShown) {
  struct {
    int group;
    int32_t from;
    const char* text;
    TSearchStep step;
    bool found;
    int32_t lands_on;
  } cases[] = {
      {0, 1, "banana", TSearchStep::Here, true, 1},  // the current row first
      {0, 2, "banana", TSearchStep::Here, true, 3},
      {0, 1, "banana", TSearchStep::Next, true, 3},
      {0, 5, "banana", TSearchStep::Next, true, 1},      // round past the end
      {0, 3, "banana", TSearchStep::Previous, true, 1},
      {0, 1, "banana", TSearchStep::Previous, true, 5},  // round past the top
      {0, 5, "BANANA raw", TSearchStep::Top, true, 1},
      {0, 1, "creme brulee", TSearchStep::Here, true, 2},
      {0, 1, "milk choc", TSearchStep::Next, true, 4},
      {0, 4, "milk choc", TSearchStep::Next, true, 4},   // the only match stays
      {0, 3, "kiwi", TSearchStep::Here, false, 3},       // none: the row stays
      {0, 3, "  ", TSearchStep::Next, false, 3},         // no words
      {8, 1, "banana", TSearchStep::Next, true, 3},
      {8, 3, "creme", TSearchStep::Here, false, 3},      // only in the group shown
      {19, 4, "banana", TSearchStep::Previous, false, 4},
  };
  for (const auto& c : cases) {
    ChooseGroup(c.group);
    GoTo(c.from);
    EXPECT_EQ(dm->SearchCatalogue(c.text, c.step), c.found)
        << c.text << " from " << c.from << " in group " << c.group;
    EXPECT_EQ(Current(), c.lands_on) << c.text << " from " << c.from << " in group " << c.group;
  }
  // A new row is left for the match, as any move leaves it.
  ChooseGroup(0);
  GoTo(1);
  dm->FoodCalDbf.Insert();
  EXPECT_TRUE(dm->SearchCatalogue("banana", TSearchStep::Here));
  EXPECT_EQ(dm->FoodCalDbf.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Current(), 1);
}

// The names read for one search are read again after any change: a renamed,
// deleted or added product, and another order.
TEST_F(ProductSearch, SearchSeesEveryChangeOfTheCatalogue) {
  GoTo(1);
  ASSERT_TRUE(dm->SearchCatalogue("banana", TSearchStep::Next));
  ASSERT_EQ(Current(), 3);

  dm->FoodCalDbf.Edit();
  dm->FoodCalDbfNAME->SetAsString("Figs, dried");
  EXPECT_TRUE(dm->SearchCatalogue("figs", TSearchStep::Here));  // the edit, not yet stored
  dm->FoodCalDbf.Post();
  GoTo(1);
  EXPECT_TRUE(dm->SearchCatalogue("banana", TSearchStep::Next));
  EXPECT_EQ(Current(), 5);
  EXPECT_TRUE(dm->SearchCatalogue("fig dried", TSearchStep::Top));
  EXPECT_EQ(Current(), 3);

  GoTo(5);
  dm->FoodCalDbf.Delete();
  GoTo(1);
  EXPECT_FALSE(dm->SearchCatalogue("plantain", TSearchStep::Here));

  dm->AddProduct(8, "Banana chips", "Shop", 519);
  GoTo(1);
  EXPECT_TRUE(dm->SearchCatalogue("banana", TSearchStep::Next));
  EXPECT_EQ(dm->FoodCalDbfNAME->AsString(), "Banana chips");

  // By name: "Banana chips" comes before "Banana, raw".
  dm->SortCatalogue("NAME");
  EXPECT_TRUE(dm->SearchCatalogue("banana", TSearchStep::Here));
  EXPECT_EQ(dm->FoodCalDbfNAME->AsString(), "Banana chips");
  EXPECT_TRUE(dm->SearchCatalogue("banana", TSearchStep::Next));
  EXPECT_EQ(dm->FoodCalDbfNAME->AsString(), "Banana, raw");
}

// The selection list: typing keeps the first product whose name begins
// with the text; only when none does, the first whose name holds the words.
TEST_F(ProductSearch, SelectionListTriesTheStartOfTheNameFirst) {
  for (dm->FoodCalDbf.First(); !dm->FoodCalDbf.Eof(); dm->FoodCalDbf.Next())
    dm->ToggleProductField("USED");
  dm->BuildUserCal();
  ASSERT_TRUE(dm->OpenUserCal());  // by name
  TField& name = dm->MakeDB.FieldByName("NAME");
  struct {
    const char* typed;
    bool found;
    const char* lands_on;
  } cases[] = {{"ban", true, "Banana, raw"},  // the name begins with the text
               {"banana family", true, "Plantain (banana family)"},
               {"choc", true, "Candies, milk chocolate"},
               {"", true, "Banana, raw"},     // empty: the first product
               {"kiwi", false, "Banana, raw"}};
  for (const auto& c : cases) {
    EXPECT_EQ(dm->TypeInProductSearch(c.typed), c.found) << c.typed;
    EXPECT_EQ(name.AsString(), c.lands_on) << c.typed;
  }
  EXPECT_TRUE(dm->StepProductSearch("ban", TSearchStep::Next));
  EXPECT_EQ(name.AsString(), "Bananas, dried");
  EXPECT_TRUE(dm->StepProductSearch("ban", TSearchStep::Previous));
  EXPECT_EQ(name.AsString(), "Banana, raw");
}

}  // namespace
}  // namespace kalbor::test
