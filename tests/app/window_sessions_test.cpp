#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/session_store.h"
#include "simulation/run_record.h"
#include "simulation/session_file.h"
#include "tests/app/application_driver.h"

using namespace AppDriver;
namespace fs = std::filesystem;

namespace {

// Every file of a folder by name, with its bytes.
std::map<std::string, std::vector<char>> Snapshot(const fs::path& folder) {
  std::map<std::string, std::vector<char>> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) files[entry.path().filename().string()] = Bytes(entry.path());
  return files;
}

void RunToTheEnd() {
  PressWeather();
  ASSERT_TRUE(Program().Run().Kept());
  ASSERT_TRUE(FramesUntil([] { return !Program().Run().Kept(); }));
}

// Opens the session picker with a click and clicks the entry.
void ChooseSession(int index) {
  Dialog& panel = Program().Panels().SimulationPanel();
  CUIComboBox* picker = panel.GetComboBox(ID_SESSION);
  ASSERT_NE(picker, nullptr);
  ClickControl(panel, ID_SESSION);
  ASSERT_TRUE(picker->IsOpened());
  const UIRect item = picker->GetItem(index)->activeRect;
  Click(panel, (item.left + item.right) / 2, (item.top + item.bottom) / 2);
  Frames(1);
}

// The weather source the From panel shows: the direction slider's stop and the spread.
void SetSource(int entry, int spread) {
  Dialog& panel = Program().Panels().SourcePanel();
  panel.GetSlider(ID_SOURCE)->SetValue(entry);
  panel.GetSlider(ID_SPREAD)->SetValue(spread);
}
std::pair<int, int> ShownSource() {
  Dialog& panel = Program().Panels().SourcePanel();
  return {panel.GetSlider(ID_SOURCE)->GetValue(), panel.GetSlider(ID_SPREAD)->GetValue()};
}

class SessionsInTheWindow : public testing::Test {
protected:
  void SetUp() override {
    if (!HasDisplay()) GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(Environment::started);
    Program().Run().End();
    if (Program().Models().Loaded() != 0) Pick(0);
    ClearSessions();
  }
  void TearDown() override {
    if (!HasDisplay()) return;
    Program().Run().End();
    Pick(0);
    ClearSessions();
    EnterInto(ID_DENSITY, Environment::startTexts[0]);
    EnterInto(ID_STEPS, Environment::startTexts[1]);
    EnterInto(ID_TONS_PER_STEP, Environment::startTexts[2]);
    SetSource(0, 90);
    ChooseLook("bronze");
  }
};

std::string RecordedLook(const fs::path& session) {
  Simulation::RunRecord record;
  std::string why;
  EXPECT_EQ(Simulation::ReadRunRecord(session.string(), &record, &why), Simulation::RecordState::kFound) << why;
  return record.look;
}

// The sphere weathered two steps, another model picked and the sphere again: its session opens
// with its samples (none made anew), Weather makes step 3 in the same folder and leaves steps 1
// and 2 as they were. A new density starts session 2 beside it, which leaves every file of
// session 1 as it was; the picker opens session 1 again; Delete asks, No keeps it, Yes removes it
// and opens the session left. A damaged session file is refused by name, its masks stay on the
// slider, and Weather then starts a new session rather than write into it.
TEST_F(SessionsInTheWindow, AModelGoesOnWithItsSessionAndNewSamplesStartAnotherBesideIt) {
  Pick(1);
  EXPECT_TRUE(SessionFolder().empty());
  EnterInto(ID_DENSITY, "30");
  EnterInto(ID_STEPS, "2");
  EnterInto(ID_TONS_PER_STEP, "300");
  SetSource(1, 20);  // +X
  ChooseLook("iron");
  RunToTheEnd();
  const fs::path first = SessionFolder();
  EXPECT_EQ(RecordedLook(first), "iron");
  ASSERT_EQ(first, fs::path(ModelSessionsFolder(Environment::maskFolder.string(), Program().Models()[1].file)) / "1");
  ASSERT_EQ(Program().History().Steps(), 2);
  const std::vector<char> dirt0 = Bytes(first / "mask_dirt00.jpg"), rust1 = Bytes(first / "mask_rust01.jpg");
  ASSERT_FALSE(dirt0.empty());

  Pick(3);  // the bunny, without sessions
  SetSource(0, 90);
  ChooseLook("bronze");
  EXPECT_EQ(Program().History().Steps(), 0);
  EXPECT_TRUE(SessionFolder().empty());
  Pick(1);
  EXPECT_EQ(SessionFolder(), first);
  EXPECT_EQ(Program().History().Steps(), 2);
  EXPECT_EQ(Slider(ID_STEP)->GetMaximum(), 1);
  EXPECT_EQ(Slider(ID_STEP)->GetValue(), 1);
  EXPECT_NE(Program().View().RustMaskView(), nullptr);
  EXPECT_EQ(EditText(ID_DENSITY), "30");
  EXPECT_EQ(ShownSource(), std::make_pair(1, 20)) << "the session's weather source was not restored";
  EXPECT_EQ(Program().View().ShownLook().name, "iron") << "the session's look was not restored";
  EXPECT_EQ(Program().View().HumidityMaskView(), nullptr) << "iron reads no humidity";
  // Stone's moss grows where it stays wet: its humidity masks come in, and the session keeps it.
  ChooseLook("stone");
  EXPECT_NE(Program().View().HumidityMaskView(), nullptr);
  EXPECT_EQ(RecordedLook(first), "stone");
  // A record naming a look file outside the catalog (a command-line run's --look FILE) shows it
  // and keeps naming the file; one naming a look there is none of keeps the look shown.
  const fs::path own = Environment::maskFolder / "sessions" / "own.json";
  std::ofstream(own) << R"({"name": "own", "base": {"color": [0.2, 0.3, 0.4]}, "layers": [{"mask": "dirt", "color": [0.1, 0.1, 0.1]}]})";
  const auto setRecordedLook = [&first](const std::string& look) {
    Simulation::RunRecord record;
    std::string why;
    ASSERT_EQ(Simulation::ReadRunRecord(first.string(), &record, &why), Simulation::RecordState::kFound) << why;
    record.look = look;
    ASSERT_TRUE(Simulation::WriteRunRecord(first.string(), record, &why)) << why;
  };
  setRecordedLook(own.string());
  Pick(3);
  Pick(1);
  EXPECT_EQ(Program().View().ShownLook().name, "own");
  EXPECT_EQ(Program().Looks().Recorded(), own.string());
  setRecordedLook("no-such-look");
  Pick(3);
  Pick(1);
  EXPECT_EQ(Program().View().ShownLook().name, "own");
  EXPECT_NE(StatusShown().find("Its look is not shown: No look is named no-such-look"), std::string::npos) << StatusShown();
  setRecordedLook("stone");
  const Simulation::SampleMap* restored = Program().Samples().Map();
  ASSERT_NE(restored, nullptr);

  EnterInto(ID_STEPS, "1");
  RunToTheEnd();
  EXPECT_EQ(Program().Samples().Map(), restored) << "the session's samples were made anew";
  EXPECT_EQ(SessionFolder(), first);
  EXPECT_EQ(Program().History().Steps(), 3);
  EXPECT_TRUE(fs::exists(first / "mask_humidity02.jpg"));
  EXPECT_EQ(Bytes(first / "mask_dirt00.jpg"), dirt0);
  EXPECT_EQ(Bytes(first / "mask_rust01.jpg"), rust1);
  Simulation::SessionState state;
  std::string why;
  ASSERT_EQ(Simulation::ReadSessionFile(first.string(), &state, &why), Simulation::SessionLoad::kFound) << why;
  EXPECT_EQ(state.lastStep, 2);
  EXPECT_EQ(state.source.towards, RenderLib::Vector3(1.0f, 0.0f, 0.0f));
  EXPECT_EQ(state.source.spreadDegrees, 20.0f);
  const auto sessionOne = Snapshot(first);

  EnterInto(ID_DENSITY, "25");
  ASSERT_TRUE(FramesUntil([restored] {
    return !Program().Samples().Requested() && !Program().Samples().UnderWay() && Program().Samples().Map() != restored;
  }, 30.0));
  const fs::path second = SessionFolder();
  EXPECT_EQ(second, first.parent_path() / "2");
  EXPECT_EQ(Program().History().Steps(), 0);
  RunToTheEnd();
  EXPECT_TRUE(fs::exists(second / "mask_rust00.jpg"));
  EXPECT_EQ(Snapshot(first), sessionOne);
  ASSERT_EQ(Program().Sessions().Listed().size(), 2u);

  ChooseSession(0);
  EXPECT_EQ(SessionFolder(), first);
  EXPECT_EQ(Program().History().Steps(), 3);
  EXPECT_EQ(EditText(ID_DENSITY), "30");

  ClickControl(Program().Panels().SimulationPanel(), ID_DELETE_SESSION);
  Frames(1);
  ASSERT_TRUE(Program().QuitQuestionOpen());
  EXPECT_NE(Program().Panels().QuitQuestion().GetStatic(ID_QUESTION_TEXT)->GetText().find("Delete session 1 and its 3 steps?"),
            std::string::npos);
  Key('N');
  Frames(2);
  EXPECT_FALSE(Program().QuitQuestionOpen());
  EXPECT_EQ(Snapshot(first), sessionOne);
  ClickControl(Program().Panels().SimulationPanel(), ID_DELETE_SESSION);
  Frames(1);
  Key('Y');
  Frames(2);
  EXPECT_FALSE(Program().QuitQuestionOpen());
  EXPECT_FALSE(fs::exists(first));
  EXPECT_EQ(SessionFolder(), second);
  EXPECT_EQ(Program().History().Steps(), 1);

  // Cut short, the session file is no longer whole.
  const fs::path kept = second / Simulation::kSessionName;
  fs::resize_file(kept, fs::file_size(kept) / 2);
  const auto sessionTwo = Snapshot(second);
  Pick(3);
  Pick(1);
  EXPECT_EQ(SessionFolder(), second);
  EXPECT_EQ(Program().History().Steps(), 1);
  EXPECT_NE(StatusShown().find(kept.string()), std::string::npos) << StatusShown();
  EXPECT_NE(StatusShown().find("Weather starts a new session"), std::string::npos) << StatusShown();
  RunToTheEnd();
  const fs::path third = SessionFolder();
  EXPECT_EQ(third, first.parent_path() / "3");
  EXPECT_TRUE(fs::exists(third / "mask_rust00.jpg"));
  EXPECT_EQ(Snapshot(second), sessionTwo);

  // "New" starts session 4 on fresh samples; session 3 stays as it was.
  const auto sessionThree = Snapshot(third);
  ClickControl(Program().Panels().SimulationPanel(), ID_NEW_SESSION);
  EXPECT_TRUE(SessionFolder().empty()) << "the new samples are not in yet";
  ASSERT_TRUE(FramesUntil([&first] { return SessionFolder() == first.parent_path() / "4"; }, 30.0)) << SessionFolder();
  EXPECT_NE(Program().Samples().Map(), nullptr);
  EXPECT_EQ(Program().History().Steps(), 0);
  EXPECT_EQ(Snapshot(third), sessionThree);
}

}  // namespace
