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

// Tasks two workers write at once must not share a cache line, though new[] aligns chunks to
// 16 bytes only.
TEST(BlockArena, CacheLineAlignedPiecesFitTheBatchAndNeverShareALine) {
  struct alignas(64) Line {
    unsigned char bytes[72];
  };
  BlockArena arena(40, sizeof(Line), alignof(Line));
  std::vector<Piece> pieces;
  for (int i = 0; i < 40; ++i) pieces.push_back({arena.Create<Line>()->bytes, sizeof(Line)});
  EXPECT_EQ(arena.ChunkCount(), 1u) << "the first chunk leaves room to align its start";
  // An ordinary piece in between does not throw the next aligned one off its line.
  pieces.push_back(Take(arena, 24));
  pieces.push_back({static_cast<unsigned char*>(arena.Allocate(100, 64)), 100});
  // Nor does a request longer than a chunk, which gets one of its own.
  pieces.push_back({static_cast<unsigned char*>(arena.Allocate(10000, 64)), 10000});
  ExpectDistinctZeroedPieces(pieces);
  std::vector<uintptr_t> lines;
  for (const Piece& piece : pieces) {
    const auto start = reinterpret_cast<uintptr_t>(piece.first);
    if (piece.second == 24) continue;
    EXPECT_EQ(start % 64, 0u);
    for (uintptr_t line = start / 64; line <= (start + piece.second - 1) / 64; ++line) lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(std::adjacent_find(lines.begin(), lines.end()), lines.end()) << "two aligned pieces share a cache line";
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
