#include "simulation/block_arena.h"

#include <cstdint>

namespace Simulation {

namespace {

std::size_t ValidAlignment(std::size_t alignment) {
  const bool powerOfTwo = alignment != 0 && (alignment & (alignment - 1)) == 0;
  return powerOfTwo && alignment > BlockArena::kAlignment ? alignment : BlockArena::kAlignment;
}

std::size_t RoundUp(std::size_t bytes, std::size_t alignment) { return (bytes + alignment - 1) & ~(alignment - 1); }

}  // namespace

BlockArena::BlockArena(uint32_t elementCount, uint32_t elementSize, std::size_t elementAlignment)
    // Each element's share is rounded up to the alignment, and the chunk has room to align its
    // start (new[] guarantees only kAlignment), so that elementCount requests of elementSize
    // bytes always fit in the first chunk.
    : chunkLength(elementCount == 0 ? 0
                                    : static_cast<std::size_t>(elementCount) *
                                              RoundUp(elementSize, ValidAlignment(elementAlignment)) +
                                          ValidAlignment(elementAlignment) - kAlignment) {
  if (chunkLength == 0) return;
  first = MakeChunk(chunkLength);
  current = first.get();
  if (first != nullptr) chunkCount = 1;
}

BlockArena::~BlockArena() {
  // Unlinked one at a time so that a long chain cannot recurse deeply.
  while (first != nullptr) first = std::move(first->next);
}

std::unique_ptr<BlockArena::Chunk> BlockArena::MakeChunk(std::size_t length) {
  auto chunk = std::unique_ptr<Chunk>(new (std::nothrow) Chunk);
  if (chunk == nullptr) return nullptr;
  chunk->memory.reset(new (std::nothrow) std::byte[length]());
  if (chunk->memory == nullptr) return nullptr;
  chunk->length = length;
  return chunk;
}

void* BlockArena::Allocate(std::size_t bytes, std::size_t alignment) {
  alignment = ValidAlignment(alignment);
  const std::size_t size = RoundUp(bytes == 0 ? 1 : bytes, alignment);
  const std::size_t slack = alignment - kAlignment;
  if (size < bytes || size + slack < size) return nullptr;  // the rounding overflowed
  std::lock_guard lock(mutex);
  auto padding = [&](const Chunk* chunk) {
    const auto address = reinterpret_cast<std::uintptr_t>(chunk->memory.get()) + chunk->used;
    return static_cast<std::size_t>(RoundUp(address, alignment) - address);
  };
  if (current == nullptr || current->length - current->used < size ||
      current->length - current->used - size < padding(current)) {
    // A request longer than a chunk gets a chunk of its own size instead of overrunning one.
    std::unique_ptr<Chunk> chunk = MakeChunk(size + slack > chunkLength ? size + slack : chunkLength);
    if (chunk == nullptr) return nullptr;
    Chunk* added = chunk.get();
    if (current == nullptr) {
      first = std::move(chunk);
    } else {
      current->next = std::move(chunk);
    }
    current = added;
    ++chunkCount;
  }
  current->used += padding(current);
  void* piece = current->memory.get() + current->used;
  current->used += size;
  handedOut += bytes;
  return piece;
}

std::size_t BlockArena::HandedOut() const {
  std::lock_guard lock(mutex);
  return handedOut;
}

std::size_t BlockArena::ChunkCount() const {
  std::lock_guard lock(mutex);
  return chunkCount;
}

}  // namespace Simulation
