#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

namespace Simulation {

// A chunked bump allocator for the objects of one batch (the tasks of a simulation step). The
// first chunk is sized for the whole batch, so a batch normally costs one allocation and one
// release. Memory is never given back piece by piece: the destructor frees every chunk at once,
// and objects placed in the arena are not destroyed one by one. Allocate is safe to call from
// several threads.
class BlockArena {
public:
  // Every piece handed out starts at a multiple of this, so any ordinary object fits.
  static constexpr std::size_t kAlignment = alignof(std::max_align_t);

  // An arena whose first chunk holds elementCount pieces of elementSize bytes, zero-filled, each
  // starting at a multiple of elementAlignment (a power of two; smaller values mean kAlignment).
  BlockArena(uint32_t elementCount, uint32_t elementSize, std::size_t elementAlignment = kAlignment);
  BlockArena(const BlockArena&) = delete;
  BlockArena& operator=(const BlockArena&) = delete;
  ~BlockArena();

  // The next bytes of the current chunk, starting at a multiple of alignment (a power of two;
  // smaller values mean kAlignment) and taking a multiple of it, so pieces aligned to a cache
  // line never share one. When they do not fit, a new zero-filled chunk (as long as the first
  // one, or longer if the request needs it) is linked behind it. Returns nullptr only when
  // memory runs out.
  void* Allocate(std::size_t bytes, std::size_t alignment = kAlignment);

  // Constructs a T in the arena; nullptr when memory runs out. The object is never destroyed.
  template <class T, class... Args>
  T* Create(Args&&... args) {
    void* memory = Allocate(sizeof(T), alignof(T));
    return memory != nullptr ? new (memory) T(std::forward<Args>(args)...) : nullptr;
  }

  // Total bytes handed out (each request counted as asked).
  std::size_t HandedOut() const;
  std::size_t ChunkCount() const;

private:
  struct Chunk {
    std::unique_ptr<std::byte[]> memory;
    std::size_t length = 0;
    std::size_t used = 0;
    std::unique_ptr<Chunk> next;
  };

  // A new zero-filled chunk of length bytes, or nullptr when memory runs out.
  static std::unique_ptr<Chunk> MakeChunk(std::size_t length);

  mutable std::mutex mutex;
  std::unique_ptr<Chunk> first;
  Chunk* current = nullptr;
  std::size_t handedOut = 0;
  std::size_t chunkLength;
  std::size_t chunkCount = 0;
};

}  // namespace Simulation
