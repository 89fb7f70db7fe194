#include "storage/page_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "storage/block_cache.h"
#include "storage/errors.h"
#include "storage/files.h"

namespace kalbor {

namespace {

// Sharing locks: a writer holds a read lock on kAccessWrite; an opener that
// forbids other writers holds a read lock on kDenyWrite. Both lie past the
// record and header locks of the shared modes.
constexpr off_t kAccessWrite = 0xF0000010;
constexpr off_t kDenyWrite = 0xF0000011;
constexpr size_t kBlockSize = TBlockCache::kBlockSize;
constexpr size_t kDirectRead = 512;
// Pages held by write-behind before they are written anyway.
constexpr size_t kWriteBehindBytes = 256 * 1024;

TIoFaultHook* g_fault_hook = nullptr;

bool LockHeldByOther(int fd, off_t offset) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return true;
  return fl.l_type != F_UNLCK;
}

bool SetLock(int fd, off_t offset, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

bool WantsWrite(TOpenMode m) { return m != TOpenMode::ReadOnly; }
bool DeniesWrite(TOpenMode m) {
  return m == TOpenMode::ExclusiveCreate || m == TOpenMode::ExclusiveOpen;
}

}  // namespace

void SetIoFaultHook(TIoFaultHook* hook) { g_fault_hook = hook; }

TPageFile::TPageFile() = default;
TPageFile::~TPageFile() {
  try {
    Close();
  } catch (const ETableError&) {
    // Held pages that cannot be written now are lost with the object; every
    // owner closes its file itself, where the error reaches the caller.
  }
}

void TPageFile::Open(const std::string& given_path, TOpenMode mode) {
  Close();
  std::string path = ResolvePath(given_path);
  int flags = O_CLOEXEC | (mode == TOpenMode::ReadOnly ? O_RDONLY : O_RDWR);
  if (IsCreateMode(mode)) flags |= O_CREAT;
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) {
    if (errno == ENOENT && !IsCreateMode(mode))
      throw ETableError(Format("Open: file not found: \"%s\".", path.c_str()));
    throw ETableError(Format("Cannot open file %s", path.c_str()));
  }
  struct stat st;
  bool refused = ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode);
  if (!refused && DeniesWrite(mode) && LockHeldByOther(fd, kAccessWrite)) refused = true;
  if (!refused && WantsWrite(mode) && LockHeldByOther(fd, kDenyWrite)) refused = true;
  if (!refused && WantsWrite(mode) && !SetLock(fd, kAccessWrite, F_RDLCK)) refused = true;
  if (!refused && DeniesWrite(mode) && !SetLock(fd, kDenyWrite, F_RDLCK)) refused = true;
  if (refused) {
    ::close(fd);
    throw ETableError(Format("Cannot open file %s", path.c_str()));
  }
  fd_ = fd;
  path_ = path;
  mode_ = mode;
  track_size_ = DeniesWrite(mode);
  size_ = static_cast<uint64_t>(st.st_size);
  InvalidateBuffer();
  if (IsCreateMode(mode) && st.st_size != 0) Truncate(0);
}

void TPageFile::Close() {
  auto release = [this] {
    if (fd_ >= 0) ::close(fd_);  // closing the description releases its locks
    fd_ = -1;
    cache_.Clear();
    held_.clear();
    write_behind_ = false;
  };
  try {
    FlushPages();
  } catch (...) {
    release();
    throw;
  }
  release();
}

void TPageFile::FailIo(const char* what, int err) {
  throw ETableError(Format("%s error on file %s: %s", what, path_.c_str(), std::strerror(err)));
}

void TPageFile::InvalidateBuffer() { cache_.Clear(); }

uint64_t TPageFile::Size() {
  if (track_size_) return size_;
  struct stat st;
  if (::fstat(fd_, &st) != 0) FailIo("Read", errno);
  return static_cast<uint64_t>(st.st_size);
}

size_t TPageFile::ReadAt(uint64_t offset, void* buffer, size_t length) {
  if (!held_.empty()) {
    auto it = held_.find(static_cast<uint32_t>(offset / page_size_));
    if (it != held_.end() && offset % page_size_ == 0 && length == page_size_) {
      std::memcpy(buffer, it->second.data(), length);
      return length;
    }
    if (TouchesHeld(offset, length)) FlushPages();
  }
  if (g_fault_hook) {
    int err = g_fault_hook->Before(TIoOp::Read, path_, offset, length);
    if (err > 0) FailIo("Read", err);
  }
  if (track_size_) {
    if (offset >= size_) return 0;
    length = static_cast<size_t>(std::min<uint64_t>(length, size_ - offset));
    const uint64_t start = offset - offset % kBlockSize;
    const bool sequential = offset == last_read_end_;
    last_read_end_ = offset + length;
    if (offset + length <= start + kBlockSize) {
      size_t valid = 0;
      const uint8_t* block = cache_.Find(start, &valid);
      // Records read one after another come through the cache, and so does
      // every read of a file small enough to keep whole; a search landing
      // anywhere in a large file and whole pages read out of sequence go to
      // the file directly.
      if (!block && ((sequential && length < kDirectRead) || size_ <= cache_.Bytes())) {
        valid = ReadBlock(start);
        size_t ignored = 0;
        block = valid > 0 ? cache_.Find(start, &ignored) : nullptr;
      }
      if (block) {
        size_t in_block = static_cast<size_t>(offset - start);
        size_t n = std::min(length, valid > in_block ? valid - in_block : 0);
        std::memcpy(buffer, block + in_block, n);
        return n;
      }
    }
  }
  size_t got = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  while (got < length) {
    ssize_t n = ::pread(fd_, out + got, length - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FailIo("Read", errno);
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

size_t TPageFile::ReadBlock(uint64_t start) {
  uint8_t* block = cache_.Make(start);
  size_t got = 0;
  while (got < kBlockSize) {
    ssize_t n = ::pread(fd_, block + got, kBlockSize - got, static_cast<off_t>(start + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      cache_.Filled(start, 0);
      FailIo("Read", errno);
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  cache_.Filled(start, got);
  return got;
}

void TPageFile::WriteAt(uint64_t offset, const void* buffer, size_t length) {
  if (!held_.empty() && TouchesHeld(offset, length)) FlushPages();
  WriteThrough(offset, buffer, length);
}

void TPageFile::WriteThrough(uint64_t offset, const void* buffer, size_t length) {
  if (!Writable()) throw ETableError("Cannot modify a read-only dataset");
  size_t allowed = length;
  int injected = 0;
  if (g_fault_hook) {
    int err = g_fault_hook->Before(TIoOp::Write, path_, offset, length);
    if (err == TIoFaultHook::kShortWrite) {
      allowed = length / 2;
      injected = EIO;
    } else if (err > 0) {
      FailIo("Write", err);
    }
  }
  const auto* in = static_cast<const uint8_t*>(buffer);
  size_t done = 0;
  while (done < allowed) {
    ssize_t n = ::pwrite(fd_, in + done, allowed - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      injected = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (track_size_) size_ = std::max<uint64_t>(size_, offset + done);
  if (injected) {
    InvalidateBuffer();
    FailIo("Write", injected);
  }
  cache_.Written(offset, in, length);
}

void TPageFile::Truncate(uint64_t size) {
  FlushPages();
  if (g_fault_hook) {
    int err = g_fault_hook->Before(TIoOp::Truncate, path_, size, 0);
    if (err > 0) FailIo("Write", err);
  }
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) FailIo("Write", errno);
  size_ = size;
  InvalidateBuffer();
}

uint32_t TPageFile::PageCountOnDisk() {
  FlushPages();
  uint64_t size = Size();
  return static_cast<uint32_t>(std::min<uint64_t>((size + page_size_ - 1) / page_size_, UINT32_MAX));
}

bool TPageFile::ReadPage(uint32_t n, uint8_t* buffer) {
  size_t got = ReadAt(static_cast<uint64_t>(n) * page_size_, buffer, page_size_);
  if (got < page_size_) std::memset(buffer + got, 0, page_size_ - got);
  return got > 0;
}

void TPageFile::WritePage(uint32_t n, const uint8_t* buffer) {
  if (!write_behind_) return WriteAt(static_cast<uint64_t>(n) * page_size_, buffer, page_size_);
  if (!Writable()) throw ETableError("Cannot modify a read-only dataset");
  held_[n].assign(buffer, buffer + page_size_);
  if (held_.size() * page_size_ >= kWriteBehindBytes) FlushPages();
}

void TPageFile::SetWriteBehind(bool on) {
  if (!on) FlushPages();
  write_behind_ = on && track_size_;
}

bool TPageFile::TouchesHeld(uint64_t offset, size_t length) const {
  if (held_.empty()) return false;
  const uint64_t first = offset / page_size_;
  const uint64_t last = (offset + std::max<size_t>(length, 1) - 1) / page_size_;
  // A read past the file's end may have to see held pages that extend it.
  if (offset + length > size_) return true;
  auto it = held_.lower_bound(static_cast<uint32_t>(std::min<uint64_t>(first, UINT32_MAX)));
  return it != held_.end() && it->first <= last;
}

void TPageFile::FlushPages() {
  if (held_.empty()) return;
  std::map<uint32_t, std::vector<uint8_t>> pages;
  pages.swap(held_);  // a failed write loses them: its error reaches the caller
  std::vector<uint8_t> run;
  uint32_t run_first = 0;
  auto write_run = [&] {
    if (!run.empty()) WriteThrough(uint64_t{run_first} * page_size_, run.data(), run.size());
    run.clear();
  };
  for (auto& [n, bytes] : pages) {
    if (run.empty() || n != run_first + run.size() / page_size_) {
      write_run();
      run_first = n;
    }
    run.insert(run.end(), bytes.begin(), bytes.end());
  }
  write_run();
}

bool TPageFile::TryLockByte(uint64_t offset) {
  return SetLock(fd_, static_cast<off_t>(offset), Writable() ? F_WRLCK : F_RDLCK);
}

void TPageFile::UnlockByte(uint64_t offset) { SetLock(fd_, static_cast<off_t>(offset), F_UNLCK); }

}  // namespace kalbor
