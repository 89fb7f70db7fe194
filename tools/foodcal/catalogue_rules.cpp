// Catalogue rows from the energy list, and the starter set of everyday
// foods that the shipped catalogue offers for entry.
#include "tools/foodcal/catalogue_rules.h"

#include <string_view>

namespace kalbor {

namespace {

// Everyday foods marked USED, so that a new user finds them in the
// selection list. Ordinary, unbranded items, a few per group.
//
//   ndb_no  food                                              group
constexpr std::string_view kStarterFoods[] = {
    "18069",  // Bread, white, commercially prepared               1
    "18075",  // Bread, whole-wheat, commercially prepared         1
    "08020",  // Cereals ready-to-eat, KELLOGG'S Corn Flakes       2
    "08120",  // Cereals, oats, regular and quick, dry             2
    "01001",  // Butter, salted                                    3
    "04610",  // Margarine, regular, 80% fat, stick, with salt     3
    "04053",  // Oil, olive, salad or cooking                      3
    "14003",  // Alcoholic beverage, beer, regular, all            4
    "14096",  // Alcoholic beverage, wine, table, red              4
    "14209",  // Coffee, brewed from grounds                       5
    "14355",  // Tea, black, brewed                                5
    "09206",  // Orange juice, raw                                 5
    "01123",  // Egg, whole, raw, fresh                            6
    "15015",  // Fish, cod, Atlantic, raw                          7
    "15236",  // Fish, salmon, Atlantic, farmed, raw               7
    "09003",  // Apples, raw, with skin                            8
    "09040",  // Bananas, raw                                      8
    "09200",  // Oranges, raw, all commercial varieties            8
    "09316",  // Strawberries, raw                                 8
    "05064",  // Chicken, broilers or fryers, breast, roasted     11
    "23568",  // Beef, ground, 85% lean / 15% fat, patty, broiled 11
    "07029",  // Ham, sliced, regular                             11
    "01077",  // Milk, whole, 3.25% milkfat                       12
    "01079",  // Milk, reduced fat, fluid, 2% milkfat             12
    "01116",  // Yogurt, plain, whole milk                        12
    "01009",  // Cheese, cheddar                                  12
    "11365",  // Potatoes, boiled, cooked in skin, flesh          14
    "20045",  // Rice, white, long-grain, regular, cooked         14
    "20121",  // Spaghetti, cooked, enriched                      14
    "11935",  // Catsup                                           15
    "19411",  // Snacks, potato chips, plain, salted              16
    "12061",  // Nuts, almonds                                    16
    "06419",  // Soup, chicken noodle, canned, prepared           17
    "19335",  // Sugars, granulated                               19
    "19095",  // Ice creams, vanilla                              19
    "11529",  // Tomatoes, red, ripe, raw                         20
    "11124",  // Carrots, raw                                     20
    "11252",  // Lettuce, iceberg, raw                            20
    "11282",  // Onions, raw                                      20
    "16126",  // Tofu, firm                                       21
};

}  // namespace

std::string UpperNameKey(const std::string& name) {
  std::string key = name;
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

bool IsStarterFood(const std::string& ndb_no) {
  for (std::string_view n : kStarterFoods) {
    if (ndb_no == n) return true;
  }
  return false;
}

std::vector<CatalogueRow> BuildCatalogue(const std::vector<SourceFood>& foods) {
  std::vector<std::string> names = DistinctShortNames(foods);
  std::vector<CatalogueRow> rows;
  rows.reserve(foods.size());
  for (size_t i = 0; i < foods.size(); ++i) {
    CatalogueRow row;
    row.group_id = GroupFor(foods[i].ndb_no, foods[i].name);
    row.used = IsStarterFood(foods[i].ndb_no);
    row.food_id = static_cast<int>(i) + 1;
    row.name = names[i];
    row.idx_name = UpperNameKey(row.name);
    row.make = kCatalogueMake;
    row.calories = foods[i].kcal;
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace kalbor
