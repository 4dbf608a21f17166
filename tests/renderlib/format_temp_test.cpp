#include "renderlib/format_temp.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using RenderLib::FormatTemp;

TEST(FormatTemp, FourResultsLiveAtOnceAndTheFifthReusesTheFirst) {
  const char* results[4];
  for (int i = 0; i < 4; ++i) results[i] = FormatTemp("media/mask_dirt%02d.jpg", i);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(std::string(results[i]), "media/mask_dirt0" + std::to_string(i) + ".jpg");
  }
  const char* fifth = FormatTemp("%s %d", "fifth", 5);
  EXPECT_EQ(fifth, results[0]);
  EXPECT_STREQ(results[0], "fifth 5");
  EXPECT_STREQ(results[1], "media/mask_dirt01.jpg");
}

TEST(FormatTemp, LongOutputIsCutAt255Characters) {
  std::string longName(400, 'x');
  const char* neighbour = FormatTemp("neighbour");
  const char* result = FormatTemp("Unable to load %s", longName.c_str());
  EXPECT_EQ(std::string(result), ("Unable to load " + longName).substr(0, 255));
  EXPECT_STREQ(neighbour, "neighbour");
}

TEST(FormatTemp, ThreadsDoNotShareBuffers) {
  const char* mine = FormatTemp("main %d", 1);
  std::string fromThread;
  const char* theirs = nullptr;
  std::thread worker([&] {
    // As many calls as there are buffers: with shared buffers one would land on ours.
    for (int i = 0; i < 4; ++i) theirs = FormatTemp("worker %d", i);
    fromThread = theirs;
  });
  worker.join();
  EXPECT_STREQ(mine, "main 1");
  EXPECT_EQ(fromThread, "worker 3");
  EXPECT_NE(theirs, mine);
}
