#include "storage/files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>

namespace kalbor {

std::string WithTrailingSeparator(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + "/";
}

std::string ProgramFolder() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return "./";
    return WithTrailingSeparator(cwd);
  }
  buffer[n] = '\0';
  return ExtractFilePath(std::string(buffer, static_cast<size_t>(n)));
}

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool SameTextAscii(const std::string& a, const std::string& b) {
  return a.size() == b.size() && UpperAscii(a) == UpperAscii(b);
}

std::string ExtractFileName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtractFilePath(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileExt(const std::string& path) {
  std::string name = ExtractFileName(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  std::string folder = ExtractFilePath(path);
  std::string name = ExtractFileName(path);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return folder + name + ext;
}

static bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ResolveFileName(const std::string& folder, const std::string& name) {
  std::string dir = WithTrailingSeparator(folder);
  std::string exact = dir + name;
  if (name.empty() || Exists(exact)) return exact;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return exact;
  std::string found;
  while (dirent* entry = ::readdir(d)) {
    if (SameTextAscii(entry->d_name, name) && Exists(dir + entry->d_name)) {
      // Several spellings of one name: prefer the lowest in byte order so the
      // choice does not depend on the directory's order.
      if (found.empty() || std::strcmp(entry->d_name, found.c_str()) < 0) found = entry->d_name;
    }
  }
  ::closedir(d);
  return found.empty() ? exact : dir + found;
}

std::string ResolvePath(const std::string& path) {
  return ResolveFileName(ExtractFilePath(path), ExtractFileName(path));
}

bool FileExists(const std::string& path) { return Exists(ResolvePath(path)); }

bool DeleteFile(const std::string& path) { return ::unlink(ResolvePath(path).c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  return ::rename(ResolvePath(from).c_str(), ResolvePath(to).c_str()) == 0;
}

}  // namespace kalbor
