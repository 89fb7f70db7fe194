// The settings file: a key set changes its own line; every other byte stays.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <optional>
#include <string>

#include "test_util.h"
#include "ui/settings_file.h"

namespace kalbor {
namespace {

// Until the end of its scope, files of this process cannot grow past
// `bytes`: a write fails as on a full disk.
class TDiskFull {
 public:
  explicit TDiskFull(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    old_signal_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit{bytes, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TDiskFull() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_signal_);
  }

 private:
  rlimit old_{};
  sighandler_t old_signal_;
};

std::optional<std::string> Text(const std::string& path) {
  if (!test::Exists(path)) return std::nullopt;
  auto bytes = test::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

struct TCase {
  const char* scenario;
  std::optional<std::string> before;  // the file's bytes; nothing: no file
  const char* section;
  const char* key;
  std::optional<std::string> write;   // the value set; nothing: only read
  std::optional<std::string> after;   // the file's bytes then; nothing: no file
  const char* reads;                  // ReadString(section, key, "none") then
  int reads_number;                   // ReadInteger(section, key, -1) then
  bool disk_full = false;
};

const std::string kWindows =
    "; Kalbor\r\n[MainForm]\r\nLogo=0\r\n# placed by hand\r\nForm_Top = 5\r\nForm_Left=9\r\n"
    "\r\n[User]\r\nUser_ID=3\r\n";
const std::string kLatin1 = "[Other]\nName=J\xF6rg\n[User]\nUser_ID=1\n";

const TCase kCases[] = {
    {"comments, order and CRLF stay; only the key's line changes", kWindows, "MainForm",
     "Form_Top", "120",
     "; Kalbor\r\n[MainForm]\r\nLogo=0\r\n# placed by hand\r\nForm_Top = 120\r\nForm_Left=9\r\n"
     "\r\n[User]\r\nUser_ID=3\r\n",
     "120", 120},
    {"section and key match without regard to case", "[user]\nuser_id=4\n", "User", "User_ID",
     "7", "[user]\nuser_id=7\n", "7", 7},
    {"values read are trimmed", "[MAINFORM]\nactive_sheet = 5 \n", "MainForm", "Active_Sheet",
     std::nullopt, "[MAINFORM]\nactive_sheet = 5 \n", "5", 5},
    {"a new key follows its section's last key", "[MainForm]\nLogo=1\n; end\n\n[User]\nDate=x\n",
     "MainForm", "Active_Sheet", "5",
     "[MainForm]\nLogo=1\nActive_Sheet=5\n; end\n\n[User]\nDate=x\n", "5", 5},
    {"a new key in a CRLF file ends with CRLF", "[User]\r\nDate=x\r\n", "User", "User_ID", "2",
     "[User]\r\nDate=x\r\nUser_ID=2\r\n", "2", 2},
    {"a new key in a section without keys follows its heading", "[User]\n\n[MainForm]\n",
     "User", "User_ID", "1", "[User]\nUser_ID=1\n\n[MainForm]\n", "1", 1},
    {"a new section goes at the end", "[MainForm]\nLogo=1", "User", "Date", "1/2/2024",
     "[MainForm]\nLogo=1\n[User]\nDate=1/2/2024\n", "1/2/2024", -1},
    {"a missing file is made", std::nullopt, "MainForm", "Logo", "0", "[MainForm]\nLogo=0\n",
     "0", 0},
    {"a missing file reads as the fallback and is not made", std::nullopt, "User", "User_ID",
     std::nullopt, std::nullopt, "none", -1},
    {"a key found twice reads and changes its first", "[User]\nUser_ID=2\nUser_ID=3\n", "User",
     "User_ID", "5", "[User]\nUser_ID=5\nUser_ID=3\n", "5", 5},
    {"a value not a whole number reads as the fallback", "[User]\nUser_ID=12abc\n", "User",
     "User_ID", std::nullopt, "[User]\nUser_ID=12abc\n", "12abc", -1},
    {"comments and other sections hold no key", "[User]\n;User_ID=4\n[Other]\nUser_ID=5\n",
     "User", "User_ID", std::nullopt, "[User]\n;User_ID=4\n[Other]\nUser_ID=5\n", "none", -1},
    {"Latin-1 text elsewhere stays as found", kLatin1, "User", "User_ID", "2",
     "[Other]\nName=J\xF6rg\n[User]\nUser_ID=2\n", "2", 2},
    {"Latin-1 text reads", kLatin1, "Other", "Name", std::nullopt, kLatin1, "J\u00F6rg", -1},
    {"a value is written on one line", "[User]\nDate=x\n", "User", "Date", "a\r\nb",
     "[User]\nDate=a  b\n", "a  b", -1},
    {"a file that cannot be written keeps what it had", kWindows, "MainForm", "Logo", "1",
     kWindows, "0", 0, true},
};

TEST(SettingsFileTest, SettingAKeyChangesItsLineOnly) {
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.scenario);
    test::TempDir dir;
    const std::string path = dir / "KALBOR.INI";
    if (c.before) test::WriteBytes(path, {c.before->begin(), c.before->end()});
    TSettingsFile ini(QString::fromStdString(path));
    if (c.write) {
      std::optional<TDiskFull> full;
      if (c.disk_full) full.emplace(8);
      EXPECT_NO_THROW(ini.WriteString(c.section, c.key, QString::fromStdString(*c.write)));
    }
    EXPECT_EQ(Text(path), c.after);
    EXPECT_EQ(ini.ReadString(c.section, c.key, "none").toStdString(), c.reads);
    EXPECT_EQ(ini.ReadInteger(c.section, c.key, -1), c.reads_number);
    auto files = std::distance(std::filesystem::directory_iterator(dir.path()), {});
    EXPECT_EQ(files, c.after ? 1 : 0) << "no temporary file stays behind";
  }
}

}  // namespace
}  // namespace kalbor
