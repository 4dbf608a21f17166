#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/app/application_driver.h"

using namespace AppDriver;
namespace fs = std::filesystem;

namespace {

void WriteLook(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

void ComeBackToTheWindow() {
  Send(Platform::WindowEvent::Of(Platform::EventType::FocusGained));
  Frames(1);
}

// A look written by hand while the window is open is offered once the window has the focus
// again; edited, it shows as edited; broken, the last good reading stays and the status line
// says why.
TEST(LookPanel, ALookWrittenOrEditedElsewhereShowsWhenTheWindowIsBack) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  ASSERT_TRUE(Environment::started);
  const fs::path file = Environment::stateFolder / "config" / "Patinex" / "looks" / "mine.json";
  WriteLook(file, R"({"name": "mine", "base": {"color": [0.2, 0.3, 0.4]}, "layers": []})");
  EXPECT_LT(Program().Looks().StopOf("mine"), 0) << "the looks were listed again without a reason";
  ComeBackToTheWindow();
  ChooseLook("mine");
  EXPECT_EQ(Program().View().ShownLook().name, "mine");
  EXPECT_EQ(Program().Panels().LookPanel().GetStatic(ID_LOOK_LABEL)->GetText(), "mine");

  WriteLook(file, R"({"name": "mine", "base": {"color": [0.9, 0.3, 0.4]}, "layers": []})");
  ComeBackToTheWindow();
  EXPECT_FLOAT_EQ(Program().View().ShownLook().base.color[0], 0.9f) << "the edit does not show";

  WriteLook(file, R"({"name": "mine", "base": {"color": [0.9, 0.3]}})");
  ComeBackToTheWindow();
  EXPECT_FLOAT_EQ(Program().View().ShownLook().base.color[0], 0.9f);
  EXPECT_NE(StatusShown().find("The look stays as it was"), std::string::npos) << StatusShown();
  EXPECT_NE(StatusShown().find("base.color"), std::string::npos) << StatusShown();

  fs::remove(file);
  ChooseLook("bronze");
  ComeBackToTheWindow();
  EXPECT_LT(Program().Looks().StopOf("mine"), 0);
}

}  // namespace
