// Damaged index files: every kind of damage gives its own ETableError, never
// a crash, a hang or a read outside a page; CheckIndexFile reports each
// violation on a line of its own; TNdxNodePage's slot operations.
#include <gtest/gtest.h>

#include <random>

#include "index_test_util.h"
#include "storage/errors.h"
#include "storage/ndx_format.h"
#include "storage/node_page.h"

namespace kalbor::test {
namespace {

using Bytes = std::vector<uint8_t>;

class IndexDamageTest : public ::testing::Test {
 protected:
  // A numeric index over keys 1..n in record order, closed. With n = 32:
  // root page 2 (children 1 and 3), leaves 1 (1..16) and 3 (17..32).
  void Build(int n) {
    rows = NumericRows();
    for (int i = 1; i <= n; ++i) rows.AddNumber(i);
    TIndexFile index;
    CreateIndex(index, path, rows);
    InsertAll(index, rows);
    index.Close();
  }

  void Patch32(size_t offset, uint32_t value) {
    Bytes file = ReadBytes(path);
    EncodeFixed32(file.data() + offset, value);
    WriteBytes(path, file);
  }
  void Patch16(size_t offset, uint16_t value) {
    Bytes file = ReadBytes(path);
    EncodeFixed16(file.data() + offset, value);
    WriteBytes(path, file);
  }
  static size_t EntryAt(uint32_t page, int entry) { return page * 512 + 4 + entry * 16; }

  std::string Damage(const std::string& what) const {
    return "Index file " + path + " is damaged: " + what;
  }

  // The message of the ETableError that `f` raises, or "" when none.
  template <typename F>
  static std::string ErrorOf(F f) {
    try {
      f();
    } catch (const ETableError& e) {
      return e.what();
    }
    return "";
  }

  std::string OpenError() {
    TIndexFile index;
    return ErrorOf([&] { index.Open(path, TOpenMode::ExclusiveOpen); });
  }

  TempDir dir;
  std::string path = dir / "DAMAGED.NDX";
  TRows rows = NumericRows();
};

// ---- the header ---------------------------------------------------------

TEST_F(IndexDamageTest, HeaderPageIncomplete) {
  WriteBytes(path, Bytes(100, 0));
  EXPECT_EQ(OpenError(), Damage("the header page is incomplete (100 of 512 bytes)."));
  WriteBytes(path, Bytes());
  EXPECT_EQ(OpenError(), Damage("the header page is incomplete (0 of 512 bytes)."));
}

TEST_F(IndexDamageTest, KeyLengthZero) {
  Build(5);
  Patch16(12, 0);
  EXPECT_EQ(OpenError(), Damage("the key length is 0."));
}

TEST_F(IndexDamageTest, NumericKeyLengthOtherThanEight) {
  Build(5);
  Patch16(12, 10);
  Patch16(18, 20);
  Patch16(14, 25);
  EXPECT_EQ(OpenError(), Damage("numeric key length 10 is not 8."));
}

TEST_F(IndexDamageTest, SizesThatDoNotFitThePage) {
  Build(5);
  Patch16(18, 12);  // entries shorter than key + 8
  EXPECT_EQ(OpenError(),
            Damage("entry length 12 and 31 keys per page do not fit key length 8 in a page."));
  Patch16(18, 16);
  Patch16(14, 32);  // 32 * 16 = 512: not clamped, but 4 + 512 > 512
  EXPECT_EQ(OpenError(),
            Damage("entry length 16 and 32 keys per page do not fit key length 8 in a page."));
  Patch16(14, 0);
  EXPECT_EQ(OpenError(),
            Damage("entry length 16 and 0 keys per page do not fit key length 8 in a page."));
}

TEST_F(IndexDamageTest, RootPageZeroOrPastTheEnd) {
  Build(32);
  Patch32(0, 0);
  EXPECT_EQ(OpenError(), Damage("the root page number is 0."));
  Patch32(0, 9);
  EXPECT_EQ(OpenError(), Damage("root page 9 lies past the end of the file."));
  Patch32(0, 4);  // = page count
  EXPECT_EQ(OpenError(), Damage("root page 4 lies past the end of the file."));
}

TEST_F(IndexDamageTest, PageCountInvalidOrPastTheFile) {
  Build(32);
  Patch32(4, 1);
  EXPECT_EQ(OpenError(), Damage("page count 1 is invalid."));
  Patch32(4, 0x80000000u);
  EXPECT_EQ(OpenError(), Damage("page count 2147483648 is invalid."));
  Patch32(4, 100);
  EXPECT_EQ(OpenError(), Damage("page count 100 exceeds the 4 pages of the file."));
}

TEST_F(IndexDamageTest, TooFewKeysPerPageForATree) {
  Build(5);
  Patch16(14, 2);  // fits the page, but an inner page could never split
  EXPECT_EQ(OpenError(), Damage("2 keys per page are too few for a tree."));
}

TEST_F(IndexDamageTest, AnOpenThatFailsLeavesTheObjectClosedAndReusable) {
  Build(32);
  Patch32(0, 0);
  TIndexFile index;
  EXPECT_THROW(index.Open(path, TOpenMode::ExclusiveOpen), ETableError);
  EXPECT_FALSE(index.IsOpen());
  Patch32(0, 2);
  index.Open(path, TOpenMode::ExclusiveOpen);  // the file is not held any more
  index.BindKeySource(rows.Source());
  EXPECT_EQ(Walk(index).size(), 32u);
}

// ---- the tree -----------------------------------------------------------

TEST_F(IndexDamageTest, ChildPagePastTheEndOfTheFile) {
  Build(32);
  Patch32(EntryAt(2, 1), 50);  // the root's trailing entry
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveOpen);  // the first path is sound
  index.BindKeySource(rows.Source());
  const std::string expected = Damage("page 2 refers to child page 50 past the end of the file.");
  EXPECT_EQ(ErrorOf([&] { index.Last(); }), expected);
  EXPECT_EQ(ErrorOf([&] { index.Find(NumberKey(30), TFindMode::Exact); }), expected);
  EXPECT_EQ(ErrorOf([&] { index.InsertKey(40, rows.MakeNumber(40).data()); }), expected);
  // Walking runs into it after the first leaf.
  index.First();
  for (int i = 0; i < 16; ++i) ASSERT_TRUE(index.Next());
  EXPECT_EQ(ErrorOf([&] { index.Next(); }), expected);
  EXPECT_EQ(ErrorOf([&] { index.SetPositionEstimate(1 + 31 + 3); }), expected);
  // The sound part still answers.
  EXPECT_TRUE(index.Find(NumberKey(3), TFindMode::Exact));
  EXPECT_EQ(index.CurrentRecNo(), 3u);
}

TEST_F(IndexDamageTest, ChildPageZero) {
  Build(32);
  Patch32(EntryAt(2, 1), 0);
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveOpen);
  EXPECT_EQ(ErrorOf([&] { index.Last(); }), Damage("page 2 refers to child page 0."));
}

TEST_F(IndexDamageTest, PageThatIsItsOwnChild) {
  Build(32);
  Patch32(EntryAt(2, 0), 2);
  EXPECT_EQ(OpenError(), Damage("child page pointers form a loop at page 2."));
}

TEST_F(IndexDamageTest, LoopThroughTwoPages) {
  // Page 1 and page 2 are inner pages pointing at each other.
  Build(5);
  Bytes file = ReadBytes(path);
  file.resize(3 * 512, 0);
  std::fill(file.begin() + 512, file.end(), 0);
  EncodeFixed32(file.data() + 0, 1);          // root 1
  EncodeFixed32(file.data() + 4, 3);          // page count 3
  EncodeFixed32(file.data() + 512 + 4, 2);    // page 1 -> page 2
  EncodeFixed32(file.data() + 1024 + 4, 1);   // page 2 -> page 1
  WriteBytes(path, file);
  EXPECT_EQ(OpenError(), Damage("child page pointers form a loop at page 1."));
}

TEST_F(IndexDamageTest, SameChildTwiceInOnePage) {
  Build(32);
  Patch32(EntryAt(2, 1), 1);
  EXPECT_EQ(OpenError(), Damage("page 2 points to child page 1 more than once."));
}

TEST_F(IndexDamageTest, KeyCountLargerThanThePageHolds) {
  Build(31);  // one leaf root, page 1
  Patch32(512, 32);
  EXPECT_EQ(OpenError(), Damage("page 1 has key count 32; a page holds 0 to 31."));
  Patch32(512, 0xFFFFFFFFu);
  EXPECT_EQ(OpenError(), Damage("page 1 has key count -1; a page holds 0 to 31."));
  Build(32);
  Patch32(2 * 512, 31);  // an inner page holds at most 30 keyed entries
  EXPECT_EQ(OpenError(), Damage("page 2 has key count 31; a page holds 0 to 30."));
  Build(32);
  Patch32(3 * 512, 40);  // reached only later
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveOpen);
  EXPECT_EQ(ErrorOf([&] { index.Last(); }), Damage("page 3 has key count 40; a page holds 0 to 31."));
}

TEST_F(IndexDamageTest, LeavesAtDifferentDepths) {
  Build(32);
  Patch32(EntryAt(3, 0), 1);  // page 3 now looks like an inner page
  TIndexFile index;
  index.Open(path, TOpenMode::ExclusiveOpen);
  EXPECT_EQ(ErrorOf([&] { index.Last(); }),
            Damage("page 3 is an inner page at the leaf level (level 1)."));
  index.Close();

  Build(31 * 16 + 100);  // three levels; page 1 is the leftmost leaf
  TIndexFile deep;
  deep.Open(path, TOpenMode::ExclusiveOpen);
  ASSERT_EQ(deep.Depth(), 3u);
  const uint32_t root = deep.RootPage();
  uint8_t page[512];
  ASSERT_TRUE(deep.ReadNodePage(root, page));
  const uint32_t k = DecodeFixed32(page);
  deep.Close();
  Patch32(EntryAt(root, k), 1);  // the trailing pointer of the root: a leaf
  deep.Open(path, TOpenMode::ExclusiveOpen);
  EXPECT_EQ(ErrorOf([&] { deep.Last(); }),
            Damage("page 1 is a leaf above the leaf level (level 1 of 3)."));
}

TEST_F(IndexDamageTest, TreeDeeperThanAnySoundFile) {
  // 69 inner pages with one pointer each above one empty leaf.
  Build(5);
  Bytes file = ReadBytes(path);
  const uint32_t pages = 71;
  file.assign(pages * 512, 0);
  Bytes header = Page(ReadBytes(path), 0);
  std::copy(header.begin(), header.end(), file.begin());
  EncodeFixed32(file.data() + 0, 1);
  EncodeFixed32(file.data() + 4, pages);
  for (uint32_t p = 1; p < 70; ++p) EncodeFixed32(file.data() + p * 512 + 4, p + 1);
  WriteBytes(path, file);
  EXPECT_EQ(OpenError(), Damage("the tree is more than 64 levels deep."));
}

TEST_F(IndexDamageTest, InnerPagesSharingChildrenStopTheWalk) {
  // 30 levels of two inner pages, each pointing to both pages of the level
  // below, over two leaves: no path loops, but a walk would reach the
  // leaves 2^30 times. It stops once it has passed more leaves than the
  // file has pages.
  Build(5);
  const Bytes header = Page(ReadBytes(path), 0);
  const uint32_t levels = 30;
  const uint32_t pages = 2 * levels + 2;  // header, root, two per level
  Bytes file(pages * 512, 0);
  std::copy(header.begin(), header.end(), file.begin());
  EncodeFixed32(file.data() + 0, 1);
  EncodeFixed32(file.data() + 4, pages);
  auto inner = [&](uint32_t page, uint32_t left, uint32_t right) {
    EncodeFixed32(file.data() + page * 512, 1);
    EncodeFixed32(file.data() + EntryAt(page, 0), left);
    EncodeDouble(file.data() + EntryAt(page, 0) + 8, 1.0);
    EncodeFixed32(file.data() + EntryAt(page, 1), right);
  };
  inner(1, 2, 3);
  for (uint32_t level = 1; level < levels; ++level) {
    inner(2 * level, 2 * level + 2, 2 * level + 3);
    inner(2 * level + 1, 2 * level + 2, 2 * level + 3);
  }
  for (uint32_t leaf : {2 * levels, 2 * levels + 1}) {
    EncodeFixed32(file.data() + leaf * 512, 1);
    EncodeFixed32(file.data() + EntryAt(leaf, 0) + 4, leaf - 2 * levels + 1);
    EncodeDouble(file.data() + EntryAt(leaf, 0) + 8, leaf - 2 * levels + 1.0);
  }
  WriteBytes(path, file);
  TIndexFile index;
  index.Open(path, TOpenMode::ReadOnly);
  EXPECT_EQ(index.Depth(), levels + 1);
  const std::string expected = Damage("the leaves form a loop: a walk passed more than 62 leaves.");
  std::string error = ErrorOf([&] {
    index.First();
    for (int steps = 0; index.Next(); ++steps) ASSERT_LT(steps, 1000);
  });
  EXPECT_EQ(error, expected);
  error = ErrorOf([&] {
    index.Last();
    for (int steps = 0; index.Prior(); ++steps) ASSERT_LT(steps, 1000);
  });
  EXPECT_EQ(error, expected);
}

TEST_F(IndexDamageTest, RandomDamageGivesOnlyTableErrors) {
  // A three-level tree; bytes of its pages are overwritten at random, then
  // the file is opened and worked on. Only ETableError may come out, and
  // every walk ends.
  Build(31 * 16 + 200);
  const Bytes sound = ReadBytes(path);
  const uint32_t pages = static_cast<uint32_t>(sound.size() / 512);
  std::mt19937 rng(2024);
  int opened = 0;
  for (int round = 0; round < 300; ++round) {
    Bytes file = sound;
    const int hits = 1 + rng() % 12;
    for (int h = 0; h < hits; ++h) {
      uint32_t page = rng() % 8 == 0 ? 0 : 1 + rng() % (pages - 1);
      size_t offset = page * 512 + (page == 0 ? rng() % 24 : rng() % 512);
      switch (rng() % 4) {
        case 0: file[offset] = static_cast<uint8_t>(rng()); break;
        case 1: file[offset] ^= 0x01; break;
        case 2:
          if (offset + 4 <= file.size()) EncodeFixed32(file.data() + offset, rng() % (pages + 3));
          break;
        default: file[offset] = 0xFF; break;
      }
    }
    WriteBytes(path, file);
    for (TOpenMode mode : {TOpenMode::ExclusiveOpen, TOpenMode::ReadOnly}) {
      TIndexFile index;
      try {
        index.Open(path, mode);
      } catch (const ETableError&) {
        continue;
      }
      ++opened;
      index.BindKeySource(rows.Source());
      auto guarded = [&](auto f) {
        try {
          f();
        } catch (const ETableError&) {
        }
      };
      guarded([&] {
        index.First();
        size_t steps = 0;
        while (index.Next()) ASSERT_LT(++steps, 100000u) << "round " << round;
      });
      guarded([&] {
        index.Last();
        size_t steps = 0;
        while (index.Prior()) ASSERT_LT(++steps, 100000u);
      });
      for (double key : {-5.0, 1.0, 300.0, 1e9})
        for (TFindMode m : {TFindMode::Exact, TFindMode::InsertPoint, TFindMode::RecordEntry})
          guarded([&] { index.Find(NumberKey(key), m, 7); });
      for (uint32_t pos : {1u, 40u, 500u, 5000u}) guarded([&] { index.SetPositionEstimate(pos); });
      guarded([&] { index.PositionEstimate(); });
      guarded([&] { index.CountEstimate(); });
      guarded([&] { CheckIndexFile(index, rows.Count(), rows.RecordLength(), rows.Reader()); });
      if (mode == TOpenMode::ExclusiveOpen) {
        for (uint32_t r : {3u, 300u, 600u}) {
          guarded([&] { index.DeleteKey(r, rows.Row(r)); });
          guarded([&] { index.InsertKey(r, rows.Row(r)); });
        }
        guarded([&] { index.Flush(); });
      }
      guarded([&] { index.Close(); });
    }
  }
  EXPECT_GT(opened, 50);
}

// ---- CheckIndexFile -----------------------------------------------------

class IndexCheckTest : public IndexDamageTest {
 protected:
  std::vector<std::string> CheckFile() {
    TIndexFile index;
    index.Open(path, TOpenMode::ReadOnly);
    index.BindKeySource(rows.Source());
    return Check(index, rows);
  }
};

TEST_F(IndexCheckTest, SoundIndexHasNoFaults) {
  Build(500);
  EXPECT_TRUE(CheckFile().empty());
}

TEST_F(IndexCheckTest, KeysOutOfOrder) {
  Build(32);
  Bytes file = ReadBytes(path);
  // Swap entries 3 and 4 of page 1 (keys 4 and 5 with their records).
  std::swap_ranges(file.begin() + EntryAt(1, 3), file.begin() + EntryAt(1, 4),
                   file.begin() + EntryAt(1, 4));
  WriteBytes(path, file);
  EXPECT_EQ(CheckFile(), (std::vector<std::string>{"page 1 entry 4: key out of order"}));
}

TEST_F(IndexCheckTest, InnerKeyThatIsNotTheGreatestOfItsSubtree) {
  Build(32);
  Bytes file = ReadBytes(path);
  EncodeDouble(file.data() + EntryAt(2, 0) + 8, 15.5);
  WriteBytes(path, file);
  EXPECT_EQ(CheckFile(), (std::vector<std::string>{
                             "page 2 entry 0: key is not the greatest key of its subtree"}));
}

TEST_F(IndexCheckTest, EntryKeyDiffersFromTheRecord) {
  Build(32);
  rows.rows[4] = rows.MakeNumber(500);
  EXPECT_EQ(CheckFile(), (std::vector<std::string>{
                             "page 1 entry 4: key differs from the field of record 5"}));
}

TEST_F(IndexCheckTest, RecordNumbersTwiceMissingOrOutOfRange) {
  Build(32);
  Patch32(EntryAt(1, 1) + 4, 1);    // entry 1 (key 2) names record 1
  Patch32(EntryAt(3, 0) + 4, 999);  // entry 0 of page 3 names no record
  EXPECT_EQ(CheckFile(), (std::vector<std::string>{
                             "record 1 has more than one entry",
                             "page 1 entry 1: key differs from the field of record 1",
                             "page 3 entry 0: record number 999 outside 1 to 32",
                             "record 2 has no entry",
                             "record 17 has no entry",
                         }));
}

TEST_F(IndexCheckTest, HeaderFieldsThatDisagree) {
  Build(5);
  Bytes file = ReadBytes(path);
  file[8] = 0x10;   // character flag on a numeric key
  file[23] = 0x21;  // primary marker without the flags
  file[246] = 0;
  WriteBytes(path, file);
  EXPECT_EQ(CheckFile(), (std::vector<std::string>{
                             "header: key flags 0x10 disagree with key type letter 0x4E",
                             "header: unique marker 0x21 disagrees with key flags 0x10 (0x00)",
                             "header: offset 246 holds 0, not 1",
                         }));
}

TEST_F(IndexCheckTest, DamagedTreeIsReportedNotThrown) {
  Build(32);
  Patch32(EntryAt(2, 1), 50);
  std::vector<std::string> faults = CheckFile();
  ASSERT_EQ(faults.size(), 17u);
  EXPECT_EQ(faults[0], "page 2 entry 1: child page 50 lies past the end of the file");
  EXPECT_EQ(faults[1], "record 17 has no entry");
  Build(32);
  Patch32(EntryAt(2, 1), 1);  // page 1 reached twice: refused on open
  TIndexFile index;
  EXPECT_THROW(index.Open(path, TOpenMode::ReadOnly), ETableError);
}

TEST_F(IndexCheckTest, DeletedRowInAPrimaryIndex) {
  rows = NumericRows();
  for (int i = 1; i <= 3; ++i) rows.AddNumber(i);
  {
    TIndexFile index;
    CreateIndex(index, path, rows, ixPrimary);
    InsertAll(index, rows);
  }
  rows.MarkDeleted(2);
  EXPECT_EQ(CheckFile(), (std::vector<std::string>{
                             "page 1 entry 1: deleted record 2 has an entry in a primary index"}));
}

TEST_F(IndexCheckTest, UnboundKeyIsSaid) {
  Build(3);
  TIndexFile index;
  index.Open(path, TOpenMode::ReadOnly);
  std::vector<std::string> faults = CheckIndexFile(index, 3, rows.RecordLength(), nullptr);
  EXPECT_EQ(faults, (std::vector<std::string>{
                        "records: the key is not bound to a field; entries are not compared "
                        "with records"}));
}

// ---- TNdxNodePage -------------------------------------------------------

TEST(NdxNodePage, SlotOperationsOnTheBytes) {
  const TNodeLayout layout{8, 16, 31};
  TNdxNodePage page(&layout);
  EXPECT_EQ(page.EntryAddress(0), page.Data() + 4);
  EXPECT_EQ(page.EntryAddress(2), page.Data() + 4 + 32);
  EXPECT_EQ(page.KeyOfEntry(2), page.Data() + 4 + 32 + 8);
  EXPECT_FALSE(page.IsInner());
  page.SetKeyCount(2);
  page.IncKeyCount();
  EXPECT_EQ(page.KeyCount(), 3);
  EXPECT_EQ(Bytes(page.Data(), page.Data() + 4), (Bytes{3, 0, 0, 0}));
  page.SetEntryNo(1);
  page.SetRecNoAndChild(0x01020304, 0x0A0B0C0D);
  EXPECT_EQ(Bytes(page.EntryAddress(1), page.EntryAddress(1) + 8),
            (Bytes{0x0D, 0x0C, 0x0B, 0x0A, 0x04, 0x03, 0x02, 0x01}));
  EXPECT_EQ(page.RecNo(), 0x01020304u);
  EXPECT_EQ(page.ChildPage(), 0x0A0B0C0Du);
  EXPECT_EQ(page.Key(), page.KeyOfEntry(1));
  page.SetRecNoAndChildOfEntry(0, 0, 7);
  EXPECT_TRUE(page.IsInner());
  EXPECT_EQ(page.ChildOfEntry(0), 7u);
  EXPECT_EQ(page.RecNoOfEntry(1), 0x01020304u);
  page.SetRecNoAndChildOfEntry(30, 5, 6);  // the last slot
  EXPECT_EQ(Bytes(page.Data() + 4 + 30 * 16, page.Data() + 4 + 30 * 16 + 8),
            (Bytes{6, 0, 0, 0, 5, 0, 0, 0}));
}

}  // namespace
}  // namespace kalbor::test
