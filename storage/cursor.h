// Cursors: where a table object stands in its rows. The physical cursor
// walks the file in record order; the index cursor walks one index file's
// entries in key order. Both answer the same requests.
#pragma once

#include <cstdint>

namespace kalbor {

class TTableFile;
class TIndexFile;

enum class TCursorState { BeforeFirst, OnRow, AfterLast };

class TCursor {
 public:
  virtual ~TCursor() = default;
  virtual void First() = 0;  // before the first row
  virtual void Last() = 0;   // after the last row
  virtual bool Next() = 0;   // false past the last row
  virtual bool Prior() = 0;  // false before the first row
  virtual uint32_t PhysicalRecNo() const = 0;  // 0 unless on a row
  // Stands on the row of that record number; false when there is none.
  virtual bool GotoPhysical(uint32_t recno) = 0;
  virtual uint32_t Count() = 0;             // RecordCount
  virtual uint32_t SequentialRecNo() = 0;   // RecNo
  virtual void SetSequentialRecNo(uint32_t position) = 0;
  virtual TCursorState State() const = 0;
};

class TPhysicalCursor : public TCursor {
 public:
  explicit TPhysicalCursor(TTableFile& file) : file_(file) {}
  void First() override { position_ = 0; }
  void Last() override;
  bool Next() override;
  bool Prior() override;
  uint32_t PhysicalRecNo() const override;
  bool GotoPhysical(uint32_t recno) override;
  uint32_t Count() override;
  uint32_t SequentialRecNo() override { return PhysicalRecNo(); }
  void SetSequentialRecNo(uint32_t position) override { GotoPhysical(position); }
  TCursorState State() const override;

 private:
  TTableFile& file_;
  uint32_t position_ = 0;  // 0 before the first record, n + 1 after the last
  uint32_t count_ = 0;     // record count when the position was last set
};

class TIndexCursor : public TCursor {
 public:
  TIndexCursor(TTableFile& file, TIndexFile& index) : file_(file), index_(index) {}
  void First() override;
  void Last() override;
  bool Next() override;
  bool Prior() override;
  uint32_t PhysicalRecNo() const override;
  bool GotoPhysical(uint32_t recno) override;
  uint32_t Count() override;
  uint32_t SequentialRecNo() override;
  void SetSequentialRecNo(uint32_t position) override;
  TCursorState State() const override;
  TIndexFile& Index() { return index_; }

 private:
  TTableFile& file_;
  TIndexFile& index_;
};

}  // namespace kalbor
