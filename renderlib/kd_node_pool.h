#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace RenderLib {

// A node of the kd-tree as built: interior nodes split space at `split` on `axis` and point
// to two consecutive children (below the plane, then above); leaves have no children and
// list their triangles.
struct KdNode {
  int32_t axis = 0;
  float split = 0.0f;
  std::vector<int32_t> triangles;
  KdNode* children = nullptr;

  bool IsLeaf() const { return children == nullptr; }
};

// Hands out cleared nodes from blocks of 2048, so a build makes one allocation per 2048 nodes
// and siblings sit side by side. Nodes are freed all at once with the pool.
class KdNodePool {
public:
  static constexpr int32_t kBlockSize = 2048;

  KdNodePool();
  KdNodePool(const KdNodePool&) = delete;
  KdNodePool& operator=(const KdNodePool&) = delete;
  ~KdNodePool();

  // count consecutive nodes (1 or 2).
  KdNode* Take(int32_t count);
  int32_t BlockCount() const { return blockCount; }

private:
  struct Block {
    std::unique_ptr<KdNode[]> nodes;
    int32_t used = 0;
    std::unique_ptr<Block> next;
  };

  std::unique_ptr<Block> first;
  Block* current = nullptr;
  int32_t blockCount = 0;
};

}  // namespace RenderLib
