// Dialogs drawn through the resource manager on a real device (run under Xvfb).
#include <string>

#include "framework/dialog.h"
#include "framework/ui_button.h"
#include "framework/ui_combo_box.h"
#include "tests/framework/dialog_fixture.h"
#include "tests/framework/ui_test_device.h"

using namespace Platform;

namespace {

class DialogDrawingTest : public UITestDevice {
protected:
  void SetUp() override {
    UITestDevice::SetUp();
    Dialog::ClearFocus();
    dialog.Init(&manager, true);
    dialog.SetCallback(
        [](uint32_t code, int id, CUIControl*, void* context) {
          static_cast<std::vector<GuiEvent>*>(context)->push_back({code, id});
        },
        &events);
    dialog.SetSize(kWidth, kHeight);
  }
  void TearDown() override {
    Dialog::ClearFocus();
    dialog.RemoveAllControls();
    manager.UnregisterDialog(&dialog);
    UITestDevice::TearDown();
  }

  // A button drawn as a flat, opaque colour in every state, without its fill layer.
  CUIButton* FlatButton(int id, int left, int top, ArgbColor color) {
    CUIButton* button = nullptr;
    EXPECT_EQ(dialog.AddButton(id, "", left, top, 60, 40, 0, false, &button), kOk);
    button->GetElement(0)->textureColor.Init(color, color);
    button->GetElement(1)->textureColor.Init(0, 0);
    return button;
  }

  std::vector<float> Draw() {
    Clear(0, 0, 0, 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dialog.Render(1.0f), kOk);  // colours fade fully in
    return ReadAll();
  }

  void Click(int x, int y) {
    dialog.HandleEvent(nullptr, WindowEvent::Mouse(EventType::ButtonDown, Point{x, y}, {}, MouseButton::Left));
    dialog.HandleEvent(nullptr, WindowEvent::Mouse(EventType::ButtonUp, Point{x, y}, {}, MouseButton::Left));
  }

  FakeUIInput input;
  Dialog dialog{input};
  std::vector<GuiEvent> events;
};

TEST_F(DialogDrawingTest, BackgroundShowsItsFourCornerColours) {
  dialog.SetBackgroundColors(0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF);
  StartManager();
  const std::vector<float> pixels = Draw();
  auto expect = [&](int x, int y, float r, float g, float b) {
    EXPECT_NEAR(At(pixels, x, y)[0], r, 0.05f) << x << "," << y;
    EXPECT_NEAR(At(pixels, x, y)[1], g, 0.05f) << x << "," << y;
    EXPECT_NEAR(At(pixels, x, y)[2], b, 0.05f) << x << "," << y;
  };
  expect(0, 0, 1, 0, 0);
  expect(kWidth - 1, 0, 0, 1, 0);
  expect(0, kHeight - 1, 0, 0, 1);
  expect(kWidth - 1, kHeight - 1, 1, 1, 1);
}

TEST_F(DialogDrawingTest, ButtonTextDrawsInsideTheButtonOnly) {
  CUIButton* button = FlatButton(1, 90, 40, 0);
  button->SetText("Weather");
  button->SetSize(80, 30);
  StartManager();
  const std::vector<float> pixels = Draw();
  int inside = 0, outside = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (At(pixels, x, y)[0] < 0.2f) continue;
      const bool in = x >= 90 && x < 170 && y >= 40 && y < 70;
      (in ? inside : outside) += 1;
    }
  }
  EXPECT_GT(inside, 40);
  EXPECT_EQ(outside, 0);
}

TEST_F(DialogDrawingTest, FocusedControlDrawsOnTopOfLaterOnes) {
  dialog.EnableKeyboardInput(true);  // so that the focus stays where it was put
  CUIButton* first = FlatButton(1, 20, 20, 0xFFFF0000);
  FlatButton(2, 50, 30, 0xFF0000FF);
  StartManager();
  std::vector<float> pixels = Draw();
  // The face texture shades the colour: compare channels.
  EXPECT_GT(At(pixels, 60, 40)[2], 0.5f);  // creation order: the later one covers
  EXPECT_LT(At(pixels, 60, 40)[0], 0.1f);
  dialog.RequestFocus(first);
  ASSERT_TRUE(first->HasFocus());
  pixels = Draw();
  EXPECT_GT(At(pixels, 60, 40)[0], 0.5f);
  EXPECT_LT(At(pixels, 60, 40)[2], 0.1f);
}

TEST_F(DialogDrawingTest, OpenComboListCoversLaterControlsAndTakesTheClickOutside) {
  CUIComboBox* combo = nullptr;
  ASSERT_EQ(dialog.AddComboBox(1, 10, 4, 120, 20, 0, false, &combo), kOk);
  for (const char* item : {"one", "two", "three", "four", "five", "six", "seven"}) combo->AddItem(item, nullptr);
  FlatButton(2, 20, 40, 0xFFFF0000);
  StartManager();
  EXPECT_GT(At(Draw(), 40, 60)[0], 0.5f);

  Click(40, 10);
  ASSERT_TRUE(combo->IsOpened());
  const std::vector<float> pixels = Draw();
  EXPECT_LT(At(pixels, 40, 60)[0], 0.3f);  // the list lies over the button

  events.clear();
  Click(200, 100);  // outside the list and every control
  EXPECT_FALSE(combo->IsOpened());
  EXPECT_EQ(events, (std::vector<GuiEvent>{{kEventComboBoxSelectionChanged, 1}}));
}

TEST_F(DialogDrawingTest, TextOfMoreGlyphsThanTheSpriteBatchHoldsIsAllDrawn) {
  // Eight lines of 48 glyphs with their shadows: about 770 sprites for a batch of 500.
  const std::string line(48, 'I');
  for (int row = 0; row < 8; ++row) ASSERT_EQ(dialog.AddStatic(-1, line, 4, row * 16, 250, 16), kOk);
  StartManager();
  const std::vector<float> pixels = Draw();
  for (int row = 0; row < 8; ++row) {
    int lit = 0;
    for (int y = row * 16; y < row * 16 + 16; ++y) {
      for (int x = 0; x < kWidth; ++x) lit += At(pixels, x, y)[0] > 0.5f;
    }
    EXPECT_GT(lit, 48 * 4) << "row " << row;
  }
}

}  // namespace
