// The bytes of table files as this layer writes and reads them.
#include <time.h>

#include <cstring>

#include "storage/errors.h"
#include "storage/field_codec.h"
#include "storage/table_file.h"
#include "storage/table_object.h"
#include "test_util.h"

namespace kalbor {
namespace {

using test::CorruptByte;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

class TableFileTest : public ::testing::Test {
 protected:
  TFieldDefs UserDefs() {
    TFieldDefs defs;
    defs.Add("USER_ID", ftInteger);
    defs.Add("USERNAME", ftString, 50);
    defs.Add("IDX_NAME", ftString, 50);
    defs.Add("COUNT", ftInteger);
    return defs;
  }
  std::string Create(const std::string& name, const TFieldDefs& defs, int level = 3) {
    std::string path = dir_ / name;
    TTableFile::Create(path, TOpenMode::ExclusiveCreate, defs, level);
    return path;
  }
  // Appends raw records through the table file.
  void AppendRaw(const std::string& path, const std::vector<std::string>& records) {
    TTableFile file;
    ASSERT_TRUE(file.Open(path, TOpenMode::ExclusiveOpen, true));
    for (const std::string& r : records) file.AppendRecord(reinterpret_cast<const uint8_t*>(r.data()));
    file.Close(true);
  }
  TempDir dir_;
};

TEST_F(TableFileTest, UserTableHeaderIsWrittenByteForByte) {
  std::string path = Create("USERNAME.DBF", UserDefs());
  std::vector<uint8_t> bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 162u);
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  std::vector<uint8_t> header = {0x03, static_cast<uint8_t>(local.tm_year % 256),
                                 static_cast<uint8_t>(local.tm_mon + 1),
                                 static_cast<uint8_t>(local.tm_mday), 0, 0, 0, 0, 0xA1, 0x00,
                                 0x77, 0x00};
  header.resize(32, 0);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 32), header);
  auto descriptor = [&](int i) {
    return std::vector<uint8_t>(bytes.begin() + 32 + 32 * i, bytes.begin() + 64 + 32 * i);
  };
  std::vector<uint8_t> user_id = {'U', 'S', 'E', 'R', '_', 'I', 'D', 0, 0, 0, 0, 'N', 0, 0, 0, 0, 9, 0};
  user_id.resize(32, 0);
  EXPECT_EQ(descriptor(0), user_id);
  std::vector<uint8_t> username = {'U', 'S', 'E', 'R', 'N', 'A', 'M', 'E', 0, 0, 0, 'C', 0, 0, 0, 0, 50, 0};
  username.resize(32, 0);
  EXPECT_EQ(descriptor(1), username);
  EXPECT_EQ(descriptor(3)[11], 'N');
  EXPECT_EQ(bytes[160], 0x0D);
  EXPECT_EQ(bytes[161], 0x1A);
}

TEST_F(TableFileTest, NamesAreCutToTenCharactersAndUpperCased) {
  TFieldDefs defs;
  defs.Add("averyLongFieldName", ftString, 10);
  defs.Add("kind", ftInteger);
  std::string path = Create("T.DBF", defs);
  auto bytes = ReadBytes(path);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&bytes[32]), 11), std::string("AVERYLONGF\0", 11));
  TTableFile file;
  ASSERT_TRUE(file.Open(path, TOpenMode::ReadOnly, true));
  EXPECT_EQ(file.Fields()[1].name, "KIND");
}

TEST_F(TableFileTest, KindsGetTheirDefaultLengthsAndTheNumericClamp) {
  TFieldDefs defs;
  defs.Add("S", ftSmallint);
  defs.Add("L", ftLargeint);
  defs.Add("F", ftFloat);
  defs.Add("C", ftCurrency);
  defs.Add("B", ftBoolean);
  defs.Add("D", ftDate);
  defs.Add("WIDE", ftInteger, 30);
  TFieldDef& narrow = defs.Add("NARROW", ftFloat, 3);
  narrow.Precision = 5;
  defs.Add("TEXT", ftString, 300);
  std::string path = Create("K.DBF", defs);
  TTableFile file;
  ASSERT_TRUE(file.Open(path, TOpenMode::ReadOnly, true));
  const auto& f = file.Fields();
  auto shape = [&](int i) { return std::make_tuple(f[i].letter, int(f[i].length), int(f[i].decimals)); };
  EXPECT_EQ(shape(0), std::make_tuple('N', 4, 0));
  EXPECT_EQ(shape(1), std::make_tuple('N', 18, 0));
  EXPECT_EQ(shape(2), std::make_tuple('N', 18, 9));
  EXPECT_EQ(shape(3), std::make_tuple('N', 16, 2));
  EXPECT_EQ(shape(4), std::make_tuple('L', 1, 0));
  EXPECT_EQ(shape(5), std::make_tuple('D', 8, 0));
  EXPECT_EQ(shape(6), std::make_tuple('N', 20, 0));
  EXPECT_EQ(shape(7), std::make_tuple('N', 3, 1));
  EXPECT_EQ(shape(8), std::make_tuple('C', 254, 0));
}

TEST_F(TableFileTest, UnsupportedKindIsRefusedBeforeTheFileIsTouched) {
  std::string path = Create("KEEP.DBF", UserDefs());
  auto before = ReadBytes(path);
  TFieldDefs defs;
  defs.Add("AT", ftTime);
  try {
    TTableFile::Create(path, TOpenMode::ExclusiveCreate, defs, 3);
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_STREQ(e.what(), "Cannot create field \"AT\", field type a not supported by DBF.");
  }
  EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(TableFileTest, MoreThan2046FieldsAreRefused) {
  TFieldDefs defs;
  for (int i = 0; i < 2047; ++i) defs.Add("F" + std::to_string(i), ftBoolean);
  EXPECT_THROW(Create("MANY.DBF", defs), ETableError);
  EXPECT_FALSE(test::Exists(dir_ / "MANY.DBF"));
}

TEST_F(TableFileTest, OpeningClassifiesNumericFieldsByTheFloatSwitch) {
  TFieldDefs defs;
  defs.Add("N9", ftInteger);
  defs.Add("N4", ftSmallint);
  defs.Add("N10", ftInteger, 10);
  std::string path = Create("N.DBF", defs);
  TTableFile on, off;
  ASSERT_TRUE(on.Open(path, TOpenMode::ReadOnly, true));
  EXPECT_EQ(on.Fields()[0].kind, ftFloat);
  EXPECT_EQ(on.Fields()[1].kind, ftSmallint);
  EXPECT_EQ(on.Fields()[2].kind, ftFloat);
  ASSERT_TRUE(off.Open(path, TOpenMode::ReadOnly, false));
  EXPECT_EQ(off.Fields()[0].kind, ftInteger);
  EXPECT_EQ(off.Fields()[1].kind, ftSmallint);
  EXPECT_EQ(off.Fields()[2].kind, ftLargeint);
}

TEST_F(TableFileTest, RecordCountComesFromTheFileSize) {
  TFieldDefs defs;
  defs.Add("A", ftString, 3);
  std::string path = Create("R.DBF", defs);
  AppendRaw(path, {" aaa", " bbb", " ccc"});
  auto bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 65u + 12 + 1);  // header 65, three records, marker
  EXPECT_EQ(bytes.back(), 0x1A);
  {
    TTableFile file;
    ASSERT_TRUE(file.Open(path, TOpenMode::ReadOnly, true));
    EXPECT_EQ(file.RecordCount(), 3u);  // the trailing marker is no record
  }
  // A stored count of 5 with 3 records in the file is repaired at once.
  CorruptByte(path, 4, 5);
  {
    TTableFile file;
    ASSERT_TRUE(file.Open(path, TOpenMode::ExclusiveOpen, true));
    EXPECT_EQ(file.RecordCount(), 3u);
    EXPECT_EQ(ReadBytes(path)[4], 3);
    file.Close(false);
  }
  // Cut in the middle of record 3: two records.
  test::Truncate(path, 65 + 4 + 4 + 2);
  TTableFile file;
  ASSERT_TRUE(file.Open(path, TOpenMode::ReadOnly, true));
  EXPECT_EQ(file.RecordCount(), 2u);
}

TEST_F(TableFileTest, ForeignTerminatorPaddingIsRead) {
  // Another program wrote 0x0D 0x00 after the descriptors and counts the
  // extra byte in the header length.
  TFieldDefs defs;
  defs.Add("A", ftString, 2);
  std::string path = Create("P.DBF", defs);
  auto bytes = ReadBytes(path);
  bytes.insert(bytes.begin() + 65, 0x00);
  bytes[8] = 66;
  WriteBytes(path, bytes);
  AppendRaw(path, {" xy"});
  TTableFile file;
  ASSERT_TRUE(file.Open(path, TOpenMode::ReadOnly, true));
  ASSERT_EQ(file.Fields().size(), 1u);
  std::vector<uint8_t> rec(3);
  ASSERT_TRUE(file.ReadRecord(1, rec.data()));
  EXPECT_EQ(rec[1], 'x');
}

TEST_F(TableFileTest, DamagedHeadersAreRefusedOrOpenSilentlyEmpty) {
  std::string good = Create("G.DBF", UserDefs());
  auto original = ReadBytes(good);
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    bool silent;
  };
  std::vector<Case> cases = {
      {"FoxPro version", [](auto& b) { b[0] = 0x30; }, false},
      {"level 7 version", [](auto& b) { b[0] = 0x04; }, false},
      {"unknown version", [](auto& b) { b[0] = 0x07; }, false},
      {"empty field name", [](auto& b) { b[32] = 0; }, false},
      {"unknown letter", [](auto& b) { b[32 + 11] = 'X'; }, false},
      {"memo letter", [](auto& b) { b[32 + 11] = 'M'; }, false},
      {"raw integer letter", [](auto& b) { b[32 + 11] = 'I'; }, false},
      {"record length too short", [](auto& b) { b[10] = 50; }, false},
      {"record length too long", [](auto& b) { b[10] = 200; }, false},
      {"header longer than file", [](auto& b) { b[8] = 0xFF; b[9] = 0x7F; }, false},
      {"truncated header", [](auto& b) { b.resize(20); }, false},
      {"truncated descriptors", [](auto& b) { b.resize(100); }, false},
      {"zero header length", [](auto& b) { b[8] = 0; b[9] = 0; }, true},
      {"zero record length", [](auto& b) { b[10] = 0; b[11] = 0; }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto bytes = original;
    c.damage(bytes);
    std::string path = dir_ / "BAD.DBF";
    WriteBytes(path, bytes);
    TTableFile file;
    if (c.silent) {
      EXPECT_FALSE(file.Open(path, TOpenMode::ExclusiveOpen, true));
      EXPECT_FALSE(file.IsOpen());
    } else {
      try {
        file.Open(path, TOpenMode::ExclusiveOpen, true);
        ADD_FAILURE() << "opened";
      } catch (const ETableError& e) {
        EXPECT_STREQ(e.what(), "Invalid DBF file.");
      }
      EXPECT_FALSE(file.IsOpen());
    }
    EXPECT_EQ(ReadBytes(path), bytes) << "a refused file is never changed";
  }
}

// --- Value encodings ----------------------------------------------------------

std::string Bytes(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

TEST(FieldCodecTest, NumericFieldsAreRightAlignedFixedPoint) {
  uint8_t f[9];
  ASSERT_TRUE(EncodeNumericFloat(f, 9, 0, 5));
  EXPECT_EQ(Bytes(f, 9), "        5");
  ASSERT_TRUE(EncodeNumericFloat(f, 9, 0, -12));
  EXPECT_EQ(Bytes(f, 9), "      -12");
  ASSERT_TRUE(EncodeNumericFloat(f, 9, 0, 123));
  EXPECT_EQ(Bytes(f, 9), "      123");
  ASSERT_TRUE(EncodeNumericFloat(f, 9, 0, 2.5));
  EXPECT_EQ(DecodeNumeric(f, 9).value(), 2.0);
  ASSERT_TRUE(EncodeNumericFloat(f, 9, 2, 3.14159));
  EXPECT_EQ(Bytes(f, 9), "     3.14");
  ASSERT_TRUE(EncodeNumericFloat(f, 9, 0, -0.2));
  EXPECT_EQ(Bytes(f, 9), "        0");
}

TEST(FieldCodecTest, NumericValueTooWideIsRefusedAndNothingWritten) {
  uint8_t f[9];
  std::memset(f, 'x', 9);
  EXPECT_FALSE(EncodeNumericFloat(f, 9, 0, 1234567890));
  EXPECT_FALSE(EncodeNumericFloat(f, 9, 0, 1e300));
  EXPECT_EQ(Bytes(f, 9), "xxxxxxxxx");
  EXPECT_TRUE(EncodeNumericFloat(f, 9, 0, 999999999));
  EXPECT_TRUE(EncodeNumericFloat(f, 9, 0, -99999999));
  EXPECT_FALSE(EncodeNumericFloat(f, 9, 0, -999999999));
}

TEST(FieldCodecTest, IntegerFormHasLeadingZeros) {
  uint8_t f[9];
  ASSERT_TRUE(EncodeNumericInteger(f, 9, 5));
  EXPECT_EQ(Bytes(f, 9), "000000005");
  ASSERT_TRUE(EncodeNumericInteger(f, 9, -5));
  EXPECT_EQ(Bytes(f, 9), "-00000005");
  EXPECT_FALSE(EncodeNumericInteger(f, 4, 12345));
}

TEST(FieldCodecTest, NumericReadingTrimsAndFallsBackToZero) {
  auto read = [](const char* s) { return DecodeNumeric(reinterpret_cast<const uint8_t*>(s), strlen(s)); };
  EXPECT_FALSE(read("         ").has_value());
  EXPECT_EQ(read("   42    ").value(), 42);
  EXPECT_EQ(read("  -3.5").value(), -3.5);
  EXPECT_EQ(read("  12abc").value(), 0);
  EXPECT_EQ(read("1,5").value(), 0);
}

TEST(FieldCodecTest, LogicalReadsOnlyTAsTrue) {
  auto read = [](const char* s) { return DecodeLogical(reinterpret_cast<const uint8_t*>(s), 1); };
  EXPECT_TRUE(read("T").value());
  EXPECT_TRUE(read("t").value());
  EXPECT_FALSE(read("Y").value());
  EXPECT_FALSE(read("F").value());
  EXPECT_FALSE(read("?").value());
  EXPECT_FALSE(read(" ").has_value());
}

TEST(FieldCodecTest, DatesAreEightDigitsAndImpossibleDatesReadAsSerialZero) {
  uint8_t f[8];
  EncodeDate(f, 8, 37318);  // 3 March 2002
  EXPECT_EQ(Bytes(f, 8), "20020303");
  auto read = [](const char* s) { return DecodeDate(reinterpret_cast<const uint8_t*>(s), 8); };
  EXPECT_EQ(read("20020303").value(), 37318);
  EXPECT_EQ(read("20021332").value(), 0);
  EXPECT_FALSE(read("        ").has_value());
  // An unparsable part counts as 1: 2002-01-15.
  EXPECT_EQ(read("2002xx15").value(), read("20020115").value());
  EncodeDate(f, 8, -693593);  // 1 January of the year 1
  EXPECT_EQ(Bytes(f, 8), "00010101");
}

TEST(FieldCodecTest, TextIsCutAtTheFieldLengthAndPadded) {
  uint8_t f[5];
  EncodeText(f, 5, "ab");
  EXPECT_EQ(Bytes(f, 5), "ab   ");
  EncodeText(f, 5, "abcdefg");
  EXPECT_EQ(Bytes(f, 5), "abcde");
  EncodeText(f, 5, "  x");
  EXPECT_EQ(DecodeText(f, 5).value(), "  x");
  EncodeNull(f, 5);
  EXPECT_FALSE(DecodeText(f, 5).has_value());
}

}  // namespace
}  // namespace kalbor
