#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/mask_history.h"
#include "app/session_store.h"
#include "app/status_line.h"
#include "framework/ui_list_box.h"
#include "framework/device_settings_dialog.h"
#include "platform/event_pump.h"
#include "simulation/mask_files.h"
#include "simulation/patinex_process.h"
#include "tests/app/application_driver.h"

using namespace AppDriver;
namespace fs = std::filesystem;

namespace {

const testing::Environment* const environment = testing::AddGlobalTestEnvironment(new Environment);

class Application : public testing::Test {
protected:
  void SetUp() override {
    if (!HasDisplay()) GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(Environment::started);
    // Each case starts with no model and no run.
    Program().Run().End();
    Program().Run().ResetLongestEndWait();
    Program().Folders().masks = Environment::maskFolder.string();
    if (Program().Panels().ParametersPanel().GetComboBox(ID_MODEL)->GetSelectedIndex() != 0) Pick(0);
    // ... no session kept from an earlier case (a picked model would open it) ...
    ClearMaskFolder();
    // ... the parameters at their defaults and the shaded view.
    EnterInto(ID_DENSITY, "100");
    EnterInto(ID_STEPS, "1");
    EnterInto(ID_TONS_PER_STEP, "1000");
    CUIComboBox* view = Program().Panels().SimulationPanel().GetComboBox(ID_VIEW);
    view->SetSelectedByIndex(0);
    Program().OnGuiEvent(kEventComboBoxSelectionChanged, ID_VIEW);
    Frames(1);
  }

  // Waits for the resampling a density entered asked for.
  static bool Resampled() {
    return FramesUntil(
        [] { return Program().Samples().RequestCountdown() <= 0.0f && !Program().Samples().UnderWay() && Program().Samples().Map() != nullptr; }, 30.0);
  }

  // Starts a run that lasts long enough to be stopped.
  void StartLongRun() {
    EnterInto(ID_STEPS, "100");
    EnterInto(ID_TONS_PER_STEP, "200000");
    PressWeather();
    ASSERT_TRUE(Program().Run().Kept());
    ASSERT_EQ(WeatherText(), "Stop");
    // Without samples the run first waits for them.
    ASSERT_TRUE(FramesUntil([] { return Program().Run().HasThread(); }, 30.0));
  }

  // A short run of steps steps, to its end.
  void RunSteps(int steps) {
    EnterInto(ID_TONS_PER_STEP, "2000");
    EnterInto(ID_STEPS, std::to_string(steps));
    PressWeather();
    ASSERT_TRUE(Program().Run().Kept());
    ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }));
  }

  // Every session of every model goes (none is open: the fixture starts without a model).
  static void ClearMaskFolder() { ClearSessions(); }

  // The mask files of a folder, sorted.
  static std::vector<std::string> MaskFiles(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      if (Simulation::ParseMaskFileName(it->path().filename().string(), nullptr, nullptr)) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The masks of steps first..last (file numbers), sorted as MaskFiles sorts them.
  static std::vector<std::string> MasksOfSteps(int first, int last) {
    std::vector<std::string> names;
    for (const char* kind : {"mask_dirt", "mask_humidity", "mask_rust"}) {
      for (int step = first; step <= last; ++step) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%02d.jpg", kind, step);
        names.push_back(name);
      }
    }
    return names;
  }

  static std::string StepLabel() { return Program().Panels().SimulationPanel().GetStatic(ID_STEP_LABEL)->GetText(); }

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
  EXPECT_EQ(Program().Panels().ParametersPanel().GetComboBox(ID_MODEL)->GetSelectedItem()->text, "-Pick Model-");
  EXPECT_EQ(Program().Panels().ParametersPanel().GetComboBox(ID_MODEL)->GetNumItems(), 4);
  EXPECT_EQ(Environment::startTexts, (std::vector<std::string>{"100", "1", "1000"}));
  EXPECT_EQ(Environment::startStatus, "Pick a model, then press Weather.");
  EXPECT_TRUE(IsClearColour(DrawnPixel(400, 300)));
  // Without a model "Weather" starts nothing and says why.
  PressWeather();
  Frames(1);
  EXPECT_FALSE(Program().Run().Kept());
  EXPECT_EQ(WeatherText(), "Weather");
  EXPECT_NE(StatusShown().find("Pick a model first"), std::string::npos) << StatusShown();
}

TEST_F(Application, PickingLoadsAndFramesTheModelAndPickModelUnloadsIt) {
  Pick(1);
  ASSERT_TRUE(Program().Model().Soup() && Program().Model().KdTree() && Program().Model().DeviceMesh());
  EXPECT_NE(StatusShown().find("Sphere: 3968 triangles."), std::string::npos) << StatusShown();
  const std::vector<float> middle = DrawnPixel(400, 300);
  EXPECT_FALSE(IsClearColour(middle));
  // Bare bronze before any run: warm, red over green over blue.
  EXPECT_GT(middle[0], middle[1]);
  EXPECT_GT(middle[1], middle[2]);
  // The sphere fills the middle, not the corner, where the environment shows behind it until
  // the Background box is unticked.
  EXPECT_FALSE(IsClearColour(DrawnPixel(5, 595)));
  Program().View().ShowBackground(false);
  EXPECT_TRUE(IsClearColour(DrawnPixel(5, 595)));
  Program().View().ShowBackground(true);

  Pick(0);
  EXPECT_FALSE(Program().Model().Soup() || Program().Model().KdTree() || Program().Model().DeviceMesh() || Program().Samples().Map());
  EXPECT_TRUE(IsClearColour(DrawnPixel(400, 300)));
}

// A model file that cannot be read is named in the window with the reason.
// A frame that changes the scene draws it straight to the back buffer; the next, at rest, draws
// it into the kept picture and copies that over every pixel: both must show the same scene.
TEST_F(Application, AFrameAtRestShowsWhatTheChangingFrameDrewStraight) {
  Pick(1);
  Platform::GraphicsDevice* device = FrameworkGetDevice();
  const auto wholeFrame = [device] {
    Program().OnFrameRender(device, 0.0f);
    std::vector<float> rgba(size_t(800) * 600 * 4);
    device->ReadPixels(0, 0, 800, 600, rgba.data());
    return rgba;
  };
  Program().View().MarkChanged();
  const std::vector<float> straight = wholeFrame();
  // Whatever the back buffer held must not show through the copied picture.
  const float magenta[4] = {1.0f, 0.0f, 1.0f, 1.0f};
  device->ClearRenderTargetView(device->BackBufferView(), magenta);
  const std::vector<float> atRest = wholeFrame();
  device->ClearRenderTargetView(device->BackBufferView(), magenta);
  const std::vector<float> copiedAgain = wholeFrame();
  // The picture keeps float colours that the copy rounds to the back buffer's bytes; a few
  // pixels of sharp highlights come out a step or two apart from the straight drawing.
  size_t differing = 0, differingCopy = 0;
  for (size_t i = 0; i < straight.size(); ++i) {
    if (std::fabs(straight[i] - atRest[i]) > 3.0f / 255.0f) ++differing;
    if (atRest[i] != copiedAgain[i]) ++differingCopy;
  }
  EXPECT_EQ(differing, 0u);
  EXPECT_EQ(differingCopy, 0u);
  // The sphere is drawn, not only the grey.
  const size_t middle = (size_t(300) * 800 + 400) * 4;
  EXPECT_FALSE(IsClearColour({straight.begin() + middle, straight.begin() + middle + 4}));
  Pick(0);
}

TEST_F(Application, AModelThatCannotBeReadIsNamedWithTheReason) {
  const fs::path missing = Environment::maskFolder / "gone.obj";
  Send(Platform::WindowEvent::Dropped(missing.string()));
  Frames(1);
  EXPECT_FALSE(Program().Model().Soup());
  EXPECT_NE(StatusShown().find("Cannot read"), std::string::npos) << StatusShown();
  EXPECT_NE(StatusShown().find("gone.obj"), std::string::npos) << StatusShown();
  EXPECT_NE(StatusShown().find("There is no such file."), std::string::npos) << StatusShown();
}

// A dropped file that is no model, or a broken one, leaves the model shown, its samples, its
// steps and the picker as they were, and says which file failed and why.
TEST_F(Application, ADropThatCannotBeReadKeepsTheModelItsSamplesAndItsSteps) {
  ClearMaskFolder();
  Pick(1);
  RunSteps(1);
  const auto soup = Program().Model().Soup();
  const Simulation::SampleMap* samples = Program().Samples().Map();
  const int32_t steps = Program().History().Steps();
  const std::vector<std::string> masks = MaskFiles(SessionFolder());
  ASSERT_TRUE(soup && samples && steps > 0);
  CUIComboBox* picker = Program().Panels().ParametersPanel().GetComboBox(ID_MODEL);
  const int entries = picker->GetNumItems();

  const fs::path photo = fs::path(PATINEX_SOURCE_DIR) / "media" / "tex_base.jpg";
  const fs::path broken = Environment::maskFolder / "broken.obj";
  std::ofstream(broken) << "v 0 0 0\nv 1 0 0\nf 1 2 7\n";
  for (const fs::path& file : {photo, broken}) {
    Send(Platform::WindowEvent::Dropped(file.string()));
    Frames(2);
    EXPECT_EQ(Program().Model().Soup(), soup) << file;
    EXPECT_EQ(Program().Samples().Map(), samples) << file;
    EXPECT_EQ(Program().History().Steps(), steps) << file;
    EXPECT_EQ(MaskFiles(SessionFolder()), masks) << file;
    EXPECT_EQ(picker->GetNumItems(), entries) << file;
    EXPECT_EQ(picker->GetSelectedIndex(), 1) << file;
    EXPECT_EQ(Program().Models().Loaded(), 1) << file;
    EXPECT_NE(StatusShown().find("Cannot read " + ShownFolder(file.string())), std::string::npos) << StatusShown();
    EXPECT_NE(StatusShown().find("Sphere stays."), std::string::npos) << StatusShown();
  }
}

// The status line shows its whole text however long (the panel grows and stays in the window),
// drops a notice once it no longer holds, and says a reader's failure in a sentence.
TEST_F(Application, TheStatusLineShowsItsWholeTextAndOnlyWhatStillHolds) {
  Dialog& panel = Program().Panels().SimulationPanel();
  const fs::path deep = Environment::maskFolder / "a folder with a rather long name" / "and another one below it" /
                        "and a third one, to be sure" / "model.gltf";
  fs::create_directories(deep.parent_path());
  std::ofstream(deep) << "{ \"asset\": nope }";
  Pick(1);
  Send(Platform::WindowEvent::Dropped(deep.string()));
  EnterInto(ID_TONS_PER_STEP, "many");
  Frames(2);
  const std::string composed = StatusShown();
  EXPECT_NE(composed.find("Tons/Step takes whole numbers from 1 to 1000000"), std::string::npos) << composed;
  EXPECT_EQ(composed.find("[json.exception"), std::string::npos) << composed;
  const std::string shown = panel.GetStatic(ID_PROGRESS)->GetText();
  EXPECT_EQ(shown.find("\xE2\x80\xA6"), std::string::npos) << "cut: " << shown;
  const auto words = [](std::string text) {
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\n'; }), text.end());
    return text;
  };
  EXPECT_EQ(words(shown), words(composed));
  const CUIStatic* line = panel.GetStatic(ID_PROGRESS);
  EXPECT_LE(panel.Y() + line->Y() + line->Height(), panel.Y() + panel.Height());
  EXPECT_LE(panel.Y() + panel.Height(), int(FrameworkGetBackBufferDescription().height));

  Send(Platform::WindowEvent::Dropped(deep.string()));
  Frames(1);
  EXPECT_NE(StatusShown().find("model.gltf is not valid JSON: at line 1, column"), std::string::npos) << StatusShown();
  EXPECT_NE(StatusShown().find("Sphere stays."), std::string::npos) << StatusShown();

  // A density typed during a run waits for its end; once it applies, the notice goes.
  StartLongRun();
  EnterInto(ID_DENSITY, "120");
  EXPECT_NE(StatusShown().find("Density 120 applies once the run has ended."), std::string::npos) << StatusShown();
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }, 30.0));
  EXPECT_TRUE(FramesUntil([] { return StatusShown().find("applies once") == std::string::npos; }, 10.0))
      << StatusShown();
}

// A number box is read when the user is done with it (Enter, leaving it, "Weather"), never while
// typing; what is clamped or refused is said in the window with the range.
TEST_F(Application, NumberBoxesAreReadWhenTheUserIsDoneAndSayWhatTheyChanged) {
  Pick(1);
  TypeInto(ID_STEPS, "1");
  Backspace();
  EXPECT_EQ(EditText(ID_STEPS), "");
  Type("3");
  EXPECT_EQ(EditText(ID_STEPS), "3");
  Enter();
  Frames(1);
  EXPECT_EQ(Program().Numbers().Steps(), 3);
  EXPECT_EQ(EditText(ID_STEPS), "3");

  EnterInto(ID_STEPS, "-5");
  Frames(1);
  EXPECT_EQ(EditText(ID_STEPS), "1");
  EXPECT_NE(StatusShown().find("Steps is 1 to 1000: -5 became 1."), std::string::npos) << StatusShown();
  EnterInto(ID_STEPS, "2.5");
  Frames(1);
  EXPECT_EQ(EditText(ID_STEPS), "1");  // refused: the value in use stays
  EXPECT_NE(StatusShown().find("whole numbers from 1 to 1000: kept 1."), std::string::npos) << StatusShown();
  EnterInto(ID_TONS_PER_STEP, "abc");
  EXPECT_EQ(EditText(ID_TONS_PER_STEP), "1000");
  EnterInto(ID_TONS_PER_STEP, "99999999999");  // saturates, does not wrap
  EXPECT_EQ(EditText(ID_TONS_PER_STEP), "1000000");

  // Density cleared and left alone for a while stays empty and samples nothing; what is typed
  // next is read when the box is left.
  TypeInto(ID_DENSITY, "");
  const auto start = std::chrono::steady_clock::now();
  FramesUntil([&] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(1500); });
  EXPECT_EQ(EditText(ID_DENSITY), "");
  EXPECT_FALSE(Program().Samples().Map());
  Type("250");
  EXPECT_EQ(EditText(ID_DENSITY), "250");
  ClickAway();
  ASSERT_TRUE(Resampled());
  EXPECT_EQ(Program().Numbers().Density(), 250);
  EXPECT_EQ(EditText(ID_DENSITY), "250");
  // Letters do not make a density of 1 that bakes black masks: the box keeps its number.
  const Simulation::SampleMap* samples = Program().Samples().Map();
  EnterInto(ID_DENSITY, "abc");
  Frames(3);
  EXPECT_EQ(EditText(ID_DENSITY), "250");
  EXPECT_EQ(Program().Samples().Map(), samples);

  // Every box shows its longest value whole.
  for (const auto& [id, longest] : {std::pair{ID_DENSITY, "500"}, {ID_STEPS, "1000"}, {ID_TONS_PER_STEP, "1000000"}}) {
    CUIEditBox* box = Program().Panels().ParametersPanel().GetEditBox(id);
    const int room = box->Width() - 2 * (CUIEditBox::kBorder + CUIEditBox::kSpacing);
    EXPECT_LE(Program().Panels().ParametersPanel().TextWidth(*box->GetElement(0), longest), room) << longest;
  }
}

// The view picker names what is drawn: "Points" while the samples are shown.
TEST_F(Application, TheViewPickerNamesWhatIsDrawn) {
  Pick(1);
  CUIComboBox* view = Program().Panels().SimulationPanel().GetComboBox(ID_VIEW);
  auto pickView = [&](int index) {
    view->SetSelectedByIndex(index);
    Program().OnGuiEvent(kEventComboBoxSelectionChanged, ID_VIEW);
  };
  pickView(2);  // "Rust"
  EnterInto(ID_DENSITY, "60");
  ASSERT_TRUE(Resampled());
  EXPECT_TRUE(Program().View().ShowsSamples());
  EXPECT_EQ(view->GetSelectedItem()->text, "Points");
  RunSteps(1);  // "Weather" shows the model in the view picked last
  EXPECT_FALSE(Program().View().ShowsSamples());
  EXPECT_EQ(view->GetSelectedItem()->text, "Rust");
  pickView(3);
  EXPECT_TRUE(Program().View().ShowsSamples());
}

// Runs on the same samples make one history on disk and on the slider: a second run numbers on,
// new samples start a session of their own beside it, and masks outside the session are never
// shown or moved.
TEST_F(Application, RunsIntoOneFolderMakeOneHistoryOnDiskAndOnTheSlider) {
  ClearMaskFolder();
  { std::ofstream(Environment::maskFolder / "mask_dirt07.jpg") << "an earlier day's mask"; }
  Pick(1);
  RunSteps(3);
  const fs::path first = SessionFolder();
  EXPECT_EQ(first.parent_path().parent_path(), Environment::maskFolder / "sessions");
  EXPECT_EQ(MaskFiles(first), MasksOfSteps(0, 2));
  EXPECT_EQ(MaskFiles(Environment::maskFolder), std::vector<std::string>{"mask_dirt07.jpg"});
  EXPECT_EQ(Slider(ID_STEP)->GetMaximum(), 2);
  EXPECT_EQ(Slider(ID_STEP)->GetValue(), 2);
  const fs::file_time_type firstStepWritten = fs::last_write_time(first / "mask_dirt00.jpg");

  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  RunSteps(1);
  EXPECT_EQ(SessionFolder(), first);
  EXPECT_EQ(MaskFiles(first), MasksOfSteps(0, 3));
  EXPECT_EQ(fs::last_write_time(first / "mask_dirt00.jpg"), firstStepWritten);
  EXPECT_EQ(StepLabel(), "Step 4 of 4");
  EXPECT_EQ(Slider(ID_STEP)->GetMaximum(), 3);
  EXPECT_EQ(Slider(ID_STEP)->GetValue(), 3);
  Frames(1);
  EXPECT_NE(StatusShown().find("Done: 1 step in"), std::string::npos) << StatusShown();
  EXPECT_NE(StatusShown().find("Masks of steps 1\xE2\x80\x93" "4 in"), std::string::npos) << StatusShown();

  // Lowering Steps during a run: the run keeps its own count, the slider covers what it saved.
  EnterInto(ID_STEPS, "3");
  PressWeather();
  EnterInto(ID_STEPS, "1");
  ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }));
  EXPECT_EQ(MaskFiles(first), MasksOfSteps(0, 6));
  EXPECT_EQ(Slider(ID_STEP)->GetMaximum(), 6);
  EXPECT_EQ(Slider(ID_STEP)->GetValue(), 6);
  EXPECT_NE(Program().View().DirtMaskView(), nullptr);
  EXPECT_EQ(MaskFiles(Environment::maskFolder), std::vector<std::string>{"mask_dirt07.jpg"});
}

// A step whose masks are not saved ends the run: the slider never shows an older file of the same
// name as that step, and the window says what failed.
TEST_F(Application, AFailedSaveEndsTheRunAndIsShown) {
  ClearMaskFolder();
  Pick(1);
  // The samples made, their session waits for the run: a folder is put in the way of a mask,
  // since no file can be renamed over it.
  EnterInto(ID_DENSITY, "100");
  ASSERT_TRUE(Resampled());
  const fs::path session = SessionFolder();
  ASSERT_EQ(session, fs::path(ModelSessionsFolder(Environment::maskFolder.string(), Program().Models()[1].file)) / "1");
  fs::create_directories(session / "mask_dirt01.jpg");
  RunSteps(3);
  ASSERT_EQ(SessionFolder(), session);
  // Step 2's other masks went again; the run ended there.
  EXPECT_EQ(MaskFiles(session),
            (std::vector<std::string>{"mask_dirt00.jpg", "mask_dirt01.jpg", "mask_humidity00.jpg", "mask_rust00.jpg"}));
  EXPECT_TRUE(fs::is_directory(session / "mask_dirt01.jpg"));
  EXPECT_EQ(Slider(ID_STEP)->GetMaximum(), 0);
  EXPECT_EQ(Slider(ID_STEP)->GetValue(), 0);
  Frames(1);
  EXPECT_NE(StatusShown().find("Stopped: step 2 not saved."), std::string::npos) << StatusShown();
  EXPECT_NE(StatusShown().find("The files could not be written in"), std::string::npos) << StatusShown();
  EXPECT_NE(StatusShown().find("Step 1 kept."), std::string::npos) << StatusShown();
  fs::remove(session / "mask_dirt01.jpg");

  // Nowhere to save masks: the run does not start, and the window says so.
  Program().Folders().masks.clear();
  PressWeather();
  Frames(1);
  EXPECT_FALSE(Program().Run().Kept());
  EXPECT_NE(StatusShown().find("the masks could not be saved anywhere"), std::string::npos) << StatusShown();
  Program().Folders().masks = Environment::maskFolder.string();
}

TEST_F(Application, ARunOfThreeStepsEndsShowingTheMasksOfStepTwoAtFullStrength) {
  ClearMaskFolder();
  Pick(1);
  RunSteps(3);
  EXPECT_EQ(WeatherText(), "Weather");
  EXPECT_EQ(Slider(ID_STEP)->GetValue(), 2);
  EXPECT_EQ(Slider(ID_DIRT_FACTOR)->GetValue(), 100);
  EXPECT_EQ(Slider(ID_RUST_FACTOR)->GetValue(), 100);
  EXPECT_NE(Program().View().RustMaskView(), nullptr);
  EXPECT_NE(Program().View().DirtMaskView(), nullptr);
  EXPECT_EQ(MaskFiles(SessionFolder()), MasksOfSteps(0, 2));

  // The rust view reads the mask: it differs from the shaded view.
  ASSERT_EQ(Program().Panels().SimulationPanel().GetComboBox(ID_VIEW)->GetSelectedIndex(), 0);
  const std::vector<float> shaded = DrawnPixel(400, 300);
  Program().Panels().SimulationPanel().GetComboBox(ID_VIEW)->SetSelectedByIndex(2);
  const std::vector<float> rust = DrawnPixel(400, 300);
  Program().Panels().SimulationPanel().GetComboBox(ID_VIEW)->SetSelectedByIndex(0);
  EXPECT_NE(shaded, rust);

  // A pick releases the masks; no step is offered without a model.
  Pick(0);
  EXPECT_EQ(Program().View().RustMaskView(), nullptr);
  Program().View().LoadMaskViews(2);
  EXPECT_EQ(Program().View().RustMaskView(), nullptr);
}

TEST_F(Application, EveryPlaceThatFreesWhatARunReadsEndsOrAwaitsTheRun) {
  Pick(1);
  // "Weather" twice: the second press stops the first run, which the frame collects.
  StartLongRun();
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }, 30.0));
  EXPECT_EQ(WeatherText(), "Weather");

  // Picking another model.
  StartLongRun();
  Frames(3);
  Pick(3);
  EXPECT_FALSE(Program().Run().Kept());
  EXPECT_EQ(WeatherText(), "Weather");
  EXPECT_TRUE(Program().Model().Soup() != nullptr);

  // A density entered during a run waits for the run's end instead of ending it.
  StartLongRun();
  EnterInto(ID_DENSITY, "50");
  Frames(5);
  EXPECT_TRUE(Program().Run().Running());
  EXPECT_NE(StatusShown().find("Density 50 applies once the run has ended."), std::string::npos) << StatusShown();
  PressWeather();
  ASSERT_TRUE(
      FramesUntil([] { return !Program().Run().Kept() && Program().Samples().RequestCountdown() == 0.0f && !Program().Samples().UnderWay(); }, 30.0));
  EXPECT_NE(Program().Samples().Map(), nullptr);
  EXPECT_TRUE(Program().View().ShowsSamples());

  // A density entered just before "Weather" is settled by it: no resampling ends the new run.
  TypeInto(ID_DENSITY, "40");
  StartLongRun();
  EXPECT_EQ(Program().Numbers().Density(), 40);
  const auto start = std::chrono::steady_clock::now();
  FramesUntil([&] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(1500); });
  EXPECT_TRUE(Program().Run().Running());
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }, 30.0));

  std::fprintf(stderr, "longest wait for a stopped run: %.3f s\n", Program().Run().LongestEndWait());
  EXPECT_LT(Program().Run().LongestEndWait(), StopWaitLimit());
}

// The model and its samples live on the CPU, and a run touches no device object: a device change
// keeps them all and puts the model back on the new device.
TEST_F(Application, ADeviceChangeKeepsTheModelItsSamplesAndTheRun) {
  ClearMaskFolder();
  Pick(1);
  StartLongRun();
  Frames(3);
  const RenderLib::KdTree* tree = Program().Model().KdTree().get();
  const Simulation::SampleMap* samples = Program().Samples().Map();
  Click(Program().Panels().DevicePanel(), 90, 93);  // llvmpipe
  RunPendingDeviceChange();
  Frames(2);
  EXPECT_EQ(FrameworkGetDeviceSettings().device.driverType, Platform::DriverType::Warp);
  EXPECT_TRUE(Program().Run().Running());
  EXPECT_EQ(Program().Model().KdTree().get(), tree);
  EXPECT_EQ(Program().Samples().Map(), samples);
  EXPECT_EQ(Program().Panels().ParametersPanel().GetComboBox(ID_MODEL)->GetSelectedIndex(), 1);
  ASSERT_NE(Program().Model().DeviceMesh(), nullptr);
  EXPECT_FALSE(IsClearColour(DrawnPixel(400, 300)));  // drawn on the new device
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }, 30.0));
  Click(Program().Panels().DevicePanel(), 90, 93);
  RunPendingDeviceChange();
  Frames(2);

  // Full screen and back.
  Click(Program().Panels().DevicePanel(), 90, 21);
  RunPendingDeviceChange();
  Frames(2);
  EXPECT_FALSE(FrameworkIsWindowed());
  EXPECT_EQ(Program().Model().KdTree().get(), tree);
  EXPECT_NE(Program().Model().DeviceMesh(), nullptr);
  Click(Program().Panels().DevicePanel(), 90, 21);
  RunPendingDeviceChange();
  Frames(2);
  EXPECT_TRUE(FrameworkIsWindowed());
  EXPECT_EQ(FrameworkGetBackBufferDescription().width, 800u);
  EXPECT_EQ(FrameworkGetBackBufferDescription().height, 600u);
  EXPECT_EQ(Program().Panels().ParametersPanel().GetComboBox(ID_MODEL)->GetSelectedIndex(), 1);
}

// Escape with a list open only closes the list; during a run it asks before quitting.
TEST_F(Application, EscapeClosesAnOpenListAndAsksBeforeEndingARun) {
  Pick(1);
  CUIComboBox* view = Program().Panels().SimulationPanel().GetComboBox(ID_VIEW);
  const int selected = view->GetSelectedIndex();
  Click(Program().Panels().SimulationPanel(), 90, 79);
  ASSERT_TRUE(view->IsOpened());
  Key(Platform::VK_DOWN);
  Key(Platform::VK_ESCAPE);
  EXPECT_FALSE(view->IsOpened());
  EXPECT_EQ(view->GetSelectedIndex(), selected);
  ASSERT_FALSE(FrameworkGetWindow()->IsDestroyed());

  // The question waits in the window while the run goes on; Escape answers "No" and is spent.
  StartLongRun();
  Key(Platform::VK_ESCAPE);
  EXPECT_TRUE(Program().QuitQuestionOpen());
  const std::string progress = StatusShown();
  EXPECT_TRUE(FramesUntil([&] { return StatusShown() != progress; }, 30.0)) << "the progress stopped at " << progress;
  Send(Platform::WindowEvent::Key(Platform::EventType::KeyDown, 'Q'));  // not an answer
  EXPECT_TRUE(Program().QuitQuestionOpen());
  Key(Platform::VK_ESCAPE);
  Frames(2);
  EXPECT_FALSE(Program().QuitQuestionOpen());
  ASSERT_FALSE(FrameworkGetWindow()->IsDestroyed());
  EXPECT_TRUE(Program().Run().Running());
  // "N" answers too; the character it types and its release are spent with it.
  Key(Platform::VK_ESCAPE);
  ASSERT_TRUE(Program().QuitQuestionOpen());
  Send(Platform::WindowEvent::Key(Platform::EventType::KeyDown, 'N'));
  EXPECT_FALSE(Program().QuitQuestionOpen());
  Send(Platform::WindowEvent::Character('n'));
  Send(Platform::WindowEvent::Key(Platform::EventType::KeyUp, 'N'));
  EXPECT_TRUE(Program().Run().Running());
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }, 30.0));
}

TEST_F(Application, PickingTheLoadedEntryAgainKeepsTheRunAndTheModel) {
  Pick(1);
  const RenderLib::KdTree* tree = Program().Model().KdTree().get();
  StartLongRun();
  Pick(1);
  EXPECT_TRUE(Program().Run().Kept());
  EXPECT_EQ(Program().Model().KdTree().get(), tree);
  Program().Run().End();
}

TEST_F(Application, DirtFactorFollowsTheDirtSlider) {
  CUISlider* dirt = Slider(ID_DIRT_FACTOR);
  dirt->SetValue(50);
  const UIRect thumb = dirt->ThumbRect();
  const int thumbX = (thumb.left + thumb.right) / 2;
  const int thumbY = (thumb.top + thumb.bottom) / 2;
  // Hold the thumb and move left until the slider reads 37.
  Dialog& panel = Program().Panels().SimulationPanel();
  Press({panel.X() + thumbX, panel.Y() + thumbY});
  for (int x = thumbX; x > 0 && dirt->GetValue() > 37; --x) {
    Move({panel.X() + x, panel.Y() + thumbY});
  }
  Release({panel.X() + thumbX, panel.Y() + thumbY});
  ASSERT_EQ(dirt->GetValue(), 37);
  EXPECT_FLOAT_EQ(Program().View().StrengthFactor(ID_DIRT_FACTOR), 0.37f);
  const UIRect at37 = dirt->ThumbRect();
  Drag(panel, (at37.left + at37.right) / 2, thumbY, 0, thumbY);
  EXPECT_EQ(dirt->GetValue(), 0);
  EXPECT_FLOAT_EQ(Program().View().StrengthFactor(ID_DIRT_FACTOR), 0.0f);
}

TEST_F(Application, MovingTheStepSliderTwiceReloadsOnceHalfASecondAfterTheLastMove) {
  Pick(1);
  Program().History().Extend(10);
  const int sliderY = Slider(ID_STEP)->Y() + Slider(ID_STEP)->Height() / 2;
  Click(Program().Panels().SimulationPanel(), 30, sliderY);
  EXPECT_FLOAT_EQ(Program().View().MaskReloadCountdown(), 0.5f);
  EXPECT_EQ(StepLabel(), "Step 9 of 10");
  Frames(1);
  Click(Program().Panels().SimulationPanel(), 150, sliderY);
  EXPECT_FLOAT_EQ(Program().View().MaskReloadCountdown(), 0.5f);  // the second move restarts the wait
  Program().History().End();
}

// A dropped OBJ becomes a picker entry named after its file and is loaded as if picked; a
// device change keeps the entry and the model.
TEST_F(Application, ADroppedModelBecomesAPickerEntryThatOutlivesADeviceChange) {
  const fs::path plate = Environment::maskFolder / "plate.obj";
  {
    std::ofstream obj(plate);
    obj << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n";
  }
  CUIComboBox* picker = Program().Panels().ParametersPanel().GetComboBox(ID_MODEL);
  const int entries = picker->GetNumItems();
  testing::internal::CaptureStderr();
  Send(Platform::WindowEvent::Dropped(plate.string()));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("no texture coordinates"), std::string::npos) << said;
  ASSERT_EQ(picker->GetNumItems(), entries + 1);
  EXPECT_EQ(picker->GetItem(entries)->text, "plate.obj");
  EXPECT_EQ(picker->GetSelectedIndex(), entries);
  ASSERT_TRUE(Program().Model().Soup() != nullptr);
  EXPECT_EQ(Program().Model().Soup()->GetIndexCount(), 6);

  Click(Program().Panels().DevicePanel(), 90, 93);  // llvmpipe on and off
  RunPendingDeviceChange();
  Click(Program().Panels().DevicePanel(), 90, 93);
  RunPendingDeviceChange();
  Frames(2);
  picker = Program().Panels().ParametersPanel().GetComboBox(ID_MODEL);
  ASSERT_EQ(picker->GetNumItems(), entries + 1);
  EXPECT_EQ(picker->GetItem(entries)->text, "plate.obj");
  EXPECT_EQ(picker->GetSelectedIndex(), entries);
  ASSERT_TRUE(Program().Model().Soup() != nullptr);
  EXPECT_EQ(Program().Model().Soup()->GetIndexCount(), 6);
  Pick(3);
  Pick(entries);
  EXPECT_EQ(Program().Models().Loaded(), entries);
  ASSERT_TRUE(Program().Model().Soup() != nullptr);
  EXPECT_EQ(Program().Model().Soup()->GetIndexCount(), 6);
}

// A dropped glTF file joins the picker like an OBJ file; one that cannot be read says why and
// leaves the picker as it was.
TEST_F(Application, ADroppedGltfJoinsThePickerAndABrokenOneDoesNot) {
  CUIComboBox* picker = Program().Panels().ParametersPanel().GetComboBox(ID_MODEL);
  const int entries = picker->GetNumItems();
  const std::filesystem::path broken = Environment::maskFolder / "broken.glb";
  std::ofstream(broken, std::ios::binary) << "glTF";
  testing::internal::CaptureStderr();
  Send(Platform::WindowEvent::Dropped(broken.string()));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find(broken.string() + ": the binary glTF file is truncated"), std::string::npos) << said;
  EXPECT_EQ(picker->GetNumItems(), entries);
  EXPECT_EQ(Program().Models().Size(), size_t(entries));
  EXPECT_EQ(picker->GetSelectedIndex(), 0);
  EXPECT_FALSE(Program().Model().Soup());

  const std::string asset = std::string(PATINEX_SOURCE_DIR) + "/tests/media/gltf/blender_suzanne.glb";
  Send(Platform::WindowEvent::Dropped(asset));
  ASSERT_EQ(picker->GetNumItems(), entries + 1);
  EXPECT_EQ(picker->GetItem(entries)->text, "blender_suzanne.glb");
  EXPECT_EQ(Program().Models().Loaded(), entries);
  ASSERT_TRUE(Program().Model().Soup() != nullptr);
  EXPECT_EQ(Program().Model().Soup()->GetIndexCount(), 2904);

  // Remembered for the next start, with its folder; the broken file is not.
  EXPECT_EQ(Program().RecentModels().Entries().front(), asset);
  EXPECT_EQ(Program().RecentFolders().Entries().front(), fs::path(asset).parent_path().string());
  EXPECT_EQ(std::count(Program().RecentModels().Entries().begin(), Program().RecentModels().Entries().end(), broken.string()), 0);
}

// The file browser takes the keys while shown: Enter in the path box goes where it says,
// Backspace outside it goes up a folder (selecting the one left), a path naming nothing is said
// in the browser, and Escape closes it without reaching the quit question of a run.
TEST_F(Application, TheFileBrowserTakesTheKeysWhileShown) {
  const fs::path top = Environment::maskFolder / "browse";
  fs::create_directories(top / "inner");
  Dialog& panel = Program().Panels().FileBrowserPanel();
  FileBrowser& browser = Program().Browser();
  Pick(1);
  StartLongRun();
  ClickControl(Program().Panels().ParametersPanel(), ID_OPEN);
  ASSERT_TRUE(browser.IsShown());
  const auto follow = [&](const std::string& typed) {
    ClickControl(panel, ID_BROWSER_PATH);
    panel.GetEditBox(ID_BROWSER_PATH)->SetText(typed);
    Key(Platform::VK_RETURN);
  };
  follow((top / "inner").string());
  EXPECT_EQ(browser.Folder(), (top / "inner").string());
  Backspace();
  EXPECT_EQ(browser.Folder(), top.string());
  EXPECT_EQ(panel.GetListBox(ID_BROWSER_LIST)->GetSelectedIndex(), 1);  // "..", then "inner/"
  follow("nowhere.obj");
  EXPECT_EQ(browser.Folder(), top.string());
  EXPECT_EQ(panel.GetStatic(ID_BROWSER_MESSAGE)->GetText(), "There is no " + ShownFolder((top / "nowhere.obj").string()) + ".");
  EXPECT_EQ(panel.GetEditBox(ID_BROWSER_PATH)->GetText(), "nowhere.obj");
  Key(Platform::VK_ESCAPE);
  EXPECT_FALSE(browser.IsShown());
  EXPECT_FALSE(Program().QuitQuestionOpen());
  EXPECT_TRUE(Program().Run().Kept());
  Program().Run().End();
}

// The Change device button opens the settings dialog, which then takes every message and
// replaces the scene until it closes.
class DeviceSettings : public Application {
protected:
  static CDeviceSettingsDialog& Settings() { return Program().Panels().SettingsDialog(); }
  static void OpenSettings() { Click(Program().Panels().DevicePanel(), 90, 45); }
  static void ClickSettings(int id) {
    Dialog& dialog = Settings().GetDialog();
    CUIControl* control = dialog.GetControl(id);
    ASSERT_NE(control, nullptr);
    const int top = dialog.Y() + dialog.CaptionHeight();
    const Platform::Point at{dialog.X() + control->X() + 5, top + control->Y() + 5};
    Move(at);
    Press(at);
    Release(at);
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
  EXPECT_FALSE(Program().Run().Kept());
  EXPECT_EQ(WeatherText(), "Weather");

  ClickSettings(CDeviceSettingsDialog::kCancel);
  EXPECT_FALSE(Settings().IsActive());
  EXPECT_FALSE(IsClearColour(DrawnPixel(kAboveX, kAboveY)));
  EXPECT_TRUE(Program().Model().Soup() != nullptr);  // no device change
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
  EXPECT_TRUE(Program().Model().Soup() != nullptr);
  EXPECT_EQ(Program().Panels().ParametersPanel().GetComboBox(ID_MODEL)->GetSelectedIndex(), 1);
  // The dialog's device objects followed the change: it draws on the new device.
  OpenSettings();
  EXPECT_EQ(Settings().GetDialog().GetComboBox(CDeviceSettingsDialog::kRenderer)->GetSelectedIndex(), 2);
  EXPECT_FALSE(IsClearColour(DrawnPixel(400, 300)));
  // Escape closes the dialog, not the window.
  Key(Platform::VK_ESCAPE);
  EXPECT_FALSE(Settings().IsActive());
  ASSERT_FALSE(FrameworkGetWindow()->IsDestroyed());
  Click(Program().Panels().DevicePanel(), 90, 93);  // llvmpipe off again
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
        Platform::PostEvent(FrameworkGetWindow(), Platform::WindowEvent::Of(Platform::EventType::Close));
        FrameworkMainLoop();
        const auto start = std::chrono::steady_clock::now();
        const int code = Program().Shutdown();
        std::fprintf(stderr, "closed: run kept=%d wait=%.3f s\n", Program().Run().Kept() ? 1 : 0,
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        std::_Exit(code);
      },
      testing::ExitedWithCode(0), "closed: run kept=0 wait=");
}
