// TBlockCache: recent blocks of one file's bytes, for a file nobody else may
// write. The owner reads blocks in from the file and tells the cache of every
// write, so a cached block always equals the file's present bytes. At most
// the capacity given at construction is held, in blocks; the least recently
// used one makes room.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace kalbor {

class TBlockCache {
 public:
  static constexpr size_t kBlockSize = 16 * 1024;
  explicit TBlockCache(size_t capacity_blocks) : capacity_(capacity_blocks) {}

  size_t Bytes() const { return capacity_ * kBlockSize; }

  // The block starting at `start` (a multiple of the block size) and how many
  // of its bytes the file held when it was read; nullptr when not cached.
  const uint8_t* Find(uint64_t start, size_t* valid);
  // Room for the block at `start`, to be filled by the caller, who then
  // calls Filled with the number of bytes read.
  uint8_t* Make(uint64_t start);
  void Filled(uint64_t start, size_t valid);
  // Bytes written to the file at `offset`: cached blocks they touch take
  // them (a block grows when they continue its valid part; one they would
  // leave a gap in is dropped).
  void Written(uint64_t offset, const uint8_t* bytes, size_t length);
  void Clear();

 private:
  struct TBlock {
    uint64_t start = 0;
    size_t valid = 0;
    uint64_t used = 0;  // tick of the last use
    std::vector<uint8_t> bytes;
  };
  void Drop(uint64_t start);

  size_t capacity_;
  uint64_t tick_ = 0;
  std::vector<TBlock> blocks_;
  std::unordered_map<uint64_t, size_t> slots_;  // block start -> index in blocks_
  std::vector<size_t> free_;                    // unused indexes in blocks_
};

}  // namespace kalbor
