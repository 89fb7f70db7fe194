// The program folder: beside the executable for a build or a portable copy,
// the user's data folder for an installed program, with the shipped tables
// copied in once and never over the user's own.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "data/program_folder.h"
#include "storage/errors.h"
#include "test_util.h"

namespace kalbor {
namespace {

using test::TempDir;

TEST(ProgramFolderTest, FolderFollowsHowTheProgramWasPutThere) {
  struct Case {
    const char* what;
    bool installed, writable;
    const char* xdg;
    const char* home;
    const char* folder;
    const char* shipped;
  };
  const Case cases[] = {
      {"build or portable copy", false, true, "/x", "/h", "/opt/k/bin/", "/opt/k/bin/"},
      {"installed", true, false, "/x", "/h", "/x/kalbor/", "/opt/k/share/kalbor/"},
      {"installed, folder writable all the same", true, true, "/x", "/h", "/x/kalbor/",
       "/opt/k/share/kalbor/"},
      {"copy in a read-only folder", false, false, "/x/", "/h", "/x/kalbor/", "/opt/k/bin/"},
      {"no XDG_DATA_HOME", true, false, "", "/h", "/h/.local/share/kalbor/",
       "/opt/k/share/kalbor/"},
      {"relative XDG_DATA_HOME", true, false, "data", "/h/", "/h/.local/share/kalbor/",
       "/opt/k/share/kalbor/"},
      {"no home at all", true, false, "", "", "", "/opt/k/share/kalbor/"},
  };
  for (const Case& c : cases) {
    TFolderFacts facts{"/opt/k/bin/", c.writable, c.installed, c.xdg, c.home};
    TProgramFolders folders = ChooseProgramFolders(facts);
    EXPECT_EQ(folders.folder, c.folder) << c.what;
    EXPECT_EQ(folders.shipped, c.shipped) << c.what;
  }
}

// An installation's shipped folder and a user's data folder under one
// temporary folder.
class DataFolderTest : public ::testing::Test {
 protected:
  TempDir dir;
  TProgramFolders folders{dir / "data/kalbor/", dir / "share/kalbor/"};

  void Ship(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(folders.shipped);
    test::WriteBytes(folders.shipped + name, bytes);
  }
  std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(DataFolderTest, ShippedTablesAreCopiedOnceAndTheUsersOwnAreKept) {
  Ship("FOODCAL.DBF", {1, 2, 3});
  Ship("MEALTYPE.DBF", {4});
  Ship("FOODGROUPS.DBF", {5});
  Ship("KALBOR.HLP", {6});
  PrepareProgramFolder(folders);
  EXPECT_EQ(Listing(folders.folder),
            (std::vector<std::string>{"FOODCAL.DBF", "FOODGROUPS.DBF", "MEALTYPE.DBF"}));
  EXPECT_EQ(test::ReadBytes(folders.folder + "FOODCAL.DBF"), (std::vector<uint8_t>{1, 2, 3}));
  struct stat st;
  ASSERT_EQ(::stat(folders.folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "the diaries are the user's alone";

  // The user's marks, and a table kept under another spelling, stay.
  test::WriteBytes(folders.folder + "FOODCAL.DBF", {9, 9});
  std::filesystem::rename(folders.folder + "MEALTYPE.DBF", folders.folder + "mealtype.dbf");
  Ship("FOODCAL.DBF", {7, 7, 7});
  PrepareProgramFolder(folders);
  EXPECT_EQ(test::ReadBytes(folders.folder + "FOODCAL.DBF"), (std::vector<uint8_t>{9, 9}));
  EXPECT_EQ(Listing(folders.folder),
            (std::vector<std::string>{"FOODCAL.DBF", "FOODGROUPS.DBF", "mealtype.dbf"}));
}

TEST_F(DataFolderTest, AMissingShippedTableIsLeftForTheProgramToReport) {
  Ship("MEALTYPE.DBF", {4});
  PrepareProgramFolder(folders);
  EXPECT_EQ(Listing(folders.folder), (std::vector<std::string>{"MEALTYPE.DBF"}));
}

TEST_F(DataFolderTest, PortableFolderIsNeitherMadeNorFilled) {
  Ship("FOODCAL.DBF", {1});
  folders.folder = folders.shipped;
  PrepareProgramFolder(folders);
  EXPECT_EQ(Listing(folders.shipped), (std::vector<std::string>{"FOODCAL.DBF"}));
}

TEST_F(DataFolderTest, FolderThatCannotBeMadeIsNamedAndNothingIsWritten) {
  Ship("FOODCAL.DBF", {1});
  test::WriteBytes(dir / "data", {0});  // a file where a folder is needed
  auto message = [&] {
    try {
      PrepareProgramFolder(folders);
    } catch (const ETableError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message(), "Kalbor cannot keep its files in the folder " + folders.folder +
                           ": Not a directory.");
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"data", "share"}));
  folders.folder.clear();
  EXPECT_EQ(message(),
            "Kalbor has no folder for its files: neither XDG_DATA_HOME nor HOME names an "
            "absolute folder.");
}

}  // namespace
}  // namespace kalbor
