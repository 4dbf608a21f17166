#include <gtest/gtest.h>

#include "framework/framework_state.h"
#include "framework/ui_button.h"
#include "framework/ui_check_box.h"
#include "framework/ui_edit_box.h"
#include "framework/ui_radio_button.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"
#include "tests/framework/dialog_fixture.h"
#include "tests/framework/ui_test_device.h"

using namespace Platform;

namespace {

constexpr uint32_t kF2 = VK_F2;

TEST_F(DialogTest, ButtonClicksOnlyWhenReleasedInside) {
  CUIButton* button = nullptr;
  ASSERT_EQ(dialog.AddButton(6, "Weather", 20, 32, 140, 32, 0, false, &button), kOk);

  EXPECT_TRUE(Click(30, 40));
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventButtonClicked, 6}}));
  EXPECT_EQ(input.captures, 1);
  EXPECT_EQ(input.releases, 1);
  // Without keyboard input the button gives the focus back once the click is over.
  EXPECT_EQ(Dialog::FocusedControl(), nullptr);

  events.clear();
  EXPECT_TRUE(Mouse(EventType::ButtonDown, 30, 40));
  EXPECT_TRUE(button->IsPressed());
  EXPECT_TRUE(Mouse(EventType::ButtonUp, 5, 150));
  EXPECT_FALSE(button->IsPressed());
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(input.releases, 2);
}

TEST_F(DialogTest, HotKeysClickButtonsUnlessAnEditBoxHasTheFocus) {
  CUIButton* button = nullptr;
  CUIEditBox* edit = nullptr;
  ASSERT_EQ(dialog.AddButton(3, "Change device (F2)", 35, 34, 125, 22, kF2, false, &button), kOk);
  ASSERT_EQ(dialog.AddEditBox(7, "12", 80, 56, 60, 24, false, &edit), kOk);

  EXPECT_TRUE(Key(kF2));
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventButtonClicked, 3}}));

  events.clear();
  dialog.RequestFocus(edit);
  EXPECT_FALSE(Key(kF2));
  EXPECT_TRUE(events.empty());

  // Nor can a disabled button be clicked by its key.
  Dialog::ClearFocus();
  button->SetEnabled(false);
  EXPECT_FALSE(Key(kF2));
  EXPECT_TRUE(events.empty());
}

TEST_F(DialogTest, RadioButtonsOfAGroupUncheckEachOther) {
  CUIRadioButton* a = nullptr;
  CUIRadioButton* b = nullptr;
  CUIRadioButton* other = nullptr;
  ASSERT_EQ(dialog.AddRadioButton(1, 7, "A", 0, 0, 100, 20, true, 0, false, &a), kOk);
  ASSERT_EQ(dialog.AddRadioButton(2, 7, "B", 0, 30, 100, 20, false, 0, false, &b), kOk);
  ASSERT_EQ(dialog.AddRadioButton(3, 8, "C", 0, 60, 100, 20, true, 0, false, &other), kOk);

  EXPECT_TRUE(Click(10, 35));
  EXPECT_FALSE(a->GetChecked());
  EXPECT_TRUE(b->GetChecked());
  EXPECT_TRUE(other->GetChecked());
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventRadioButtonChanged, 2}}));
}

TEST_F(DialogTest, CheckBoxTogglesWithClickAndSpace) {
  dialog.EnableKeyboardInput(true);
  CUICheckBox* box = nullptr;
  ASSERT_EQ(dialog.AddCheckBox(4, "Show", 0, 0, 100, 20, false, 0, false, &box), kOk);

  EXPECT_TRUE(Click(5, 5));
  EXPECT_TRUE(box->GetChecked());
  EXPECT_EQ(Dialog::FocusedControl(), box);
  EXPECT_TRUE(Key(VK_SPACE));
  EXPECT_FALSE(box->GetChecked());
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventCheckBoxChanged, 4}, {kEventCheckBoxChanged, 4}}));

  events.clear();
  box->SetChecked(true);  // by the program: not reported
  EXPECT_TRUE(box->GetChecked());
  EXPECT_TRUE(events.empty());
}

TEST_F(DialogTest, TabMovesFocusAcrossDialogsInRegistrationOrder) {
  Dialog second{input};
  InitDialog(second, 100, 300);
  dialog.EnableKeyboardInput(true);
  second.EnableKeyboardInput(true);
  CUIButton* first = nullptr;
  CUISlider* slider = nullptr;
  CUIEditBox* edit = nullptr;
  CUIButton* last = nullptr;
  ASSERT_EQ(dialog.AddButton(1, "One", 0, 0, 100, 20, 0, false, &first), kOk);
  ASSERT_EQ(dialog.AddStatic(-1, "Label", 0, 30, 100, 20), kOk);
  ASSERT_EQ(dialog.AddSlider(2, 0, 60, 100, 20, 0, 100, 50, false, &slider), kOk);
  ASSERT_EQ(second.AddEditBox(3, "", 0, 0, 100, 24, false, &edit), kOk);
  ASSERT_EQ(second.AddButton(4, "Four", 0, 30, 100, 20, 0, false, &last), kOk);

  // Arrows move the focus only once something has it.
  EXPECT_FALSE(Key(VK_RIGHT));
  EXPECT_EQ(Dialog::FocusedControl(), nullptr);

  const CUIControl* expected[] = {first, slider, edit, last, first};
  for (const CUIControl* control : expected) {
    EXPECT_TRUE(Key(VK_TAB));
    EXPECT_EQ(Dialog::FocusedControl(), control);
  }
  EXPECT_TRUE(Chord(VK_SHIFT, VK_TAB));
  EXPECT_EQ(Dialog::FocusedControl(), last);
  EXPECT_TRUE(last->HasFocus());
  EXPECT_FALSE(first->HasFocus());
  EXPECT_TRUE(Key(VK_DOWN, &second));
  EXPECT_EQ(Dialog::FocusedControl(), first);

  // A press on no control takes the focus away.
  EXPECT_FALSE(Mouse(EventType::ButtonDown, 150, 180));
  EXPECT_EQ(Dialog::FocusedControl(), nullptr);
  EXPECT_FALSE(first->HasFocus());
}

// With the automation option a click, a double click or a key press received by any dialog turns
// keyboard input on for every dialog; without it, and for other messages, nothing changes.
TEST_F(DialogTest, AutomationTurnsKeyboardInputOnForEveryDialog) {
  Dialog second{input};
  InitDialog(second, 100, 300);
  bool& automation = GetFrameworkState().options.automation;
  const bool saved = automation;

  automation = false;
  Click(10, 10);
  Key(VK_SPACE);
  EXPECT_FALSE(dialog.IsKeyboardInputEnabled());
  EXPECT_FALSE(second.IsKeyboardInputEnabled());

  automation = true;
  Mouse(EventType::MouseMove, 10, 10);
  Mouse(EventType::ButtonDown, 10, 10, MouseButton::Right);
  EXPECT_FALSE(dialog.IsKeyboardInputEnabled());
  for (EventType type : {EventType::ButtonDown, EventType::DoubleClick, EventType::KeyDown}) {
    dialog.EnableKeyboardInput(false);
    second.EnableKeyboardInput(false);
    if (type == EventType::KeyDown) {
      second.HandleEvent(nullptr, WindowEvent::Key(type, VK_SPACE));
    } else {
      Mouse(type, 10, 10, MouseButton::Left, &second);
    }
    EXPECT_TRUE(dialog.IsKeyboardInputEnabled()) << static_cast<int>(type);
    EXPECT_TRUE(second.IsKeyboardInputEnabled()) << static_cast<int>(type);
  }
  automation = saved;
}

TEST_F(DialogTest, CaptionClickMinimisesAndRestores) {
  dialog.EnableCaption(true);
  dialog.SetCaptionText("Panel");
  dialog.SetCaptionHeight(18);
  CUIButton* button = nullptr;
  ASSERT_EQ(dialog.AddButton(6, "Go", 0, 0, 100, 20, 0, false, &button), kOk);

  // Controls lie under the caption.
  EXPECT_TRUE(Click(10, 18 + 5));
  EXPECT_EQ(events.size(), 1u);

  EXPECT_TRUE(Click(50, 5));
  EXPECT_TRUE(dialog.IsMinimized());
  events.clear();
  EXPECT_FALSE(Click(10, 18 + 5));
  EXPECT_TRUE(events.empty());

  // A minimised dialog draws its caption only: its controls do not even fade in.
  EXPECT_EQ(dialog.Render(1.0f), kOk);
  EXPECT_EQ(button->GetElement(0)->textureColor.current.a, 0.0f);

  EXPECT_TRUE(Click(50, 5));
  EXPECT_FALSE(dialog.IsMinimized());
  EXPECT_EQ(dialog.Render(1.0f), kOk);
  EXPECT_GT(button->GetElement(0)->textureColor.current.a, 0.9f);
}

class DialogRenderTest : public UITestDevice {
protected:
  // Draws the dialog over mid grey; returns the rightmost bright (text) column in the caption
  // bar, and the red channel at a point of the dialog's area below it.
  void Draw(Dialog& dialog, int* rightmostText, float* areaRed) {
    Clear(0.5f, 0.5f, 0.5f, 1.0f);
    ASSERT_EQ(dialog.Render(1.0f), kOk);
    const std::vector<float> pixels = ReadAll();
    *rightmostText = -1;
    for (int y = 8; y < 8 + 18; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (At(pixels, x, y)[0] > 0.8f) *rightmostText = std::max(*rightmostText, x);
      }
    }
    *areaRed = At(pixels, 168, 106)[0];
  }
};

TEST_F(DialogRenderTest, MinimisedCaptionedDialogDrawsOnlyItsCaptionMarkedMinimized) {
  FakeUIInput input;
  Dialog dialog{input};
  dialog.Init(&manager, true);
  dialog.SetLocation(8, 8);
  dialog.SetSize(240, 110);
  dialog.SetBackgroundColors(0x33000000, 0x33000000, 0x33000000, 0x33000000);
  dialog.EnableCaption(true);
  dialog.SetCaptionText("Panel");
  dialog.SetCaptionHeight(18);
  ASSERT_EQ(dialog.AddButton(1, "Go", 150, 60, 80, 30), kOk);
  StartManager();

  int plainText = 0, minimisedText = 0;
  float plainArea = 0.0f, minimisedArea = 0.0f;
  Draw(dialog, &plainText, &plainArea);
  dialog.SetMinimized(true);
  Draw(dialog, &minimisedText, &minimisedArea);
  manager.UnregisterDialog(&dialog);

  EXPECT_GT(plainText, 8);
  EXPECT_GT(minimisedText, plainText + 40);  // " (Minimized)" follows the caption text
  EXPECT_LT(plainArea, 0.45f);               // background and button face
  EXPECT_NEAR(minimisedArea, 0.5f, 0.01f);   // neither drawn
}

}  // namespace
