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

  GrowableList<RenderLib::Vector3> counted;
  counted.SetCount(17);
  EXPECT_EQ(counted.Capacity(), 32);
  for (const RenderLib::Vector3& v : counted) EXPECT_EQ(v, RenderLib::Vector3());
  counted.SetCount(-5);  // taken as 0, never a negative count
  EXPECT_EQ(counted.Count(), 0);

  list.SetGranularity(8);  // the count rounded up to the new granularity
  EXPECT_EQ(list.Capacity(), 40);
  EXPECT_EQ(list[39], 117);
  list.SetGranularity(0);  // below 1 it would divide by zero or never grow
  list.Append(1);
  EXPECT_EQ(list.Count(), 41);
}

TEST(GrowableList, AppendingItsOwnElementWhileGrowing) {
  // The value refers into the storage the append reallocates.
  GrowableList<std::string> list;
  for (int i = 0; i < 16; ++i) list.Append("element " + std::to_string(i));
  ASSERT_EQ(list.Count(), list.Capacity());
  list.Append(list[3]);
  EXPECT_EQ(list[16], "element 3");
}

TEST(GrowableList, RemoveFastAndCopies) {
  GrowableList<int> list;
  for (int i = 0; i < 5; ++i) list.Append(i);
  list.RemoveFast(1);
  list.RemoveFast(7);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list[1], 4);  // the last element moved in

  GrowableList<int> copy(4);
  copy = list;
  list[0] = 100;
  EXPECT_EQ(copy.Count(), 4);
  EXPECT_EQ(copy.Granularity(), 16);
  EXPECT_EQ(copy[0], 0);
}
