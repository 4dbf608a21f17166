#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/panels.h"
#include "app/window_panels.h"

namespace {

struct PlacedControl {
  std::string name;
  UIRect rect;   // in the window
  UIRect reach;  // the rectangle with a combo box's open list below it
  UIRect panel;
};

bool Overlap(const UIRect& a, const UIRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Inside(const UIRect& inner, const UIRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

std::string Describe(const UIRect& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

std::vector<PlacedControl> ControlsOf(WindowPanels& panels) {
  std::vector<PlacedControl> placed;
  const std::pair<const char*, Dialog*> dialogs[] = {{"device", &panels.DevicePanel()},
                                                     {"parameters", &panels.ParametersPanel()},
                                                     {"simulation", &panels.SimulationPanel()},
                                                     {"export", &panels.ExportPanel()},
                                                     {"source", &panels.SourcePanel()}};
  for (const auto& [name, dialog] : dialogs) {
    const UIRect panel{dialog->X(), dialog->Y(), dialog->X() + dialog->Width(), dialog->Y() + dialog->Height()};
    for (size_t i = 0; i < dialog->ControlCount(); ++i) {
      const CUIControl* control = dialog->ControlAt(i);
      const int left = dialog->X() + control->X();
      const int top = dialog->Y() + control->Y();
      const UIRect rect{left, top, left + control->Width(), top + control->Height()};
      UIRect reach = rect;
      if (control->GetType() == kControlComboBox) reach.bottom += kComboListHeight;
      placed.push_back({std::string(name) + " control " + std::to_string(i) + " (id " + std::to_string(control->GetID()) +
                            ") at " + Describe(rect),
                        rect, reach, panel});
    }
  }
  return placed;
}

// From the smallest window the program allows up, every control of the four panels lies inside
// its panel and covers no other control of any panel, and it can be reached: it lies inside the
// window, a combo box with its open list.
TEST(WindowPanels, EveryControlFitsTheWindowAndOverlapsNoOtherFromTheSmallestWindowUp) {
  WindowPanels panels;
  panels.Build(nullptr, nullptr);
  std::vector<std::pair<int, int>> sizes;
  for (int width : {kMinimumWindowWidth, kMinimumWindowWidth + 1, 800, 1280, 1920}) {
    for (int height = kMinimumWindowHeight; height <= 1200; height += 7) sizes.emplace_back(width, height);
  }
  sizes.emplace_back(800, 600);
  for (const auto& [width, height] : sizes) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    panels.Place(width, height);
    const UIRect window{0, 0, width, height};
    const std::vector<PlacedControl> controls = ControlsOf(panels);
    ASSERT_GT(controls.size(), 30u);
    for (size_t a = 0; a < controls.size(); ++a) {
      EXPECT_TRUE(Inside(controls[a].reach, window)) << controls[a].name;
      EXPECT_TRUE(Inside(controls[a].rect, controls[a].panel)) << controls[a].name;
      for (size_t b = a + 1; b < controls.size(); ++b) {
        EXPECT_FALSE(Overlap(controls[a].rect, controls[b].rect)) << controls[a].name << " and " << controls[b].name;
      }
    }
    if (HasFailure()) return;
  }
}

}  // namespace
