// The word search of the two product grids: the catalogue on the food data
// page and the selection list on the food entry page.
#include "data/product_search.h"

#include <algorithm>

#include "data/dm1.h"
#include "data/name_search.h"

namespace kalbor {

TNameSearch::TNameSearch(TTableObject& table) : table_(table) { table_.AddDataLink(this); }

TNameSearch::~TNameSearch() { table_.RemoveDataLink(this); }

void TNameSearch::DataEvent(TEvent event, uint32_t) {
  if (event != TEvent::Scrolled) stale_ = true;
}

void TNameSearch::Prepare() {
  if (!stale_) return;
  rows_.clear();
  names_.clear();
  ends_.clear();
  if (table_.Active() && table_.FindField("NAME")) {
    rows_ = table_.VisibleRecordNumbers();
    ends_.reserve(rows_.size());
    const std::vector<std::string> fields = {"NAME"};
    std::vector<std::string> texts;
    for (uint32_t recno : rows_) {
      // The row being edited reads as it stands in the edit.
      if (table_.ReadRowTexts(recno, fields, texts)) AppendFoldedName(names_, texts[0]);
      ends_.push_back(static_cast<uint32_t>(names_.size()));
    }
  }
  stale_ = false;
}

size_t TNameSearch::Bytes() const {
  return rows_.capacity() * sizeof(uint32_t) + ends_.capacity() * sizeof(uint32_t) +
         names_.capacity();
}

bool TNameSearch::Find(const TNameWords& words, TSearchStep step) {
  if (words.Empty()) return false;
  Prepare();
  const size_t n = rows_.size();
  if (n == 0) return false;
  // The current row's place in the list; n when there is none.
  const uint32_t current_recno = table_.Bookmark();
  const size_t current =
      static_cast<size_t>(std::find(rows_.begin(), rows_.end(), current_recno) - rows_.begin());
  const bool has_current = current < n;
  size_t start = 0;
  switch (step) {
    case TSearchStep::Top: start = 0; break;
    case TSearchStep::Here: start = has_current ? current : 0; break;
    case TSearchStep::Next: start = has_current ? (current + 1) % n : 0; break;
    case TSearchStep::Previous: start = has_current ? (current + n - 1) % n : n - 1; break;
  }
  const bool up = step == TSearchStep::Previous;
  const std::string_view names = names_;
  for (size_t k = 0; k < n; ++k) {
    const size_t i = up ? (start + n - k) % n : (start + k) % n;
    const size_t begin = i == 0 ? 0 : ends_[i - 1];
    if (!words.Matches(names.substr(begin, ends_[i] - begin))) continue;
    // A new row being filled in is left for the match, as any move leaves
    // it, also when the match is the row it was inserted at.
    if (rows_[i] != current_recno || table_.State() == TDataSetState::dsInsert)
      table_.GotoBookmark(rows_[i]);
    return true;
  }
  return false;
}

// --- The data module's steps --------------------------------------------------

bool TDM1::SearchCatalogue(const std::string& text, TSearchStep step) {
  return catalogue_search_->Find(TNameWords(text), step);
}

void TDM1::PrepareCatalogueSearch() { catalogue_search_->Prepare(); }

size_t TDM1::CatalogueSearchBytes() const { return catalogue_search_->Bytes(); }

bool TDM1::TypeInProductSearch(const std::string& text) {
  return FindProduct(text) || product_search_->Find(TNameWords(text), TSearchStep::Top);
}

bool TDM1::StepProductSearch(const std::string& text, TSearchStep step) {
  return product_search_->Find(TNameWords(text), step);
}

}  // namespace kalbor
