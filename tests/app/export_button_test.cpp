#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/asset_export_command.h"
#include "app/status_line.h"
#include "tests/app/application_driver.h"

using namespace AppDriver;

namespace {

// After a run, the Simulation panel's Export button writes the model aged by the step on the
// slider into the mask folder and says where on the panel; without a model it says to pick one.
TEST(ExportButton, WritesTheStepOnTheSliderIntoTheMaskFolderAndSaysWhere) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  ASSERT_TRUE(Environment::started);
  Program().Run().End();
  if (Program().Panels().ParametersPanel().GetComboBox(ID_MODEL)->GetSelectedIndex() != 0) Pick(0);
  Frames(1);
  Click(Program().Panels().SimulationPanel(), 132, 16);
  EXPECT_NE(Program().Status().Text().find("pick a model first"), std::string::npos) << Program().Status().Text();

  Pick(1);
  TypeInto(ID_TONS_PER_STEP, "2000");
  PressWeather();
  ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }));
  const int step = Slider(ID_STEP)->GetValue();
  const std::filesystem::path model = Program().Models()[size_t(Program().Models().Loaded())].file;
  const std::filesystem::path written =
      Environment::maskFolder / (model.stem().string() + "_step" + std::to_string(step) + ".glb");
  std::filesystem::remove(written);
  Click(Program().Panels().SimulationPanel(), 132, 16);
  EXPECT_NE(Program().Status().Text().find("Exporting step " + std::to_string(step + 1)), std::string::npos) << Program().Status().Text();
  ASSERT_TRUE(FramesUntil([] { return !Program().Exporter().UnderWay(); }));
  EXPECT_TRUE(std::filesystem::exists(written)) << Program().Status().Text();
  EXPECT_NE(Program().Status().Text().find("Exported step " + std::to_string(step + 1) + " of "), std::string::npos) << Program().Status().Text();
  EXPECT_NE(Program().Status().Text().find(ShownFolder(written.string())), std::string::npos) << Program().Status().Text();
  Pick(0);
}

}  // namespace
