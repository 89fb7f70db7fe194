#include "storage/page_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "storage/errors.h"
#include "storage/files.h"

namespace kalbor {

namespace {

// Sharing locks: a writer holds a read lock on kAccessWrite; an opener that
// forbids other writers holds a read lock on kDenyWrite. Both lie past the
// record and header locks of the shared modes.
constexpr off_t kAccessWrite = 0xF0000010;
constexpr off_t kDenyWrite = 0xF0000011;
constexpr size_t kBlockSize = 16 * 1024;
constexpr size_t kDirectRead = 512;

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
TPageFile::~TPageFile() { Close(); }

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
  if (fd_ >= 0) ::close(fd_);  // closing the description releases its locks
  fd_ = -1;
  block_.clear();
  block_.shrink_to_fit();
  block_valid_ = 0;
}

void TPageFile::FailIo(const char* what, int err) {
  throw ETableError(Format("%s error on file %s: %s", what, path_.c_str(), std::strerror(err)));
}

void TPageFile::InvalidateBuffer() { block_valid_ = 0; }

uint64_t TPageFile::Size() {
  if (track_size_) return size_;
  struct stat st;
  if (::fstat(fd_, &st) != 0) FailIo("Read", errno);
  return static_cast<uint64_t>(st.st_size);
}

size_t TPageFile::ReadAt(uint64_t offset, void* buffer, size_t length) {
  if (g_fault_hook) {
    int err = g_fault_hook->Before(TIoOp::Read, path_, offset, length);
    if (err > 0) FailIo("Read", err);
  }
  if (track_size_) {
    if (offset >= size_) return 0;
    length = static_cast<size_t>(std::min<uint64_t>(length, size_ - offset));
    uint64_t start = offset - offset % kBlockSize;
    // Records read one after another come through the block; a read that
    // does not continue the one before (a search landing anywhere) and
    // whole pages (index pages) go to the file directly.
    bool in_block = block_valid_ > 0 && block_start_ == start;
    bool sequential = offset == last_read_end_;
    last_read_end_ = offset + length;
    if (offset + length <= start + kBlockSize &&
        (in_block || (sequential && length < kDirectRead))) {
      if (block_valid_ == 0 || block_start_ != start) {
        block_.resize(kBlockSize);
        size_t got = 0;
        while (got < kBlockSize) {
          ssize_t n = ::pread(fd_, block_.data() + got, kBlockSize - got,
                              static_cast<off_t>(start + got));
          if (n < 0 && errno == EINTR) continue;
          if (n < 0) {
            block_valid_ = 0;
            FailIo("Read", errno);
          }
          if (n == 0) break;
          got += static_cast<size_t>(n);
        }
        block_start_ = start;
        block_valid_ = got;
      }
      size_t in_block = static_cast<size_t>(offset - block_start_);
      size_t avail = block_valid_ > in_block ? block_valid_ - in_block : 0;
      size_t n = std::min(length, avail);
      std::memcpy(buffer, block_.data() + in_block, n);
      return n;
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

void TPageFile::WriteAt(uint64_t offset, const void* buffer, size_t length) {
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
  // Keep the block buffer current: bytes written inside its block are copied
  // into it (extending it when they continue its valid part); a write that
  // would leave a gap in it drops it.
  const uint64_t block_end = block_start_ + kBlockSize;
  if (block_valid_ > 0 && offset < block_end && offset + length > block_start_) {
    uint64_t from = std::max<uint64_t>(offset, block_start_);
    uint64_t to = std::min<uint64_t>(offset + length, block_end);
    if (from <= block_start_ + block_valid_) {
      std::memcpy(block_.data() + (from - block_start_), in + (from - offset), to - from);
      block_valid_ = std::max<size_t>(block_valid_, static_cast<size_t>(to - block_start_));
    } else {
      InvalidateBuffer();
    }
  }
}

void TPageFile::Truncate(uint64_t size) {
  if (g_fault_hook) {
    int err = g_fault_hook->Before(TIoOp::Truncate, path_, size, 0);
    if (err > 0) FailIo("Write", err);
  }
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) FailIo("Write", errno);
  size_ = size;
  InvalidateBuffer();
}

uint32_t TPageFile::PageCountOnDisk() {
  uint64_t size = Size();
  return static_cast<uint32_t>(std::min<uint64_t>((size + page_size_ - 1) / page_size_, UINT32_MAX));
}

bool TPageFile::ReadPage(uint32_t n, uint8_t* buffer) {
  size_t got = ReadAt(static_cast<uint64_t>(n) * page_size_, buffer, page_size_);
  if (got < page_size_) std::memset(buffer + got, 0, page_size_ - got);
  return got > 0;
}

void TPageFile::WritePage(uint32_t n, const uint8_t* buffer) {
  WriteAt(static_cast<uint64_t>(n) * page_size_, buffer, page_size_);
}

bool TPageFile::TryLockByte(uint64_t offset) {
  return SetLock(fd_, static_cast<off_t>(offset), Writable() ? F_WRLCK : F_RDLCK);
}

void TPageFile::UnlockByte(uint64_t offset) { SetLock(fd_, static_cast<off_t>(offset), F_UNLCK); }

}  // namespace kalbor
