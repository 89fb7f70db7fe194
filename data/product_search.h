// TNameSearch: the word search (TNameWords) of one product grid's table.
//
// It keeps the rows the table shows, in its order, with their names folded,
// and answers every search from them: one keystroke compares names in
// memory and moves the table once, onto the match. The rows are read again
// at the first search after any change the table reports to what shows it
// (everything but a move of its current row: a row stored, deleted or being
// edited, a filter or an order chosen, the table closed or opened), so a
// search always sees the table as its grid does. They cost about 8 bytes
// plus the name's length a product (under 0.5 MB for the whole catalogue).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/table_object.h"

namespace kalbor {

class TNameWords;
enum class TSearchStep;

class TNameSearch : private TDataLink {
 public:
  // `table` with a field NAME; it must outlive this object.
  explicit TNameSearch(TTableObject& table);
  ~TNameSearch() override;
  TNameSearch(const TNameSearch&) = delete;
  TNameSearch& operator=(const TNameSearch&) = delete;

  // The row `step` reaches whose name holds every word becomes the table's
  // current row; none (or no words): the table stays where it is.
  bool Find(const TNameWords& words, TSearchStep step);
  // Reads the rows now if a change left them to be read again.
  void Prepare();
  // The memory the rows take.
  size_t Bytes() const;

 private:
  void DataEvent(TEvent event, uint32_t recno) override;

  TTableObject& table_;
  bool stale_ = true;
  std::vector<uint32_t> rows_;  // record numbers, in the table's order
  std::string names_;           // the folded names, one after another
  std::vector<uint32_t> ends_;  // where each row's name ends in names_
};

}  // namespace kalbor
