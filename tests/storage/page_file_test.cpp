// The cache of an exclusively opened file: whatever mix of reads, writes and
// truncations comes, a read answers the file's present bytes, and the cache
// keeps the blocks used last.
#include <random>

#include "storage/block_cache.h"
#include "storage/errors.h"
#include "storage/page_file.h"
#include "test_util.h"

namespace kalbor {
namespace {

using test::TempDir;

constexpr size_t kBlock = TBlockCache::kBlockSize;

// Mirrors a file in memory and checks each read of the page file against it.
class CachedFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir / "T.DBF";
  TPageFile file;
  std::vector<uint8_t> model;

  void SetUp() override { file.Open(path, TOpenMode::ExclusiveCreate); }

  void Write(uint64_t offset, size_t length, uint8_t seed) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
    file.WriteAt(offset, bytes.data(), length);
    if (model.size() < offset + length) model.resize(offset + length, 0);
    std::copy(bytes.begin(), bytes.end(), model.begin() + static_cast<long>(offset));
  }

  void Truncate(uint64_t size) {
    file.Truncate(size);
    model.resize(size, 0);
  }

  // A read through the page file equals the model, and so does the disk.
  void ExpectRead(uint64_t offset, size_t length) {
    std::vector<uint8_t> got(length, 0xEE);
    size_t n = file.ReadAt(offset, got.data(), length);
    size_t expected = offset >= model.size() ? 0 : std::min<size_t>(length, model.size() - offset);
    ASSERT_EQ(n, expected) << "read of " << length << " at " << offset;
    for (size_t i = 0; i < n; ++i)
      ASSERT_EQ(got[i], model[offset + i]) << "byte " << offset + i;
  }
};

TEST_F(CachedFileTest, RewrittenBytesAreReadBackFromTheCache) {
  Write(0, 3000, 1);
  ExpectRead(100, 50);  // the block is cached now
  Write(120, 10, 99);   // inside the cached block
  ExpectRead(100, 50);
  Write(3000, 500, 5);  // continues the block's valid part
  ExpectRead(2990, 40);
  Write(kBlock - 4, 8, 9);  // across two blocks, past a gap in the first
  ExpectRead(kBlock - 8, 16);
  ExpectRead(3400, 200);  // the gap reads as zeros
  EXPECT_EQ(test::ReadBytes(path), model);
}

TEST_F(CachedFileTest, TruncationForgetsTheCachedTail) {
  Write(0, 2 * kBlock, 3);
  ExpectRead(kBlock + 10, 100);
  Truncate(kBlock + 20);
  ExpectRead(kBlock + 10, 100);  // only ten bytes left
  Write(kBlock + 40, 4, 77);     // grows again, with a gap of zeros
  ExpectRead(kBlock + 10, 100);
}

TEST_F(CachedFileTest, RandomMixAgreesWithTheFile) {
  std::mt19937 rng(20261208);
  for (int step = 0; step < 4000; ++step) {
    const uint64_t size = model.size();
    switch (rng() % 8) {
      case 0:
      case 1:
      case 2: {  // writes mostly near the end, as appends are
        uint64_t at = rng() % 2 ? size : rng() % (size + 1);
        Write(at, 1 + rng() % 600, static_cast<uint8_t>(step));
        break;
      }
      case 3:
        if (rng() % 20 == 0) Truncate(rng() % (size + 1));
        break;
      default: {  // sequential runs and jumps
        uint64_t at = rng() % (size + 100);
        size_t length = 1 + rng() % 700;
        for (int i = 0; i < 3; ++i, at += length) ASSERT_NO_FATAL_FAILURE(ExpectRead(at, length));
      }
    }
  }
  file.Close();
  EXPECT_EQ(test::ReadBytes(path), model);
}

// --- Write-behind ---------------------------------------------------------------

std::vector<uint8_t> PageOf(uint8_t fill) { return std::vector<uint8_t>(512, fill); }

TEST_F(CachedFileTest, HeldPagesAreSeenByReadsAndWrittenInPageOrder) {
  file.SetPageSize(512);
  file.SetWriteBehind(true);
  for (uint32_t n : {3u, 1u, 2u, 0u}) file.WritePage(n, PageOf(static_cast<uint8_t>(n + 1)).data());
  EXPECT_TRUE(test::ReadBytes(path).empty());  // nothing written yet
  std::vector<uint8_t> page(512);
  file.ReadPage(2, page.data());
  EXPECT_EQ(page, PageOf(3));
  EXPECT_TRUE(test::ReadBytes(path).empty());
  // A read that is not one whole held page writes them first.
  uint8_t two[2];
  ASSERT_EQ(file.ReadAt(1023, two, 2), 2u);
  EXPECT_EQ(two[0], 2);
  EXPECT_EQ(two[1], 3);
  std::vector<uint8_t> expected;
  for (uint8_t fill : {1, 2, 3, 4}) {
    std::vector<uint8_t> p = PageOf(fill);
    expected.insert(expected.end(), p.begin(), p.end());
  }
  EXPECT_EQ(test::ReadBytes(path), expected);
  // The page count on disk counts held pages.
  file.WritePage(6, PageOf(7).data());
  EXPECT_EQ(file.PageCountOnDisk(), 7u);
}

TEST_F(CachedFileTest, SwitchingWriteBehindOffWritesWhatItHeld) {
  file.SetPageSize(512);
  file.SetWriteBehind(true);
  file.WritePage(1, PageOf(9).data());
  file.SetWriteBehind(false);
  EXPECT_EQ(test::ReadBytes(path).size(), 1024u);
  file.WritePage(2, PageOf(8).data());  // at once now
  EXPECT_EQ(test::ReadBytes(path).size(), 1536u);
}

TEST(WriteBehindTest, SharedFilesWriteAtOnce) {
  TempDir dir;
  TPageFile file;
  file.Open(dir / "S.NDX", TOpenMode::SharedCreate);
  file.SetWriteBehind(true);
  file.WritePage(0, PageOf(5).data());
  EXPECT_EQ(test::ReadBytes(dir / "S.NDX"), PageOf(5));
}

class FailingWrites : public TIoFaultHook {
 public:
  int Before(TIoOp op, const std::string&, uint64_t, size_t) override {
    return op == TIoOp::Write ? ENOSPC : 0;
  }
};

TEST(WriteBehindTest, AFailedWriteOfHeldPagesIsReported) {
  TempDir dir;
  TPageFile file;
  file.Open(dir / "F.NDX", TOpenMode::ExclusiveCreate);
  file.SetWriteBehind(true);
  file.WritePage(0, PageOf(5).data());
  FailingWrites hook;
  SetIoFaultHook(&hook);
  EXPECT_THROW(file.FlushPages(), ETableError);
  file.WritePage(1, PageOf(6).data());
  EXPECT_THROW(file.Close(), ETableError);
  SetIoFaultHook(nullptr);
  EXPECT_FALSE(file.IsOpen());
}

TEST(BlockCacheTest, LeastRecentlyUsedBlockMakesRoom) {
  TBlockCache cache(2);
  size_t valid = 0;
  cache.Make(0)[0] = 'a';
  cache.Filled(0, 10);
  cache.Make(kBlock)[0] = 'b';
  cache.Filled(kBlock, 10);
  ASSERT_NE(cache.Find(0, &valid), nullptr);  // block 0 used last
  cache.Make(2 * kBlock);
  cache.Filled(2 * kBlock, 10);
  EXPECT_EQ(cache.Find(kBlock, &valid), nullptr);
  const uint8_t* first = cache.Find(0, &valid);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first[0], 'a');
  EXPECT_EQ(valid, 10u);
  // A block read empty (past the end of the file) is not kept.
  cache.Make(5 * kBlock);
  cache.Filled(5 * kBlock, 0);
  EXPECT_EQ(cache.Find(5 * kBlock, &valid), nullptr);
}

}  // namespace
}  // namespace kalbor
