#include "simulation/block_arena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

namespace Simulation {
namespace {

// Checks that the pieces are aligned, zero on arrival and do not overlap, by filling each with
// its own byte and reading all back.
void ExpectDistinctZeroedPieces(const std::vector<std::pair<unsigned char*, size_t>>& pieces) {
  for (size_t i = 0; i < pieces.size(); ++i) {
    auto [memory, size] = pieces[i];
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(memory) % BlockArena::kAlignment, 0u);
    EXPECT_TRUE(std::all_of(memory, memory + size, [](unsigned char b) { return b == 0; }));
    std::memset(memory, static_cast<int>(i % 251) + 1, size);
  }
  for (size_t i = 0; i < pieces.size(); ++i) {
    auto [memory, size] = pieces[i];
    unsigned char mark = static_cast<unsigned char>(i % 251 + 1);
    ASSERT_TRUE(std::all_of(memory, memory + size, [mark](unsigned char b) { return b == mark; }))
        << "piece " << i << " was overwritten";
  }
}

TEST(BlockArena, SizedForTheBatchAndGrowsByWholeChunks) {
  for (uint32_t size : {16u, 24u, 100u}) {
    BlockArena arena(50, size);
    EXPECT_EQ(arena.ChunkCount(), 1u);
    std::vector<std::pair<unsigned char*, size_t>> pieces;
    for (int i = 0; i < 50; ++i) {
      pieces.emplace_back(static_cast<unsigned char*>(arena.Allocate(size)), size);
    }
    EXPECT_EQ(arena.ChunkCount(), 1u) << "n elements of size " << size << " fit the first chunk";
    pieces.emplace_back(static_cast<unsigned char*>(arena.Allocate(size)), size);
    EXPECT_EQ(arena.ChunkCount(), 2u);
    // A request larger than a whole chunk gets a chunk of its own rather than overrunning one.
    pieces.emplace_back(static_cast<unsigned char*>(arena.Allocate(100 * size)), 100 * size);
    EXPECT_EQ(arena.ChunkCount(), 3u);
    EXPECT_EQ(arena.HandedOut(), 51u * size + 100 * size);
    ExpectDistinctZeroedPieces(pieces);
  }
  BlockArena empty(0, 64);
  EXPECT_EQ(empty.ChunkCount(), 0u);
  EXPECT_NE(empty.Allocate(64), nullptr);
}

TEST(BlockArena, ConcurrentAllocationsNeverShareMemory) {
  BlockArena arena(1000, 48);
  std::vector<std::vector<std::pair<unsigned char*, size_t>>> perThread(4);
  std::vector<std::thread> threads;
  for (auto& pieces : perThread) {
    threads.emplace_back([&arena, &pieces] {
      for (int i = 0; i < 400; ++i) {
        pieces.emplace_back(static_cast<unsigned char*>(arena.Allocate(48)), 48);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::vector<std::pair<unsigned char*, size_t>> all;
  for (auto& pieces : perThread) all.insert(all.end(), pieces.begin(), pieces.end());
  ExpectDistinctZeroedPieces(all);
  EXPECT_EQ(arena.ChunkCount(), 2u);
}

}  // namespace
}  // namespace Simulation
