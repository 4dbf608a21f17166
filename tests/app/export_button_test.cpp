#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/asset_export_command.h"
#include "app/documents_folder.h"
#include "app/status_line.h"
#include "simulation/mask_files.h"
#include "tests/app/application_driver.h"

using namespace AppDriver;
namespace fs = std::filesystem;

namespace {

bool Holds(const std::vector<char>& bytes, const std::string& text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

bool Holds(const std::vector<char>& bytes, const std::vector<char>& part) {
  return !part.empty() && std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

// Stands in for the question before files are replaced: counts it and gives the answer set.
struct ReplaceAnswer {
  static inline int asked = 0;
  static inline bool replace = false;
  static bool Give(const std::string&) {
    ++asked;
    return replace;
  }
};

Dialog& ExportPanel() { return Program().Panels().ExportPanel(); }
std::string BoxText(int id) { return ExportPanel().GetEditBox(id)->GetText(); }
std::string Status() { return Program().Status().Text(); }

// Weathers the sphere in a session of its own (none is kept from an earlier case).
void Weather(const std::string& steps) {
  if (Program().Models().Loaded() != 0) Pick(0);
  ClearSessions();
  Pick(1);
  EnterInto(ID_STEPS, steps);
  TypeInto(ID_TONS_PER_STEP, "2000");
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }));
}

void ExportAndWait() {
  ClickControl(ExportPanel(), ID_EXPORT);
  ASSERT_TRUE(FramesUntil([] { return !Program().Exporter().UnderWay(); }));
}

// The Export panel offers <model>_aged.glb in the user's documents folder; the file it writes
// holds the masks of the step the slider shows, counted as the slider counts, and the status line
// says which step went where. Without a model it says to pick one.
TEST(ExportButton, WritesTheStepTheSliderShowsUnderTheNameAndFolderInItsBoxes) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  ASSERT_TRUE(Environment::started);
  Program().Exporter().SetConfirmReplace(ReplaceAnswer::Give);
  Program().Run().End();
  if (Program().Panels().ParametersPanel().GetComboBox(ID_MODEL)->GetSelectedIndex() != 0) Pick(0);
  Frames(1);
  ClickControl(ExportPanel(), ID_EXPORT);
  EXPECT_NE(Status().find("pick a model first"), std::string::npos) << Status();
  EXPECT_EQ(BoxText(ID_EXPORT_FOLDER), DefaultExportFolder());

  Weather("3");
  const fs::path model = Program().Models()[size_t(Program().Models().Loaded())].file;
  EXPECT_EQ(BoxText(ID_EXPORT_NAME), model.stem().string() + "_aged.glb");
  ASSERT_EQ(Program().History().Steps(), 3);
  // A click on the track left of the thumb moves it a step back, from the last to the second.
  CUISlider* slider = Slider(ID_STEP);
  Click(Program().Panels().SimulationPanel(), slider->X() + 4, slider->Y() + slider->Height() / 2);
  const int step = slider->GetValue();
  ASSERT_EQ(step, 1);
  const std::string shown = "tep " + std::to_string(step + 1) + " of 3";
  EXPECT_NE(Program().Panels().SimulationPanel().GetStatic(ID_STEP_LABEL)->GetText().find(shown), std::string::npos);

  const fs::path folder = Environment::maskFolder / "exports";
  fs::create_directories(folder);
  ReplaceText(ExportPanel(), ID_EXPORT_FOLDER, folder.string());
  ClickControl(ExportPanel(), ID_EXPORT);
  EXPECT_NE(Status().find("Exporting s" + shown), std::string::npos) << Status();
  ASSERT_TRUE(FramesUntil([] { return !Program().Exporter().UnderWay(); }));
  const fs::path written = folder / BoxText(ID_EXPORT_NAME);
  ASSERT_TRUE(fs::exists(written)) << Status();
  const std::vector<char> file = Bytes(written);
  const std::string maskFolder = SessionFolder().string();
  EXPECT_TRUE(Holds(file, Bytes(Simulation::MaskFileName(maskFolder.c_str(), Simulation::MaskChannel::kRust, step))));
  EXPECT_FALSE(Holds(file, Bytes(Simulation::MaskFileName(maskFolder.c_str(), Simulation::MaskChannel::kRust, step + 1))));
  EXPECT_TRUE(Holds(file, "\"patinexStep\":" + std::to_string(step)));
  EXPECT_NE(Status().find("Exported s" + shown), std::string::npos) << Status();
  EXPECT_NE(Status().find(ShownFolder(written.string())), std::string::npos) << Status();
  EXPECT_EQ(ReplaceAnswer::asked, 0);
  EnterInto(ID_STEPS, Environment::startTexts[1]);
  Pick(0);
}

// A .gltf name writes the .gltf with its files beside it. A file already there is replaced only
// when the user says so; otherwise it stays as it was and the status line says so.
TEST(ExportButton, WritesAGltfSetAndReplacesAFileOnlyWhenTheUserSaysSo) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  ASSERT_TRUE(Environment::started);
  Program().Exporter().SetConfirmReplace(ReplaceAnswer::Give);
  ReplaceAnswer::asked = 0;
  Weather("1");
  const fs::path folder = Environment::maskFolder / "replaced";
  fs::create_directories(folder);
  ReplaceText(ExportPanel(), ID_EXPORT_FOLDER, folder.string());
  ReplaceText(ExportPanel(), ID_EXPORT_NAME, "set.gltf");
  ChooseLook("wood");
  ExportAndWait();
  ChooseLook("bronze");
  ASSERT_TRUE(fs::exists(folder / "set.gltf")) << Status();
  std::vector<char> document = Bytes(folder / "set.gltf");
  std::erase_if(document, [](char c) { return c == ' ' || c == '\n'; });
  EXPECT_TRUE(Holds(document, "\"patinexLook\":\"wood\"")) << "the look shown was not the one baked";
  EXPECT_TRUE(fs::exists(folder / "set.bin")) << Status();
  EXPECT_NE(Status().find("beside it"), std::string::npos) << Status();
  EXPECT_EQ(ReplaceAnswer::asked, 0);

  std::ofstream(folder / "set.gltf") << "kept";
  ReplaceAnswer::replace = false;
  ExportAndWait();
  EXPECT_EQ(ReplaceAnswer::asked, 1);
  EXPECT_EQ(Bytes(folder / "set.gltf"), std::vector<char>({'k', 'e', 'p', 't'}));
  EXPECT_NE(Status().find("kept"), std::string::npos) << Status();

  ReplaceAnswer::replace = true;
  ExportAndWait();
  EXPECT_EQ(ReplaceAnswer::asked, 2);
  EXPECT_TRUE(Holds(Bytes(folder / "set.gltf"), "\"patinexMasks\"")) << Status();
  EnterInto(ID_STEPS, Environment::startTexts[1]);
  Pick(0);
}

}  // namespace
