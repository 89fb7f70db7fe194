// Catalogue names from database descriptions. A description is a list of
// terms separated by commas, from the general to the particular ("Beef,
// chuck, blade roast, separable lean only, cooked, braised"). Names of up to
// kMaxNameLength characters are kept as they are; longer ones are shortened
// in steps, each taken only when the previous one did not suffice:
//   1. maker labels ("CAMPBELL Soup Company", "USDA Commodity") and makers
//      repeated by the next term ("KELLOGG, KELLOGG'S ...") are dropped;
//   2. common words are abbreviated ("without" w/o, "with" w/, "and" &,
//      "prepared" prep, "commercially" comm, "frozen" frz, "ready-to-serve"
//      RTS, "vitamin" vit, "chocolate" choc...) and a few long phrases
//      rewritten ("separable lean and fat" lean & fat, "trimmed to 1/8"
//      fat" 1/8" trim);
//   3. remarks in parentheses are dropped and terms chosen (see Fit in
//      name_terms.h): the first term; the second; short terms that say how
//      the food is kept or cooked (raw, cooked, roasted, canned, frz...);
//      the other terms; last the minor ones (salt, enrichment, added
//      vitamins, grades, a maker after the kind of food). Chosen terms keep
//      their order.
// Cuts fall between words; a cut name never ends in a connecting word. Names
// are plain ASCII: accented letters lose their accents.
//
// Distinct names: foods with the same kilocalories whose names are equal
// with a..z upper-cased are named again, each taking the terms that not all
// of them share right after its first term. Foods that once shared a name
// are named together from then on. What still coincides (identical
// descriptions, differences only in words that do not fit) is numbered
// " (2)", " (3)"... in source order.
#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/foodcal/catalogue_rules.h"
#include "tools/foodcal/name_terms.h"
#include "tools/foodcal/name_text.h"

namespace kalbor {

namespace {

using naming::Clean;
using naming::Drop;
using naming::Fit;
using naming::Join;
using naming::Rank;
using naming::RankedTerms;
using naming::Term;

std::string ShortNameWithin(const std::string& description, size_t max) {
  std::string cleaned = Clean(description);
  if (cleaned.size() <= max) return cleaned;
  std::string without_makers = Join(RankedTerms(cleaned, Drop::kMakers, false));
  if (without_makers.size() <= max) return without_makers;
  std::string abbreviated = Join(RankedTerms(cleaned, Drop::kMakers));
  if (abbreviated.size() <= max) return abbreviated;
  return Fit(RankedTerms(cleaned, Drop::kMakersAndRemarks), max);
}

using NameKey = std::pair<std::string, int>;  // upper-cased name, kcal

bool AllDistinct(std::vector<std::string> keys) {
  std::sort(keys.begin(), keys.end());
  return std::adjacent_find(keys.begin(), keys.end()) == keys.end();
}

// Names for foods that share a name and kcal, each choosing first the terms
// that not all of them have. Tried without remarks, then with them; returns
// the first set that is distinct, else the last one tried.
std::vector<std::string> SetApart(const std::vector<const SourceFood*>& foods) {
  std::vector<std::string> names;
  for (Drop drop : {Drop::kMakersAndRemarks, Drop::kMakers}) {
    std::vector<std::vector<Term>> terms;
    std::map<std::string, size_t> holders;  // upper-cased term -> foods having it
    for (const SourceFood* f : foods) {
      terms.push_back(RankedTerms(Clean(f->name), drop));
      std::vector<std::string> seen;
      for (const Term& t : terms.back()) seen.push_back(UpperNameKey(t.text));
      std::sort(seen.begin(), seen.end());
      seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
      for (const std::string& s : seen) ++holders[s];
    }
    names.clear();
    std::vector<std::string> keys;
    for (std::vector<Term>& food_terms : terms) {
      for (size_t i = 1; i < food_terms.size(); ++i) {
        if (holders[UpperNameKey(food_terms[i].text)] < foods.size()) food_terms[i].rank = Rank::kKeep;
      }
      names.push_back(Fit(food_terms, kMaxNameLength));
      keys.push_back(UpperNameKey(names.back()));
    }
    if (AllDistinct(keys)) break;
  }
  return names;
}

// Numbers the second and later foods of each name and kcal, in order.
void NumberRepeats(const std::vector<SourceFood>& foods, std::vector<std::string>& names) {
  std::map<NameKey, int> taken;
  for (size_t i = 0; i < foods.size(); ++i) ++taken[{UpperNameKey(names[i]), foods[i].kcal}];
  std::map<NameKey, int> seen;
  for (size_t i = 0; i < foods.size(); ++i) {
    if (++seen[{UpperNameKey(names[i]), foods[i].kcal}] == 1) continue;
    for (int n = 2;; ++n) {
      std::string suffix = " (" + std::to_string(n) + ")";
      std::string candidate = ShortNameWithin(names[i], kMaxNameLength - suffix.size()) + suffix;
      NameKey key{UpperNameKey(candidate), foods[i].kcal};
      if (taken.count(key) == 0) {
        names[i] = candidate;
        taken[key] = 1;
        break;
      }
    }
  }
}

}  // namespace

std::string ShortName(const std::string& description) {
  return ShortNameWithin(description, kMaxNameLength);
}

std::vector<std::string> DistinctShortNames(const std::vector<SourceFood>& foods) {
  std::vector<std::string> names;
  for (const SourceFood& f : foods) names.push_back(ShortName(f.name));

  // Foods that have shared a name once are set apart together from then on,
  // so that a new name cannot bring back an old clash.
  std::vector<size_t> cluster(foods.size());
  for (size_t i = 0; i < foods.size(); ++i) cluster[i] = i;
  auto root = [&](size_t i) {
    while (cluster[i] != i) i = cluster[i] = cluster[cluster[i]];
    return i;
  };
  constexpr int kRounds = 5;
  for (int round = 0; round < kRounds; ++round) {
    std::map<NameKey, std::vector<size_t>> sharing;
    for (size_t i = 0; i < foods.size(); ++i) {
      sharing[{UpperNameKey(names[i]), foods[i].kcal}].push_back(i);
    }
    std::map<size_t, std::vector<size_t>> clusters;  // root -> members
    for (const auto& [key, indices] : sharing) {
      if (indices.size() < 2) continue;
      for (size_t i : indices) cluster[root(i)] = root(indices[0]);
    }
    for (const auto& [key, indices] : sharing) {
      if (indices.size() > 1) clusters[root(indices[0])];
    }
    if (clusters.empty()) break;
    for (size_t i = 0; i < foods.size(); ++i) {
      auto it = clusters.find(root(i));
      if (it != clusters.end()) it->second.push_back(i);
    }
    for (const auto& [r, members] : clusters) {
      std::vector<const SourceFood*> group;
      for (size_t i : members) group.push_back(&foods[i]);
      std::vector<std::string> apart = SetApart(group);
      for (size_t k = 0; k < members.size(); ++k) names[members[k]] = apart[k];
    }
  }
  NumberRepeats(foods, names);
  return names;
}

}  // namespace kalbor
