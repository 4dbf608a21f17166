#include "simulation/block_arena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

namespace Simulation {
namespace {

using Piece = std::pair<unsigned char*, size_t>;

Piece Take(BlockArena& arena, size_t size) {
  return {static_cast<unsigned char*>(arena.Allocate(size)), size};
}

// The pieces must be aligned, zero on arrival and apart: each is filled with its own byte and
// all are read back.
void ExpectDistinctZeroedPieces(const std::vector<Piece>& pieces) {
  for (size_t i = 0; i < pieces.size(); ++i) {
    auto [memory, size] = pieces[i];
    ASSERT_EQ(reinterpret_cast<uintptr_t>(memory) % BlockArena::kAlignment, 0u);
    ASSERT_TRUE(std::all_of(memory, memory + size, [](unsigned char b) { return b == 0; }));
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
    std::vector<Piece> pieces;
    for (int i = 0; i < 50; ++i) pieces.push_back(Take(arena, size));
    EXPECT_EQ(arena.ChunkCount(), 1u) << "n elements of size " << size << " fit the first chunk";
    pieces.push_back(Take(arena, size));
    EXPECT_EQ(arena.ChunkCount(), 2u);
    // A request larger than a whole chunk gets a chunk of its own rather than overrunning one.
    pieces.push_back(Take(arena, 100 * size));
    EXPECT_EQ(arena.ChunkCount(), 3u);
    EXPECT_EQ(arena.HandedOut(), 151u * size);
    ExpectDistinctZeroedPieces(pieces);
  }
  BlockArena empty(0, 64);
  EXPECT_NE(empty.Allocate(64), nullptr);
}

TEST(BlockArena, ConcurrentAllocationsNeverShareMemory) {
  BlockArena arena(1000, 48);
  std::vector<std::vector<Piece>> perThread(4);
  std::vector<std::thread> threads;
  for (auto& pieces : perThread) {
    threads.emplace_back([&arena, &pieces] {
      for (int i = 0; i < 400; ++i) pieces.push_back(Take(arena, 48));
    });
  }
  for (auto& thread : threads) thread.join();
  std::vector<Piece> all;
  for (auto& pieces : perThread) all.insert(all.end(), pieces.begin(), pieces.end());
  ExpectDistinctZeroedPieces(all);
  EXPECT_EQ(arena.ChunkCount(), 2u);
}

}  // namespace
}  // namespace Simulation
