// Choosing the terms of a catalogue name: abbreviation, ranking and
// fitting to a length.
#include "tools/foodcal/name_terms.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <string_view>
#include <utility>

#include "tools/foodcal/catalogue_rules.h"
#include "tools/foodcal/name_text.h"

namespace kalbor::naming {

namespace {

// ---- abbreviations -------------------------------------------------------

struct Abbreviation {
  std::string_view word;  // lower case
  std::string_view shorter;
};

constexpr Abbreviation kAbbreviations[] = {
    {"without", "w/o"},          {"with", "w/"},
    {"and", "&"},                {"prepared", "prep"},
    {"commercially", "comm"},    {"commercial", "comm"},
    {"frozen", "frz"},           {"ready-to-serve", "RTS"},
    {"ready-to-eat", "RTE"},     {"ready-to-drink", "RTD"},
    {"concentrate", "conc"},     {"concentrated", "conc"},
    {"vitamin", "vit"},          {"vitamins", "vit"},
    {"including", "incl"},       {"includes", "incl"},
    {"include", "incl"},         {"chocolate", "choc"},
    {"flavored", "flav"},        {"flavor", "flav"},
    {"enriched", "enr"},         {"unenriched", "unenr"},
    {"regular", "reg"},          {"unsweetened", "unsweet"},
    {"vegetable", "veg"},        {"vegetables", "veg"},
    {"dehydrated", "dehydr"},    {"reconstituted", "recon"},
    {"package", "pkg"},          {"packaged", "pkg"},
    {"approximately", "approx"}, {"beverage", "bev"},
    {"beverages", "bev"},        {"company", "Co"},
    {"separable", "sep"},        {"manufactured", "mfd"},
    {"microwaveable", "micro"},  {"microwavable", "micro"},
    {"partially", "part"},       {"hydrogenated", "hydrog"},
};

// The abbreviation takes the capitals of the word: "Frozen" Frz, "WITH" W/.
std::string AbbreviatePart(const std::string& part) {
  std::string lower = Lower(part);
  for (const Abbreviation& a : kAbbreviations) {
    if (lower != a.word) continue;
    std::string out(a.shorter);
    bool all_caps = part.size() > 1 && part == UpperNameKey(part);
    if (all_caps) return UpperNameKey(out);
    if (std::isupper(static_cast<unsigned char>(part[0]))) {
      out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
    }
    return out;
  }
  return part;
}

// A word is abbreviated whole ("ready-to-serve") or part by part
// ("home-prepared" -> "home-prep"); trailing punctuation stays.
std::string AbbreviateWord(const std::string& word) {
  size_t end = word.size();
  while (end > 0 && (word[end - 1] == ')' || word[end - 1] == ';' || word[end - 1] == '.')) --end;
  size_t start = 0;
  while (start < end && word[start] == '(') ++start;
  std::string core = word.substr(start, end - start);
  std::string whole = AbbreviatePart(core);
  if (whole == core && core.find('-') != std::string::npos) {
    whole.clear();
    size_t pos = 0;
    for (;;) {
      size_t dash = core.find('-', pos);
      whole += AbbreviatePart(core.substr(pos, dash - pos));
      if (dash == std::string::npos) break;
      whole += '-';
      pos = dash + 1;
    }
  }
  return word.substr(0, start) + whole + word.substr(end);
}

std::string Abbreviate(const std::string& text) {
  static const std::pair<std::regex, std::string> kPhrases[] = {
      {std::regex("separable lean and fat", std::regex::icase), "lean & fat"},
      {std::regex("with equal volume", std::regex::icase), "with"},
      {std::regex("([0-9]+)% lean meat / [0-9]+% fat", std::regex::icase), "$1% lean"},
      {std::regex("([0-9]+) grams protein per 8 ounce", std::regex::icase), "$1 g protein/8 oz"},
      {std::regex("separable lean only", std::regex::icase), "lean only"},
      {std::regex("separable fat", std::regex::icase), "fat only"},
      {std::regex("trimmed to ([0-9/]+\") fat", std::regex::icase), "$1 trim"},
      {std::regex("vitamin ([A-Z0-9]+) and vitamin ([A-Z0-9]+)", std::regex::icase), "vit $1 & $2"},
  };
  std::string out = text;
  for (const auto& [pattern, replacement] : kPhrases) out = std::regex_replace(out, pattern, replacement);
  std::vector<std::string> words = SplitWords(out);
  for (std::string& w : words) w = AbbreviateWord(w);
  return JoinWords(words, words.size());
}

// ---- terms ---------------------------------------------------------------

constexpr std::string_view kStateWords[] = {
    "raw", "cooked", "boiled", "roasted", "grilled", "braised", "broiled", "fried",
    "baked", "stewed", "steamed", "simmered", "poached", "microwaved", "microwave",
    "toasted", "smoked", "dried", "dry", "canned", "frz", "prep", "unprepared",
    "drained", "heated", "condensed", "rts", "rtd", "rte", "uncooked", "unheated",
    "powder", "liquid", "conc", "undiluted", "diluted", "solids", "dehydr", "recon",
    "refrigerated", "fresh", "cured", "pickled", "blanched", "sauteed", "scrambled",
    "hard-boiled", "stir-fried", "pan-fried", "deep-fried", "oven-heated", "as",
};

// Leading words of minor terms.
constexpr std::string_view kMinorStarts[] = {
    "w/ salt", "w/o salt", "w/ added", "w/o added", "no salt", "salt", "salted",
    "unsalted", "fortified", "not fortified", "enr", "unenr", "all grades",
    "all types", "all varieties", "all comm varieties", "assorted flav",
    "any flav", "year round average", "incl", "vit", "w/ vit", "w/o vit",
    "w/ ca prop", "w/o ca prop", "w/ calcium prop", "w/o calcium prop",
    "broilers or fryers", "fluid", "variety meats & by-products", "all classes",
};

constexpr size_t kMaxStateLength = 12;

bool IsStateWord(const std::string& word) {
  for (std::string_view s : kStateWords) {
    if (word == s) return true;
  }
  return false;
}

bool IsState(const std::string& term) {
  if (term.size() > kMaxStateLength) return false;
  std::string first = Lower(term.substr(0, term.find(' ')));
  if (IsStateWord(first)) return true;
  // "oven-heated", "pan-broiled": any part of a hyphenated first word
  size_t pos = 0;
  for (;;) {
    size_t dash = first.find('-', pos);
    if (IsStateWord(first.substr(pos, dash - pos))) return true;
    if (dash == std::string::npos) return false;
    pos = dash + 1;
  }
}

bool IsMinor(const std::string& term) {
  std::string lower = Lower(term);
  for (std::string_view start : kMinorStarts) {
    if (lower.compare(0, start.size(), start) == 0 &&
        (lower.size() == start.size() || lower[start.size()] == ' ')) {
      return true;
    }
  }
  return false;
}

constexpr std::string_view kLabels[] = {
    "campbell soup company", "usda commodity", "usda commodity food",
};

bool IsLabel(const std::string& term) {
  std::string lower = Lower(term);
  for (std::string_view l : kLabels) {
    if (lower == l) return true;
  }
  return false;
}

// Splits at commas outside parentheses.
std::vector<std::string> SplitTerms(const std::string& text) {
  std::vector<std::string> terms;
  std::string current;
  int depth = 0;
  for (char c : text) {
    if (c == '(') ++depth;
    if (c == ')' && depth > 0) --depth;
    if (c == ',' && depth == 0) {
      terms.push_back(Trim(current));
      current.clear();
    } else {
      current += c;
    }
  }
  terms.push_back(Trim(current));
  terms.erase(std::remove(terms.begin(), terms.end(), std::string()), terms.end());
  return terms;
}

std::string WithoutParentheses(const std::string& text) {
  std::string out;
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth > 0 && --depth == 0 && i + 1 < text.size() && text[i + 1] != ' ' &&
          !out.empty() && out.back() == ' ') {
        out.pop_back();  // "soybean (hydrogenated)-cottonseed" -> "soybean-cottonseed"
      }
    } else if (depth == 0) {
      out += c;
    }
  }
  return Clean(out);
}

// True for a term in capitals ("MEAD JOHNSON"): a maker when it follows
// the kind of food.
bool IsInCapitals(const std::string& term) {
  bool letters = false;
  for (char c : term) {
    if (std::islower(static_cast<unsigned char>(c))) return false;
    if (std::isupper(static_cast<unsigned char>(c))) letters = true;
  }
  return letters && term.size() > 2;
}

// True for a maker term repeated by the next one ("KELLOGG, KELLOGG'S ...").
bool IsRepeatedMaker(const std::string& term, const std::string& next) {
  std::string t = Lower(term);
  std::string n = Lower(next);
  return n.size() > t.size() && n.compare(0, t.size(), t) == 0 &&
         (n[t.size()] == ' ' || n.compare(t.size(), 3, "'s ") == 0);
}

// ---- fitting -------------------------------------------------------------

constexpr std::string_view kConnectors[] = {
    "w/", "w/o", "&", "and", "or", "in", "of", "from", "with", "without",
    "to", "for", "a", "the", "-", "/", "made", "by", "on", "at", "plus", "per",
    "using",
};

bool IsConnector(const std::string& word) {
  std::string lower = Lower(word);
  for (std::string_view c : kConnectors) {
    if (lower == c) return true;
  }
  return false;
}

// Words that join two words into one notion ("lean & fat"): never cut
// in front of them.
bool IsJoiner(const std::string& word) {
  std::string lower = Lower(word);
  return lower == "&" || lower == "and" || lower == "or" || lower == "/";
}

// The longest run of leading words of `text` within `max` characters that
// ends in neither a connector nor an open parenthesis and does not split
// a pair joined by "&", "and", "or"; "" when none.
std::string LeadingWords(const std::string& text, size_t max) {
  std::vector<std::string> words = SplitWords(text);
  size_t count = 0;
  size_t length = 0;
  while (count < words.size() && length + (count ? 1 : 0) + words[count].size() <= max) {
    length += (count ? 1 : 0) + words[count].size();
    ++count;
  }
  for (;;) {
    while (count > 0 && (IsConnector(words[count - 1]) ||
                         (count < words.size() && IsJoiner(words[count])))) {
      --count;
    }
    std::string out = JoinWords(words, count);
    size_t open = out.rfind('(');
    if (open == std::string::npos || out.find(')', open) != std::string::npos) {
      while (!out.empty() && (out.back() == ',' || out.back() == ';' || out.back() == ' ')) {
        out.pop_back();
      }
      return out;
    }
    // an unclosed remark: drop it with the words it opened
    count = SplitWords(Trim(out.substr(0, open))).size();
  }
}

}  // namespace

std::string Join(const std::vector<Term>& terms) {
  std::string out;
  for (const Term& t : terms) {
    if (!out.empty()) out += ", ";
    out += t.text;
  }
  return out;
}

std::vector<Term> RankedTerms(const std::string& cleaned, Drop drop, bool abbreviate) {
  std::vector<std::string> texts;
  for (const std::string& raw : SplitTerms(cleaned)) {
    std::string text = drop == Drop::kMakersAndRemarks ? WithoutParentheses(raw) : raw;
    if (!text.empty() && !(drop != Drop::kNothing && IsLabel(text))) texts.push_back(text);
  }
  if (texts.empty()) {
    if (drop != Drop::kNothing) return RankedTerms(cleaned, Drop::kNothing, abbreviate);
    return {Term{cleaned, Rank::kHead}};
  }
  std::vector<Term> terms;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (drop != Drop::kNothing && i + 1 < texts.size() && IsRepeatedMaker(texts[i], texts[i + 1])) {
      continue;
    }
    terms.push_back({abbreviate ? Abbreviate(texts[i]) : texts[i], Rank::kDetail});
  }
  char& initial = terms.front().text.front();
  initial = static_cast<char>(std::toupper(static_cast<unsigned char>(initial)));
  for (size_t i = 0; i < terms.size(); ++i) {
    Term& t = terms[i];
    bool maker = i == 1 && terms.size() > 2 && IsInCapitals(t.text);
    t.rank = i == 0             ? Rank::kHead
             : IsState(t.text)  ? Rank::kState
             : maker || IsMinor(t.text) ? Rank::kMinor
                                : Rank::kDetail;
  }
  return terms;
}

std::string Fit(const std::vector<Term>& terms, size_t max) {
  std::string all = Join(terms);
  if (all.size() <= max) return all;
  const std::string& head = terms.front().text;
  if (head.size() >= max) {
    std::string cut = LeadingWords(head, max);
    return cut.empty() ? head.substr(0, max) : cut;  // one word longer than a name
  }

  std::vector<std::string> chosen(terms.size());  // "" = left out
  chosen[0] = terms[0].text;
  size_t length = chosen[0].size();
  auto fits = [&](size_t i) { return length + 2 + terms[i].text.size() <= max; };
  // Takes term i if it has the rank and is not taken yet: whole, or cut to
  // at least `min_words` leading words (0: never cut).
  auto take = [&](size_t i, Rank rank, size_t min_words) {
    if (terms[i].rank != rank || !chosen[i].empty()) return;
    std::string text = terms[i].text;
    if (!fits(i)) {
      if (min_words == 0 || length + 2 >= max) return;
      text = LeadingWords(text, max - length - 2);
      if (text.empty() || SplitWords(text).size() < min_words) return;
    }
    chosen[i] = text;
    length += 2 + text.size();
  };
  for (size_t i = 1; i < terms.size(); ++i) take(i, Rank::kKeep, 0);
  if (terms.size() > 1) take(1, Rank::kDetail, 1);
  for (size_t i = 1; i < terms.size(); ++i) take(i, Rank::kState, 0);
  bool may_cut = true;  // only the first detail that does not fit is cut
  for (size_t i = 1; i < terms.size(); ++i) {
    if (terms[i].rank != Rank::kDetail || !chosen[i].empty()) continue;
    bool whole = fits(i);
    take(i, Rank::kDetail, may_cut ? 2 : 0);
    if (!whole) may_cut = false;
  }
  for (size_t i = 1; i < terms.size(); ++i) take(i, Rank::kMinor, 0);
  std::string out;
  for (const std::string& c : chosen) {
    if (c.empty()) continue;
    if (!out.empty()) out += ", ";
    out += c;
  }
  return out;
}

}  // namespace kalbor::naming
