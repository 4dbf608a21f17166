#include "renderlib/kd_node_pool.h"

namespace RenderLib {

KdNodePool::KdNodePool() {
  first = std::make_unique<Block>();
  first->nodes = std::make_unique<KdNode[]>(kBlockSize);
  current = first.get();
  blockCount = 1;
}

// Blocks are chained, so free them front to back iteratively rather than by recursion.
KdNodePool::~KdNodePool() {
  std::unique_ptr<Block> block = std::move(first);
  while (block) block = std::move(block->next);
}

KdNode* KdNodePool::Take(int32_t count) {
  if (kBlockSize - current->used < count) {
    current->next = std::make_unique<Block>();
    current = current->next.get();
    current->nodes = std::make_unique<KdNode[]>(kBlockSize);
    ++blockCount;
  }
  KdNode* nodes = current->nodes.get() + current->used;
  current->used += count;
  return nodes;
}

}  // namespace RenderLib
