#include "renderlib/kd_tree_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace RenderLib {
namespace {

bool AlignedTo(const void* memory, std::uintptr_t alignment) {
  return reinterpret_cast<std::uintptr_t>(memory) % alignment == 0;
}

TEST(KdTreeMemory, LargeArraysStartOnHugePageBoundariesAndSmallOnesKeepTheirAlignment) {
  const std::size_t large = (std::size_t{3} << 20) + 123;
  void* big = AllocateTraversalMemory(large, 32);
  ASSERT_NE(big, nullptr);
  EXPECT_TRUE(AlignedTo(big, std::uintptr_t{2} << 20));
  std::memset(big, 0x5a, large);  // every byte asked for is usable
  EXPECT_EQ(static_cast<unsigned char*>(big)[large - 1], 0x5a);
  FreeTraversalMemory(big);

  for (std::size_t alignment : {std::size_t{8}, std::size_t{32}, std::size_t{64}}) {
    void* small = AllocateTraversalMemory(100, alignment);
    ASSERT_NE(small, nullptr);
    EXPECT_TRUE(AlignedTo(small, alignment)) << alignment;
    std::memset(small, 1, 100);
    FreeTraversalMemory(small);
  }
}

TEST(KdTreeMemory, VectorsGrowAndCopyThroughTheAllocator) {
  struct alignas(32) Wide {
    float values[8];
  };
  std::vector<Wide, TraversalAllocator<Wide>> wides;
  for (int i = 0; i < 40000; ++i) wides.push_back(Wide{{static_cast<float>(i)}});  // crosses 1 MiB
  EXPECT_TRUE(AlignedTo(wides.data(), 32));
  EXPECT_EQ(wides[39999].values[0], 39999.0f);
  EXPECT_EQ(wides[123].values[0], 123.0f);
  std::vector<Wide, TraversalAllocator<Wide>> copy = wides;
  EXPECT_EQ(copy[20000].values[0], 20000.0f);
}

}  // namespace
}  // namespace RenderLib
