#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/ui_list_box.h"
#include "tests/framework/dialog_fixture.h"

using namespace Platform;

namespace {

class ListBoxTest : public DialogTest {
protected:
  void SetUp() override {
    DialogTest::SetUp();
    // 100 pixels tall: five lines of 18 pixels (a 14-pixel font, 4 apart) show at once.
    ASSERT_EQ(dialog.AddListBox(9, 10, 20, 150, 100, &list), kOk);
    for (int i = 0; i < 12; ++i) list->AddItem("Line " + std::to_string(i));
  }
  // The middle of the line shown in row r.
  static int RowY(int r) { return 20 + 2 + 18 * r + 9; }

  CUIListBox* list = nullptr;
};

// The first line is selected on filling, silently; the keys move the selection within the
// list, scrolling to keep it shown, and report each move; Enter activates the line.
TEST_F(ListBoxTest, KeysMoveTheSelectionAndEnterActivatesIt) {
  EXPECT_EQ(list->GetSelectedIndex(), 0);
  EXPECT_TRUE(events.empty());
  dialog.RequestFocus(list);
  EXPECT_TRUE(Key(VK_UP));  // at the top already: nothing moves, nothing is reported
  EXPECT_TRUE(Key(VK_DOWN));
  EXPECT_TRUE(Key(VK_NEXT));
  EXPECT_EQ(list->GetSelectedIndex(), 6);
  EXPECT_EQ(list->ScrollBar().GetTrackPos(), 2);
  EXPECT_TRUE(Key(VK_END));
  EXPECT_TRUE(Key(VK_DOWN));
  EXPECT_EQ(list->GetSelectedIndex(), 11);
  EXPECT_EQ(list->ScrollBar().GetTrackPos(), 7);
  EXPECT_TRUE(Key(VK_RETURN));
  const GuiEvent moved{kEventListBoxSelectionChanged, 9}, activated{kEventListBoxItemActivated, 9};
  EXPECT_EQ(events, (std::vector<GuiEvent>{moved, moved, moved, activated}));

  list->RemoveAllItems();
  events.clear();
  EXPECT_FALSE(Key(VK_RETURN));  // nothing to activate
  EXPECT_TRUE(Key(VK_DOWN));
  EXPECT_EQ(list->GetSelectedIndex(), -1);
  EXPECT_TRUE(events.empty());
}

// A click selects the line under it (in the scrolled list), a double click activates it, the
// wheel scrolls without selecting, and a click below the last line selects nothing.
TEST_F(ListBoxTest, ClicksSelectAndDoubleClicksActivate) {
  EXPECT_TRUE(Wheel(-1, 40, RowY(1)));
  EXPECT_EQ(list->ScrollBar().GetTrackPos(), CUIListBox::kWheelLinesPerNotch);
  EXPECT_EQ(list->GetSelectedIndex(), 0);
  EXPECT_TRUE(Click(40, RowY(2)));
  EXPECT_EQ(list->GetSelectedIndex(), 5);
  EXPECT_TRUE(list->HasFocus());
  EXPECT_TRUE(Mouse(EventType::DoubleClick, 40, RowY(2)));
  Mouse(EventType::ButtonUp, 40, RowY(2));
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventListBoxSelectionChanged, 9}, {kEventListBoxItemActivated, 9}}));

  list->RemoveAllItems();
  list->AddItem("Only");
  events.clear();
  EXPECT_TRUE(Click(40, RowY(3)));
  EXPECT_EQ(list->GetSelectedIndex(), 0);
  EXPECT_TRUE(events.empty());
}

}  // namespace
