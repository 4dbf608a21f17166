#include "renderlib/byte_string.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using RenderLib::String;

TEST(String, InlineUntilSixteenBytesThenHeapInMultiplesOfEight) {
  String text("0123456789abcde");  // 15 characters and the terminator fill the inline bytes
  EXPECT_TRUE(text.IsInline());
  EXPECT_EQ(text.Capacity(), 16u);
  std::string expected = text.CStr();
  for (int i = 0; i < 200; ++i) {
    text.Append(char('a' + i % 26));
    expected += char('a' + i % 26);
    ASSERT_EQ(text.Capacity() % 8, 0u);
    ASSERT_GT(text.Capacity(), text.Length());
    ASSERT_EQ(std::string(text.CStr()), expected);
  }
  EXPECT_FALSE(text.IsInline());

  // Appending a piece of itself, across a reallocation and without one.
  String twice("path/name-that-is-long");
  twice.Append(twice.CStr());
  EXPECT_EQ(twice, "path/name-that-is-longpath/name-that-is-long");
  twice.Truncate(4);
  twice.Append(twice.CStr() + 1, 2);
  EXPECT_EQ(twice, "pathat");
  twice = twice.CStr() + 2;
  EXPECT_EQ(twice, "that");
}

TEST(String, MovesAndCopiesKeepTheirOwnStorage) {
  String longText("a string far longer than the inline storage");
  String copy = longText;
  copy.Truncate(1);
  String moved = std::move(longText);
  EXPECT_EQ(moved, "a string far longer than the inline storage");
  longText = "short";
  moved = std::move(longText);
  EXPECT_EQ(moved, "short");
}

TEST(String, StripFilename) {
  const std::pair<const char*, const char*> cases[] = {
      {"media/models/bunny.obj", "media/models"},
      {"media\\bunny.obj", "media"},
      {"dir/sub\\file", "dir/sub"},
      {"bunny.obj", ""},
      {"", ""},
      {"/bunny.obj", "/"},  // the root stays the root
      {"media/", "media"},
  };
  for (const auto& [path, directory] : cases) {
    String text(path);
    text.StripFilename();
    EXPECT_EQ(text, directory) << path;
  }
}

TEST(String, AppendPath) {
  struct Case {
    const char* base;
    const char* name;
    const char* result;
  };
  const Case cases[] = {
      {"media", "bunny.mtl", "media/bunny.mtl"},
      {"media/", "bunny.mtl", "media/bunny.mtl"},
      {"media\\", "bunny.mtl", "media\\bunny.mtl"},
      {"", "bunny.mtl", "bunny.mtl"},
      {"media", "/bunny.mtl", "media/bunny.mtl"},          // a leading separator is skipped once
      {"media", "textures\\wood.tga", "media/textures/wood.tga"},
      {"media", "", "media"},
      {"/", "a.mtl", "/a.mtl"},
  };
  for (const Case& c : cases) {
    String text(c.base);
    text.AppendPath(c.name, '/');
    EXPECT_EQ(text, c.result) << c.base << " + " << c.name;
  }
}

TEST(String, SetFileExtension) {
  struct Case {
    const char* path;
    const char* extension;
    const char* result;
  };
  const Case cases[] = {
      {"media/bunny.obj", "mtl", "media/bunny.mtl"},
      {"media/bunny", "mtl", "media/bunny.mtl"},
      {"media/bunny.obj", ".mtl", "media/bunny.mtl"},
      {"my.models/bunny", "mtl", "my.models/bunny.mtl"},  // a dot before the last separator stays
      {"my.models\\bunny", "mtl", "my.models\\bunny.mtl"},
      {"a.b.c", "mtl", "a.b.mtl"},
      {"", "mtl", ".mtl"},
  };
  for (const Case& c : cases) {
    String text(c.path);
    text.SetFileExtension(c.extension);
    EXPECT_EQ(text, c.result) << c.path;
  }
}
