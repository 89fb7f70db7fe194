#include "storage/node_page.h"

namespace kalbor {

// Every read and write of the page's integers goes through the structs of
// ndx_format.h, which keep their bytes with coding.h.

uint8_t* TNdxNodePage::EntryAddress(int n) {
  return data_.data() + TNdxNodeHeader::kSize + static_cast<size_t>(n) * layout_->entry_length;
}

const uint8_t* TNdxNodePage::EntryAddress(int n) const {
  return data_.data() + TNdxNodeHeader::kSize + static_cast<size_t>(n) * layout_->entry_length;
}

uint32_t TNdxNodePage::ChildPage() const { return ChildOfEntry(entry_no_); }

const uint8_t* TNdxNodePage::Key() const { return KeyOfEntry(entry_no_); }

int32_t TNdxNodePage::KeyCount() const { return TNdxNodeHeader::DecodeFrom(data_.data()).key_count; }

const uint8_t* TNdxNodePage::KeyOfEntry(int n) const {
  return EntryAddress(n) + TNdxEntryHeader::kKeyOffset;
}

uint8_t* TNdxNodePage::MutableKeyOfEntry(int n) {
  return EntryAddress(n) + TNdxEntryHeader::kKeyOffset;
}

uint32_t TNdxNodePage::RecNo() const { return RecNoOfEntry(entry_no_); }

// An inner page is told by the child pointer of its first entry.
bool TNdxNodePage::IsInner() const { return ChildOfEntry(0) != 0; }

void TNdxNodePage::IncKeyCount() { SetKeyCount(KeyCount() + 1); }

void TNdxNodePage::SetKeyCount(int32_t count) {
  TNdxNodeHeader{count}.EncodeTo(data_.data());
}

void TNdxNodePage::SetRecNoAndChild(uint32_t recno, uint32_t child) {
  SetRecNoAndChildOfEntry(entry_no_, recno, child);
}

void TNdxNodePage::SetRecNoAndChildOfEntry(int n, uint32_t recno, uint32_t child) {
  TNdxEntryHeader{child, recno}.EncodeTo(EntryAddress(n));
}

uint32_t TNdxNodePage::ChildOfEntry(int n) const {
  return TNdxEntryHeader::DecodeFrom(EntryAddress(n)).child_page;
}

uint32_t TNdxNodePage::RecNoOfEntry(int n) const {
  return TNdxEntryHeader::DecodeFrom(EntryAddress(n)).record_number;
}

}  // namespace kalbor
