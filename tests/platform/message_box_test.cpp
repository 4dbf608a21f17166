#include "platform/message_box.h"

#include <gtest/gtest.h>

namespace Platform {
namespace {

TEST(MessageBox, ButtonTextsLoseTheirMnemonicMarks) {
  EXPECT_EQ(WithoutMnemonics("&Yes"), "Yes");
  EXPECT_EQ(WithoutMnemonics("&Don't show again"), "Don't show again");
  EXPECT_EQ(WithoutMnemonics("Salt && &Pepper"), "Salt & Pepper");
  EXPECT_EQ(WithoutMnemonics("Trailing&"), "Trailing");
}

}  // namespace
}  // namespace Platform
