#include <gtest/gtest.h>

#include "app/model_table.h"

namespace {

// Files from outside follow the fixed entries; the same file twice is one entry, and a file of
// another's name from another folder is told apart by its folder's name.
TEST(ModelTable, FilesOfTheSameNameFromDifferentFoldersAreToldApart) {
  ModelTable table;
  table.Reset("");
  const size_t fixed = table.FixedCount();
  EXPECT_EQ(table.Size(), fixed);
  EXPECT_EQ(table.Add("/a/hall/statue.glb"), int(fixed));
  EXPECT_EQ(table.Add("/b/garden/statue.glb"), int(fixed) + 1);
  EXPECT_EQ(table.Add("/a/hall/statue.glb"), int(fixed));
  ASSERT_EQ(table.Size(), fixed + 2);
  EXPECT_EQ(table[fixed].label, "statue.glb");
  EXPECT_EQ(table[fixed + 1].label, "statue.glb (garden)");
  EXPECT_EQ(table[fixed + 1].file, "/b/garden/statue.glb");
}

}  // namespace
