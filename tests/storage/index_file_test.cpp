// TIndexFile: header bytes, tree shape and split points, key
// encoding and order, the three searches, insertion, deletion with leaf
// unlinking, traversal, position estimates, unique and primary indexes, the
// writing rules and the speed of a build.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <set>

#include "index_test_util.h"
#include "storage/errors.h"
#include "storage/ndx_format.h"

namespace kalbor::test {
namespace {

using Bytes = std::vector<uint8_t>;

// The expected header page: `prefix` from offset 0, the expression at 24,
// byte 246 = 1, zero elsewhere.
Bytes ExpectedHeader(const Bytes& prefix, const std::string& expression) {
  Bytes h(512, 0);
  std::copy(prefix.begin(), prefix.end(), h.begin());
  std::copy(expression.begin(), expression.end(), h.begin() + 24);
  h[246] = 1;
  return h;
}

class IndexFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir / "TEST.NDX";
};

// ---- derived sizes and the header struct --------------------------------

TEST(NdxFormat, DerivedSizes) {
  EXPECT_EQ(NdxEntryLength(8), 16);
  EXPECT_EQ(NdxMaxKeys(16), 31);
  EXPECT_EQ(NdxEntryLength(50), 60);
  EXPECT_EQ(NdxMaxKeys(60), 8);
  EXPECT_EQ(NdxEntryLength(20), 28);
  EXPECT_EQ(NdxMaxKeys(28), 18);
  EXPECT_EQ(NdxEntryLength(1), 12);
  EXPECT_EQ(NdxMaxKeys(12), 42);
  EXPECT_EQ(NdxEntryLength(100), 108);
  EXPECT_EQ(NdxMaxKeys(108), 4);
}

TEST(NdxFormat, HeaderEncodeDecodeRoundTrip) {
  TNdxHeader h = TNdxHeader::ForKey("idx_name", true, 50, ixDescending | ixUnique);
  h.root_page = 7;
  h.page_count = 9;
  Bytes image(512, 0xEE);
  h.EncodeTo(image.data());
  TNdxHeader back = TNdxHeader::DecodeFrom(image.data());
  EXPECT_EQ(back.root_page, 7u);
  EXPECT_EQ(back.page_count, 9u);
  EXPECT_EQ(back.key_flags, 0x08 | 0x10 | 0x40);
  EXPECT_EQ(back.key_letter, 'C');
  EXPECT_EQ(back.key_length, 50);
  EXPECT_EQ(back.entry_length, 60);
  EXPECT_EQ(back.max_keys, 8);
  EXPECT_EQ(back.unique_marker, 1);
  EXPECT_EQ(back.expression, "IDX_NAME");
  EXPECT_EQ(image[300], 0);  // unlisted bytes zero
  TNdxHeader::EncodeRoot(image.data(), 3, 5);
  EXPECT_EQ(U32(image, 0), 3u);
  EXPECT_EQ(U32(image, 4), 5u);
}

// ---- header bytes -------------------------------------------------------

TEST_F(IndexFileTest, EmptyIndexIsTwoPagesRootOnePageCountTwo) {
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveCreate);
  index.Close();
  Bytes file = ReadBytes(path);
  ASSERT_EQ(file.size(), 1024u);
  Bytes expected(1024, 0);
  expected[0] = 0x01;  // root page 1
  expected[4] = 0x02;  // page count 2
  EXPECT_EQ(file, expected);
}

TEST_F(IndexFileTest, EmptyIndexWithKeyIsTwoPages) {
  TIndexFile index;
  TRows rows = NumericRows();
  CreateIndex(index, path, rows, 0, TOpenMode::ExclusiveCreate, "USER_ID");
  index.Close();
  Bytes file = ReadBytes(path);
  ASSERT_EQ(file.size(), 1024u);
  EXPECT_EQ(U32(file, 0), 1u);
  EXPECT_EQ(U32(file, 4), 2u);
  EXPECT_EQ(Page(file, 1), Bytes(512, 0));
}

TEST_F(IndexFileTest, HeaderOfCharacterKeyWithOptions16) {
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveCreate);
  index.SetupKey("IDX_NAME", true, 50, 16);
  index.Close();
  const Bytes prefix = {0x01, 0x00, 0x00, 0x00,  // root page 1
                        0x02, 0x00, 0x00, 0x00,  // page count 2
                        0x10,                    // flags: character key
                        0x43,                    // 'C'
                        0x00, 0x58,              // 0x5800
                        0x32, 0x00,              // key length 50
                        0x08, 0x00,              // 8 keys per page
                        0x00, 0x00,              // key type code 0
                        0x3C, 0x00,              // entry length 60
                        0x02, 0x00,              // 2
                        0x00,                    // 0
                        0x00};                   // unique marker 0
  Bytes file = ReadBytes(path);
  ASSERT_EQ(file.size(), 1024u);
  EXPECT_EQ(Page(file, 0), ExpectedHeader(prefix, "IDX_NAME"));
  EXPECT_EQ(Page(file, 1), Bytes(512, 0));
}

TEST_F(IndexFileTest, HeaderOfNumericKeyWithOptions8) {
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveCreate);
  index.SetupKey("USER_ID", false, 8, 8);
  index.Close();
  const Bytes prefix = {0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                        0x00,                    // flags: nothing
                        0x4E,                    // 'N'
                        0x00, 0x58, 0x08, 0x00,  // key length 8
                        0x1F, 0x00,              // 31 keys per page
                        0x01, 0x00,              // key type code 1
                        0x10, 0x00,              // entry length 16
                        0x02, 0x00, 0x00, 0x00};
  EXPECT_EQ(Page(ReadBytes(path), 0), ExpectedHeader(prefix, "USER_ID"));
}

TEST_F(IndexFileTest, HeaderOfDescendingNumericKeyWithOptions4) {
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveCreate);
  index.SetupKey("COUNT", false, 8, 4);
  EXPECT_TRUE(index.Descending());
  EXPECT_EQ(index.Options(), ixDescending);
  index.Close();
  const Bytes prefix = {0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                        0x08,  // flags: descending
                        0x4E, 0x00, 0x58, 0x08, 0x00, 0x1F, 0x00, 0x01, 0x00,
                        0x10, 0x00, 0x02, 0x00, 0x00, 0x00};
  EXPECT_EQ(Page(ReadBytes(path), 0), ExpectedHeader(prefix, "COUNT"));
}

TEST_F(IndexFileTest, HeaderFlagsAndMarkerForUniqueAndPrimary) {
  struct Case {
    int options;
    bool character;
    uint8_t flags;
    uint8_t marker;
    TUniqueMode mode;
  };
  const Case cases[] = {
      {ixUnique, false, 0x40, 0x01, TUniqueMode::Unique},
      {ixUnique, true, 0x50, 0x01, TUniqueMode::Unique},
      {ixPrimary, false, 0x60, 0x21, TUniqueMode::Primary},
      {ixPrimary | ixUnique, true, 0x70, 0x21, TUniqueMode::Primary},  // primary wins
      {ixPrimary | ixDescending | ixCaseInsensitive | ixExpression, true, 0x78, 0x21,
       TUniqueMode::Primary},
  };
  for (const Case& c : cases) {
    TIndexFile index;
    index.Open(path, TOpenMode::ExclusiveCreate);
    index.SetupKey("NAME", c.character, 20, c.options);
    EXPECT_EQ(index.UniqueMode(), c.mode);
    index.Close();
    Bytes file = ReadBytes(path);
    EXPECT_EQ(file[8], c.flags) << c.options;
    EXPECT_EQ(file[23], c.marker) << c.options;
    index.Open(path, TOpenMode::ExclusiveOpen);
    EXPECT_EQ(index.UniqueMode(), c.mode);
    index.Close();
  }
}

TEST_F(IndexFileTest, ExpressionIsUpperCasedAndCutAt219) {
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveCreate);
  index.SetupKey(std::string(300, 'x'), true, 10, 0);
  EXPECT_EQ(index.Expression(), std::string(219, 'X'));
  index.Close();
  Bytes file = ReadBytes(path);
  for (size_t i = 24; i < 243; ++i) ASSERT_EQ(file[i], 'X') << i;
  EXPECT_EQ(file[243], 0);
  EXPECT_EQ(file[244], 0);
  EXPECT_EQ(file[246], 1);
}

TEST_F(IndexFileTest, CharacterKeyLongerThan100IsRefused) {
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveCreate);
  try {
    index.SetupKey("MEMO", true, 101, 0);
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_STREQ(e.what(), "Index result for \"MEMO\" too long, >100 characters (101).");
  }
}

// ---- tree shape and split points ----------------------------------------

TEST_F(IndexFileTest, ThirtyOneNumericRowsMakeOneLeafRoot) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 31; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  EXPECT_EQ(index.Depth(), 1u);
  index.Close();
  Bytes file = ReadBytes(path);
  ASSERT_EQ(file.size(), 1024u);
  EXPECT_EQ(U32(file, 0), 1u);
  EXPECT_EQ(U32(file, 4), 2u);
  Bytes page = Page(file, 1);
  EXPECT_EQ(Bytes(page.begin(), page.begin() + 4), (Bytes{0x1F, 0, 0, 0}));
  // Entry 0: child 0, record 1, key 1.0; entry 30: record 31, key 31.0.
  EXPECT_EQ(Bytes(page.begin() + 4, page.begin() + 20),
            (Bytes{0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  EXPECT_EQ(Bytes(page.begin() + 4 + 30 * 16, page.begin() + 4 + 31 * 16),
            (Bytes{0, 0, 0, 0, 0x1F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3F, 0x40}));
  for (size_t i = 4 + 31 * 16; i < 512; ++i) EXPECT_EQ(page[i], 0);
}

TEST_F(IndexFileTest, ThirtySecondInsertionSplitsRootIntoPagesTwoAndThree) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 32; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  EXPECT_EQ(index.Depth(), 2u);
  EXPECT_EQ(index.RootPage(), 2u);
  EXPECT_EQ(index.PageCount(), 4u);
  index.Close();
  Bytes file = ReadBytes(path);
  ASSERT_EQ(file.size(), 4u * 512);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), (Bytes{2, 0, 0, 0, 4, 0, 0, 0}));

  // The new root: one keyed entry for page 1 (key 16.0, the left half's
  // greatest), and the trailing entry for page 3 (key 32.0, copied up when
  // the 32nd key became the right page's last).
  Bytes root(512, 0);
  const Bytes root_prefix = {0x01, 0, 0, 0,                                     // key count 1
                             0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x30, 0x40,  // page 1, 16.0
                             0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x40};  // page 3, 32.0
  std::copy(root_prefix.begin(), root_prefix.end(), root.begin());
  EXPECT_EQ(Page(file, 2), root);

  // Left half: keys 1..16 stay on page 1; slot 16 lost its child and record
  // number but keeps the stale key 17.0; slots 17..30 keep stale entries.
  Bytes left = Page(file, 1);
  EXPECT_EQ(U32(left, 0), 16u);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(EntryChild(left, 16, i), 0u);
    EXPECT_EQ(EntryRecNo(left, 16, i), static_cast<uint32_t>(i + 1));
    EXPECT_EQ(EntryNumber(left, 16, i), i + 1);
  }
  EXPECT_EQ(Bytes(left.begin() + 4 + 16 * 16, left.begin() + 4 + 17 * 16),
            (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x31, 0x40}));
  EXPECT_EQ(EntryRecNo(left, 16, 17), 18u);

  // Right half: keys 17..31 and the new 32.
  Bytes right = Page(file, 3);
  EXPECT_EQ(U32(right, 0), 16u);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(EntryRecNo(right, 16, i), static_cast<uint32_t>(i + 17));
    EXPECT_EQ(EntryNumber(right, 16, i), i + 17);
  }
  for (size_t i = 4 + 16 * 16; i < 512; ++i) EXPECT_EQ(right[i], 0);
}

TEST_F(IndexFileTest, SplitPointFavoursTheSideOfTheInsertion) {
  // Keys 100..130 then a smaller key: p = 0, b = 15, c = 16, the insertion
  // goes to the left page, which ends with 16 entries.
  TRows rows = NumericRows();
  for (int i = 0; i < 31; ++i) rows.AddNumber(100 + i);
  rows.AddNumber(1);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  index.Close();
  Bytes file = ReadBytes(path);
  Bytes left = Page(file, 1), right = Page(file, 3), root = Page(file, 2);
  EXPECT_EQ(U32(left, 0), 16u);   // 1 and 100..114
  EXPECT_EQ(U32(right, 0), 16u);  // 115..130
  EXPECT_EQ(EntryNumber(left, 16, 0), 1);
  EXPECT_EQ(EntryNumber(left, 16, 15), 114);
  EXPECT_EQ(EntryNumber(right, 16, 0), 115);
  EXPECT_EQ(EntryNumber(root, 16, 0), 114);
}

TEST_F(IndexFileTest, FiftyCharacterKeyHoldsEightPerPageAndNinthSplits) {
  TRows rows = TextRows(50);
  for (char c = 'A'; c <= 'H'; ++c) rows.AddText(std::string(1, c) + "NAME");
  TIndexFile index;
  CreateIndex(index, path, rows, 16, TOpenMode::ExclusiveCreate, "IDX_NAME");
  EXPECT_EQ(index.EntryLength(), 60);
  EXPECT_EQ(index.MaxKeys(), 8);
  InsertAll(index, rows);
  EXPECT_EQ(index.Depth(), 1u);
  EXPECT_EQ(index.PageCount(), 2u);
  const uint32_t ninth = rows.AddText("INAME");
  index.InsertKey(ninth, rows.Row(ninth));
  EXPECT_EQ(index.Depth(), 2u);
  EXPECT_EQ(index.RootPage(), 2u);
  EXPECT_EQ(index.PageCount(), 4u);
  index.Close();
  Bytes file = ReadBytes(path);
  EXPECT_EQ(U32(Page(file, 1), 0), 4u);  // ANAME..DNAME
  EXPECT_EQ(U32(Page(file, 3), 0), 5u);  // ENAME..INAME
  Bytes root = Page(file, 2);
  EXPECT_EQ(U32(root, 0), 1u);
  EXPECT_EQ(std::string(root.begin() + 12, root.begin() + 12 + 5), "DNAME");
  EXPECT_EQ(root[12 + 5], ' ');  // blank-padded key
  EXPECT_EQ(EntryChild(root, 60, 0), 1u);
  EXPECT_EQ(EntryChild(root, 60, 1), 3u);
}

TEST_F(IndexFileTest, InnerPagesSplitAndTheTreeGrowsToThreeLevels) {
  TRows rows = NumericRows();
  const int n = 31 * 16 + 100;  // more leaves than one inner page holds
  for (int i = 1; i <= n; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  EXPECT_EQ(index.Depth(), 3u);
  std::vector<uint32_t> expected(n);
  for (int i = 0; i < n; ++i) expected[i] = i + 1;
  EXPECT_EQ(Walk(index), expected);
  EXPECT_TRUE(Check(index, rows).empty());
  index.Close();
  index.Open(path, TOpenMode::ExclusiveOpen);
  index.BindKeySource(rows.Source());
  EXPECT_EQ(Walk(index), expected);
  EXPECT_TRUE(Check(index, rows).empty());
}

TEST_F(IndexFileTest, HundredCharacterKeysWithFourPerPage) {
  TRows rows = TextRows(100);
  std::mt19937 rng(5);
  std::vector<std::string> keys;
  for (int i = 0; i < 600; ++i) {
    std::string k = std::to_string(rng() % 200);
    keys.push_back(k);
    rows.AddText(k);
  }
  TIndexFile index;
  CreateIndex(index, path, rows);
  EXPECT_EQ(index.MaxKeys(), 4);
  InsertAll(index, rows);
  EXPECT_TRUE(Check(index, rows).empty());
  std::vector<uint32_t> order(keys.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<uint32_t>(i + 1);
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return keys[a - 1] < keys[b - 1]; });
  EXPECT_EQ(Walk(index), order);
}

// ---- keys and their order -----------------------------------------------

TEST_F(IndexFileTest, CharacterKeysAreRawBytesComparedUnsigned) {
  TRows rows = TextRows(6);
  rows.AddText("abc");         // 1
  rows.AddText("ABC");         // 2: capital first
  rows.AddText("\xE4pfel");    // 3: 0xE4 after every ASCII letter
  rows.AddText("ABC ");        // 4: same bytes as 2 once padded
  rows.AddText("AB");          // 5
  rows.AddText("zzz");         // 6
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  EXPECT_EQ(Walk(index), (std::vector<uint32_t>{5, 2, 4, 1, 6, 3}));
  EXPECT_EQ(index.KeyFromRecord(rows.Row(1)), (Bytes{'a', 'b', 'c', ' ', ' ', ' '}));
  // The comparison stops at a zero byte.
  const uint8_t a[6] = {'A', 'B', 0, 'X', 'X', 'X'};
  const uint8_t b[6] = {'A', 'B', 0, 'Y', 'Y', 'Y'};
  EXPECT_EQ(index.CompareKeys(a, b), 0);
  EXPECT_LT(index.CompareKeys(a, rows.Row(5) + 1), 0);  // 0 < ' '
}

TEST_F(IndexFileTest, NumericKeysAreDoublesAndBlankIsZero) {
  TRows rows = NumericRows();
  rows.AddNumber(5);      // 1
  rows.AddNumber(-2.5);   // 2
  rows.AddBlank();        // 3: 0.0
  rows.AddNumber(0);      // 4
  rows.AddNumber(1e9);    // 5
  rows.AddNumber(0.25);   // 6
  rows.AddBlank();        // 7: 0.0, after 3 and 4
  rows.AddNumber(-1000);  // 8
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  EXPECT_EQ(Walk(index), (std::vector<uint32_t>{8, 2, 3, 4, 7, 6, 1, 5}));
  EXPECT_EQ(index.KeyFromRecord(rows.Row(3)), NumberKey(0.0));
  EXPECT_EQ(index.KeyFromRecord(rows.Row(2)), NumberKey(-2.5));
  EXPECT_EQ(index.KeyFromNumber(7), NumberKey(7));
  EXPECT_EQ(index.KeyFromText(" 42 "), NumberKey(42));
  EXPECT_TRUE(Check(index, rows).empty());
}

TEST_F(IndexFileTest, LogicalFieldGivesOneByteKey) {
  TRows rows = TextRows(1);
  rows.AddText("T");
  rows.AddText("F");
  rows.AddText(" ");
  rows.AddText("T");
  TIndexFile index;
  CreateIndex(index, path, rows);
  EXPECT_EQ(index.KeyLength(), 1);
  EXPECT_EQ(index.EntryLength(), 12);
  EXPECT_EQ(index.MaxKeys(), 42);
  InsertAll(index, rows);
  EXPECT_EQ(Walk(index), (std::vector<uint32_t>{3, 2, 1, 4}));
}

TEST_F(IndexFileTest, EqualKeysKeepInsertionOrderAndLaterOnesGoAfter) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 10; ++i) rows.AddNumber(i == 2 || i == 5 || i == 9 ? 7 : i * 100);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  std::vector<uint32_t> order = Walk(index);
  EXPECT_EQ(std::vector<uint32_t>(order.begin(), order.begin() + 3),
            (std::vector<uint32_t>{2, 5, 9}));
  uint32_t later = rows.AddNumber(7);
  index.InsertKey(later, rows.Row(later));
  order = Walk(index);
  EXPECT_EQ(std::vector<uint32_t>(order.begin(), order.begin() + 4),
            (std::vector<uint32_t>{2, 5, 9, 11}));
}

TEST_F(IndexFileTest, DescendingStoresGreatestFirstAndKeepsInsertionOrder) {
  TRows rows = NumericRows();
  std::mt19937 rng(11);
  std::vector<double> keys;
  for (int i = 0; i < 3000; ++i) {
    keys.push_back(static_cast<double>(rng() % 300));
    rows.AddNumber(keys.back());
  }
  TIndexFile index;
  CreateIndex(index, path, rows, ixDescending, TOpenMode::ExclusiveCreate, "COUNT");
  InsertAll(index, rows);
  std::vector<uint32_t> expected = ExpectedOrder(keys, true);
  EXPECT_EQ(Walk(index), expected);
  std::vector<uint32_t> back = WalkBack(index);
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(back, expected);
  EXPECT_TRUE(Check(index, rows).empty());
  // The first entry of the tree holds the greatest key.
  index.First();
  ASSERT_TRUE(index.Next());
  EXPECT_EQ(keys[index.CurrentRecNo() - 1], 299);
}

TEST_F(IndexFileTest, RandomBuildMatchesStableSortAndSurvivesReopen) {
  TRows rows = NumericRows();
  std::mt19937 rng(3);
  std::vector<double> keys;
  for (int i = 0; i < 5000; ++i) {
    keys.push_back(static_cast<double>(rng() % 700) - 350);
    rows.AddNumber(keys.back());
  }
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  const std::vector<uint32_t> expected = ExpectedOrder(keys, false);
  EXPECT_EQ(Walk(index), expected);
  EXPECT_TRUE(Check(index, rows).empty());
  index.Close();
  index.Open(path, TOpenMode::ExclusiveOpen);
  EXPECT_EQ(index.Expression(), "KEY");
  EXPECT_FALSE(index.CharacterKey());
  index.BindKeySource(rows.Source());
  EXPECT_EQ(Walk(index), expected);
  EXPECT_TRUE(Check(index, rows).empty());
}

// ---- searches -----------------------------------------------------------

class FindTest : public IndexFileTest {
 protected:
  // 40 rows of 10, then 100 rows of 20 (spanning several leaves), then 40
  // rows of 30.
  void SetUp() override {
    for (int i = 0; i < 40; ++i) rows.AddNumber(10);
    for (int i = 0; i < 100; ++i) rows.AddNumber(20);
    for (int i = 0; i < 40; ++i) rows.AddNumber(30);
    CreateIndex(index, path, rows);
    InsertAll(index, rows);
    ASSERT_GE(index.Depth(), 2u);
  }
  TRows rows = NumericRows();
  TIndexFile index;
};

TEST_F(FindTest, ExactFindsTheFirstEqualKey) {
  EXPECT_TRUE(index.Find(NumberKey(20), TFindMode::Exact));
  EXPECT_EQ(index.CurrentRecNo(), 41u);
  EXPECT_TRUE(index.Find(NumberKey(10), TFindMode::Exact));
  EXPECT_EQ(index.CurrentRecNo(), 1u);
  EXPECT_TRUE(index.Find(NumberKey(30), TFindMode::Exact));
  EXPECT_EQ(index.CurrentRecNo(), 141u);
  // Absent: positioned on the next greater key.
  EXPECT_FALSE(index.Find(NumberKey(15), TFindMode::Exact));
  EXPECT_EQ(index.CurrentRecNo(), 41u);
  EXPECT_FALSE(index.Find(NumberKey(5), TFindMode::Exact));
  EXPECT_EQ(index.CurrentRecNo(), 1u);
  EXPECT_FALSE(index.Find(NumberKey(31), TFindMode::Exact));
  EXPECT_TRUE(index.AfterLast());
  EXPECT_EQ(index.CurrentRecNo(), 0u);
}

TEST_F(FindTest, InsertPointIsAfterTheLastEqualKey) {
  EXPECT_TRUE(index.Find(NumberKey(20), TFindMode::InsertPoint));
  EXPECT_EQ(index.CurrentRecNo(), 141u);  // the first 30
  EXPECT_TRUE(index.Prior());
  EXPECT_EQ(index.CurrentRecNo(), 140u);  // the last 20
  EXPECT_FALSE(index.Find(NumberKey(25), TFindMode::InsertPoint));
  EXPECT_EQ(index.CurrentRecNo(), 141u);
  EXPECT_TRUE(index.Find(NumberKey(30), TFindMode::InsertPoint));
  EXPECT_TRUE(index.AfterLast());
}

TEST_F(FindTest, RecordEntryWalksOnIntoFollowingLeaves) {
  for (uint32_t recno : {41u, 60u, 95u, 140u}) {
    EXPECT_TRUE(index.Find(NumberKey(20), TFindMode::RecordEntry, recno));
    EXPECT_EQ(index.CurrentRecNo(), recno);
  }
  EXPECT_FALSE(index.Find(NumberKey(20), TFindMode::RecordEntry, 150));  // holds 30
  EXPECT_FALSE(index.Find(NumberKey(20), TFindMode::RecordEntry, 999));
  EXPECT_FALSE(index.Find(NumberKey(21), TFindMode::RecordEntry, 41));
  EXPECT_TRUE(index.Find(NumberKey(30), TFindMode::RecordEntry, 180));
  EXPECT_FALSE(index.Find(NumberKey(30), TFindMode::RecordEntry, 181));
  EXPECT_TRUE(index.AfterLast());
}

TEST_F(IndexFileTest, KeyPastEveryKeyIsNotFoundDespiteStaleBytes) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 5; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  index.DeleteKey(5, rows.Row(5));
  index.Flush();
  Bytes page = Page(ReadBytes(path), 1);
  EXPECT_EQ(U32(page, 0), 4u);
  EXPECT_EQ(EntryNumber(page, 16, 4), 5);  // stale copy of the deleted key
  EXPECT_FALSE(index.Find(NumberKey(5), TFindMode::Exact));
  EXPECT_FALSE(index.Find(NumberKey(5), TFindMode::RecordEntry, 5));
  EXPECT_TRUE(index.AfterLast());
}

TEST_F(IndexFileTest, FindPadsShortCharacterKeys) {
  TRows rows = TextRows(10);
  rows.AddText("BOB");
  rows.AddText("ALICE");
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  EXPECT_TRUE(index.Find(Bytes{'B', 'O', 'B'}, TFindMode::Exact));
  EXPECT_EQ(index.CurrentRecNo(), 1u);
  EXPECT_TRUE(index.Find(index.KeyFromText("ALICE"), TFindMode::Exact));
  EXPECT_EQ(index.CurrentRecNo(), 2u);
  EXPECT_FALSE(index.Find(index.KeyFromText("ALI"), TFindMode::Exact));  // whole keys
}

// ---- traversal ----------------------------------------------------------

TEST_F(IndexFileTest, TraversalBothWaysAndAtTheEnds) {
  TRows rows = NumericRows();
  for (int i = 0; i < 200; ++i) rows.AddNumber(199 - i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  index.First();
  EXPECT_TRUE(index.BeforeFirst());
  EXPECT_EQ(index.CurrentRecNo(), 0u);
  EXPECT_FALSE(index.Prior());
  EXPECT_TRUE(index.BeforeFirst());
  ASSERT_TRUE(index.Next());
  EXPECT_EQ(index.CurrentRecNo(), 200u);
  index.Last();
  EXPECT_TRUE(index.AfterLast());
  EXPECT_FALSE(index.Next());
  EXPECT_TRUE(index.AfterLast());
  ASSERT_TRUE(index.Prior());
  EXPECT_EQ(index.CurrentRecNo(), 1u);
  std::vector<uint32_t> back = WalkBack(index);
  std::vector<uint32_t> forward = Walk(index);
  ASSERT_EQ(forward.size(), 200u);
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(forward, back);
  // Next after running off the end, then Prior, comes back.
  EXPECT_FALSE(index.Next());
  ASSERT_TRUE(index.Prior());
  EXPECT_EQ(index.CurrentRecNo(), 1u);
}

TEST_F(IndexFileTest, NextAndPriorSkipEntriesOfTheStartingRecord) {
  TRows rows = NumericRows();
  rows.AddNumber(1);  // record 1
  rows.AddNumber(2);  // record 2
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  // A second entry for record 1 (key 1.5), between the two.
  Bytes other = rows.MakeNumber(1.5);
  index.InsertKey(1, other.data());
  index.First();
  ASSERT_TRUE(index.Next());
  EXPECT_EQ(index.CurrentRecNo(), 1u);
  ASSERT_TRUE(index.Next());
  EXPECT_EQ(index.CurrentRecNo(), 2u);  // skipped (1.5, record 1)
  ASSERT_TRUE(index.Prior());
  EXPECT_EQ(index.CurrentRecNo(), 1u);  // (1.5, record 1)
  EXPECT_FALSE(index.Prior());          // (1, record 1) is skipped too
  EXPECT_TRUE(index.BeforeFirst());
}

TEST_F(IndexFileTest, EmptyIndexHasNothingToWalk) {
  TRows rows = NumericRows();
  TIndexFile index;
  CreateIndex(index, path, rows);
  index.First();
  EXPECT_FALSE(index.Next());
  index.Last();
  EXPECT_FALSE(index.Prior());
  EXPECT_EQ(index.CountEstimate(), 0u);
  EXPECT_FALSE(index.Find(NumberKey(1), TFindMode::Exact));
  EXPECT_FALSE(index.Find(NumberKey(1), TFindMode::InsertPoint));
  EXPECT_FALSE(index.Find(NumberKey(1), TFindMode::RecordEntry, 1));
}

// ---- position estimate --------------------------------------------------

TEST_F(IndexFileTest, PositionEstimateOnOneLeafIsExact) {
  TRows rows = NumericRows();
  for (int i = 0; i < 20; ++i) rows.AddNumber(100 - i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  EXPECT_EQ(index.CountEstimate(), 20u);
  index.First();
  EXPECT_EQ(index.PositionEstimate(), 0u);
  for (uint32_t pos = 1; pos <= 20; ++pos) {
    ASSERT_TRUE(index.Next());
    EXPECT_EQ(index.PositionEstimate(), pos);
    EXPECT_EQ(index.CurrentRecNo(), 21 - pos);
  }
  EXPECT_FALSE(index.Next());
  EXPECT_EQ(index.PositionEstimate(), 2147483647u);
  for (uint32_t pos = 1; pos <= 20; ++pos) {
    index.SetPositionEstimate(pos);
    EXPECT_EQ(index.CurrentRecNo(), 21 - pos);
  }
  index.SetPositionEstimate(0);
  EXPECT_TRUE(index.BeforeFirst());
  index.SetPositionEstimate(2147483647u);
  EXPECT_TRUE(index.AfterLast());
  index.SetPositionEstimate(50);  // past the end: the last entry
  EXPECT_EQ(index.CurrentRecNo(), 1u);
}

TEST_F(IndexFileTest, PositionEstimateAcrossLevelsAndItsInverse) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 100; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  ASSERT_EQ(index.Depth(), 2u);
  // Leaves of 16, 16, 16, 16, 16, 20 entries (sequential build).
  uint32_t root_pointers = 0;
  {
    uint8_t root[512];
    ASSERT_TRUE(index.ReadNodePage(index.RootPage(), root));
    root_pointers = DecodeFixed32(root) + 1;
  }
  EXPECT_EQ(index.CountEstimate(), 31u * root_pointers);
  index.First();
  ASSERT_TRUE(index.Next());
  EXPECT_EQ(index.PositionEstimate(), 1u);
  for (int i = 0; i < 16; ++i) ASSERT_TRUE(index.Next());
  EXPECT_EQ(index.CurrentRecNo(), 17u);
  EXPECT_EQ(index.PositionEstimate(), 1u + 1 * 31 + 0);  // second leaf, first entry
  // Every entry's estimate leads back to it.
  index.First();
  while (index.Next()) {
    uint32_t recno = index.CurrentRecNo();
    uint32_t pos = index.PositionEstimate();
    index.SetPositionEstimate(pos);
    ASSERT_EQ(index.CurrentRecNo(), recno) << pos;
    ASSERT_EQ(index.PositionEstimate(), pos);
  }
  // An index past the last entry of a leaf moves to the next leaf's first.
  index.SetPositionEstimate(1 + 0 * 31 + 20);
  EXPECT_EQ(index.CurrentRecNo(), 17u);
  // Past the last leaf: every level at its last entry.
  index.SetPositionEstimate(1 + 30 * 31 + 5);
  EXPECT_EQ(index.CurrentRecNo(), 100u);
  EXPECT_FALSE(index.AfterLast());
}

// ---- unique and primary -------------------------------------------------

TEST_F(IndexFileTest, UniqueIndexSkipsPresentKeysSilently) {
  TRows rows = TextRows(8);
  rows.AddText("B");
  rows.AddText("A");
  rows.AddText("B");
  rows.AddText("A");
  TIndexFile index;
  CreateIndex(index, path, rows, ixUnique);
  InsertAll(index, rows);
  EXPECT_EQ(Walk(index), (std::vector<uint32_t>{2, 1}));
  EXPECT_TRUE(Check(index, rows).empty());  // 3 and 4 have keys that 1 and 2 hold
}

TEST_F(IndexFileTest, PrimaryIndexRaisesTheKeyViolation) {
  TRows rows = TextRows(10);
  rows.AddText("ALICE");
  rows.AddText("BOB");
  rows.AddText("ALICE");
  TIndexFile index;
  CreateIndex(index, path, rows, ixPrimary);
  index.InsertKey(1, rows.Row(1));
  index.InsertKey(2, rows.Row(2));
  try {
    index.InsertKey(3, rows.Row(3));
    FAIL() << "no key violation";
  } catch (const ETableError& e) {
    EXPECT_EQ(std::string(e.what()), "Key violation. (Key already present in file).\r\nIndex: " +
                                         index.Path() + "\r\nRecord=1 Key='ALICE'.");
  }
  EXPECT_EQ(index.Path(), path);
  EXPECT_EQ(Walk(index), (std::vector<uint32_t>{1, 2}));
}

TEST_F(IndexFileTest, PrimaryNumericKeyViolationShowsTheNumber) {
  TRows rows = NumericRows();
  rows.AddNumber(5);
  rows.AddNumber(2.5);
  rows.AddNumber(5);
  rows.AddNumber(2.5);
  TIndexFile index;
  CreateIndex(index, path, rows, ixPrimary);
  index.InsertKey(1, rows.Row(1));
  index.InsertKey(2, rows.Row(2));
  try {
    index.InsertKey(3, rows.Row(3));
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_NE(std::string(e.what()).find("\r\nRecord=1 Key='5'."), std::string::npos) << e.what();
  }
  try {
    index.InsertKey(4, rows.Row(4));
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_NE(std::string(e.what()).find("\r\nRecord=2 Key='2.5'."), std::string::npos)
        << e.what();
  }
}

TEST_F(IndexFileTest, PrimaryViolationOnAFullLeafLeavesTheTreeAsItWas) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 31; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows, ixPrimary);
  InsertAll(index, rows);
  EXPECT_EQ(index.Depth(), 1u);
  Bytes dup = rows.MakeNumber(7);
  EXPECT_THROW(index.InsertKey(32, dup.data()), ETableError);
  EXPECT_EQ(index.Depth(), 1u);  // refused before the full leaf is split
  EXPECT_EQ(index.PageCount(), 2u);
  EXPECT_TRUE(Check(index, rows).empty());
  std::vector<uint32_t> expected(31);
  for (int i = 0; i < 31; ++i) expected[i] = i + 1;
  EXPECT_EQ(Walk(index), expected);
}

TEST_F(IndexFileTest, PrimaryIndexHoldsNoDeletedRows) {
  TRows rows = NumericRows();
  rows.AddNumber(1);
  rows.AddNumber(2);
  rows.AddNumber(3);
  rows.MarkDeleted(2);
  TIndexFile index;
  CreateIndex(index, path, rows, ixPrimary);
  InsertAll(index, rows);
  EXPECT_EQ(Walk(index), (std::vector<uint32_t>{1, 3}));
  EXPECT_TRUE(Check(index, rows).empty());
  // The same rows in an ordinary index: deleted rows are included.
  TIndexFile plain;
  CreateIndex(plain, dir / "PLAIN.NDX", rows);
  InsertAll(plain, rows);
  EXPECT_EQ(Walk(plain), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_TRUE(Check(plain, rows).empty());
}

// ---- update and delete --------------------------------------------------

TEST_F(IndexFileTest, UpdateMovesTheEntryAfterEqualKeys) {
  TRows rows = NumericRows();
  rows.AddNumber(5);  // 1
  rows.AddNumber(7);  // 2
  rows.AddNumber(5);  // 3
  rows.AddNumber(9);  // 4
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  Bytes old_row = rows.rows[0];
  rows.rows[0] = rows.MakeNumber(7);
  index.UpdateKey(1, old_row.data(), rows.Row(1));
  EXPECT_EQ(Walk(index), (std::vector<uint32_t>{3, 2, 1, 4}));
  EXPECT_TRUE(Check(index, rows).empty());
  // An unchanged key leaves the index alone.
  index.Flush();
  index.ResetStats();
  index.UpdateKey(2, rows.Row(2), rows.Row(2));
  index.Flush();
  EXPECT_EQ(index.Stats().page_writes, 0u);
}

TEST_F(IndexFileTest, RefusedUpdateInAPrimaryIndexKeepsTheOldEntry) {
  TRows rows = NumericRows();
  rows.AddNumber(1);
  rows.AddNumber(2);
  TIndexFile index;
  CreateIndex(index, path, rows, ixPrimary);
  InsertAll(index, rows);
  Bytes wanted = rows.MakeNumber(1);
  EXPECT_THROW(index.UpdateKey(2, rows.Row(2), wanted.data()), ETableError);
  EXPECT_EQ(Walk(index), (std::vector<uint32_t>{1, 2}));
  EXPECT_TRUE(Check(index, rows).empty());
}

TEST_F(IndexFileTest, PutBackEntriesAndSecondEntriesOfARecordStayExact) {
  // A primary index takes an entry it already holds (same key, same
  // record) without complaint, as an undo that puts an entry back does;
  // another record with that key is still refused.
  TRows rows = NumericRows();
  rows.AddNumber(5);
  rows.AddNumber(5);
  TIndexFile primary;
  CreateIndex(primary, path, rows, ixPrimary);
  primary.InsertKey(1, rows.Row(1));
  EXPECT_NO_THROW(primary.InsertKey(1, rows.Row(1)));
  EXPECT_THROW(primary.InsertKey(2, rows.Row(2)), ETableError);
  EXPECT_EQ(Walk(primary), (std::vector<uint32_t>{1}));

  // The current entry is taken for a delete only when its key matches too:
  // standing on record 1's entry under 1.5, deleting its entry under 1
  // removes that one.
  TRows two = NumericRows();
  two.AddNumber(1);
  two.AddNumber(2);
  TIndexFile index;
  CreateIndex(index, dir / "TWO.NDX", two);
  InsertAll(index, two);
  Bytes other = two.MakeNumber(1.5);
  index.InsertKey(1, other.data());
  ASSERT_EQ(index.CurrentRecNo(), 1u);
  index.DeleteKey(1, two.Row(1));
  EXPECT_FALSE(index.Find(NumberKey(1), TFindMode::RecordEntry, 1));
  EXPECT_TRUE(index.Find(NumberKey(1.5), TFindMode::RecordEntry, 1));
  EXPECT_EQ(Walk(index), (std::vector<uint32_t>{1, 2}));
}

TEST_F(IndexFileTest, DeleteOfAnAbsentEntryChangesNothing) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 50; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  index.Flush();
  Bytes before = ReadBytes(path);
  index.ResetStats();
  Bytes other = rows.MakeNumber(1000);
  index.DeleteKey(3, other.data());  // key not present
  Bytes same_key = rows.MakeNumber(3);
  index.DeleteKey(4, same_key.data());  // key present, other record
  index.Flush();
  EXPECT_EQ(index.Stats().page_writes, 0u);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(Walk(index).size(), 50u);
}

TEST_F(IndexFileTest, DeletingALastKeyCopiesTheNewLastKeyUp) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 32; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  index.DeleteKey(16, rows.Row(16));
  index.Flush();
  Bytes root = Page(ReadBytes(path), 2);
  EXPECT_EQ(EntryNumber(root, 16, 0), 15);
  index.DeleteKey(32, rows.Row(32));
  index.Flush();
  root = Page(ReadBytes(path), 2);
  EXPECT_EQ(EntryNumber(root, 16, 1), 31);  // the trailing entry's key follows too
  rows.rows.resize(31);
  rows.MarkDeleted(16);
  std::vector<std::string> faults = Check(index, rows);
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0], "record 16 has no entry");
}

TEST_F(IndexFileTest, AnEmptiedLeafIsUnlinkedAndStaysInTheFile) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 64; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  ASSERT_EQ(index.Depth(), 2u);
  uint8_t root[512];
  ASSERT_TRUE(index.ReadNodePage(index.RootPage(), root));
  const uint32_t pointers_before = DecodeFixed32(root) + 1;
  const uint32_t second_leaf = DecodeFixed32(root + 4 + 16);
  const uint32_t page_count = index.PageCount();
  // The second leaf holds 17..32: delete all of them.
  for (int i = 17; i <= 32; ++i) index.DeleteKey(i, rows.Row(i));
  ASSERT_TRUE(index.ReadNodePage(index.RootPage(), root));
  EXPECT_EQ(DecodeFixed32(root) + 1, pointers_before - 1);
  for (uint32_t i = 0; i <= DecodeFixed32(root); ++i)
    EXPECT_NE(DecodeFixed32(root + 4 + i * 16), second_leaf);
  EXPECT_EQ(index.PageCount(), page_count);  // nothing is freed
  std::vector<uint32_t> expected;
  for (int i = 1; i <= 64; ++i)
    if (i < 17 || i > 32) expected.push_back(i);
  EXPECT_EQ(Walk(index), expected);
  for (int i = 17; i <= 32; ++i) rows.MarkDeleted(i);
  TIndexFile* ix = &index;
  std::vector<std::string> faults = Check(*ix, rows);
  EXPECT_EQ(faults.size(), 16u);  // only "record n has no entry" for 17..32
  for (const std::string& f : faults) EXPECT_EQ(f.find("record "), 0u) << f;
  index.Close();
  EXPECT_EQ(ReadBytes(path).size(), page_count * 512u);
}

TEST_F(IndexFileTest, DeletingEverythingLeavesAnEmptyRootLeaf) {
  TRows rows = NumericRows();
  std::mt19937 rng(7);
  for (int i = 0; i < 1500; ++i) rows.AddNumber(static_cast<double>(rng() % 100));
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  ASSERT_EQ(index.Depth(), 3u);
  std::vector<uint32_t> order(rows.Count());
  for (uint32_t i = 0; i < rows.Count(); ++i) order[i] = i + 1;
  std::shuffle(order.begin(), order.end(), rng);
  for (uint32_t recno : order) index.DeleteKey(recno, rows.Row(recno));
  EXPECT_EQ(index.Depth(), 1u);
  EXPECT_EQ(index.CountEstimate(), 0u);
  EXPECT_TRUE(Walk(index).empty());
  // It fills again.
  InsertAll(index, rows);
  EXPECT_EQ(Walk(index).size(), rows.Count());
  EXPECT_TRUE(Check(index, rows).empty());
}

TEST_F(IndexFileTest, RandomInsertsAndDeletesAgainstAModel) {
  for (int options : {0, static_cast<int>(ixDescending)}) {
    TRows rows = NumericRows();
    std::mt19937 rng(options + 1);
    std::vector<double> keys;
    for (int i = 0; i < 4000; ++i) {
      keys.push_back(static_cast<double>(rng() % 500));
      rows.AddNumber(keys.back());
    }
    TIndexFile index;
    CreateIndex(index, path, rows, options);
    InsertAll(index, rows);
    std::set<uint32_t> removed;
    for (int round = 0; round < 3000; ++round) {
      uint32_t recno = 1 + rng() % rows.Count();
      if (removed.count(recno)) {
        index.InsertKey(recno, rows.Row(recno));
        removed.erase(recno);
      } else {
        index.DeleteKey(recno, rows.Row(recno));
        removed.insert(recno);
      }
    }
    // Present entries: in key order; equal keys in the order they were
    // (re)inserted, which the walk shows, so compare keys and membership.
    std::vector<uint32_t> walk = Walk(index);
    ASSERT_EQ(walk.size(), rows.Count() - removed.size());
    std::set<uint32_t> seen(walk.begin(), walk.end());
    ASSERT_EQ(seen.size(), walk.size());
    for (uint32_t r : removed) EXPECT_EQ(seen.count(r), 0u);
    for (size_t i = 1; i < walk.size(); ++i) {
      double a = keys[walk[i - 1] - 1], b = keys[walk[i] - 1];
      ASSERT_TRUE(options ? a >= b : a <= b) << i;
    }
    for (uint32_t r : removed) rows.MarkDeleted(r);
    std::vector<std::string> faults = Check(index, rows);
    EXPECT_EQ(faults.size(), removed.size());
    for (const std::string& f : faults) EXPECT_EQ(f.find("record "), 0u) << f;
    index.Close();
  }
}

// ---- opening an existing file -------------------------------------------

TEST_F(IndexFileTest, OpenReadsTheHeaderAndStandsOnTheFirstEntry) {
  TRows rows = TextRows(20);
  rows.AddText("M");
  rows.AddText("C");
  rows.AddText("X");
  {
    TIndexFile index;
    CreateIndex(index, path, rows, ixDescending | ixUnique, TOpenMode::ExclusiveCreate, "name");
    InsertAll(index, rows);
  }
  TIndexFile index;
  index.Open(path, TOpenMode::ReadOnly);
  EXPECT_EQ(index.Expression(), "NAME");
  EXPECT_TRUE(index.CharacterKey());
  EXPECT_EQ(index.KeyLength(), 20);
  EXPECT_TRUE(index.Descending());
  EXPECT_EQ(index.UniqueMode(), TUniqueMode::Unique);
  EXPECT_EQ(index.Options(), ixDescending | ixUnique);
  EXPECT_EQ(index.CurrentRecNo(), 3u);  // on the first entry: "X"
  index.BindKeySource(rows.Source());
  EXPECT_EQ(Walk(index), (std::vector<uint32_t>{3, 1, 2}));
  EXPECT_THROW(index.InsertKey(1, rows.Row(1)), ETableError);
  EXPECT_THROW(index.BindKeySource(TKeySource{false, 1, 8}), ETableError);
}

TEST_F(IndexFileTest, OversizedHeaderIsClampedInMemoryOnly) {
  // A character key of length 120 with 8 entries of 128 bytes: 1024 > 512.
  TRows rows = TextRows(100);
  {
    TIndexFile index;
    index.Open(path, TOpenMode::ExclusiveCreate);
    index.SetupKey("NAME", true, 100, 0);
  }
  Bytes file = ReadBytes(path);
  EncodeFixed16(file.data() + 12, 120);
  EncodeFixed16(file.data() + 14, 8);
  EncodeFixed16(file.data() + 18, 128);
  WriteBytes(path, file);
  {
    TIndexFile index;
    index.Open(path, TOpenMode::ExclusiveOpen);
    EXPECT_TRUE(index.HeaderRepaired());
    EXPECT_EQ(index.KeyLength(), 100);
    EXPECT_EQ(index.EntryLength(), 108);
    EXPECT_EQ(index.MaxKeys(), 4);
  }
  EXPECT_EQ(ReadBytes(path), file);  // nothing written back
  {
    TIndexFile index;
    index.Open(path, TOpenMode::ExclusiveOpen);
    index.BindKeySource(rows.Source());
    for (int i = 0; i < 10; ++i) {
      const uint32_t recno = rows.AddText(std::to_string(i));
      index.InsertKey(recno, rows.Row(recno));
    }
    EXPECT_TRUE(Check(index, rows).size() == 1u);  // the repair is reported
  }
  file = ReadBytes(path);
  EXPECT_EQ(DecodeFixed16(file.data() + 12), 100);
  EXPECT_EQ(DecodeFixed16(file.data() + 14), 4);
  EXPECT_EQ(DecodeFixed16(file.data() + 18), 108);
}

TEST_F(IndexFileTest, OversizedHeaderRepairKeepsAShorterKey) {
  // Keys per page too many for a 50-byte key: the key keeps its length and
  // only the page sizes are derived again.
  TRows rows = TextRows(50);
  for (int i = 0; i < 20; ++i) rows.AddText("K" + std::to_string(100 + i));
  {
    TIndexFile index;
    CreateIndex(index, path, rows);
    InsertAll(index, rows);
  }
  Bytes file = ReadBytes(path);
  EncodeFixed16(file.data() + 14, 20);  // 20 * 60 > 512
  WriteBytes(path, file);
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveOpen);
  EXPECT_TRUE(index.HeaderRepaired());
  EXPECT_EQ(index.KeyLength(), 50);
  EXPECT_EQ(index.EntryLength(), 60);
  EXPECT_EQ(index.MaxKeys(), 8);
  index.BindKeySource(rows.Source());
  std::vector<uint32_t> expected(20);
  for (uint32_t i = 0; i < 20; ++i) expected[i] = i + 1;
  EXPECT_EQ(Walk(index), expected);
}

TEST_F(IndexFileTest, RebuildInPlaceRestartsThePageCountButKeepsTheLength) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 200; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  InsertAll(index, rows);
  index.Flush();
  const size_t long_size = ReadBytes(path).size();
  index.SetupKey("KEY", false, 8, 0);
  index.BindKeySource(rows.Source());
  EXPECT_EQ(index.PageCount(), 2u);
  EXPECT_EQ(index.RootPage(), 1u);
  for (int i = 1; i <= 3; ++i) index.InsertKey(i, rows.Row(i));
  index.Close();
  Bytes file = ReadBytes(path);
  EXPECT_EQ(file.size(), long_size);
  EXPECT_EQ(U32(file, 0), 1u);
  EXPECT_EQ(U32(file, 4), 2u);
  EXPECT_EQ(U32(Page(file, 1), 0), 3u);
}

// ---- writing rules ------------------------------------------------------

TEST_F(IndexFileTest, ExclusiveModeWritesPagesWhenLeftFlushedOrClosed) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 40; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows);
  index.ResetStats();
  for (int i = 1; i <= 10; ++i) index.InsertKey(i, rows.Row(i));
  EXPECT_EQ(index.Stats().page_writes, 0u);
  EXPECT_EQ(index.Stats().header_writes, 0u);
  EXPECT_EQ(index.Stats().page_reads, 0u);
  EXPECT_EQ(Page(ReadBytes(path), 1), Bytes(512, 0));  // still the empty root on disk
  EXPECT_EQ(Page(ReadBytes(path), 0), Bytes(512, 0));  // header only marked
  index.Flush();
  EXPECT_EQ(index.Stats().page_writes, 1u);
  EXPECT_EQ(index.Stats().header_writes, 1u);
  EXPECT_EQ(U32(Page(ReadBytes(path), 1), 0), 10u);
  index.Flush();  // nothing modified: nothing written
  EXPECT_EQ(index.Stats().page_writes, 1u);
  EXPECT_EQ(index.Stats().header_writes, 1u);
  // The root split: the new page and the new root are written at once, and
  // the header (root page 2) too.
  index.ResetStats();
  for (int i = 11; i <= 32; ++i) index.InsertKey(i, rows.Row(i));
  EXPECT_EQ(index.Stats().header_writes, 1u);
  Bytes file = ReadBytes(path);
  EXPECT_EQ(U32(file, 0), 2u);
  EXPECT_EQ(U32(Page(file, 3), 0), 15u);  // the right half as split, before the 32nd
  index.Close();
  EXPECT_EQ(U32(Page(ReadBytes(path), 3), 0), 16u);
}

TEST_F(IndexFileTest, SharedModeWritesAtOnceAndRereadsBeforeSearches) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 40; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows, 0, TOpenMode::SharedCreate);
  Bytes header = Page(ReadBytes(path), 0);
  EXPECT_EQ(header[9], 'N');  // written as soon as it changed
  for (int i = 1; i <= 40; ++i) {
    index.InsertKey(i, rows.Row(i));
    // Another reader sees every insertion at once.
    TIndexFile reader;
    reader.Open(path, TOpenMode::ReadOnly);
    reader.BindKeySource(rows.Source());
    ASSERT_EQ(Walk(reader).size(), static_cast<size_t>(i));
  }
  index.ResetStats();
  EXPECT_TRUE(index.Find(NumberKey(20), TFindMode::Exact));
  EXPECT_EQ(index.Stats().header_reads, 1u);
  EXPECT_GE(index.Stats().page_reads, 2u);  // the root and the leaf again
  EXPECT_EQ(Walk(index).size(), 40u);
  EXPECT_TRUE(Check(index, rows).empty());
}

TEST_F(IndexFileTest, SharedModeFollowsChangesMadeByAnotherWriter) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 100; ++i) rows.AddNumber(i);
  TIndexFile a, b;
  CreateIndex(a, path, rows, 0, TOpenMode::SharedCreate);
  b.Open(path, TOpenMode::SharedOpen);
  b.BindKeySource(rows.Source());
  for (int i = 1; i <= 100; ++i) (i % 2 ? a : b).InsertKey(i, rows.Row(i));
  std::vector<uint32_t> expected(100);
  for (int i = 0; i < 100; ++i) expected[i] = i + 1;
  EXPECT_EQ(Walk(a), expected);
  EXPECT_EQ(Walk(b), expected);
}

// Another writer removes the entry a shared reader stands on: the reader's
// next step, either way, is the entry beside it, none passed over.
TEST_F(IndexFileTest, SharedStepAfterTheCurrentEntryWasRemovedPassesNothingOver) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 100; ++i) rows.AddNumber(i);
  TIndexFile writer, reader;
  CreateIndex(writer, path, rows, 0, TOpenMode::SharedCreate);
  for (int i = 1; i <= 100; ++i) writer.InsertKey(i, rows.Row(i));
  reader.Open(path, TOpenMode::SharedOpen);
  reader.BindKeySource(rows.Source());
  for (int direction : {+1, -1}) {
    for (uint32_t gone : {40u, 32u, 33u}) {  // inside a leaf and at both ends of one
      SCOPED_TRACE(testing::Message() << "row " << gone << " direction " << direction);
      ASSERT_TRUE(reader.Find(NumberKey(gone), TFindMode::Exact));
      ASSERT_EQ(reader.CurrentRecNo(), gone);
      writer.DeleteKey(gone, rows.Row(gone));
      ASSERT_TRUE(direction > 0 ? reader.Next() : reader.Prior());
      EXPECT_EQ(reader.CurrentRecNo(), direction > 0 ? gone + 1 : gone - 1);
      writer.InsertKey(gone, rows.Row(gone));
    }
  }
}

TEST_F(IndexFileTest, ClosedIndexRefusesOperations) {
  TIndexFile index;
  EXPECT_FALSE(index.IsOpen());
  EXPECT_THROW(index.First(), ETableError);
  EXPECT_THROW(index.Find(NumberKey(1), TFindMode::Exact), ETableError);
  EXPECT_EQ(index.CurrentRecNo(), 0u);
  EXPECT_EQ(index.PositionEstimate(), 0u);
  index.Close();  // harmless
}

TEST_F(IndexFileTest, CreatedFileWithoutKeyIgnoresMaintenance) {
  TRows rows = NumericRows();
  rows.AddNumber(1);
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveCreate);
  index.BindKeySource(rows.Source());
  index.InsertKey(1, rows.Row(1));
  index.DeleteKey(1, rows.Row(1));
  EXPECT_FALSE(index.Find(NumberKey(1), TFindMode::Exact));
  index.First();
  EXPECT_FALSE(index.Next());
}

// ---- speed --------------------------------------------------------------

TEST_F(IndexFileTest, BuildOfHundredThousandKeysHoldsOnePagePerLevel) {
  TRows rows = NumericRows();
  const uint32_t n = 100000;
  rows.rows.reserve(n);
  for (uint32_t i = 1; i <= n; ++i) rows.AddNumber(i);
  TIndexFile index;
  CreateIndex(index, path, rows, 0, TOpenMode::ExclusiveCreate, "INDEXFLD");
  index.ResetStats();
  auto start = std::chrono::steady_clock::now();
  InsertAll(index, rows);
  index.Flush();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(index.Depth(), 4u);  // the chain: one page object per level
  EXPECT_EQ(index.Stats().page_reads, 0u);  // nothing read back
  EXPECT_EQ(index.Stats().header_writes, index.Depth());  // root splits + the flush
  // Every page is written about twice: when the split makes it, and when
  // its page object leaves it.
  EXPECT_LT(index.Stats().page_writes, 2u * index.PageCount());
  std::vector<uint32_t> walk = Walk(index);
  ASSERT_EQ(walk.size(), n);
  for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(walk[i], i + 1);
  EXPECT_TRUE(Check(index, rows).empty());
}

TEST_F(IndexFileTest, ExclusiveSearchesReadOnlyTheirLeaf) {
  TRows rows = NumericRows();
  for (int i = 1; i <= 5000; ++i) rows.AddNumber(i);
  {
    TIndexFile index;
    CreateIndex(index, path, rows);
    InsertAll(index, rows);
  }
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveOpen);
  ASSERT_EQ(index.Depth(), 3u);
  std::mt19937 rng(17);
  std::vector<double> keys(400);
  for (double& key : keys) key = 1 + rng() % 5000;
  for (double key : keys) ASSERT_TRUE(index.Find(NumberKey(key), TFindMode::Exact));
  // Inner pages read once stay in memory: each search reads its leaf at most.
  index.ResetStats();
  for (double key : keys) ASSERT_TRUE(index.Find(NumberKey(key), TFindMode::Exact));
  EXPECT_LE(index.Stats().page_reads, keys.size());
  // A shared reader cannot keep them: another program may change the file.
  TIndexFile shared;
  shared.Open(path, TOpenMode::ReadOnly);
  shared.ResetStats();
  for (double key : keys) ASSERT_TRUE(shared.Find(NumberKey(key), TFindMode::Exact));
  EXPECT_EQ(shared.Stats().page_reads, 3 * keys.size());
}

}  // namespace
}  // namespace kalbor::test
