// Fixture verbs shared by the table-layer tests: fresh temporary folders and
// direct byte access to the files under test.
#pragma once

#include <gtest/gtest.h>

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

}  // namespace kalbor::test
