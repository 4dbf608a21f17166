// Input that users notice when it goes wrong: double clicks, text rewritten by the application,
// what may enter an edit box, and drags whose button comes up where the dialog never sees it.
#include <algorithm>

#include "tests/framework/dialog_fixture.h"
#include "framework/ui_button.h"
#include "framework/ui_check_box.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_edit_box.h"
#include "framework/ui_radio_button.h"
#include "framework/ui_slider.h"

using namespace Platform;

namespace {

TEST_F(DialogTest, SecondClickOfADoubleClickIsAPressForEveryControl) {
  CUICheckBox* check = nullptr;
  CUIRadioButton* radio = nullptr;
  CUISlider* slider = nullptr;
  CUIEditBox* edit = nullptr;
  CUIComboBox* combo = nullptr;
  ASSERT_EQ(dialog.AddButton(1, "Weather", 0, 0, 60, 20), kOk);
  ASSERT_EQ(dialog.AddCheckBox(2, "Check", 0, 30, 60, 20, false, 0, false, &check), kOk);
  ASSERT_EQ(dialog.AddRadioButton(3, 1, "A", 0, 60, 60, 20, true), kOk);
  ASSERT_EQ(dialog.AddRadioButton(4, 1, "B", 70, 60, 60, 20, false, 0, false, &radio), kOk);
  ASSERT_EQ(dialog.AddSlider(5, 0, 90, 100, 20, 0, 100, 50, false, &slider), kOk);
  ASSERT_EQ(dialog.AddEditBox(6, "abc", 0, 120, 120, 30, false, &edit), kOk);
  ASSERT_EQ(dialog.AddComboBox(7, 0, 160, 100, 20, 0, false, &combo), kOk);
  ASSERT_EQ(combo->AddItem("one", nullptr), kOk);

  // What the window layer sends for a quick click, click.
  auto doubleClick = [&](int x, int y) {
    Mouse(EventType::ButtonDown, x, y);
    Mouse(EventType::ButtonUp, x, y);
    Mouse(EventType::DoubleClick, x, y);
    Mouse(EventType::ButtonUp, x, y);
  };
  auto count = [&](uint32_t code, int id) {
    return std::count(events.begin(), events.end(), GuiEvent{code, id});
  };

  doubleClick(30, 10);
  EXPECT_EQ(count(kEventButtonClicked, 1), 2);
  doubleClick(10, 40);
  EXPECT_EQ(count(kEventCheckBoxChanged, 2), 2);
  EXPECT_FALSE(check->GetChecked());
  doubleClick(80, 70);
  EXPECT_EQ(count(kEventRadioButtonChanged, 4), 2);
  EXPECT_TRUE(radio->GetChecked());
  doubleClick(95, 100);  // on the track right of the thumb: a step per press
  EXPECT_EQ(slider->GetValue(), 52);
  EXPECT_EQ(count(kEventSliderValueChanged, 5), 4);  // each press steps, each release reports
  doubleClick(50, 135);
  EXPECT_TRUE(edit->HasFocus());
  doubleClick(50, 170);  // the first click opens the list, the second closes it
  EXPECT_FALSE(combo->IsOpened());
}

TEST_F(DialogTest, EditBoxWhoseTextTheApplicationRewritesKeepsItsCaretAtTheEnd) {
  CUIEditBox* edit = nullptr;
  ASSERT_EQ(dialog.AddEditBox(1, "", 0, 0, 160, 30, false, &edit), kOk);
  // Like a number field: the application keeps the digits of whatever was typed.
  dialog.SetCallback(
      [](uint32_t code, int, CUIControl* control, void*) {
        if (code != kEventEditBoxChange) return;
        auto* box = static_cast<CUIEditBox*>(control);
        std::string digits;
        for (char c : box->GetText()) {
          if (c >= '0' && c <= '9') digits += c;
        }
        box->SetText(digits);
      },
      nullptr);
  dialog.RequestFocus(edit);
  Type(U"12a3");
  EXPECT_EQ(edit->GetText(), "123");
  EXPECT_EQ(edit->CaretPosition(), 3u);
  Type(U"4");
  EXPECT_EQ(edit->GetText(), "1234");
  EXPECT_EQ(edit->CaretPosition(), 4u);
  EXPECT_EQ(edit->SelectionStart(), 4u);
}

TEST_F(DialogTest, EditBoxTakesNoControlCharactersAndNothingPastItsLimit) {
  CUIEditBox* edit = nullptr;
  ASSERT_EQ(dialog.AddEditBox(1, "ab", 0, 0, 160, 30, false, &edit), kOk);
  dialog.RequestFocus(edit);
  Type(U"\x01\x1b\t\x7f\x1f");
  EXPECT_EQ(edit->GetText(), "ab");
  EXPECT_TRUE(events.empty());

  input.clipboard = "c\td\x1b" "e\x7f\r\n";
  EXPECT_TRUE(Chord(VK_CONTROL, 'V'));
  EXPECT_EQ(edit->GetText(), "abcde");

  // A paste fills the box up to its limit and no further, in insert and overwrite mode alike.
  edit->SetText(std::string(258, 'x'));
  events.clear();
  input.clipboard = "123456";
  EXPECT_TRUE(Chord(VK_CONTROL, 'V'));
  EXPECT_EQ(edit->GetTextLength(), CUIEditBox::kMaxTextCodePoints);
  EXPECT_EQ(edit->GetText().substr(256), "xx12");
  EXPECT_EQ(events.size(), 1u);
  EXPECT_TRUE(Chord(VK_CONTROL, 'V'));
  Key(VK_INSERT);
  Type(U"z");
  EXPECT_EQ(edit->GetTextLength(), CUIEditBox::kMaxTextCodePoints);
  EXPECT_EQ(events.size(), 1u);
}

// The window loses the focus in the middle of a drag and the button comes up outside it: the
// dialog hears only that the capture went elsewhere. Every drag ends there, reporting nothing,
// and the pointer passing over the controls later moves nothing.
TEST_F(DialogTest, LosingTheMouseCaptureEndsEveryDragWithoutAnEvent) {
  CUIButton* button = nullptr;
  CUISlider* slider = nullptr;
  CUIEditBox* edit = nullptr;
  CUIComboBox* combo = nullptr;
  ASSERT_EQ(dialog.AddButton(1, "Weather", 0, 0, 60, 20, 0, false, &button), kOk);
  ASSERT_EQ(dialog.AddSlider(2, 0, 30, 100, 20, 0, 100, 50, false, &slider), kOk);
  ASSERT_EQ(dialog.AddEditBox(3, "abcdefgh", 0, 60, 120, 30, false, &edit), kOk);
  ASSERT_EQ(dialog.AddComboBox(4, 0, 100, 100, 20, 0, false, &combo), kOk);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(combo->AddItem("Item " + std::to_string(i), nullptr), kOk);
  auto loseCapture = [&] {
    events.clear();
    const int releases = input.releases;
    EXPECT_FALSE(dialog.HandleEvent(nullptr, WindowEvent::LostCapture(0)));
    EXPECT_EQ(input.releases, releases) << "the capture is someone else's now";
  };

  Mouse(EventType::ButtonDown, 30, 10);
  ASSERT_TRUE(button->IsPressed());
  loseCapture();
  EXPECT_FALSE(button->IsPressed());
  Mouse(EventType::ButtonUp, 30, 10);  // the release of a later press elsewhere
  EXPECT_TRUE(events.empty());

  Mouse(EventType::ButtonDown, 50, 40);  // the thumb
  Mouse(EventType::MouseMove, 80, 40);
  ASSERT_EQ(slider->GetValue(), 80);
  loseCapture();
  EXPECT_FALSE(slider->IsPressed());
  Mouse(EventType::MouseMove, 10, 40);
  EXPECT_EQ(slider->GetValue(), 80);
  EXPECT_TRUE(events.empty());

  // Without a device every point of the text is its start: a drag would take the caret there.
  Mouse(EventType::ButtonDown, 8, 75);
  ASSERT_TRUE(edit->HasFocus());
  loseCapture();
  Key(VK_END);
  Mouse(EventType::MouseMove, 40, 75);
  EXPECT_EQ(edit->CaretPosition(), 8u);

  Click(50, 110);  // opens the list
  ASSERT_TRUE(combo->IsOpened());
  const UIRect bar = combo->ScrollBar().BoundingBox();
  const int thumbX = bar.left + bar.Width() / 2, thumbY = bar.top + bar.Width() + 4;
  Mouse(EventType::ButtonDown, thumbX, thumbY);
  Mouse(EventType::MouseMove, thumbX, bar.bottom - bar.Width() - 4);
  const int position = combo->ScrollBar().GetTrackPos();
  ASSERT_GT(position, 0);
  loseCapture();
  Mouse(EventType::MouseMove, thumbX, thumbY);
  EXPECT_EQ(combo->ScrollBar().GetTrackPos(), position);
  EXPECT_TRUE(events.empty());
}

// A list wider than its box (long item names beside a narrow box at the window's right edge)
// opens to the left, and a click on the part left of the box picks the item there.
TEST_F(DialogTest, AComboListWiderThanItsBoxOpensLeftwardsAndTakesClicksThere) {
  CUIComboBox* combo = nullptr;
  ASSERT_EQ(dialog.AddComboBox(1, 150, 0, 60, 20, 0, false, &combo), kOk);
  ASSERT_EQ(combo->AddItem("Session 1 · 2 steps · density 100", nullptr), kOk);
  ASSERT_EQ(combo->AddItem("Session 2 · 6 steps · density 50", nullptr), kOk);
  combo->SetDropWidth(200);
  Click(180, 10);
  ASSERT_TRUE(combo->IsOpened());
  const UIRect second = combo->GetItem(1)->activeRect;
  ASSERT_TRUE(combo->GetItem(1)->visible);
  EXPECT_LT(second.left, 20) << "the list keeps the box's width";
  Click(second.left + 5, (second.top + second.bottom) / 2);
  EXPECT_EQ(combo->GetSelectedIndex(), 1);
  EXPECT_EQ(std::count(events.begin(), events.end(), GuiEvent{kEventComboBoxSelectionChanged, 1}), 1);
}

}  // namespace
