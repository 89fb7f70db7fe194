#include "data/program_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "data/file_names.h"
#include "storage/errors.h"
#include "storage/files.h"

#ifndef KALBOR_SHIPPED_FROM_BIN
#error "KALBOR_SHIPPED_FROM_BIN must name the shipped folder relative to the executable's"
#endif

namespace kalbor {

namespace {

constexpr char kFolderUnusable[] = "Kalbor cannot keep its files in the folder %s: %s.";
constexpr char kCopyFailed[] = "Kalbor cannot copy %s into the folder %s: %s.";
constexpr char kNoHome[] =
    "Kalbor has no folder for its files: neither XDG_DATA_HOME nor HOME names an absolute folder.";

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Normal(const std::string& folder) {
  return WithTrailingSeparator(std::filesystem::path(folder).lexically_normal().string());
}

// Makes `folder` and its missing parents, readable by the user alone (as the
// base folders of the user's data are meant to be).
void MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      throw ETableError(Format(kFolderUnusable, folder.c_str(), std::strerror(errno)));
  }
  if (!IsFolder(folder))
    throw ETableError(Format(kFolderUnusable, folder.c_str(), std::strerror(ENOTDIR)));
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    throw ETableError(Format(kFolderUnusable, folder.c_str(), std::strerror(errno)));
}

bool CopyBytes(int from, int to) {
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(to, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return false;
      done += w;
    }
  }
}

// Copies `source` to `target` whole or not at all: the bytes go to a spare
// name first, which is then linked to the target's name (which fails rather
// than replace a file made meanwhile).
void CopyWhole(const std::string& source, const std::string& target, const std::string& folder) {
  const std::string spare = ExtractFilePath(target) + "." + ExtractFileName(target) + ".part";
  auto fail = [&](int error) {
    ::unlink(spare.c_str());
    throw ETableError(
        Format(kCopyFailed, source.c_str(), folder.c_str(), std::strerror(error)));
  };
  int from = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) fail(errno);
  ::unlink(spare.c_str());
  int to = ::open(spare.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (to < 0) {
    int error = errno;
    ::close(from);
    fail(error);
  }
  bool copied = CopyBytes(from, to) && ::fsync(to) == 0;
  int error = errno;
  ::close(from);
  if (::close(to) != 0 && copied) {
    copied = false;
    error = errno;
  }
  if (!copied) fail(error);
  if (::link(spare.c_str(), target.c_str()) != 0 && errno != EEXIST) fail(errno);
  ::unlink(spare.c_str());
}

}  // namespace

TProgramFolders ChooseProgramFolders(const TFolderFacts& facts) {
  TProgramFolders folders;
  const std::string own = WithTrailingSeparator(facts.executable_folder);
  folders.shipped = facts.installed ? Normal(own + KALBOR_SHIPPED_FROM_BIN) : own;
  if (!facts.installed && facts.executable_folder_writable) {
    folders.folder = own;
  } else if (IsAbsolute(facts.xdg_data_home)) {
    folders.folder = Normal(facts.xdg_data_home + "/kalbor");
  } else if (IsAbsolute(facts.home)) {
    folders.folder = Normal(facts.home + "/.local/share/kalbor");
  }
  return folders;
}

TFolderFacts ProcessFolderFacts() {
  TFolderFacts facts;
  facts.executable_folder = ProgramFolder();
  facts.executable_folder_writable = ::access(facts.executable_folder.c_str(), W_OK) == 0;
  facts.installed = IsFolder(facts.executable_folder + KALBOR_SHIPPED_FROM_BIN);
  if (const char* xdg = std::getenv("XDG_DATA_HOME")) facts.xdg_data_home = xdg;
  if (const char* home = std::getenv("HOME"); home != nullptr && IsAbsolute(home)) {
    facts.home = home;
  } else if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir) {
    facts.home = user->pw_dir;
  }
  return facts;
}

TProgramFolders ProgramFolders() { return ChooseProgramFolders(ProcessFolderFacts()); }

void PrepareProgramFolder(const TProgramFolders& folders) {
  if (folders.folder.empty()) throw ETableError(kNoHome);
  if (folders.folder == folders.shipped) return;
  MakeFolders(folders.folder);
  for (const char* table : kShippedTables) {
    const std::string source = ResolveFileName(folders.shipped, table);
    if (FileExists(folders.folder + table) || !FileExists(source)) continue;
    CopyWhole(source, folders.folder + table, folders.folder);
  }
}

}  // namespace kalbor
