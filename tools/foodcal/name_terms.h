// The terms of a database description ("Beef, chuck, blade roast, cooked,
// braised"), ranked by what they say about the food, and the choice of
// terms that fits a name into a given length.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kalbor::naming {

// Terms in the order they are dropped last to first.
enum class Rank {
  kHead,    // the first term
  kKeep,    // sets the food apart from another with the same name
  kState,   // how the food is kept or cooked
  kDetail,  // any other term
  kMinor,   // salt, enrichment, added vitamins, grades
};

struct Term {
  std::string text;
  Rank rank = Rank::kDetail;
};

// What RankedTerms leaves out of a description.
enum class Drop {
  kNothing,
  kMakers,              // maker labels and repeated makers
  kMakersAndRemarks,    // and remarks in parentheses
};

// The cleaned description (see Clean) as ranked terms, split at commas
// outside parentheses, abbreviated unless `abbreviate` is false. The first
// term is kHead, with a capital initial.
std::vector<Term> RankedTerms(const std::string& cleaned, Drop drop, bool abbreviate = true);

// The terms joined by ", ".
std::string Join(const std::vector<Term>& terms);

// Chooses terms so that the name fits in `max` characters: the first term;
// the terms that set the food apart; the second term, which names the food
// within its kind, cut to its leading words if need be; then the state,
// detail and minor terms, rank by rank, each if it still fits, except that
// the first detail that does not fit keeps its leading words when at least
// two of them fit.
// The result is never longer than `max` and never ends in a connecting word.
std::string Fit(const std::vector<Term>& terms, std::size_t max);

}  // namespace kalbor::naming
