#include "storage/block_cache.h"

#include <algorithm>
#include <cstring>

namespace kalbor {

const uint8_t* TBlockCache::Find(uint64_t start, size_t* valid) {
  auto it = slots_.find(start);
  if (it == slots_.end()) return nullptr;
  TBlock& b = blocks_[it->second];
  b.used = ++tick_;
  *valid = b.valid;
  return b.bytes.data();
}

uint8_t* TBlockCache::Make(uint64_t start) {
  Drop(start);
  size_t slot;
  if (!free_.empty()) {
    slot = free_.back();
    free_.pop_back();
  } else if (blocks_.size() < capacity_) {
    slot = blocks_.size();
    blocks_.emplace_back();
  } else {
    slot = 0;
    for (size_t i = 1; i < blocks_.size(); ++i)
      if (blocks_[i].used < blocks_[slot].used) slot = i;
    slots_.erase(blocks_[slot].start);
  }
  TBlock& b = blocks_[slot];
  b.start = start;
  b.valid = 0;
  b.used = ++tick_;
  b.bytes.resize(kBlockSize);
  slots_[start] = slot;
  return b.bytes.data();
}

void TBlockCache::Filled(uint64_t start, size_t valid) {
  auto it = slots_.find(start);
  if (it == slots_.end()) return;
  if (valid == 0) {
    Drop(start);
    return;
  }
  blocks_[it->second].valid = valid;
}

void TBlockCache::Written(uint64_t offset, const uint8_t* bytes, size_t length) {
  if (slots_.empty() || length == 0) return;
  const uint64_t end = offset + length;
  for (uint64_t start = offset - offset % kBlockSize; start < end; start += kBlockSize) {
    auto it = slots_.find(start);
    if (it == slots_.end()) continue;
    TBlock& b = blocks_[it->second];
    const uint64_t from = std::max(offset, start);
    const uint64_t to = std::min(end, start + kBlockSize);
    if (from > start + b.valid) {
      Drop(start);
      continue;
    }
    std::memcpy(b.bytes.data() + (from - start), bytes + (from - offset), to - from);
    b.valid = std::max<size_t>(b.valid, static_cast<size_t>(to - start));
  }
}

void TBlockCache::Drop(uint64_t start) {
  auto it = slots_.find(start);
  if (it == slots_.end()) return;
  free_.push_back(it->second);
  blocks_[it->second].valid = 0;
  slots_.erase(it);
}

void TBlockCache::Clear() {
  blocks_.clear();
  blocks_.shrink_to_fit();
  slots_.clear();
  free_.clear();
}

}  // namespace kalbor
