// Fixture verbs shared by the table-layer tests: fresh temporary folders and
// direct byte access to the files under test.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kalbor::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kalbor-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    path_ = ::mkdtemp(buf.data());
    path_ += "/";
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void Truncate(const std::string& path, size_t size) {
  std::filesystem::resize_file(path, size);
}

inline void CorruptByte(const std::string& path, size_t offset, uint8_t value) {
  auto bytes = ReadBytes(path);
  if (offset >= bytes.size()) bytes.resize(offset + 1);
  bytes[offset] = value;
  WriteBytes(path, bytes);
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// Keeps a file from being deleted while it lives, as a read-only folder
// does: the folder's write permission is taken away, and for a user whom
// permissions do not stop (root) the file is marked immutable where the file
// system allows it. Held() says whether it took.
class TUndeletable {
 public:
  explicit TUndeletable(const std::string& file)
      : file_(file), folder_(std::filesystem::path(file).parent_path().string()) {
    if (::geteuid() != 0) {
      held_ = ::chmod(folder_.c_str(), 0555) == 0;
      return;
    }
    held_ = SetImmutable(true);
  }
  ~TUndeletable() {
    if (!held_) return;
    if (::geteuid() != 0)
      ::chmod(folder_.c_str(), 0755);
    else
      SetImmutable(false);
  }
  TUndeletable(const TUndeletable&) = delete;
  TUndeletable& operator=(const TUndeletable&) = delete;
  bool Held() const { return held_; }

 private:
  bool SetImmutable(bool on) {
    const int fd = ::open(file_.c_str(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
  }

  std::string file_, folder_;
  bool held_ = false;
};

}  // namespace kalbor::test
