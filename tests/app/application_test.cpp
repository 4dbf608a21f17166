#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/gui_events.h"
#include "app/simulation_control.h"
#include "framework/device_settings_dialog.h"
#include "platform/window_state.h"  // sets the dropped file as the event translation does
#include "tests/app/application_driver.h"

using namespace AppDriver;

namespace {

const testing::Environment* const environment = testing::AddGlobalTestEnvironment(new Environment);

class Application : public testing::Test {
protected:
  void SetUp() override {
    if (!HasDisplay()) GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(Environment::started);
    // Each case starts with no model and no run.
    EndRunningSimulation();
    ResetLongestRunEndWait();
    if (App().parametersPanel.GetComboBox(ID_MODEL)->GetSelectedIndex() != 0) Pick(0);
    Frames(1);
  }

  // Starts a run that lasts long enough to be stopped.
  void StartLongRun() {
    TypeInto(ID_STEPS, "00");  // "100": the box rewrites itself to 1 when emptied
    TypeInto(ID_TONS_PER_STEP, "200000");
    PressWeather();
    ASSERT_TRUE(SimulationKept());
    ASSERT_EQ(WeatherText(), "Stop");
  }

  static bool IsClearColour(const std::vector<float>& rgba) {
    return std::fabs(rgba[0] - 0.3f) < 0.01f && std::fabs(rgba[1] - 0.3f) < 0.01f && std::fabs(rgba[2] - 0.3f) < 0.01f;
  }
};

TEST_F(Application, StartsWithAnEmptyPickerTheParameterDefaultsAndNothingDrawn) {
  int width = 0, height = 0;
  FrameworkGetWindow()->GetClientSize(&width, &height);
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 600);
  EXPECT_EQ(FrameworkGetWindow()->Title(), "Patinex");
  EXPECT_EQ(App().parametersPanel.GetComboBox(ID_MODEL)->GetSelectedItem()->text, "-Pick Model-");
  EXPECT_EQ(App().parametersPanel.GetComboBox(ID_MODEL)->GetNumItems(), 4);
  EXPECT_EQ(Environment::startTexts, (std::vector<std::string>{"100", "1", "1000"}));
  EXPECT_TRUE(IsClearColour(DrawnPixel(400, 300)));
  // Without a model "Weather" does nothing.
  PressWeather();
  EXPECT_FALSE(SimulationKept());
  EXPECT_EQ(WeatherText(), "Weather");
}

TEST_F(Application, PickingLoadsAndFramesTheModelAndPickModelUnloadsIt) {
  Pick(1);
  ASSERT_TRUE(App().triangleSoup && App().kdTree && App().renderMesh);
  const std::vector<float> middle = DrawnPixel(400, 300);
  EXPECT_FALSE(IsClearColour(middle));
  // Bare bronze before any run: warm, red over green over blue.
  EXPECT_GT(middle[0], middle[1]);
  EXPECT_GT(middle[1], middle[2]);
  EXPECT_TRUE(IsClearColour(DrawnPixel(5, 595)));  // the sphere fills the middle, not the corner

  Pick(0);
  EXPECT_FALSE(App().triangleSoup || App().kdTree || App().renderMesh || App().sampleMap);
  EXPECT_TRUE(IsClearColour(DrawnPixel(400, 300)));
}

TEST_F(Application, EditBoxesClampWhatIsTypedAndWriteTheValueBack) {
  Pick(1);
  TypeInto(ID_STEPS, "5000");  // each keystroke is read: "1" after the deletes, then 15, 150, 1500 → 1000
  EXPECT_EQ(EditText(ID_STEPS), "1000");
  EXPECT_EQ(Slider(ID_STEP)->GetMaximum(), 999);
  TypeInto(ID_STEPS, "abc");
  EXPECT_EQ(EditText(ID_STEPS), "1");
  EXPECT_EQ(Slider(ID_STEP)->GetMaximum(), 0);
  TypeInto(ID_TONS_PER_STEP, "-5");
  EXPECT_EQ(EditText(ID_TONS_PER_STEP), "-5");  // read when a run starts
  TypeInto(ID_DENSITY, "0");
  ASSERT_TRUE(FramesUntil([] { return App().sampleMap != nullptr; }, 10.0));  // one second after the edit
  EXPECT_EQ(EditText(ID_DENSITY), "1");
  EXPECT_EQ(App().density, 1);
  EXPECT_EQ(App().showSamples, 1);
  EXPECT_FALSE(IsClearColour(DrawnPixel(400, 300)) && App().sampleMap->Count() > 1000);

  TypeInto(ID_TONS_PER_STEP, "99999999999");  // saturates, does not wrap
  PressWeather();
  EXPECT_EQ(EditText(ID_TONS_PER_STEP), "1000000");
  PressWeather();  // stop it again
  EndRunningSimulation();
  TypeInto(ID_DENSITY, "100");
  FramesUntil([] { return App().density == 100; }, 10.0);
}

TEST_F(Application, SamplesBeforeARunShowAsBronzePointsNotBlackOnes) {
  Pick(1);
  TypeInto(ID_DENSITY, "10");
  ASSERT_TRUE(FramesUntil([] { return App().sampleMap != nullptr && App().density == 10; }, 10.0));
  ASSERT_EQ(App().showSamples, 1);
  // The points leave gaps: take the brightest pixel of a patch in the middle of the sphere.
  Platform::GraphicsDevice* device = FrameworkGetDevice();
  OnFrameRender(device, FrameworkGetTime(), 0.0f, nullptr);
  constexpr int kSide = 16;
  std::vector<float> patch(kSide * kSide * 4);
  ASSERT_TRUE(Platform::Succeeded(device->ReadPixels(392, 292, kSide, kSide, patch.data())));
  float red = 0.0f, green = 0.0f, blue = 0.0f;
  for (int i = 0; i < kSide * kSide; ++i) {
    if (patch[i * 4] > red) red = patch[i * 4], green = patch[i * 4 + 1], blue = patch[i * 4 + 2];
  }
  EXPECT_GT(red, 0.5f);  // brighter than the 0.3 grey around them, where clean samples were black
  EXPECT_GT(red, green);
  EXPECT_GT(green, blue);
  TypeInto(ID_DENSITY, "100");
  FramesUntil([] { return App().density == 100; }, 10.0);
}

TEST_F(Application, LoweringStepsMovesTheStepSliderIntoTheNewRange) {
  TypeInto(ID_STEPS, "0");  // "1" after the deletes, then "10"
  ASSERT_EQ(EditText(ID_STEPS), "10");
  ASSERT_EQ(Slider(ID_STEP)->GetMaximum(), 9);
  Slider(ID_STEP)->SetValue(7);
  Backspace();  // "1": the slider keeps only position 0
  EXPECT_EQ(EditText(ID_STEPS), "1");
  EXPECT_EQ(Slider(ID_STEP)->GetValue(), 0);
  EXPECT_EQ(Slider(ID_STEP)->GetMaximum(), 0);
  Type("4");  // "14"
  EXPECT_EQ(Slider(ID_STEP)->GetMaximum(), 13);
  EXPECT_EQ(Slider(ID_STEP)->GetValue(), 0);
}

TEST_F(Application, ARunOfThreeStepsEndsShowingTheMasksOfStepTwoAtFullStrength) {
  Pick(1);
  TypeInto(ID_TONS_PER_STEP, "2000");
  TypeInto(ID_STEPS, "3");  // "13": the box always holds a number
  Key(Platform::VK_HOME);
  Key(Platform::VK_DELETE);
  ASSERT_EQ(EditText(ID_STEPS), "3");

  PressWeather();
  ASSERT_EQ(WeatherText(), "Stop");
  ASSERT_TRUE(FramesUntil([] { return !SimulationKept(); }));
  EXPECT_EQ(WeatherText(), "Weather");
  EXPECT_FALSE(App().simulationPanel.GetStatic(ID_PROGRESS)->IsVisible());
  EXPECT_EQ(Slider(ID_STEP)->GetValue(), 2);
  EXPECT_EQ(Slider(ID_DIRT_FACTOR)->GetValue(), 100);
  EXPECT_EQ(Slider(ID_RUST_FACTOR)->GetValue(), 100);
  EXPECT_NE(App().rustMaskView, nullptr);
  EXPECT_NE(App().dirtMaskView, nullptr);
  for (const char* name : {"mask_rust02.jpg", "mask_dirt02.jpg", "mask_humidity02.jpg"}) {
    EXPECT_TRUE(std::filesystem::exists(Environment::maskFolder / name)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(Environment::maskFolder / "mask_rust03.jpg"));

  // The rust view reads the mask: it differs from the shaded view.
  const std::vector<float> shaded = DrawnPixel(400, 300);
  App().simulationPanel.GetComboBox(ID_VIEW)->SetSelectedByIndex(2);
  const std::vector<float> rust = DrawnPixel(400, 300);
  App().simulationPanel.GetComboBox(ID_VIEW)->SetSelectedByIndex(0);
  EXPECT_NE(shaded, rust);

  // A pick releases the masks; the step slider then shows none of the old files.
  Pick(0);
  EXPECT_EQ(App().rustMaskView, nullptr);
  Pick(1);
  LoadMaskViews(2);
  EXPECT_EQ(App().rustMaskView, nullptr);
}

TEST_F(Application, EveryPlaceThatFreesWhatARunReadsEndsTheRunFirst) {
  Pick(1);
  // "Weather" twice: the second press stops the first run, which the frame collects.
  StartLongRun();
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !SimulationKept(); }, 30.0));
  EXPECT_EQ(WeatherText(), "Weather");

  // Picking another model.
  StartLongRun();
  Frames(3);
  Pick(3);
  EXPECT_FALSE(SimulationKept());
  EXPECT_EQ(WeatherText(), "Weather");
  EXPECT_TRUE(App().triangleSoup != nullptr);

  // The resampling after a Density edit.
  StartLongRun();
  TypeInto(ID_DENSITY, "50");
  ASSERT_TRUE(FramesUntil([] { return App().resampleCountdown == 0.0f; }, 10.0));
  EXPECT_FALSE(SimulationKept());
  EXPECT_NE(App().sampleMap, nullptr);

  // A device change (WARP and back).
  StartLongRun();
  Frames(3);
  Click(App().devicePanel, 90, 93);
  RunPendingDeviceChange();
  Frames(2);
  EXPECT_FALSE(SimulationKept());
  EXPECT_FALSE(App().triangleSoup);
  EXPECT_EQ(App().parametersPanel.GetComboBox(ID_MODEL)->GetSelectedIndex(), 0);
  Click(App().devicePanel, 90, 93);
  RunPendingDeviceChange();
  Frames(2);

  std::fprintf(stderr, "longest wait for a stopped run: %.3f s\n", LongestRunEndWait());
  EXPECT_LT(LongestRunEndWait(), StopWaitLimit());
  TypeInto(ID_DENSITY, "100");
}

TEST_F(Application, PickingTheLoadedEntryAgainKeepsTheRunAndTheModel) {
  Pick(1);
  const RenderLib::KdTree* tree = App().kdTree.get();
  StartLongRun();
  Pick(1);
  EXPECT_TRUE(SimulationKept());
  EXPECT_EQ(App().kdTree.get(), tree);
  EndRunningSimulation();
}

TEST_F(Application, DirtFactorFollowsTheDirtSlider) {
  CUISlider* dirt = Slider(ID_DIRT_FACTOR);
  dirt->SetValue(50);
  const UIRect thumb = dirt->ThumbRect();
  const int thumbX = (thumb.left + thumb.right) / 2;
  const int thumbY = (thumb.top + thumb.bottom) / 2;
  // Hold the thumb and move left until the slider reads 37.
  Dialog& panel = App().simulationPanel;
  Send(Platform::WM_LBUTTONDOWN, Platform::MK_LBUTTON, Platform::MakeLParam(panel.X() + thumbX, panel.Y() + thumbY));
  for (int x = thumbX; x > 0 && dirt->GetValue() > 37; --x) {
    Send(Platform::WM_MOUSEMOVE, Platform::MK_LBUTTON, Platform::MakeLParam(panel.X() + x, panel.Y() + thumbY));
  }
  Send(Platform::WM_LBUTTONUP, 0, Platform::MakeLParam(panel.X() + thumbX, panel.Y() + thumbY));
  ASSERT_EQ(dirt->GetValue(), 37);
  EXPECT_FLOAT_EQ(StrengthFactor(ID_DIRT_FACTOR), 0.37f);
  const UIRect at37 = dirt->ThumbRect();
  Drag(panel, (at37.left + at37.right) / 2, thumbY, 0, thumbY);
  EXPECT_EQ(dirt->GetValue(), 0);
  EXPECT_FLOAT_EQ(StrengthFactor(ID_DIRT_FACTOR), 0.0f);
}

TEST_F(Application, MovingTheStepSliderTwiceReloadsOnceHalfASecondAfterTheLastMove) {
  Pick(1);
  Slider(ID_STEP)->SetRange(0, 9);
  Click(App().simulationPanel, 30, 223);
  EXPECT_FLOAT_EQ(App().maskReloadCountdown, 0.5f);
  Frames(1);
  Click(App().simulationPanel, 150, 223);
  EXPECT_FLOAT_EQ(App().maskReloadCountdown, 0.5f);  // the second move restarts the wait
}

TEST_F(Application, AFullScreenToggleUnloadsTheModel) {
  Pick(1);
  ASSERT_TRUE(App().triangleSoup != nullptr);
  Click(App().devicePanel, 90, 21);
  RunPendingDeviceChange();
  Frames(2);
  EXPECT_FALSE(FrameworkIsWindowed());
  EXPECT_FALSE(App().triangleSoup);
  EXPECT_EQ(App().loadedModel, 0);
  EXPECT_EQ(App().parametersPanel.GetComboBox(ID_MODEL)->GetSelectedIndex(), 0);
  Click(App().devicePanel, 90, 21);
  RunPendingDeviceChange();
  Frames(2);
  EXPECT_TRUE(FrameworkIsWindowed());
  EXPECT_EQ(FrameworkGetBackBufferDescription().width, 800u);
  EXPECT_EQ(FrameworkGetBackBufferDescription().height, 600u);
}

// A dropped OBJ becomes a picker entry named after its file and is loaded as if picked; a
// device change keeps the entry, and picking it loads that file.
TEST_F(Application, ADroppedModelBecomesAPickerEntryThatOutlivesADeviceChange) {
  const std::filesystem::path plate = Environment::maskFolder / "plate.obj";
  {
    std::ofstream obj(plate);
    obj << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n";
  }
  CUIComboBox* picker = App().parametersPanel.GetComboBox(ID_MODEL);
  const int entries = picker->GetNumItems();
  Platform::WindowEvents::SetDroppedFile(*FrameworkGetWindow(), plate.string().c_str());
  testing::internal::CaptureStderr();
  Send(Platform::WM_DROPFILES, 0, 0);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("no texture coordinates"), std::string::npos) << said;
  ASSERT_EQ(picker->GetNumItems(), entries + 1);
  EXPECT_EQ(picker->GetItem(entries)->text, "plate.obj");
  EXPECT_EQ(picker->GetSelectedIndex(), entries);
  ASSERT_TRUE(App().triangleSoup != nullptr);
  EXPECT_EQ(App().triangleSoup->GetIndexCount(), 6);

  Click(App().devicePanel, 90, 93);  // WARP on and off
  RunPendingDeviceChange();
  Click(App().devicePanel, 90, 93);
  RunPendingDeviceChange();
  Frames(2);
  picker = App().parametersPanel.GetComboBox(ID_MODEL);
  ASSERT_EQ(picker->GetNumItems(), entries + 1);
  EXPECT_EQ(picker->GetItem(entries)->text, "plate.obj");
  EXPECT_EQ(picker->GetSelectedIndex(), 0);
  EXPECT_FALSE(App().triangleSoup);
  Pick(3);
  Pick(entries);
  EXPECT_EQ(App().loadedModel, entries);
  ASSERT_TRUE(App().triangleSoup != nullptr);
  EXPECT_EQ(App().triangleSoup->GetIndexCount(), 6);
}

// A dropped glTF file joins the picker like an OBJ file; one that cannot be read says why and
// leaves the picker as it was.
TEST_F(Application, ADroppedGltfJoinsThePickerAndABrokenOneDoesNot) {
  CUIComboBox* picker = App().parametersPanel.GetComboBox(ID_MODEL);
  const int entries = picker->GetNumItems();
  const std::filesystem::path broken = Environment::maskFolder / "broken.glb";
  std::ofstream(broken, std::ios::binary) << "glTF";
  Platform::WindowEvents::SetDroppedFile(*FrameworkGetWindow(), broken.string().c_str());
  testing::internal::CaptureStderr();
  Send(Platform::WM_DROPFILES, 0, 0);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find(broken.string() + ": the binary glTF file is truncated"), std::string::npos) << said;
  EXPECT_EQ(picker->GetNumItems(), entries);
  EXPECT_EQ(App().models.size(), size_t(entries));
  EXPECT_EQ(picker->GetSelectedIndex(), 0);
  EXPECT_FALSE(App().triangleSoup);

  const std::string asset = std::string(PATINEX_SOURCE_DIR) + "/tests/media/gltf/blender_suzanne.glb";
  Platform::WindowEvents::SetDroppedFile(*FrameworkGetWindow(), asset.c_str());
  Send(Platform::WM_DROPFILES, 0, 0);
  ASSERT_EQ(picker->GetNumItems(), entries + 1);
  EXPECT_EQ(picker->GetItem(entries)->text, "blender_suzanne.glb");
  EXPECT_EQ(App().loadedModel, entries);
  ASSERT_TRUE(App().triangleSoup != nullptr);
  EXPECT_EQ(App().triangleSoup->GetIndexCount(), 2904);
}

// The Change device button opens the settings dialog, which then takes every message and
// replaces the scene until it closes.
class DeviceSettings : public Application {
protected:
  static CDeviceSettingsDialog& Settings() { return App().settingsDialog; }
  static void OpenSettings() { Click(App().devicePanel, 90, 45); }
  static void ClickSettings(int id) {
    Dialog& dialog = Settings().GetDialog();
    CUIControl* control = dialog.GetControl(id);
    ASSERT_NE(control, nullptr);
    const int top = dialog.Y() + dialog.CaptionHeight();
    const Platform::LPARAM at = Platform::MakeLParam(dialog.X() + control->X() + 5, top + control->Y() + 5);
    Send(Platform::WM_MOUSEMOVE, 0, at);
    Send(Platform::WM_LBUTTONDOWN, Platform::MK_LBUTTON, at);
    Send(Platform::WM_LBUTTONUP, 0, at);
  }
  // Above the dialog's place in the middle, on the sphere.
  static constexpr int kAboveX = 400;
  static constexpr int kAboveY = 140;
};

TEST_F(DeviceSettings, CancelClosesTheDialogAndTheSceneReturns) {
  Pick(1);
  ASSERT_FALSE(IsClearColour(DrawnPixel(kAboveX, kAboveY)));
  OpenSettings();
  ASSERT_TRUE(Settings().IsActive());
  // Opened with the settings in use, centred by the resize it was handed.
  EXPECT_EQ(Settings().GetDialog().GetComboBox(CDeviceSettingsDialog::kRenderer)->GetSelectedIndex(),
            static_cast<int>(FrameworkGetDeviceSettings().device.driverType));
  EXPECT_EQ(Settings().GetDialog().X(), (800 - CDeviceSettingsDialog::kWidth) / 2);
  EXPECT_TRUE(IsClearColour(DrawnPixel(kAboveX, kAboveY)));  // no scene
  EXPECT_FALSE(IsClearColour(DrawnPixel(400, 300)));          // the dialog
  // The panels get nothing while it is open.
  PressWeather();
  EXPECT_FALSE(SimulationKept());
  EXPECT_EQ(WeatherText(), "Weather");

  ClickSettings(CDeviceSettingsDialog::kCancel);
  EXPECT_FALSE(Settings().IsActive());
  EXPECT_FALSE(IsClearColour(DrawnPixel(kAboveX, kAboveY)));
  EXPECT_TRUE(App().triangleSoup != nullptr);  // no device change
}

TEST_F(DeviceSettings, OkWithWarpChangesTheDeviceThroughTheCallbacks) {
  const Platform::DriverType initial = FrameworkGetDeviceSettings().device.driverType;
  ASSERT_NE(initial, Platform::DriverType::Warp);
  Pick(1);
  OpenSettings();
  Settings().GetDialog().GetComboBox(CDeviceSettingsDialog::kRenderer)->SetSelectedByIndex(2);
  ClickSettings(CDeviceSettingsDialog::kOk);
  RunPendingDeviceChange();
  Frames(2);
  EXPECT_FALSE(Settings().IsActive());
  EXPECT_EQ(FrameworkGetDeviceSettings().device.driverType, Platform::DriverType::Warp);
  EXPECT_FALSE(App().triangleSoup);
  EXPECT_EQ(App().parametersPanel.GetComboBox(ID_MODEL)->GetSelectedIndex(), 0);
  // The dialog's device objects followed the change: it draws on the new device.
  OpenSettings();
  EXPECT_EQ(Settings().GetDialog().GetComboBox(CDeviceSettingsDialog::kRenderer)->GetSelectedIndex(), 2);
  EXPECT_FALSE(IsClearColour(DrawnPixel(400, 300)));
  // Escape closes the dialog, not the window.
  Key(Platform::VK_ESCAPE);
  EXPECT_FALSE(Settings().IsActive());
  ASSERT_FALSE(FrameworkGetWindow()->IsDestroyed());
  Click(App().devicePanel, 90, 93);  // WARP off again
  RunPendingDeviceChange();
  Frames(2);
  EXPECT_EQ(FrameworkGetDeviceSettings().device.driverType, initial);
}

}  // namespace

// Closing the window during a run stops the run, waits for it and exits with code 0, leaving
// only whole mask files.
TEST(ApplicationClose, ClosingTheWindowDuringARunEndsItAndExitsWithZero) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Pick(2);
        TypeInto(ID_TONS_PER_STEP, "200000");
        PressWeather();
        Frames(5);
        Platform::PostMessage(FrameworkGetWindow(), Platform::WM_CLOSE, 0, 0);
        FrameworkMainLoop();
        const auto start = std::chrono::steady_clock::now();
        const int code = ShutdownApplication();
        std::fprintf(stderr, "closed: run kept=%d wait=%.3f s\n", SimulationKept() ? 1 : 0,
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        std::_Exit(code);
      },
      testing::ExitedWithCode(0), "closed: run kept=0 wait=");
}
