#include "renderlib/float_radix_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

namespace RenderLib {
namespace {

struct Item {
  float key;
  int id;
};

TEST(FloatRadixSort, OrdersSignedZerosTinyHugeAndRepeatedKeysAndKeepsEveryItem) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> wide(-1000.0f, 1000.0f);
  const float special[] = {0.0f, -0.0f, 1e-40f, -1e-40f, std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                           std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(), 1.0f, -1.0f};
  for (size_t count : {size_t{100}, size_t{5000}}) {
    std::vector<Item> items;
    for (size_t i = 0; i < count; ++i) {
      const float key = i % 3 == 0 ? special[i / 3 % 10] : wide(random);
      items.push_back({key, static_cast<int>(i)});
    }
    std::vector<Item> scratch(count);
    SortByFloatKey(items.data(), scratch.data(), count, [](const Item& item) { return item.key; });
    std::vector<int> ids;
    for (size_t i = 0; i < count; ++i) {
      if (i > 0) {
        ASSERT_LE(items[i - 1].key, items[i].key) << "at " << i << " of " << count;
      }
      ids.push_back(items[i].id);
    }
    std::sort(ids.begin(), ids.end());
    for (size_t i = 0; i < count; ++i) ASSERT_EQ(ids[i], static_cast<int>(i));
  }
}

}  // namespace
}  // namespace RenderLib
