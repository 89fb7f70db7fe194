#include "storage/cursor.h"
#include "storage/table_file.h"

namespace kalbor {

void TPhysicalCursor::Last() {
  count_ = file_.RecordCount();
  position_ = count_ + 1;
}

bool TPhysicalCursor::Next() {
  count_ = file_.RecordCount();
  if (position_ <= count_) ++position_;
  return position_ >= 1 && position_ <= count_;
}

bool TPhysicalCursor::Prior() {
  count_ = file_.RecordCount();
  if (position_ > count_ + 1) position_ = count_ + 1;
  if (position_ >= 1) --position_;
  return position_ >= 1;
}

uint32_t TPhysicalCursor::PhysicalRecNo() const {
  return position_ >= 1 && position_ <= count_ ? position_ : 0;
}

bool TPhysicalCursor::GotoPhysical(uint32_t recno) {
  count_ = file_.RecordCount();
  position_ = recno > count_ + 1 ? count_ + 1 : recno;
  return recno >= 1 && recno <= count_;
}

uint32_t TPhysicalCursor::Count() { return file_.RecordCount(); }

TCursorState TPhysicalCursor::State() const {
  if (position_ == 0) return TCursorState::BeforeFirst;
  if (position_ > count_) return TCursorState::AfterLast;
  return TCursorState::OnRow;
}

}  // namespace kalbor
