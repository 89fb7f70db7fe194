// File names without regard to letter case, the date numbers, and the code
// page at the table boundary.
#include "storage/codepage.h"
#include "storage/dates.h"
#include "storage/files.h"
#include "storage/page_file.h"
#include "storage/errors.h"
#include "test_util.h"

namespace kalbor {
namespace {

using test::TempDir;

TEST(FileNamesTest, OneFileAnswersToEverySpellingOfItsName) {
  TempDir dir;
  test::WriteBytes(dir / "USERNAME.DBF", {1, 2, 3});
  EXPECT_EQ(ResolveFileName(dir.path(), "username.DBF"), dir / "USERNAME.DBF");
  EXPECT_TRUE(FileExists(dir / "UserName.dbf"));
  EXPECT_TRUE(RenameFile(dir / "username.dbf", dir / "OTHER.DBF"));
  EXPECT_FALSE(FileExists(dir / "USERNAME.DBF"));
  EXPECT_TRUE(DeleteFile(dir / "other.dbf"));
  EXPECT_FALSE(FileExists(dir / "OTHER.DBF"));
  // A name with no file yet is created as given.
  EXPECT_EQ(ResolveFileName(dir.path(), "New.DBF"), dir / "New.DBF");
}

TEST(FileNamesTest, OnlyAToZAreFolded) {
  EXPECT_EQ(UpperAscii("änna Smith"), "äNNA SMITH");
  EXPECT_TRUE(SameTextAscii("usercal.dbf", "USERCAL.DBF"));
  EXPECT_EQ(ChangeFileExt("/a/USER0007.DBF", ".NDX"), "/a/USER0007.NDX");
  EXPECT_EQ(ExtractFilePath("/a/b.DBF"), "/a/");
}

TEST(OpenModesTest, SharingRulesHoldWithinOneProcess) {
  TempDir dir;
  std::string path = dir / "T.DBF";
  test::WriteBytes(path, {0});
  TPageFile exclusive, other;
  exclusive.Open(path, TOpenMode::ExclusiveOpen);
  EXPECT_THROW(other.Open(path, TOpenMode::ExclusiveOpen), ETableError);
  EXPECT_THROW(other.Open(path, TOpenMode::SharedOpen), ETableError);
  EXPECT_NO_THROW(other.Open(path, TOpenMode::ReadOnly));
  other.Close();
  exclusive.Close();
  TPageFile shared1, shared2, late;
  shared1.Open(path, TOpenMode::SharedOpen);
  shared2.Open(path, TOpenMode::SharedOpen);
  EXPECT_THROW(late.Open(path, TOpenMode::ExclusiveOpen), ETableError);
  // A create mode never empties a file somebody else holds.
  EXPECT_THROW(late.Open(path, TOpenMode::ExclusiveCreate), ETableError);
  EXPECT_EQ(test::ReadBytes(path).size(), 1u);
}

TEST(DatesTest, DayNumbersAndSerials) {
  EXPECT_EQ(DateToSerial(1899, 12, 30), 0);
  EXPECT_EQ(SerialToDayNumber(DateToSerial(2002, 1, 1)), 730851);
  EXPECT_EQ(SerialToDayNumber(DateToSerial(2002, 3, 15)), 730924);
  EXPECT_EQ(SerialToDayNumber(DateToSerial(2002, 11, 4)), 731158);
  EXPECT_EQ(SerialToDayNumber(DateToSerial(1, 1, 1)), 1);
  int y, m, d;
  SerialToDate(DayNumberToSerial(730924), y, m, d);
  EXPECT_EQ(std::make_tuple(y, m, d), std::make_tuple(2002, 3, 15));
  EXPECT_EQ(DayOfWeek(DateToSerial(2002, 3, 15)), 5);  // a Friday
  EXPECT_FALSE(IsValidDate(2002, 2, 29));
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
  EXPECT_FALSE(IsValidDate(1900, 2, 29));
}

TEST(DatesTest, FormatsAndReadsTheShortDateForm) {
  int32_t serial = DateToSerial(2026, 3, 7);
  EXPECT_EQ(FormatDate("dd.mm.yyyy", serial), "07.03.2026");
  EXPECT_EQ(FormatDate("d/m/yy", serial), "7/3/26");
  EXPECT_EQ(FormatDate("ddd", serial), "Sat");
  int32_t back = 0;
  ASSERT_TRUE(ParseDate("dd.mm.yyyy", "07.03.2026", back));
  EXPECT_EQ(back, serial);
  EXPECT_FALSE(ParseDate("dd.mm.yyyy", "31.02.2026", back));
  EXPECT_FALSE(ParseDate("dd.mm.yyyy", "garbage", back));
}

TEST(CodePageTest, WesternTextRoundTripsAndOtherTextIsRefused) {
  std::string text = "Crème brûlée, 5 € – “Ä”";
  auto bytes = Utf8ToTableText(text);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(bytes->size(), 23u);
  EXPECT_EQ(TableTextToUtf8(*bytes), text);
  EXPECT_FALSE(Utf8ToTableText("Анна").has_value());
  EXPECT_FALSE(Utf8ToTableText("\xff\xfe").has_value());
  EXPECT_FALSE(Utf8ToTableText("日本").has_value());
}

}  // namespace
}  // namespace kalbor
