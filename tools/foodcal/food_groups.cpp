// Food group of a catalogue product, from the database's group code (the
// first two digits of ndb_no) and, where the code is too coarse or missing,
// from the words of the description.
//
// Product groups: 1 Bread, toast; 2 Breakfast products; 3 Butter, margarine,
// oil, fat; 4 Drinks, alcoholic; 5 Drinks, coffee, thee, soft; 6 Eggs, egg
// food; 7 Fish, sea food; 8 Fruits; 9 Herbs and spices; 10 Meals; 11 Meat,
// meat products; 12 Milk, milk products; 13 Miscellaneous; 14 Potatos, rice,
// pasta; 15 Sauces; 16 Snacks, nuts; 17 Soups; 18 Special sport products;
// 19 Sugar, ice cream, sweet stuff; 20 Vegetables, raw food; 21 Vegetarian
// food.
//
// The mapping, in the order it is applied (first match wins):
//
//   Any code      sports and energy drinks, fitness water, protein
//                 supplements, formulated (energy/protein/meal) bars, meal and
//                 nutritional supplement drinks, electrolyte fluids  -> 18
//                 infant, child and toddler formulas                 -> 13
//
//   Code  Database group          Default  Refined by name
//   01    dairy and egg products    12     eggnog 12; egg.. 6; butter 3;
//                                          ice cream, dessert and whipped
//                                          toppings, dulce de leche, milk
//                                          dessert bar 19; cheese sauce 15
//   02    spices and herbs           9     mustard, vinegar, taco seasoning 15
//   03    baby foods                 -     by the words after "Babyfood,"
//                                          (as the codes without a group)
//   04    fats and oils              3     dressings, mayonnaise, sandwich
//                                          spread 15
//   05    poultry                   11
//   06    soups, sauces, gravies    17     soup, chowder, broth 17; sauce,
//                                          gravy, salsa 15; adobo 9
//   07    sausages, luncheon meats  11
//   08    breakfast cereals          2
//   09    fruits and juices          8     juice, nectar in the first term 5;
//                                          sauce in the first term 15
//   10    pork                      11
//   11    vegetables                20     potato.. 14; juice in the first
//                                          term 5; catsup, relish, tomato
//                                          sauce 15
//   12    nuts and seeds            16     coconut water 5
//   13    beef                      11
//   14    beverages                  5     alcoholic beverage 4; chocolate
//                                          syrup 19; fast-food shakes 12
//   15    finfish and shellfish      7
//   16    legumes                   20     soy sauce 15; tofu, tempeh, soy..,
//                                          miso, natto, okara, meatless,
//                                          veggie, vegetarian brands, falafel,
//                                          hummus, meat extender 21; peanut..
//                                          16; noodles, flours 14; chili 10
//   17    lamb, veal and game       11
//   18    baked products             1     pancakes, waffles, French toast,
//                                          toaster pastries, cereal bars 2;
//                                          crackers 16; English muffins 1;
//                                          cakes, cookies, pies, pastries,
//                                          muffins, doughnuts, brownies,
//                                          sweet rolls 19; leavening agents,
//                                          coatings 13
//   19    sweets                    19     snacks, chips, popcorn, cheese
//                                          puffs 16
//   20    cereal grains and pasta   14     oats, oat and wheat bran, wheat
//                                          germ 2
//   21    fast foods                10     french fries, hash browns,
//                                          potatoes 14; ice cream, sundaes,
//                                          cookies, pies, sweet rolls,
//                                          desserts 19; shakes, parfaits 12;
//                                          pancakes, hotcakes, French toast 2;
//                                          scrambled eggs 6;
//                                          coleslaw 20; onion rings 16
//   22    meals and side dishes     10     vegetarian brands, vegetable
//                                          protein 21; potato.. 14
//   25    snacks                    16
//   03, 23, 27, 31, 35, 36, 42, 43, 44, 48, 80, 83, 90, 93: no group of
//         their own; grouped by the words of the description: meatless,
//         vegetarian, tofu, soy.. 21; fries 14; soups 17; rice pudding 19;
//         restaurant dishes, stews, tamales, baby-food dinners 10; then by
//         the first term (drinks, dairy, fats, dressings and sauces, sweets,
//         bread, cereals, snacks and nuts, starch foods, fish and sea
//         animals, meat and game, fruits and berries, vegetables and wild
//         greens); then by words anywhere (juice, stew, sauce, bread, ice
//         cream, cheese, peppers...); what none of them names falls to 13.
//
// Leading labels that say nothing about the food ("CAMPBELL Soup Company",
// "USDA Commodity", "Babyfood", "Fast foods") are skipped before matching.
#include <cctype>
#include <string>
#include <string_view>

#include "tools/foodcal/catalogue_rules.h"

namespace kalbor {

namespace {

enum Group : int {
  kBread = 1,
  kBreakfast = 2,
  kFat = 3,
  kAlcohol = 4,
  kSoftDrinks = 5,
  kEggs = 6,
  kFish = 7,
  kFruits = 8,
  kHerbs = 9,
  kMeals = 10,
  kMeat = 11,
  kMilk = 12,
  kMisc = 13,
  kStarch = 14,
  kSauces = 15,
  kSnacks = 16,
  kSoups = 17,
  kSport = 18,
  kSweets = 19,
  kVegetables = 20,
  kVegetarian = 21,
};

// A rule applies to the database code in `codes`, to every code ("*"), or
// to the codes without a default group ("-").
// Pattern forms, on the lower-cased description:
//   "^words"  the description begins with the words
//   "~words"  the words occur in the first term (the text before a comma)
//   "words"   the words occur anywhere
// Words are matched whole unless the pattern ends in '*'.
struct Rule {
  const char* codes;
  const char* pattern;
  int group;
};

constexpr Rule kRules[] = {
    // Sport and special nutrition, and formulas, whatever the code.
    {"*", "sports drink", kSport},
    {"*", "energy drink", kSport},
    {"*", "gatorade", kSport},
    {"*", "fitness water", kSport},
    {"*", "protein supplement", kSport},
    {"*", "^formulated bar", kSport},
    {"*", "fluid replacement", kSport},
    {"*", "meal supplement", kSport},
    {"*", "nutritional supplement", kSport},
    {"*", "^ensure", kSport},
    {"*", "^infant formula", kMisc},
    {"*", "^child formula", kMisc},
    {"*", "^toddler formula", kMisc},

    // 01 dairy and egg products
    {"01", "^eggnog", kMilk},
    {"01", "^egg*", kEggs},
    {"01", "^butter", kFat},
    {"01", "ice cream", kSweets},
    {"01", "^dessert topping", kSweets},
    {"01", "whipped topping", kSweets},
    {"01", "^dulce de leche", kSweets},
    {"01", "^milk dessert", kSweets},
    {"01", "cheese sauce", kSauces},

    // 02 spices and herbs
    {"02", "^mustard", kSauces},
    {"02", "^vinegar", kSauces},
    {"02", "seasoning mix", kSauces},

    // 04 fats and oils
    {"04", "dressing", kSauces},
    {"04", "^sandwich spread", kSauces},

    // 06 soups, sauces and gravies
    {"06", "soup*", kSoups},
    {"06", "chowder", kSoups},
    {"06", "broth", kSoups},
    {"06", "sauce", kSauces},
    {"06", "gravy", kSauces},
    {"06", "salsa", kSauces},
    {"06", "^adobo", kHerbs},

    // 09 fruits and fruit juices
    {"09", "~juice", kSoftDrinks},
    {"09", "~nectar", kSoftDrinks},
    {"09", "~sauce", kSauces},

    // 11 vegetables
    {"11", "^potato*", kStarch},
    {"11", "~juice", kSoftDrinks},
    {"11", "^catsup", kSauces},
    {"11", "~relish", kSauces},
    {"11", "^tomato products, canned, sauce", kSauces},

    // 12 nuts and seeds
    {"12", "coconut water", kSoftDrinks},

    // 14 beverages
    {"14", "^alcoholic beverage", kAlcohol},
    {"14", "^chocolate syrup", kSweets},
    {"14", "^shake", kMilk},

    // 16 legumes
    {"16", "^soy sauce", kSauces},
    {"16", "tofu", kVegetarian},
    {"16", "tempeh", kVegetarian},
    {"16", "^soy*", kVegetarian},
    {"16", "^silk", kVegetarian},
    {"16", "^vitasoy", kVegetarian},
    {"16", "^miso", kVegetarian},
    {"16", "^natto", kVegetarian},
    {"16", "^okara", kVegetarian},
    {"16", "meatless", kVegetarian},
    {"16", "veggie", kVegetarian},
    {"16", "^gardenburger", kVegetarian},
    {"16", "^morningstar farms", kVegetarian},
    {"16", "^loma linda", kVegetarian},
    {"16", "^worthington", kVegetarian},
    {"16", "^falafel", kVegetarian},
    {"16", "^hummus", kVegetarian},
    {"16", "^meat extender", kVegetarian},
    {"16", "^peanut*", kSnacks},
    {"16", "^noodles", kStarch},
    {"16", "~flour", kStarch},
    {"16", "^chili", kMeals},

    // 18 baked products
    {"18", "pancake*", kBreakfast},
    {"18", "waffle*", kBreakfast},
    {"18", "french toast", kBreakfast},
    {"18", "toaster pastr*", kBreakfast},
    {"18", "pop-tarts", kBreakfast},
    {"18", "^breakfast tart", kBreakfast},
    {"18", "cereal bars", kBreakfast},
    {"18", "^english muffin*", kBread},
    {"18", "english muffins", kBread},
    {"18", "cracker*", kSnacks},
    {"18", "^cake*", kSweets},
    {"18", "cake mix", kSweets},
    {"18", "cookie*", kSweets},
    {"18", "^pie", kSweets},
    {"18", "^cheesecake", kSweets},
    {"18", "^coffeecake", kSweets},
    {"18", "^cream puff*", kSweets},
    {"18", "^danish pastry", kSweets},
    {"18", "^doughnuts", kSweets},
    {"18", "eclair*", kSweets},
    {"18", "^ice cream cones", kSweets},
    {"18", "~muffin*", kSweets},
    {"18", "muffin mix", kSweets},
    {"18", "^pastry", kSweets},
    {"18", "^puff pastry", kSweets},
    {"18", "^phyllo dough", kSweets},
    {"18", "^strudel", kSweets},
    {"18", "^sweet rolls", kSweets},
    {"18", "cinnamon rolls", kSweets},
    {"18", "^cinnamon buns", kSweets},
    {"18", "brownie*", kSweets},
    {"18", "graham*", kSweets},
    {"18", "wafers", kSweets},
    {"18", "^leavening agents", kMisc},
    {"18", "coating for", kMisc},

    // 19 sweets
    {"19", "^snack*", kSnacks},
    {"19", "^potato chips", kSnacks},
    {"19", "^tortilla chips", kSnacks},
    {"19", "^popcorn", kSnacks},
    {"19", "^cheese puffs", kSnacks},

    // 20 cereal grains and pasta
    {"20", "^oats", kBreakfast},
    {"20", "^oat bran", kBreakfast},
    {"20", "^wheat bran", kBreakfast},
    {"20", "^wheat germ", kBreakfast},

    // 21 fast foods
    {"21", "french fr*", kStarch},
    {"21", "hash brown*", kStarch},
    {"21", "^potato*", kStarch},
    {"21", "ice cream", kSweets},
    {"21", "sundae", kSweets},
    {"21", "cookie*", kSweets},
    {"21", "pie", kSweets},
    {"21", "cinnamon roll*", kSweets},
    {"21", "danish", kSweets},
    {"21", "shake*", kMilk},
    {"21", "parfait", kMilk},
    {"21", "hotcakes", kBreakfast},
    {"21", "pancake*", kBreakfast},
    {"21", "french toast", kBreakfast},
    {"21", "^egg, scrambled", kEggs},
    {"21", "dessert", kSweets},
    {"21", "coleslaw", kVegetables},
    {"21", "onion rings", kSnacks},

    // 22 meals, entrees and side dishes
    {"22", "^morningstar farms", kVegetarian},
    {"22", "^loma linda", kVegetarian},
    {"22", "vegetable protein", kVegetarian},
    {"22", "^potato*", kStarch},

    // Codes without a group of their own, by the first term...
    {"-", "meatless", kVegetarian},
    {"-", "^vegetarian", kVegetarian},
    {"-", "tofu", kVegetarian},
    {"-", "^soy*", kVegetarian},
    {"-", "vital wheat gluten", kVegetarian},
    {"-", "fries", kStarch},
    {"-", "soup*", kSoups},
    {"-", "microwaveable bowls", kSoups},
    {"-", "rice pudding", kSweets},
    {"-", "^dinner", kMeals},
    {"-", "^stew", kMeals},
    {"-", "^tamales", kMeals},
    {"-", "^restaurant", kMeals},
    {"-", "^applebee's", kMeals},
    {"-", "^cracker barrel", kMeals},
    {"-", "^denny's", kMeals},
    {"-", "^t.g.i. friday's", kMeals},
    {"-", "^macaroni and cheese", kMeals},
    {"-", "^ravioli", kMeals},
    {"-", "^alcoholic beverage", kAlcohol},
    {"-", "~juice", kSoftDrinks},
    {"-", "~drink*", kSoftDrinks},
    {"-", "~beverage*", kSoftDrinks},
    {"-", "^tea", kSoftDrinks},
    {"-", "^coffee", kSoftDrinks},
    {"-", "^cocktail mix", kSoftDrinks},
    {"-", "^water", kSoftDrinks},
    {"-", "^milk dessert", kSweets},
    {"-", "^cheese*", kMilk},
    {"-", "^imitation cheese", kMilk},
    {"-", "^milk", kMilk},
    {"-", "^yogurt", kMilk},
    {"-", "^cream substitute", kMilk},
    {"-", "^whipped cream substitute", kMilk},
    {"-", "^whipped topping", kSweets},
    {"-", "^frozen yogurt*", kSweets},
    {"-", "^egg", kEggs},
    {"-", "^eggs", kEggs},
    {"-", "^oil", kFat},
    {"-", "^margarine*", kFat},
    {"-", "^butter", kFat},
    {"-", "^vegetable oil-butter spread", kFat},
    {"-", "^shortening", kFat},
    {"-", "~dressing", kSauces},
    {"-", "^mayonnaise", kSauces},
    {"-", "^sandwich spread", kSauces},
    {"-", "^dip", kSauces},
    {"-", "~sauce", kSauces},
    {"-", "^gravy", kSauces},
    {"-", "salsa", kSauces},
    {"-", "pico de gallo", kSauces},
    {"-", "^catsup", kSauces},
    {"-", "^candies", kSweets},
    {"-", "^chewing gum", kSweets},
    {"-", "^frozen novel*", kSweets},
    {"-", "^ice cream*", kSweets},
    {"-", "^pudding*", kSweets},
    {"-", "^syrups", kSweets},
    {"-", "^sweeteners", kSweets},
    {"-", "^sugar*", kSweets},
    {"-", "^jams", kSweets},
    {"-", "^jellies", kSweets},
    {"-", "^pie fillings", kSweets},
    {"-", "^pectin", kSweets},
    {"-", "^honey", kSweets},
    {"-", "^dessert*", kSweets},
    {"-", "^cookie*", kSweets},
    {"-", "^cherry cobbler", kSweets},
    {"-", "^bread", kBread},
    {"-", "^frybread", kBread},
    {"-", "^rolls", kBread},
    {"-", "^tortilla*", kBread},
    {"-", "^biscuits", kBread},
    {"-", "^zwieback", kBread},
    {"-", "^teething biscuits", kBread},
    {"-", "^cereal*", kBreakfast},
    {"-", "^oatmeal cereal", kBreakfast},
    {"-", "^breakfast bar*", kBreakfast},
    {"-", "^amaranth flakes", kBreakfast},
    {"-", "cereal bar", kBreakfast},
    {"-", "^snack*", kSnacks},
    {"-", "^granola bar", kSnacks},
    {"-", "^popcorn", kSnacks},
    {"-", "^pretzels", kSnacks},
    {"-", "^rice cake", kSnacks},
    {"-", "^cracker*", kSnacks},
    {"-", "^papad", kSnacks},
    {"-", "^nuts", kSnacks},
    {"-", "^peanut*", kSnacks},
    {"-", "^hazelnuts", kSnacks},
    {"-", "^pinon nuts", kSnacks},
    {"-", "^seeds", kSnacks},
    {"-", "^potato*", kStarch},
    {"-", "^mashed cheddar potatoes", kStarch},
    {"-", "^rice", kStarch},
    {"-", "^pasta", kStarch},
    {"-", "^noodles", kStarch},
    {"-", "^vermicelli", kStarch},
    {"-", "^macaroni", kStarch},
    {"-", "^spaghetti", kStarch},
    {"-", "^millet", kStarch},
    {"-", "^cornmeal", kStarch},
    {"-", "^mush", kStarch},
    {"-", "^hominy", kStarch},
    {"-", "^fish*", kFish},
    {"-", "^salmon", kFish},
    {"-", "^steelhead trout", kFish},
    {"-", "^smelt", kFish},
    {"-", "^mollusks", kFish},
    {"-", "^crustaceans", kFish},
    {"-", "^octopus", kFish},
    {"-", "^chiton", kFish},
    {"-", "^cockles", kFish},
    {"-", "^jellyfish", kFish},
    {"-", "^sea cucumber", kFish},
    {"-", "^ascidians", kFish},
    {"-", "^oopah", kFish},
    {"-", "^beef", kMeat},
    {"-", "^pork", kMeat},
    {"-", "^chicken", kMeat},
    {"-", "^turkey*", kMeat},
    {"-", "^duck", kMeat},
    {"-", "^lamb", kMeat},
    {"-", "^veal", kMeat},
    {"-", "^mutton", kMeat},
    {"-", "^frankfurter", kMeat},
    {"-", "^bologna", kMeat},
    {"-", "^sausage", kMeat},
    {"-", "^luncheon*", kMeat},
    {"-", "^ham", kMeat},
    {"-", "^bacon*", kMeat},
    {"-", "^meat", kMeat},
    {"-", "^corned beef", kMeat},
    {"-", "^caribou", kMeat},
    {"-", "^moose", kMeat},
    {"-", "^elk", kMeat},
    {"-", "^deer", kMeat},
    {"-", "^bear", kMeat},
    {"-", "^buffalo", kMeat},
    {"-", "^seal", kMeat},
    {"-", "^sea lion", kMeat},
    {"-", "^walrus", kMeat},
    {"-", "^whale", kMeat},
    {"-", "^squirrel", kMeat},
    {"-", "^owl", kMeat},
    {"-", "^dove", kMeat},
    {"-", "^quail", kMeat},
    {"-", "^pheasant", kMeat},
    {"-", "^frog legs", kMeat},
    {"-", "^turtle", kMeat},
    {"-", "^fruit*", kFruits},
    {"-", "^apple*", kFruits},
    {"-", "^banana*", kFruits},
    {"-", "^pears", kFruits},
    {"-", "^peaches", kFruits},
    {"-", "^prunes", kFruits},
    {"-", "^plums", kFruits},
    {"-", "^blackberries", kFruits},
    {"-", "^blueberries", kFruits},
    {"-", "^cloudberries", kFruits},
    {"-", "^huckleberries", kFruits},
    {"-", "^salmonberries", kFruits},
    {"-", "^raspberries", kFruits},
    {"-", "^cranberr*", kFruits},
    {"-", "^chokecherries", kFruits},
    {"-", "^melon", kFruits},
    {"-", "^rhubarb", kFruits},
    {"-", "^rose hips", kFruits},
    {"-", "^plains pricklypear", kFruits},
    {"-", "^vegetable*", kVegetables},
    {"-", "^cabbage", kVegetables},
    {"-", "^eggplant", kVegetables},
    {"-", "^squash", kVegetables},
    {"-", "^beans", kVegetables},
    {"-", "^green beans", kVegetables},
    {"-", "^baked beans", kVegetables},
    {"-", "^peas", kVegetables},
    {"-", "^carrots", kVegetables},
    {"-", "^corn", kVegetables},
    {"-", "^radishes", kVegetables},
    {"-", "^sauerkraut", kVegetables},
    {"-", "^turnip greens", kVegetables},
    {"-", "^palm hearts", kVegetables},
    {"-", "^celery flakes", kVegetables},
    {"-", "^lambsquarters", kVegetables},
    {"-", "^stinging nettles", kVegetables},
    {"-", "^fireweed", kVegetables},
    {"-", "^sourdock", kVegetables},
    {"-", "^willow", kVegetables},
    {"-", "^cattail", kVegetables},
    {"-", "^mashu roots", kVegetables},
    {"-", "^prairie turnips", kVegetables},
    {"-", "^wocas", kVegetables},
    {"-", "^mouse nuts", kVegetables},
    {"-", "^agave", kVegetables},
    {"-", "^yeast extract spread", kMisc},
    // ... then by words anywhere.
    {"-", "juice", kSoftDrinks},
    {"-", "stew", kMeals},
    {"-", "sauce", kSauces},
    {"-", "bread", kBread},
    {"-", "ice cream", kSweets},
    {"-", "cheese", kMilk},
    {"-", "yogurt", kMilk},
    {"-", "cereal", kBreakfast},
    {"-", "fruit*", kFruits},
    {"-", "vegetables", kVegetables},
    {"-", "peppers", kVegetables},
    {"-", "chilies", kVegetables},
};

// Default group of the database codes that have one.
struct CodeDefault {
  const char* code;
  int group;
};

constexpr CodeDefault kCodeDefaults[] = {
    {"01", kMilk},      {"02", kHerbs},     {"04", kFat},       {"05", kMeat},
    {"06", kSoups},     {"07", kMeat},      {"08", kBreakfast}, {"09", kFruits},
    {"10", kMeat},      {"11", kVegetables}, {"12", kSnacks},    {"13", kMeat},
    {"14", kSoftDrinks}, {"15", kFish},     {"16", kVegetables}, {"17", kMeat},
    {"18", kBread},     {"19", kSweets},    {"20", kStarch},    {"21", kMeals},
    {"22", kMeals},     {"25", kSnacks},
};

// First terms that name a maker, a programme or a kind of list rather than
// the food; skipped before matching when more follows.
constexpr std::string_view kLabels[] = {
    "campbell soup company", "usda commodity food", "usda commodity",
    "babyfood", "baby food", "fast foods", "fast food",
};

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The lower-cased description without leading labels.
std::string MatchText(const std::string& name) {
  std::string text = Lower(name);
  for (bool again = true; again;) {
    again = false;
    for (std::string_view label : kLabels) {
      if (text.size() > label.size() + 1 && text.compare(0, label.size(), label) == 0 &&
          text[label.size()] == ',') {
        size_t start = text.find_first_not_of(' ', label.size() + 1);
        if (start == std::string::npos) break;
        text.erase(0, start);
        again = true;
        break;
      }
    }
  }
  return text;
}

// True when `words` occurs in `text` starting at a word boundary, and ending
// at one unless `prefix` is set. With `at_start` only position 0 counts.
bool ContainsWords(std::string_view text, std::string_view words, bool prefix, bool at_start) {
  for (size_t pos = text.find(words); pos != std::string_view::npos;
       pos = text.find(words, pos + 1)) {
    if (at_start && pos != 0) return false;
    bool starts = pos == 0 || !IsWordChar(text[pos - 1]);
    size_t end = pos + words.size();
    bool ends = prefix || end == text.size() || !IsWordChar(text[end]);
    if (starts && ends) return true;
  }
  return false;
}

bool Matches(const std::string& text, std::string_view lead, std::string_view pattern) {
  bool at_start = false;
  bool in_lead = false;
  if (pattern.front() == '^') {
    at_start = true;
    pattern.remove_prefix(1);
  } else if (pattern.front() == '~') {
    in_lead = true;
    pattern.remove_prefix(1);
  }
  bool prefix = pattern.back() == '*';
  if (prefix) pattern.remove_suffix(1);
  return ContainsWords(in_lead ? lead : std::string_view(text), pattern, prefix, at_start);
}

bool AppliesTo(std::string_view codes, const std::string& code, bool has_default) {
  if (codes == "*") return true;
  if (codes == "-") return !has_default;
  return codes == code;
}

}  // namespace

int GroupFor(const std::string& ndb_no, const std::string& name) {
  std::string code = ndb_no.substr(0, 2);
  int fallback = kMisc;
  bool has_default = false;
  for (const CodeDefault& d : kCodeDefaults) {
    if (code == d.code) {
      fallback = d.group;
      has_default = true;
    }
  }
  std::string text = MatchText(name);
  std::string_view lead = std::string_view(text).substr(0, text.find(','));
  for (const Rule& rule : kRules) {
    if (AppliesTo(rule.codes, code, has_default) && Matches(text, lead, rule.pattern)) {
      return rule.group;
    }
  }
  return fallback;
}

}  // namespace kalbor
