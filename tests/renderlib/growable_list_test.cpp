#include "renderlib/growable_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "renderlib/vector3.h"

using RenderLib::GrowableList;

TEST(GrowableList, GrowsInStepsOfItsGranularity) {
  GrowableList<int> list;
  std::vector<int> capacities;
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(list.Append(i * 3), i);
    if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{16, 32, 48}));
  for (int i = 0; i < 40; ++i) ASSERT_EQ(list[i], i * 3);

  GrowableList<int> counted;
  counted.SetCount(17);
  EXPECT_EQ(counted.Capacity(), 32);
  EXPECT_EQ(counted.Count(), 17);
  counted.SetCount(-5);  // taken as 0, never a negative count
  EXPECT_EQ(counted.Count(), 0);
  EXPECT_EQ(counted.Capacity(), 32);
}

TEST(GrowableList, NewElementsAreZeroAndResizeKeepsThePrefix) {
  GrowableList<RenderLib::Vector3> list;
  list.SetCount(20);
  for (const RenderLib::Vector3& v : list) EXPECT_EQ(v, RenderLib::Vector3());
  for (int i = 0; i < 20; ++i) list[i] = RenderLib::Vector3(float(i), 0, 0);
  list.Resize(5);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Capacity(), 5);
  EXPECT_EQ(list[4].x, 4.0f);
  list.Resize(0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Items(), nullptr);
}

TEST(GrowableList, SetGranularityRoundsTheCountUp) {
  GrowableList<int> list;
  for (int i = 0; i < 20; ++i) list.Append(i);
  list.SetGranularity(8);
  EXPECT_EQ(list.Capacity(), 24);
  EXPECT_EQ(list.Granularity(), 8);
  EXPECT_EQ(list[19], 19);
  list.SetGranularity(0);  // a granularity below 1 would divide by zero or never grow
  EXPECT_EQ(list.Granularity(), 1);
  list.Append(20);
  EXPECT_EQ(list[20], 20);
  GrowableList<int> zero(0);
  zero.Append(1);
  EXPECT_EQ(zero.Count(), 1);
}

TEST(GrowableList, AppendingItsOwnElementWhileGrowing) {
  // The value refers into the storage the append reallocates.
  GrowableList<std::string> list;
  for (int i = 0; i < 16; ++i) list.Append("element " + std::to_string(i));
  ASSERT_EQ(list.Count(), list.Capacity());
  list.Append(list[3]);
  EXPECT_EQ(list[16], "element 3");
}

TEST(GrowableList, RemoveFastSwapAndCopy) {
  GrowableList<int> list;
  for (int i = 0; i < 5; ++i) list.Append(i);
  list.RemoveFast(1);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list[1], 4);  // the last element moved in
  list.RemoveFast(3);
  EXPECT_EQ(list.Count(), 3);
  list.RemoveFast(7);
  list.RemoveFast(-1);
  EXPECT_EQ(list.Count(), 3);

  GrowableList<int> other(4);
  other.Append(9);
  list.Swap(other);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Granularity(), 4);
  EXPECT_EQ(other.Count(), 3);
  EXPECT_EQ(other.Granularity(), 16);

  GrowableList<int> copy;
  copy = other;
  other[0] = 100;
  EXPECT_EQ(copy.Count(), 3);
  EXPECT_EQ(copy.Capacity(), other.Capacity());
  EXPECT_EQ(copy[0], 0);
  copy.Clear();
  EXPECT_EQ(copy.Capacity(), 0);
  EXPECT_EQ(copy.Granularity(), 16);
}
