// Rules that build the shipped food catalogue from the USDA SR24 energy list:
// reading the list, food groups, shortened names, distinct names, and the
// catalogue built from the real list in resources/catalogue.
#include "tools/foodcal/catalogue_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kalbor {
namespace {

const std::string kEnergyList =
    std::string(KALBOR_SOURCE_DIR) + "/resources/catalogue/usda-sr24-energy.csv";

std::vector<SourceFood> Parse(const std::string& text) {
  std::istringstream in(text);
  return ParseSourceFoods(in);
}

const std::vector<SourceFood>& RealFoods() {
  static const std::vector<SourceFood> foods = ReadSourceFoods(kEnergyList);
  return foods;
}

const std::vector<CatalogueRow>& RealCatalogue() {
  static const std::vector<CatalogueRow> rows = BuildCatalogue(RealFoods());
  return rows;
}

// Words of a name: runs of characters other than blanks, commas,
// semicolons and parentheses.
std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> words;
  std::string word;
  for (char c : s + " ") {
    if (c == ' ' || c == ',' || c == ';' || c == '(' || c == ')') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

// ---- reading the energy list ------------------------------------------------

TEST(EnergyListReading, QuotedNamesKeepCommasAndDoubledQuotes) {
  auto foods = Parse(
      "ndb_no,name,kcal_per_100g\r\n"
      "01001,\"Butter, salted\",717\r\n"
      "13824,\"Beef, rib, trimmed to 1/8\"\" fat, raw\",306\r\n"
      "20038,Oats,389\r\n");
  ASSERT_EQ(foods.size(), 3u);
  EXPECT_EQ(foods[0].ndb_no, "01001");
  EXPECT_EQ(foods[0].name, "Butter, salted");
  EXPECT_EQ(foods[0].kcal, 717);
  EXPECT_EQ(foods[1].name, "Beef, rib, trimmed to 1/8\" fat, raw");
  EXPECT_EQ(foods[2].name, "Oats");
  EXPECT_EQ(foods[2].kcal, 389);
}

TEST(EnergyListReading, AcceptsLfLinesAndAMissingLastLineEnd) {
  auto foods = Parse("ndb_no,name,kcal_per_100g\n09040,\"Bananas, raw\",89");
  ASSERT_EQ(foods.size(), 1u);
  EXPECT_EQ(foods[0].name, "Bananas, raw");
  EXPECT_EQ(foods[0].kcal, 89);
}

TEST(EnergyListReading, RejectsMalformedInputNamingTheLine) {
  const std::string header = "ndb_no,name,kcal_per_100g\n";
  auto message_of = [](const std::string& text) {
    try {
      Parse(text);
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_NE(message_of("id,name,kcal\n").find("line 1"), std::string::npos);
  EXPECT_NE(message_of(header + "01001,\"Butter, salted,717\n").find("line 2"), std::string::npos);
  EXPECT_NE(message_of(header + "01001,Butter,seven\n").find("line 2"), std::string::npos);
  EXPECT_NE(message_of(header + "01001,Butter\n").find("line 2"), std::string::npos);
  EXPECT_NE(message_of(header + "1001,Butter,717\n").find("line 2"), std::string::npos);
}

TEST(EnergyListReading, ReadsTheWholeShippedList) {
  const auto& foods = RealFoods();
  ASSERT_EQ(foods.size(), 7906u);
  EXPECT_EQ(foods.front().ndb_no, "01001");
  EXPECT_EQ(foods.back().name, "Turtle, green, raw");
  EXPECT_EQ(foods.back().kcal, 89);
}

// ---- food groups ------------------------------------------------------------

struct GroupCase {
  const char* ndb_no;
  const char* name;
  int group;
};

// Real foods of the list, a few per group, including those whose database
// code points elsewhere and those whose code has no group of its own.
const GroupCase kGroupCases[] = {
    {"18069", "Bread, white, commercially prepared (includes soft bread crumbs)", 1},
    {"18350", "Rolls, hamburger or hotdog, plain", 1},
    {"18258", "English muffins, plain, enriched, with ca prop (includes sourdough)", 1},
    {"35142", "Frybread, made with lard (Navajo)", 1},
    {"08020", "Cereals ready-to-eat, KELLOGG, KELLOGG'S Corn Flakes", 2},
    {"18293", "Pancakes, plain, prepared from recipe", 2},
    {"20038", "Oats", 2},
    {"03189", "Babyfood, cereal, oatmeal, dry", 2},
    {"01001", "Butter, salted", 3},
    {"04053", "Oil, olive, salad or cooking", 3},
    {"42307", "Margarine-like, butter-margarine blend, 80% fat, stick, without salt", 3},
    {"14003", "Alcoholic beverage, beer, regular, all", 4},
    {"43479", "Alcoholic beverage, rice (sake)", 4},
    {"14209", "Coffee, brewed from grounds, prepared with tap water", 5},
    {"09206", "Orange juice, raw", 5},
    {"11540", "Tomato juice, canned, with salt added", 5},
    {"31001", "CAMPBELL Soup Company, Tomato juice", 5},
    {"12119", "Nuts, coconut water (liquid from coconuts)", 5},
    {"01123", "Egg, whole, raw, fresh", 6},
    {"43285", "Eggs, scrambled, frozen mixture", 6},
    {"21018", "Fast foods, egg, scrambled", 6},
    {"15015", "Fish, cod, Atlantic, raw", 7},
    {"35054", "Octopus (Alaska Native)", 7},
    {"90560", "Mollusks, snail, raw", 7},
    {"09003", "Apples, raw, with skin", 8},
    {"35027", "Cloudberries, raw (Alaska Native)", 8},
    {"03130", "Babyfood, fruit, peaches, strained", 8},
    {"02030", "Spices, pepper, black", 9},
    {"06979", "Adobo fresco", 9},
    {"21107", "Fast foods, hamburger; single, regular patty; plain", 10},
    {"22910", "Lasagna, Cheese, frozen, prepared", 10},
    {"36602", "Restaurant, Chinese, fried rice", 10},
    {"35147", "Tamales (Navajo)", 10},
    {"13824", "Beef, rib, whole (ribs 6-12), separable lean and fat, trimmed to 1/8\" fat, all "
              "grades, raw", 11},
    {"23567", "Beef, ground, 85% lean meat / 15% fat, raw", 11},
    {"07022", "Frankfurter, beef, unheated", 11},
    {"35049", "Moose, meat, raw (Alaska Native)", 11},
    {"01009", "Cheese, cheddar", 12},
    {"01077", "Milk, whole, 3.25% milkfat, with added vitamin D", 12},
    {"42155", "Cheese, monterey, low fat", 12},
    {"14346", "Shake, fast food, chocolate", 12},
    {"03853", "Infant formula, ABBOTT NUTRITION, SIMILAC, with iron, powder, not reconstituted "
              "(formerly ROSS)", 13},
    {"18372", "Leavening agents, baking soda", 13},
    {"43406", "Yeast extract spread", 13},
    {"11365", "Potatoes, boiled, cooked in skin, flesh, without salt", 14},
    {"20045", "Rice, white, long-grain, regular, cooked", 14},
    {"21138", "Fast foods, potato, french fried in vegetable oil", 14},
    {"36014", "Restaurant, family style, French fries", 14},
    {"06931", "Sauce, pasta, spaghetti/marinara, ready-to-serve", 15},
    {"06116", "Gravy, beef, canned, ready-to-serve", 15},
    {"11935", "Catsup", 15},
    {"04015", "Salad dressing, russian dressing", 15},
    {"27028", "CAMPBELL Soup Company, PACE, Salsa Verde", 15},
    {"02046", "Mustard, prepared, yellow", 15},
    {"12061", "Nuts, almonds", 16},
    {"16090", "Peanuts, all types, dry-roasted, with salt", 16},
    {"19411", "Snacks, potato chips, plain, salted", 16},
    {"25000", "Snacks, popcorn, microwave, 94% fat free", 16},
    {"18621", "NABISCO, NABISCO RITZ Crackers", 16},
    {"06419", "Soup, chicken noodle, canned, prepared with equal volume water", 17},
    {"27021", "CAMPBELL Soup Company, CAMPBELL'S SELECT Soups, HEALTHY REQUEST Chicken with Egg "
              "Noodles", 17},
    {"36414", "Restaurant, Latino, tripe soup", 17},
    {"14460", "Sports drink, PEPSICO QUAKER GATORADE, GATORADE, original, fruit-flavored, "
              "ready-to-drink", 18},
    {"14154", "Energy drink, RED BULL, with added caffeine, niacin, pantothenic acid, vitamins "
              "B6 and B12", 18},
    {"25017", "Formulated bar, POWER BAR, chocolate", 18},
    {"01223", "Protein supplement, milk based, Muscle Milk, powder", 18},
    {"19095", "Ice creams, vanilla", 19},
    {"18086", "Cake, angelfood, commercially prepared", 19},
    {"18274", "Muffins, blueberry, commercially prepared (Includes mini-muffins)", 19},
    {"01238", "Ice cream sandwich", 19},
    {"21334", "McDONALD'S, Strawberry Sundae", 19},
    {"11124", "Carrots, raw", 20},
    {"16069", "Lentils, raw", 20},
    {"35192", "Agave, raw (Southwest)", 20},
    {"03099", "Babyfood, vegetables, carrots, strained", 20},
    {"16126", "Tofu, firm, prepared with calcium sulfate and magnesium chloride (nigari)", 21},
    {"16147", "Veggie burgers or soyburgers, unprepared", 21},
    {"22118", "MORNINGSTAR FARMS Garden Veggie Patties, frozen, unprepared", 21},
    {"43132", "Meatballs, meatless", 21},
    {"48052", "Vital wheat gluten", 21},
};

TEST(FoodGroups, RealFoodsLandInTheirGroup) {
  for (const GroupCase& c : kGroupCases) {
    EXPECT_EQ(GroupFor(c.ndb_no, c.name), c.group) << c.ndb_no << " " << c.name;
  }
}

TEST(FoodGroups, TheExamplesCoverEveryProductGroup) {
  std::set<int> groups;
  for (const GroupCase& c : kGroupCases) groups.insert(c.group);
  EXPECT_EQ(groups.size(), 21u);
}

TEST(FoodGroups, TheExamplesAreRealFoodsOfTheList) {
  std::map<std::string, std::string> by_number;
  for (const SourceFood& f : RealFoods()) by_number[f.ndb_no] = f.name;
  for (const GroupCase& c : kGroupCases) EXPECT_EQ(by_number[c.ndb_no], c.name) << c.ndb_no;
}

TEST(FoodGroups, NamesDecideWhereTheCodeHasNoGroup) {
  EXPECT_EQ(GroupFor("93600", "Turtle, green, raw"), 11);
  EXPECT_EQ(GroupFor("42999", "Cheese, gouda"), 12);
  EXPECT_EQ(GroupFor("42999", "Something unheard of"), 13);
}

// ---- shortened names ----------------------------------------------------------

TEST(ShortNames, NamesThatFitStayAsTheyAre) {
  EXPECT_EQ(ShortName("Butter, salted"), "Butter, salted");
  const std::string fifty = "Milk, lowfat, fluid, 1% milkfat, with added vit AD";
  ASSERT_EQ(fifty.size(), 50u);
  EXPECT_EQ(ShortName(fifty), fifty);
}

TEST(ShortNames, AbbreviatesBeforeDroppingAnything) {
  EXPECT_EQ(ShortName("Soybeans, green, cooked, boiled, drained, without salt"),
            "Soybeans, green, cooked, boiled, drained, w/o salt");
  EXPECT_EQ(ShortName("Cookies, chocolate chip, commercially prepared, soft-type"),
            "Cookies, choc chip, comm prep, soft-type");
}

TEST(ShortNames, KeepsTheCutAndHowItIsCookedOverGradesAndTrim) {
  std::string name = ShortName(
      "Beef, chuck, arm pot roast, separable lean and fat, trimmed to 1/8\" fat, select, cooked, "
      "braised");
  EXPECT_LE(name.size(), kMaxNameLength);
  EXPECT_EQ(name.rfind("Beef, chuck, arm pot roast", 0), 0u) << name;
  EXPECT_NE(name.find("cooked, braised"), std::string::npos) << name;
}

TEST(ShortNames, DropsMakerLabelsAndRemarksWhenTooLong) {
  EXPECT_EQ(ShortName("CAMPBELL Soup Company, CAMPBELL'S Red and White, Tomato Soup, condensed"),
            "CAMPBELL'S Red and White, Tomato Soup, condensed");
  EXPECT_EQ(ShortName("Cereals ready-to-eat, KELLOGG, KELLOGG'S RICE KRISPIES TREATS Cereal"),
            "Cereals RTE, KELLOGG'S RICE KRISPIES TREATS Cereal");
  std::string name = ShortName(
      "Tofu, firm, prepared with calcium sulfate and magnesium chloride (nigari)");
  EXPECT_EQ(name.find('('), std::string::npos) << name;
}

TEST(ShortNames, CutsALongFirstTermBetweenWords) {
  std::string name = ShortName(
      "KRAFT VELVEETA LIGHT Reduced Fat Pasteurized Process Cheese Product Extra Long Label");
  EXPECT_EQ(name, "KRAFT VELVEETA LIGHT Reduced Fat Pasteurized");
}

TEST(ShortNames, NeverEndsInAConnectingWordOrSplitsAJoinedPair) {
  std::string name = ShortName(
      "Soup, cream of asparagus, canned, prepared with equal volume milk and a long remark here");
  EXPECT_LE(name.size(), kMaxNameLength);
  for (const char* tail : {" w/", " &", " and", " with", ","}) {
    std::string t = tail;
    EXPECT_FALSE(name.size() >= t.size() && name.compare(name.size() - t.size(), t.size(), t) == 0)
        << name;
  }
  EXPECT_EQ(ShortName("Lamb, domestic, shoulder, blade, separable lean and fat, trimmed to 1/4\" fat, "
                      "choice, raw"),
            "Lamb, domestic, shoulder, blade, lean & fat, raw");
}

TEST(ShortNames, FoldsAccentsToPlainAscii) {
  EXPECT_EQ(ShortName("Cr\xc3\xa8me br\xc3\xbbl\xc3\xa9" "e, caf\xc3\xa9 style"),
            "Creme brulee, cafe style");
  EXPECT_EQ(ShortName("Caf\xe9 au lait"), "Cafe au lait");  // a Latin-1 byte
  EXPECT_EQ(ShortName("Tea  ,  green   ( brewed )"), "Tea, green (brewed)");
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// True if `word` is one of `known` (lower case), or each of its hyphenated
// parts is ("home-prep").
bool IsKnownWord(const std::string& word, const std::set<std::string>& known) {
  std::string lower = Lower(word);
  if (known.count(lower)) return true;
  std::istringstream parts(lower);
  for (std::string part; std::getline(parts, part, '-');) {
    if (!known.count(part)) return false;
  }
  return true;
}

TEST(ShortNames, RealNamesFitAreAsciiAndAreNeverCutInsideAWord) {
  // The words that shortening writes in place of others.
  const std::set<std::string> abbreviations = {
      "w/",  "w/o",   "&",     "prep",    "comm", "frz",    "rts",    "rte",   "rtd",
      "conc", "vit",  "incl",  "choc",    "flav", "enr",    "unenr",  "reg",   "unsweet",
      "veg", "dehydr", "recon", "pkg",    "approx", "bev",  "co",     "sep",   "mfd",
      "micro", "part", "hydrog", "trim",  "g",    "protein/8", "oz",  "only"};
  for (const SourceFood& f : RealFoods()) {
    std::string name = ShortName(f.name);
    ASSERT_FALSE(name.empty()) << f.name;
    ASSERT_LE(name.size(), kMaxNameLength) << f.name;
    for (unsigned char c : name) ASSERT_TRUE(c >= 0x20 && c < 0x7F) << name;
    std::set<std::string> known = abbreviations;
    for (const std::string& w : Words(f.name)) {
      known.insert(Lower(w));
      std::istringstream parts(Lower(w));
      for (std::string part; std::getline(parts, part, '-');) known.insert(part);
    }
    for (const std::string& w : Words(name)) {
      EXPECT_TRUE(IsKnownWord(w, known))
          << "\"" << w << "\" in \"" << name << "\" from \"" << f.name << "\"";
    }
  }
}

// ---- distinct names -------------------------------------------------------------

TEST(DistinctNames, FoodsWithTheSameShortNameAndKcalKeepWhatSetsThemApart) {
  std::vector<SourceFood> foods = {
      {"23001", "Beef, chuck, arm pot roast, separable lean and fat, trimmed to 1/8\" fat, choice, "
                "cooked, braised", 300},
      {"23002", "Beef, chuck, arm pot roast, separable lean and fat, trimmed to 1/8\" fat, select, "
                "cooked, braised", 300},
  };
  ASSERT_EQ(ShortName(foods[0].name), ShortName(foods[1].name));
  std::vector<std::string> names = DistinctShortNames(foods);
  EXPECT_NE(names[0], names[1]);
  EXPECT_NE(names[0].find("choice"), std::string::npos) << names[0];
  EXPECT_NE(names[1].find("select"), std::string::npos) << names[1];
  for (const std::string& n : names) EXPECT_LE(n.size(), kMaxNameLength) << n;
}

TEST(DistinctNames, DifferentKcalNeedNoDistinctName) {
  std::vector<SourceFood> foods = {
      {"23001", "Beef, chuck, arm pot roast, separable lean and fat, trimmed to 1/8\" fat, choice, "
                "cooked, braised", 300},
      {"23002", "Beef, chuck, arm pot roast, separable lean and fat, trimmed to 1/8\" fat, select, "
                "cooked, braised", 280},
  };
  std::vector<std::string> names = DistinctShortNames(foods);
  EXPECT_EQ(names[0], ShortName(foods[0].name));
  EXPECT_EQ(names[1], ShortName(foods[1].name));
}

TEST(DistinctNames, NamesDifferingOnlyInCaseCountAsTheSame) {
  std::vector<SourceFood> foods = {{"42001", "Fruit punch", 40}, {"42002", "FRUIT PUNCH", 40}};
  std::vector<std::string> names = DistinctShortNames(foods);
  EXPECT_NE(UpperNameKey(names[0]), UpperNameKey(names[1]));
}

TEST(DistinctNames, IdenticalFoodsAreNumberedInSourceOrder) {
  const std::string long_name = "Babyfood, fruit, applesauce and cherries, strained, junior, extra";
  std::vector<SourceFood> foods = {
      {"03144", long_name, 51}, {"03145", long_name, 51}, {"03146", long_name, 51}};
  std::vector<std::string> names = DistinctShortNames(foods);
  EXPECT_EQ(names[0].find(" ("), std::string::npos) << names[0];
  EXPECT_EQ(names[1].substr(names[1].size() - 4), " (2)");
  EXPECT_EQ(names[2].substr(names[2].size() - 4), " (3)");
  for (const std::string& n : names) EXPECT_LE(n.size(), kMaxNameLength) << n;
}

TEST(DistinctNames, ARenamedFoodDoesNotTakeAnotherFoodsName) {
  // Setting apart the two salted foods must not give them the name of the
  // unsalted yellow one, and the other way round.
  std::vector<SourceFood> foods = {
      {"11053", "Beans, snap, green, cooked, boiled, drained, without salt", 35},
      {"11054", "Beans, snap, green, cooked, boiled, drained, with salt", 35},
      {"11055", "Beans, snap, yellow, cooked, boiled, drained, without salt", 35},
      {"11056", "Beans, snap, yellow, cooked, boiled, drained, with salt", 35},
  };
  std::vector<std::string> names = DistinctShortNames(foods);
  std::set<std::string> distinct(names.begin(), names.end());
  EXPECT_EQ(distinct.size(), 4u);
  for (const std::string& n : names) EXPECT_EQ(n.find(" ("), std::string::npos) << n;
}

TEST(DistinctNames, DegenerateDescriptionsStillGetDistinctNamesThatFit) {
  std::vector<SourceFood> foods = {
      {"42001", "", 10}, {"42002", "", 10}, {"42003", "()", 10}, {"42004", "(", 10},
      {"42005", std::string(70, 'x') + ", raw", 10}, {"42006", ", , ,", 10}};
  std::vector<std::string> names = DistinctShortNames(foods);
  std::set<std::string> keys;
  for (const std::string& n : names) {
    EXPECT_LE(n.size(), kMaxNameLength) << n;
    keys.insert(UpperNameKey(n));
  }
  EXPECT_EQ(keys.size(), foods.size());
  EXPECT_EQ(names[4], "X" + std::string(49, 'x'));  // cut inside the one word there is
}

// ---- the catalogue from the real list ------------------------------------------

TEST(RealCatalogue, OneRowPerFoodNumberedInSourceOrder) {
  const auto& rows = RealCatalogue();
  ASSERT_EQ(rows.size(), 7906u);
  for (size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].food_id, static_cast<int>(i) + 1);
    ASSERT_EQ(rows[i].calories, RealFoods()[i].kcal);
    ASSERT_EQ(rows[i].make, "USDA SR24");
  }
  EXPECT_EQ(rows.front().name, "Butter, salted");
  EXPECT_EQ(rows.front().group_id, 3);
}

TEST(RealCatalogue, EveryProductGroupHasProducts) {
  std::map<int, int> per_group;
  for (const CatalogueRow& r : RealCatalogue()) ++per_group[r.group_id];
  for (int g = 1; g <= 21; ++g) EXPECT_GT(per_group[g], 0) << "group " << g;
  EXPECT_EQ(per_group.size(), 21u);  // nothing outside 1..21
}

TEST(RealCatalogue, NoTwoProductsShareNameAndKcal) {
  std::map<std::pair<std::string, int>, int> seen;
  for (const CatalogueRow& r : RealCatalogue()) {
    std::pair<std::string, int> key{r.idx_name, r.calories};
    EXPECT_EQ(++seen[key], 1) << r.name << " " << r.calories;
  }
}

TEST(RealCatalogue, NamesFitAndNameKeysAreUpperCasedCopies) {
  for (const CatalogueRow& r : RealCatalogue()) {
    ASSERT_LE(r.name.size(), kMaxNameLength) << r.name;
    ASSERT_FALSE(r.name.empty());
    ASSERT_EQ(r.idx_name.size(), r.name.size());
    for (size_t i = 0; i < r.name.size(); ++i) {
      char c = r.name[i];
      ASSERT_EQ(r.idx_name[i], c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) << r.name;
    }
  }
}

TEST(RealCatalogue, AboutFortyEverydayFoodsAreMarkedUsed) {
  std::map<std::string, const CatalogueRow*> used;
  std::set<int> groups;
  const auto& rows = RealCatalogue();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].used) continue;
    used[RealFoods()[i].ndb_no] = &rows[i];
    groups.insert(rows[i].group_id);
  }
  EXPECT_GE(used.size(), 35u);
  EXPECT_LE(used.size(), 45u);
  EXPECT_GE(groups.size(), 15u);
  // bread, whole milk, butter, egg, apple, banana, coffee, beer, potatoes, rice
  for (const char* n : {"18069", "01077", "01001", "01123", "09003", "09040", "14209", "14003",
                        "11365", "20045"}) {
    EXPECT_TRUE(used.count(n)) << n;
  }
  EXPECT_EQ(used["09040"]->name, "Bananas, raw");
  EXPECT_EQ(used["09040"]->group_id, 8);
}

}  // namespace
}  // namespace kalbor
