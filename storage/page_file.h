// TPageFile: one open file of the table layer, reached by byte offset or by
// page number. Table files and index files both sit on it; it is the only
// code that calls read(2)/write(2) on them.
//
// Open modes and what they allow others:
//   ExclusiveCreate, ExclusiveOpen  read+write; others may read, nobody else may write
//   SharedCreate, SharedOpen        read+write; others may read and write
//   ReadOnly                        read;       others may read and write
// The sharing rules are kept with open-file-description locks on two bytes far
// past any data, so a second open of the same file in this process is refused
// exactly like one from another program.
//
// Files opened exclusively keep a cache of blocks read (TBlockCache) that
// this object keeps current with its own writes; nobody else may write such
// a file, so the cache always holds the file's present bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "storage/block_cache.h"

namespace kalbor {

enum class TOpenMode { ExclusiveCreate, ExclusiveOpen, SharedCreate, SharedOpen, ReadOnly };

inline bool IsCreateMode(TOpenMode m) {
  return m == TOpenMode::ExclusiveCreate || m == TOpenMode::SharedCreate;
}
inline bool IsSharedMode(TOpenMode m) {
  return m == TOpenMode::SharedCreate || m == TOpenMode::SharedOpen || m == TOpenMode::ReadOnly;
}

// Test seam: lets tests make a read or write fail. Before each read or
// write the installed hook is asked; it may return an errno value to fail the
// call (ENOSPC, EIO, ...), or kShortWrite to let a write store only half of
// its bytes and then fail.
enum class TIoOp { Read, Write, Truncate };
class TIoFaultHook {
 public:
  static constexpr int kShortWrite = -1;
  virtual ~TIoFaultHook() = default;
  virtual int Before(TIoOp op, const std::string& path, uint64_t offset, size_t length) = 0;
};
void SetIoFaultHook(TIoFaultHook* hook);  // nullptr removes it

class TPageFile {
 public:
  TPageFile();
  ~TPageFile();
  TPageFile(const TPageFile&) = delete;
  TPageFile& operator=(const TPageFile&) = delete;

  // Opens or creates `path`. Create modes make a missing file and empty an
  // existing one (after the sharing check, so a file held by someone else is
  // never emptied). Errors: "Open: file not found: "%s"." for a missing file
  // in an open mode, "Cannot open file %s" when sharing forbids it or the
  // system refuses.
  void Open(const std::string& path, TOpenMode mode);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  TOpenMode Mode() const { return mode_; }
  bool Shared() const { return IsSharedMode(mode_); }
  bool Writable() const { return mode_ != TOpenMode::ReadOnly; }

  uint64_t Size();
  // Reads up to `length` bytes at `offset`; returns how many the file held.
  size_t ReadAt(uint64_t offset, void* buffer, size_t length);
  // Writes all bytes or raises ETableError; nothing is reported as written
  // that was not.
  void WriteAt(uint64_t offset, const void* buffer, size_t length);
  void Truncate(uint64_t size);

  // Page view: page n starts at n * page size (the header is page 0).
  void SetPageSize(uint32_t page_size) { page_size_ = page_size; }
  uint32_t PageCountOnDisk();
  // Reads page n; bytes past the end of the file read as zero. Returns false
  // when the page lies wholly past the end of the file.
  bool ReadPage(uint32_t n, uint8_t* buffer);
  void WritePage(uint32_t n, const uint8_t* buffer);
  // Write-behind (exclusive modes only; elsewhere it stays off): pages given
  // to WritePage are held, a bounded number, and reach the file in page
  // order, adjacent pages in one write, at FlushPages, Close, when the bound
  // is reached, or before any other access that touches them. Reads see held
  // pages. A failed write of held pages raises where they are written.
  void SetWriteBehind(bool on);
  void FlushPages();

  // Byte-range locks of the shared modes (one byte each). TryLock returns
  // false when another holder has it.
  bool TryLockByte(uint64_t offset);
  void UnlockByte(uint64_t offset);

 private:
  void FailIo(const char* what, int err);
  void InvalidateBuffer();
  size_t ReadBlock(uint64_t start);  // into the cache; the bytes the file held
  void WriteThrough(uint64_t offset, const void* buffer, size_t length);
  bool TouchesHeld(uint64_t offset, size_t length) const;

  int fd_ = -1;
  std::string path_;
  TOpenMode mode_ = TOpenMode::ReadOnly;
  uint32_t page_size_ = 512;
  // Exclusive modes only: the file size as this object keeps it, and
  // blocks of the file's bytes.
  bool track_size_ = false;
  uint64_t size_ = 0;
  // 4 MiB at most: a file no larger is kept whole as it is read; a larger
  // one keeps what was read in sequence.
  TBlockCache cache_{256};
  uint64_t last_read_end_ = 0;
  bool write_behind_ = false;
  std::map<uint32_t, std::vector<uint8_t>> held_;  // page number -> bytes not yet written
};

}  // namespace kalbor
