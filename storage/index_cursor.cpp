#include "storage/cursor.h"
#include "storage/index_file.h"
#include "storage/table_file.h"

#include <vector>

namespace kalbor {

void TIndexCursor::First() { index_.First(); }
void TIndexCursor::Last() { index_.Last(); }
bool TIndexCursor::Next() { return index_.Next(); }
bool TIndexCursor::Prior() { return index_.Prior(); }
uint32_t TIndexCursor::PhysicalRecNo() const { return index_.CurrentRecNo(); }

bool TIndexCursor::GotoPhysical(uint32_t recno) {
  if (recno == index_.CurrentRecNo() && recno != 0) return true;
  std::vector<uint8_t> record(file_.RecordLength());
  if (recno == 0 || !file_.ReadRecord(recno, record.data())) {
    index_.First();
    return false;
  }
  return index_.Find(index_.KeyFromRecord(record.data()), TFindMode::RecordEntry, recno);
}

uint32_t TIndexCursor::Count() { return index_.CountEstimate(); }
uint32_t TIndexCursor::SequentialRecNo() { return index_.PositionEstimate(); }
void TIndexCursor::SetSequentialRecNo(uint32_t position) { index_.SetPositionEstimate(position); }

TCursorState TIndexCursor::State() const {
  if (index_.BeforeFirst()) return TCursorState::BeforeFirst;
  if (index_.AfterLast()) return TCursorState::AfterLast;
  return TCursorState::OnRow;
}

}  // namespace kalbor
