#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "framework/framework_state.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_edit_box.h"
#include "framework/ui_slider.h"
#include "tests/framework/dialog_fixture.h"

using namespace Platform;

namespace {

TEST(BlendColorTest, FadesByTheRatePerThirtiethOfASecondAndJumpsWhenPressed) {
  BlendColor color;
  color.Init(0xFF336699, 0x80000000, 0x00000000);
  EXPECT_EQ(color.current.a, 0.0f);

  color.Blend(ControlState::Normal, 1.0f / 30.0f, 0.7f);
  EXPECT_NEAR(color.current.a, 0.3f, 1e-5f);
  EXPECT_NEAR(color.current.b, 0.3f * 0x99 / 255.0f, 1e-5f);
  color.Blend(ControlState::Normal, 2.0f / 30.0f, 0.7f);  // 0.3 + 0.7 x (1 - 0.49)
  EXPECT_NEAR(color.current.a, 0.657f, 1e-5f);

  color.Blend(ControlState::Disabled, 0.1f, 0.8f);
  EXPECT_NEAR(color.current.a, 0.657f + (128.0f / 255.0f - 0.657f) * (1.0f - std::pow(0.8f, 3.0f)), 1e-5f);

  color.states[static_cast<int>(ControlState::Pressed)] = 0xFF102030;
  color.Blend(ControlState::Pressed, 0.0f);
  EXPECT_NEAR(color.current.r, 0x10 / 255.0f, 1e-6f);
  EXPECT_NEAR(color.current.a, 1.0f, 1e-6f);
}

FrameSchedule& Schedule() { return GetFrameworkState().frameSchedule; }

double SecondsNow() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

TEST(BlendColorTest, AFadeAsksForFramesUntilItHasReachedItsColourThenRests) {
  BlendColor color;
  color.Init(0xFF336699, 0x80000000, 0x00000000);
  int frames = 1;
  for (; frames < 100; ++frames) {
    Schedule().FrameStarted();
    color.Blend(ControlState::Normal, 1.0f / 30.0f, 0.7f);
    if (!Schedule().IsDue(SecondsNow())) break;
  }
  // 0.7^n is below half an 8-bit step (0.5 / 255) from n = 18 on; the colour is then its target.
  EXPECT_GE(frames, 17);
  EXPECT_LE(frames, 19);
  EXPECT_EQ(color.current.a, 1.0f);
  EXPECT_FLOAT_EQ(color.current.b, 0x99 / 255.0f);
  Schedule().FrameStarted();
  color.Blend(ControlState::Normal, 1.0f / 30.0f, 0.7f);
  EXPECT_FALSE(Schedule().IsDue(SecondsNow()));
}

class SliderTest : public DialogTest {
protected:
  void SetUp() override {
    DialogTest::SetUp();
    ASSERT_EQ(dialog.AddSlider(12, 20, 100, 140, 22, 0, 100, 50, false, &slider), kOk);
  }
  CUISlider* slider = nullptr;
};

TEST_F(SliderTest, ProgrammaticChangesReportOnlyWhenAskedTo) {
  slider->SetValue(50);
  slider->SetValue(70);
  EXPECT_EQ(slider->GetValue(), 70);
  EXPECT_TRUE(events.empty());

  dialog.EnableNonUserEvents(true);
  slider->SetValue(70);
  EXPECT_TRUE(events.empty());
  slider->SetValue(500);
  EXPECT_EQ(slider->GetValue(), 100);
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventSliderValueChanged, 12}}));
}

TEST_F(SliderTest, KeysAndWheelStepTheValue) {
  slider->SetRange(0, 40);
  slider->SetValue(5);
  dialog.RequestFocus(slider);
  EXPECT_TRUE(Key(VK_PRIOR));
  EXPECT_EQ(slider->GetValue(), 15);
  EXPECT_TRUE(Key(VK_NEXT));
  EXPECT_TRUE(Key(VK_NEXT));
  EXPECT_EQ(slider->GetValue(), 0);
  EXPECT_TRUE(Key(VK_END));
  EXPECT_EQ(slider->GetValue(), 40);
  EXPECT_TRUE(Key(VK_DOWN));
  EXPECT_EQ(slider->GetValue(), 39);

  Dialog::ClearFocus();
  events.clear();
  EXPECT_TRUE(Wheel(+1, 30, 110));
  EXPECT_EQ(slider->GetValue(), 38);
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventSliderValueChanged, 12}}));
}

TEST_F(SliderTest, DraggingTheThumbFollowsThePointerAndReportsOnRelease) {
  const UIRect thumb = slider->ThumbRect();
  const int centre = (thumb.left + thumb.right) / 2;
  EXPECT_EQ(centre, 20 + 70);

  EXPECT_TRUE(Mouse(EventType::ButtonDown, centre, 110));
  EXPECT_TRUE(Mouse(EventType::MouseMove, centre + 14, 110));
  EXPECT_EQ(slider->GetValue(), 60);
  EXPECT_TRUE(Mouse(EventType::MouseMove, 500, 110));
  EXPECT_EQ(slider->GetValue(), 100);
  events.clear();
  EXPECT_TRUE(Mouse(EventType::ButtonUp, 500, 110));
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventSliderValueChanged, 12}}));

  // A press on the track beside the thumb steps by one towards it.
  EXPECT_TRUE(Click(25, 110));
  EXPECT_EQ(slider->GetValue(), 99);
}

TEST_F(SliderTest, SingleValueRangeKeepsTheThumbAtTheStart) {
  slider->SetRange(0, 0);
  EXPECT_EQ(slider->GetValue(), 0);
  EXPECT_EQ(slider->ThumbRect().left, 20 - 11);
  dialog.RequestFocus(slider);
  EXPECT_TRUE(Key(VK_RIGHT));
  EXPECT_EQ(slider->GetValue(), 0);
}

class ComboBoxTest : public DialogTest {
protected:
  void SetUp() override {
    DialogTest::SetUp();
    ASSERT_EQ(dialog.AddComboBox(10, 20, 68, 140, 22, 0, false, &combo), kOk);
  }
  void AddItems(int count) {
    for (int i = 0; i < count; ++i) ASSERT_EQ(combo->AddItem("Item " + std::to_string(i), nullptr), kOk);
  }
  // The middle of item i of the open list, with the list scrolled to the top.
  int ItemY(int i) const { return 68 + 22 + 2 + 18 * i + 9; }  // 14-pixel font, 4 pixels apart

  CUIComboBox* combo = nullptr;
};

TEST_F(ComboBoxTest, FirstItemIsSelectedWithoutAnEvent) {
  EXPECT_EQ(combo->GetSelectedIndex(), -1);
  EXPECT_EQ(combo->GetSelectedItem(), nullptr);
  EXPECT_EQ(combo->AddItem("", nullptr), kInvalidArgument);
  AddItems(3);
  EXPECT_EQ(combo->GetSelectedIndex(), 0);
  EXPECT_EQ(combo->GetSelectedItem()->text, "Item 0");
  EXPECT_TRUE(events.empty());
}

TEST_F(ComboBoxTest, KeyboardMovesTheSelectionAndTheOpenListAdoptsOnEnter) {
  AddItems(3);
  dialog.RequestFocus(combo);
  EXPECT_TRUE(Key(VK_DOWN));
  EXPECT_EQ(combo->GetSelectedIndex(), 1);
  EXPECT_TRUE(Key(VK_UP));
  EXPECT_TRUE(Key(VK_UP));  // already at the top: nothing to report
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventComboBoxSelectionChanged, 10}, {kEventComboBoxSelectionChanged, 10}}));

  events.clear();
  EXPECT_TRUE(Key(VK_F4));
  EXPECT_TRUE(combo->IsOpened());
  EXPECT_TRUE(Key(VK_DOWN));
  EXPECT_TRUE(Key(VK_DOWN));
  EXPECT_EQ(combo->GetSelectedIndex(), 0);
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(Key(VK_RETURN));
  EXPECT_FALSE(combo->IsOpened());
  EXPECT_EQ(combo->GetSelectedIndex(), 2);
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventComboBoxSelectionChanged, 10}}));
}

TEST_F(ComboBoxTest, ClicksOpenTheListAndPickAnItem) {
  AddItems(3);
  EXPECT_TRUE(Click(30, 75));
  EXPECT_TRUE(combo->IsOpened());
  EXPECT_TRUE(events.empty());

  EXPECT_TRUE(Mouse(EventType::ButtonDown, 40, ItemY(2)));
  Mouse(EventType::ButtonUp, 40, ItemY(2));
  EXPECT_FALSE(combo->IsOpened());
  EXPECT_EQ(combo->GetSelectedIndex(), 2);
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventComboBoxSelectionChanged, 10}}));

  // A click outside the open list closes it and keeps the selection.
  events.clear();
  EXPECT_TRUE(Click(30, 75));
  ASSERT_TRUE(combo->IsOpened());
  Mouse(EventType::ButtonDown, 5, 5);
  EXPECT_FALSE(combo->IsOpened());
  EXPECT_EQ(combo->GetSelectedIndex(), 2);
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventComboBoxSelectionChanged, 10}}));
}

TEST_F(ComboBoxTest, WheelScrollsTheOpenListAndMovesTheClosedSelection) {
  AddItems(20);
  EXPECT_TRUE(Click(30, 75));
  ASSERT_TRUE(combo->IsOpened());
  EXPECT_TRUE(Wheel(-1, 40, ItemY(1)));
  EXPECT_EQ(combo->ScrollBar().GetTrackPos(), CUIComboBox::kWheelLinesPerNotch);
  EXPECT_TRUE(events.empty());

  Key(VK_RETURN);
  combo->SetSelectedByIndex(5);
  events.clear();
  EXPECT_TRUE(Wheel(+1, 30, 75));
  EXPECT_EQ(combo->GetSelectedIndex(), 4);
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventComboBoxSelectionChanged, 10}}));
}

class EditBoxTest : public DialogTest {
protected:
  void SetUp() override {
    DialogTest::SetUp();
    ASSERT_EQ(dialog.AddEditBox(7, "", 80, 56, 60, 24, false, &edit), kOk);
    dialog.RequestFocus(edit);
  }
  size_t ChangeEvents() const {
    return static_cast<size_t>(std::count(events.begin(), events.end(), GuiEvent{kEventEditBoxChange, 7}));
  }
  CUIEditBox* edit = nullptr;
};

TEST_F(EditBoxTest, TypingBackspaceDeleteAndEnter) {
  Type(U"h\u00e9llo");
  EXPECT_EQ(edit->GetText(), "h\xc3\xa9llo");
  EXPECT_EQ(ChangeEvents(), 5u);

  dialog.HandleEvent(nullptr, WindowEvent::Character(VK_BACK));
  EXPECT_EQ(edit->GetText(), "h\xc3\xa9ll");
  EXPECT_TRUE(Key(VK_HOME));
  EXPECT_TRUE(Key(VK_DELETE));
  EXPECT_EQ(edit->GetText(), "\xc3\xa9ll");
  EXPECT_EQ(ChangeEvents(), 7u);
  dialog.HandleEvent(nullptr, WindowEvent::Character(VK_BACK));  // nothing before the caret
  EXPECT_TRUE(Key(VK_END));
  EXPECT_TRUE(Key(VK_DELETE));  // nothing after it
  EXPECT_EQ(ChangeEvents(), 7u);

  events.clear();
  dialog.HandleEvent(nullptr, WindowEvent::Character('\r'));
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventEditBoxEnter, 7}}));

  // Overwrite mode replaces the character under the caret.
  Key(VK_HOME);
  Key(VK_INSERT);
  Type(U"L");
  EXPECT_EQ(edit->GetText(), "Lll");
}

TEST_F(EditBoxTest, SelectionAndClipboard) {
  edit->SetText("one two three");
  Key(VK_HOME);
  EXPECT_TRUE(Chord(VK_CONTROL, VK_RIGHT));
  EXPECT_EQ(edit->CaretPosition(), 4u);
  input.keysDown = {VK_SHIFT, VK_CONTROL};
  Key(VK_RIGHT);
  input.keysDown.clear();
  EXPECT_EQ(edit->SelectionStart(), 4u);
  EXPECT_EQ(edit->CaretPosition(), 8u);

  EXPECT_TRUE(Chord(VK_CONTROL, 'C'));
  EXPECT_EQ(input.clipboard, "two ");
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(Chord(VK_CONTROL, 'X'));
  EXPECT_EQ(edit->GetText(), "one three");
  EXPECT_EQ(ChangeEvents(), 1u);

  input.clipboard = "\xe2\x82\xac\n5";  // a line break is not pasted into one line
  EXPECT_TRUE(Chord(VK_SHIFT, VK_INSERT));
  EXPECT_EQ(edit->GetText(), "one \xe2\x82\xac" "5three");

  EXPECT_TRUE(Chord(VK_CONTROL, 'A'));
  Type(U"x");
  EXPECT_EQ(edit->GetText(), "x");
  input.clipboard = "yz";
  EXPECT_TRUE(Chord(VK_CONTROL, 'V'));
  EXPECT_EQ(edit->GetText(), "xyz");
  EXPECT_EQ(ChangeEvents(), 4u);
}

TEST_F(EditBoxTest, TheCaretAsksForAFrameAtEachBlinkForTenSecondsThenStaysShown) {
  const auto renderAndWait = [&](float elapsed) {
    Schedule().FrameStarted();
    edit->Render(elapsed);
    return Schedule().WaitMilliseconds(SecondsNow());
  };
  // The seconds before the focus came do not count: the caret shows at once.
  EXPECT_NEAR(renderAndWait(5.0f), 530, 30);
  EXPECT_TRUE(edit->IsCaretOn());
  EXPECT_NEAR(renderAndWait(0.53f), 530, 30);
  EXPECT_FALSE(edit->IsCaretOn());
  int blinks = 1;
  while (renderAndWait(0.53f) >= 0 && blinks < 100) ++blinks;
  EXPECT_EQ(blinks, 18);  // 10 s of blinking at 0.53 s
  EXPECT_TRUE(edit->IsCaretOn());
  EXPECT_EQ(renderAndWait(0.53f), -1);
  // A key starts the blinking again.
  Type(U"a");
  EXPECT_NEAR(renderAndWait(0.53f), 530, 30);
  EXPECT_TRUE(edit->IsCaretOn());
}

TEST_F(EditBoxTest, TextIsLimitedTo260CodePoints) {
  std::string longText;
  for (int i = 0; i < 300; ++i) longText += "\xc3\xa9";
  edit->SetText(longText);
  EXPECT_EQ(edit->GetTextLength(), 260u);
  EXPECT_EQ(edit->GetText().size(), 520u);

  dialog.HandleEvent(nullptr, WindowEvent::Character(VK_BACK));
  Type(U"\u00fcx");
  EXPECT_EQ(edit->GetTextLength(), 260u);
  EXPECT_EQ(edit->GetText().substr(edit->GetText().size() - 2), "\xc3\xbc");
  EXPECT_EQ(ChangeEvents(), 2u);  // the backspace and the ü; the x did not fit
}

// Leaving a box reports it once, and only when input changed the text since it was last read.
TEST_F(EditBoxTest, LeavingTheBoxAfterTypingReportsOnce) {
  auto left = [&] { return std::count(events.begin(), events.end(), GuiEvent{kEventEditBoxLeft, 7}); };
  Type(U"25");
  Dialog::ClearFocus();
  dialog.RequestFocus(edit);
  Dialog::ClearFocus();  // nothing typed this time
  EXPECT_EQ(left(), 1);
  dialog.RequestFocus(edit);
  Type(U"3");
  dialog.HandleEvent(nullptr, WindowEvent::Character('\r'));  // Enter reads it already
  Dialog::ClearFocus();
  EXPECT_EQ(left(), 1);
}

// The second press of a double click selects the number, so typing replaces it.
TEST_F(EditBoxTest, DoubleClickSelectsTheNumber) {
  edit->SetText("1000");
  Dialog::ClearFocus();
  Mouse(EventType::ButtonDown, 100, 68);
  Mouse(EventType::ButtonUp, 100, 68);
  Mouse(EventType::DoubleClick, 100, 68);
  Mouse(EventType::ButtonUp, 100, 68);
  EXPECT_TRUE(edit->HasFocus());
  EXPECT_EQ(edit->SelectionStart(), 0u);
  EXPECT_EQ(edit->CaretPosition(), 4u);
  Type(U"25");
  EXPECT_EQ(edit->GetText(), "25");
}

}  // namespace
