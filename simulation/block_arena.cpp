#include "simulation/block_arena.h"

namespace Simulation {

namespace {

std::size_t RoundUp(std::size_t bytes) {
  return (bytes + BlockArena::kAlignment - 1) / BlockArena::kAlignment * BlockArena::kAlignment;
}

}  // namespace

BlockArena::BlockArena(uint32_t elementCount, uint32_t elementSize)
    // Each element's share is rounded up to the alignment so that elementCount requests of
    // elementSize bytes always fit in the first chunk.
    : chunkLength(static_cast<std::size_t>(elementCount) * RoundUp(elementSize)) {
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

void* BlockArena::Allocate(std::size_t bytes) {
  std::size_t size = RoundUp(bytes == 0 ? 1 : bytes);
  if (size < bytes) return nullptr;  // the rounding overflowed
  std::lock_guard lock(mutex);
  if (current == nullptr || current->length - current->used < size) {
    // A request longer than a chunk gets a chunk of its own size instead of overrunning one.
    std::unique_ptr<Chunk> chunk = MakeChunk(size > chunkLength ? size : chunkLength);
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
