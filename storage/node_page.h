// Page objects of the index B-tree. TIndexFile keeps a chain of them, one per
// tree level from the root down to the leaf; each holds one loaded node page
// (512 bytes), its page number, the current entry index and a modified flag.
//
// TNodePage is the format-independent part; its format-dependent operations
// (in slot order) are pure virtual and implemented by TNdxNodePage
// for the .NDX layout of ndx_format.h. The container format (.MDX) is not
// implemented.
//
// No operation checks its entry index: callers keep indexes within
// 0 .. Slots() - 1 (TIndexFile validates every page it loads so that this
// holds for every entry it touches).
#pragma once

#include <array>
#include <cstdint>

#include "storage/ndx_format.h"

namespace kalbor {

// Entry geometry shared by all pages of one index (taken from its header).
struct TNodeLayout {
  uint16_t key_length = 0;
  uint16_t entry_length = 0;
  uint16_t max_keys = 0;  // slots per page
};

class TNodePage {
 public:
  explicit TNodePage(const TNodeLayout* layout) : layout_(layout) { data_.fill(0); }
  virtual ~TNodePage() = default;
  TNodePage(const TNodePage&) = delete;
  TNodePage& operator=(const TNodePage&) = delete;

  // The page image and the page object's state.
  uint8_t* Data() { return data_.data(); }
  const uint8_t* Data() const { return data_.data(); }
  void Clear() { data_.fill(0); }
  uint32_t PageNo() const { return page_no_; }
  void SetPageNo(uint32_t page_no) { page_no_ = page_no; }
  // Current entry. On a leaf -1 means before the first entry and the key
  // count means after the last.
  int EntryNo() const { return entry_no_; }
  void SetEntryNo(int entry_no) { entry_no_ = entry_no; }
  bool Modified() const { return modified_; }
  void MarkModified() { modified_ = true; }
  void ClearModified() { modified_ = false; }
  int Slots() const { return layout_->max_keys; }

  // Format-dependent operations, in slot order.
  virtual uint8_t* EntryAddress(int n) = 0;                      // address of entry n
  virtual uint32_t ChildPage() const = 0;                         // child page of the current entry
  virtual const uint8_t* Key() const = 0;                         // key of the current entry
  virtual int32_t KeyCount() const = 0;                           // key count
  virtual const uint8_t* KeyOfEntry(int n) const = 0;             // key of entry n
  virtual uint32_t RecNo() const = 0;                             // record number of the current entry
  virtual bool IsInner() const = 0;                               // inner-page test
  virtual void IncKeyCount() = 0;                                 // add one to the key count
  virtual void SetKeyCount(int32_t count) = 0;                    // set the key count
  virtual void SetRecNoAndChild(uint32_t recno, uint32_t child) = 0;  // of the current entry
  virtual void SetRecNoAndChildOfEntry(int n, uint32_t recno, uint32_t child) = 0;

  // Additions: the same reads for entry n.
  virtual const uint8_t* EntryAddress(int n) const = 0;
  virtual uint32_t ChildOfEntry(int n) const = 0;
  virtual uint32_t RecNoOfEntry(int n) const = 0;
  // Key bytes of entry n, writable (copying keys into entries).
  virtual uint8_t* MutableKeyOfEntry(int n) = 0;

 protected:
  const TNodeLayout* layout_;
  std::array<uint8_t, kNdxPageSize> data_;
  uint32_t page_no_ = 0;
  int entry_no_ = 0;
  bool modified_ = false;
};

// The .NDX node page: key count at offset 0, entry i at 4 + i * entry length,
// each entry child page (4), record number (4), key bytes.
class TNdxNodePage final : public TNodePage {
 public:
  explicit TNdxNodePage(const TNodeLayout* layout) : TNodePage(layout) {}

  uint8_t* EntryAddress(int n) override;
  uint32_t ChildPage() const override;
  const uint8_t* Key() const override;
  int32_t KeyCount() const override;
  const uint8_t* KeyOfEntry(int n) const override;
  uint32_t RecNo() const override;
  bool IsInner() const override;
  void IncKeyCount() override;
  void SetKeyCount(int32_t count) override;
  void SetRecNoAndChild(uint32_t recno, uint32_t child) override;
  void SetRecNoAndChildOfEntry(int n, uint32_t recno, uint32_t child) override;

  const uint8_t* EntryAddress(int n) const override;
  uint32_t ChildOfEntry(int n) const override;
  uint32_t RecNoOfEntry(int n) const override;
  uint8_t* MutableKeyOfEntry(int n) override;
};

}  // namespace kalbor
