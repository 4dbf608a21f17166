// Drives the built patinex with real X input (xdotool): picks the sphere, types the run's
// parameters, weathers it and reads the masks it wrote and screenshots of its views (xwd).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/support/x_input.h"

#ifdef PATINEX_WINDOW_PROGRAM

namespace {

namespace fs = std::filesystem;

using TestSupport::Pause;
using TestSupport::Xdotool;

std::string ReadFile(const fs::path& path) { return TestSupport::ReadFile(path.string()); }

// A window's pixels as xwd writes them (ZPixmap, 24 or 32 bits a pixel).
struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgb;  // 0xRRGGBB, row by row from the top

  uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
  // Empty for a failed screenshot (the window gone), so comparisons fail instead of crashing.
  std::vector<uint32_t> Crop(int left, int top, int right, int bottom) const {
    std::vector<uint32_t> part;
    if (right > width || bottom > height) return part;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) part.push_back(At(x, y));
    return part;
  }
};

uint32_t BigEndian32(const std::string& data, size_t at) {
  return (uint32_t(uint8_t(data[at])) << 24) | (uint32_t(uint8_t(data[at + 1])) << 16) |
         (uint32_t(uint8_t(data[at + 2])) << 8) | uint32_t(uint8_t(data[at + 3]));
}

int Shift(uint32_t mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1u) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// Reads an xwd dump; an empty screenshot when the file is not one we understand.
Screenshot ReadXwd(const std::string& data) {
  Screenshot shot;
  if (data.size() < 100) return shot;
  const uint32_t headerSize = BigEndian32(data, 0), format = BigEndian32(data, 8), width = BigEndian32(data, 16),
                 height = BigEndian32(data, 20), byteOrder = BigEndian32(data, 28), bitsPerPixel = BigEndian32(data, 44),
                 bytesPerLine = BigEndian32(data, 48), redMask = BigEndian32(data, 56), greenMask = BigEndian32(data, 60),
                 blueMask = BigEndian32(data, 64), colours = BigEndian32(data, 76);
  if (format != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24)) return shot;
  const size_t pixels = size_t(headerSize) + size_t(colours) * 12;
  if (data.size() < pixels + size_t(bytesPerLine) * height) return shot;
  shot.width = int(width);
  shot.height = int(height);
  const size_t bytes = bitsPerPixel / 8;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const size_t at = pixels + size_t(y) * bytesPerLine + x * bytes;
      uint32_t value = 0;
      for (size_t b = 0; b < bytes; ++b) {
        const uint32_t byte = uint8_t(data[at + b]);
        value |= byteOrder == 0 ? byte << (8 * b) : byte << (8 * (bytes - 1 - b));
      }
      const uint32_t r = (value & redMask) >> Shift(redMask), g = (value & greenMask) >> Shift(greenMask),
                     bl = (value & blueMask) >> Shift(blueMask);
      shot.rgb.push_back((r << 16) | (g << 8) | bl);
    }
  }
  return shot;
}

bool IsClearColour(uint32_t rgb) {  // the scene's clear colour, 0.3 grey
  for (int shift : {0, 8, 16}) {
    const int channel = int((rgb >> shift) & 0xFF);
    if (channel < 74 || channel > 80) return false;
  }
  return true;
}

class PatinexWindow : public ::testing::Test {
protected:
  // More of the command line, from the program's working folder (which SetUp makes).
  virtual std::string Arguments() const { return ""; }

  void SetUp() override {
    const std::string missing = TestSupport::MissingCommand({"xdotool", "xwd"});
    ASSERT_TRUE(missing.empty()) << missing;
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    // A working folder of its own whose media/ links to the shipped files: the program finds its
    // media there and writes its masks beside them, never into the checkout's media/.
    // A short path: the status line names the mask folder in it, and a longer text makes the
    // simulation panel grow and flow into another column, away from where the clicks below go.
    // Random, not std::rand(): test programs running at once (other worktrees too) must not share it.
    folder = fs::path("/tmp") / ("pxw_" + std::to_string(std::random_device{}()));
    fs::create_directories(folder / "media");
    WriteFiles();
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(PATINEX_SOURCE_DIR) / "media")) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("mask_", 0) == 0 || name == "patinex_run.json" || name == "earlier" || name == "sessions") {
        continue;  // other runs
      }
      fs::create_symlink(entry.path(), folder / "media" / entry.path().filename());
    }
    Launch();
  }

  // Starts the program in the working folder and waits for its window. What it remembers between
  // starts (recent models and folders) lives in the working folder too, never the user's.
  void Launch() {
    std::error_code error;
    fs::remove(folder / "exit_code", error);
    window.clear();
    const std::string command = "cd \"" + folder.string() + "\" && (XDG_DATA_HOME=\"" + (folder / "data").string() +
                                "\" XDG_STATE_HOME=\"" + (folder / "state").string() + "\" \"" + PATINEX_WINDOW_PROGRAM +
                                "\" -startx:0 -starty:0 -noerrormsgboxes " + Arguments() + " >output 2>&1; echo $? >exit_code) & echo $! >\"" +
                                (folder / "pid").string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (int attempt = 0; attempt < 100 && window.empty(); ++attempt) {
      Pause(200);
      std::system(("xdotool search --name '^Patinex$' >\"" + (folder / "window").string() + "\" 2>/dev/null").c_str());
      window = ReadFile(folder / "window");
      window = window.substr(0, window.find('\n'));
    }
    ASSERT_FALSE(window.empty()) << "patinex did not open its window:\n" << ReadFile(folder / "output");
    Pause(1000);
  }

  // Escape quits the program when no run is going; true once it has exited with status 0. The
  // key's release may find the window gone already, which xdotool reports as a failure: the exit
  // code tells whether it closed.
  bool Quit() {
    Xdotool("key --window " + window + " Escape");
    for (int attempt = 0; attempt < 50 && !fs::exists(folder / "exit_code"); ++attempt) Pause(200);
    return ReadFile(folder / "exit_code") == "0\n";
  }

  // The folder of the model's session n (the only model weathered), empty while there is none.
  fs::path SessionFolder(int n = 1) {
    std::error_code error;
    for (fs::directory_iterator it(folder / "media" / "sessions", error), end; !error && it != end; it.increment(error)) {
      if (fs::is_directory(it->path() / std::to_string(n))) return it->path() / std::to_string(n);
    }
    return {};
  }

  // Files the program is to find in its working folder at start.
  virtual void WriteFiles() {}

  void TearDown() override {
    if (folder.empty()) return;
    if (!fs::exists(folder / "exit_code")) {
      std::string pid = ReadFile(folder / "pid");
      pid = pid.substr(0, pid.find('\n'));
      if (!pid.empty()) std::system(("pkill -P " + pid + " 2>/dev/null").c_str());
      // Its window must be gone before the next test looks for one by name: on a busy machine
      // the program can take longer than a moment to end.
      for (int attempt = 0; attempt < 100 && !fs::exists(folder / "exit_code"); ++attempt) Pause(100);
    }
    std::error_code error;
    fs::remove_all(folder, error);
  }

  // Moves to (x, y) in the window's client area and clicks.
  bool ClickAt(int x, int y) {
    return Xdotool("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y)) &&
           Xdotool("click 1");
  }
  // The pointer rests over the scene, away from every control, so no control shows a hover.
  bool PointerAway() { return Xdotool("mousemove --window " + window + " 100 550"); }

  // A shot once the controls have faded in (they start hidden and fade over a few frames): two
  // shots in a row alike, or the last after a few seconds.
  Screenshot SettledShot() {
    Screenshot last = Shot();
    for (int attempt = 0; attempt < 15; ++attempt) {
      Pause(200);
      Screenshot next = Shot();
      if (next.width == last.width && next.rgb == last.rgb) return next;
      last = std::move(next);
    }
    return last;
  }

  Screenshot Shot() {
    const fs::path file = folder / "shot.xwd";
    if (std::system(("xwd -silent -id " + window + " -out \"" + file.string() + "\"").c_str()) != 0) return {};
    return ReadXwd(ReadFile(file));
  }

  bool MasksOfStep(int step) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%02d.jpg", step);
    const fs::path session = SessionFolder();
    for (const char* kind : {"mask_rust", "mask_dirt", "mask_humidity"}) {
      if (session.empty() || !fs::exists(session / (kind + std::string(suffix)))) return false;
    }
    return true;
  }

  fs::path folder;
  std::string window;
};

// Window positions from the panels' layout for 800 × 600: the parameters panel at (625, 113), the
// simulation panel at (625, 263); a combo box's list opens under it, its items about 18 pixels high.
constexpr int kWeatherTop = 295, kWeatherBottom = 327;
constexpr int kStatusTop = 525, kStatusBottom = 591;

TEST_F(PatinexWindow, PickTypeWeatherAndSwitchViewsWithRealInput) {
  EXPECT_NE(ReadFile(folder / "output").find("masks are written to media"), std::string::npos)
      << ReadFile(folder / "output");
  ASSERT_TRUE(PointerAway());
  const std::vector<uint32_t> startStatus = Shot().Crop(645, kStatusTop, 790, kStatusBottom);
  ASSERT_TRUE(ClickAt(715, 156));  // the model picker ...
  ASSERT_TRUE(ClickAt(700, 196));  // ... "Sphere", its second entry
  Pause(1500);                     // loading
  ASSERT_TRUE(ClickAt(746, 229) && Xdotool("key ctrl+a") && Xdotool("type --delay 60 200"));  // Tons/Step
  ASSERT_TRUE(ClickAt(746, 205) && Xdotool("key ctrl+a") && Xdotool("type --delay 60 2"));     // Steps
  ASSERT_TRUE(PointerAway());
  const Screenshot shaded = Shot();
  ASSERT_EQ(shaded.width, 800) << "xwd gave no usable screenshot";
  ASSERT_EQ(shaded.height, 600);
  EXPECT_FALSE(IsClearColour(shaded.At(400, 300))) << "the sphere is not drawn in the middle";
  EXPECT_NE(shaded.Crop(645, kStatusTop, 790, kStatusBottom), startStatus) << "the status line did not change";
  const std::vector<uint32_t> weatherButton = shaded.Crop(645, kWeatherTop, 785, kWeatherBottom);

  // Runs "Weather" and waits for it to end with the masks of the steps given in place. The
  // button is told by how it looks at rest in the view shown (the panels let the scene through).
  auto weather = [&](int lastStep, const std::vector<uint32_t>& weatherButton) {
    if (!ClickAt(715, 311) || !PointerAway()) return false;
    // A frame on a busy llvmpipe can take a while: wait for the button to read "Stop".
    bool started = false;
    for (int attempt = 0; attempt < 50 && !started; ++attempt) {
      Pause(100);
      started = Shot().Crop(645, kWeatherTop, 785, kWeatherBottom) != weatherButton;
    }
    EXPECT_TRUE(started) << "the button did not turn to \"Stop\"";
    // The run ends when the last step's masks are in place and the button reads "Weather" again.
    for (int attempt = 0; attempt < 450; ++attempt) {
      Pause(200);
      if (MasksOfStep(lastStep) && Shot().Crop(645, kWeatherTop, 785, kWeatherBottom) == weatherButton) return true;
    }
    return false;
  };
  ASSERT_TRUE(weather(1, weatherButton)) << "the run of two steps did not end:\n" << ReadFile(folder / "output");
  EXPECT_TRUE(MasksOfStep(0));
  EXPECT_FALSE(MasksOfStep(2));
  EXPECT_GT(fs::file_size(SessionFolder() / "mask_rust01.jpg"), 1000u);
  for (const fs::directory_entry& entry : fs::directory_iterator(SessionFolder()))
    EXPECT_FALSE(entry.is_regular_file() && !entry.is_symlink() &&
                 entry.path().filename().string().rfind("mask_", 0) != 0 && entry.path().filename() != "patinex_run.json" &&
                 entry.path().filename() != "patinex_session.bin")
        << "a half-written file is left: " << entry.path();

  const Screenshot weathered = Shot();
  ASSERT_TRUE(ClickAt(715, 342));  // the view picker ...
  ASSERT_TRUE(ClickAt(700, 400));  // ... "Rust", its third entry
  ASSERT_TRUE(PointerAway());
  Pause(1000);
  const Screenshot rust = Shot();
  ASSERT_EQ(rust.width, 800);
  EXPECT_FALSE(IsClearColour(rust.At(400, 300))) << "the sphere is not drawn in the rust view";
  EXPECT_NE(rust.Crop(200, 100, 600, 500), weathered.Crop(200, 100, 600, 500)) << "the rust view looks shaded";

  // A second run on the same samples numbers its masks on; the first run's stay as they were.
  const fs::file_time_type firstWritten = fs::last_write_time(SessionFolder() / "mask_dirt00.jpg");
  ASSERT_TRUE(weather(3, rust.Crop(645, kWeatherTop, 785, kWeatherBottom))) << "the second run did not end:\n" << ReadFile(folder / "output");
  EXPECT_EQ(fs::last_write_time(SessionFolder() / "mask_dirt00.jpg"), firstWritten);
  EXPECT_EQ(SessionFolder(2), fs::path()) << "the second run started another session";

  EXPECT_TRUE(Quit()) << ReadFile(folder / "output");
}

// Escape during a run asks first, in the platform's message box; "No" keeps the program going.
// The box lies over the middle of the window, where the screenshots see it.
TEST_F(PatinexWindow, EscapeDuringARunAsksBeforeQuitting) {
  ASSERT_TRUE(ClickAt(715, 156));
  ASSERT_TRUE(ClickAt(700, 196));  // "Sphere"
  Pause(1500);
  ASSERT_TRUE(ClickAt(746, 229) && Xdotool("key ctrl+a") && Xdotool("type --delay 60 1000000"));  // Tons/Step
  // Steps of a million tons take seconds each on a fast machine: twenty keep the run going for
  // the whole test, wherever it runs.
  ASSERT_TRUE(ClickAt(746, 205) && Xdotool("key ctrl+a") && Xdotool("type --delay 60 20"));  // Steps
  ASSERT_TRUE(ClickAt(715, 311));  // "Weather": a long run
  ASSERT_TRUE(PointerAway());
  Pause(1000);
  const Screenshot before = Shot();
  ASSERT_EQ(before.width, 800);
  ASSERT_TRUE(Xdotool("key --window " + window + " Escape"));
  Pause(1500);
  EXPECT_FALSE(fs::exists(folder / "exit_code")) << "Escape quit without asking";
  // The question lies over the scene: where the picture changed.
  const Screenshot asked = Shot();
  ASSERT_EQ(asked.width, 800);
  int left = 800, top = 600, right = 0, bottom = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 600; ++x) {  // left of the panels, whose status line moves
      if (asked.At(x, y) == before.At(x, y)) continue;
      left = std::min(left, x), top = std::min(top, y), right = std::max(right, x), bottom = std::max(bottom, y);
    }
  }
  ASSERT_GT(right - left, 100) << "no question was asked";
  ASSERT_GT(bottom - top, 50) << "no question was asked";
  // The window goes on drawing the run's progress while the question waits. The status may stay
  // put for a while (a step's masks being saved, a loaded machine): it is watched for some seconds.
  bool progressed = false;
  for (int second = 0; second < 10 && !progressed; ++second) {
    Pause(1000);
    progressed = Shot().Crop(645, kStatusTop, 790, kStatusBottom) != asked.Crop(645, kStatusTop, 790, kStatusBottom);
  }
  EXPECT_TRUE(progressed) << "the progress froze under the question";
  // "No" is the second of the two buttons along the box's foot.
  ASSERT_TRUE(ClickAt(left + (right - left) * 2 / 3, bottom - (bottom - top) * 27 / 100));
  ASSERT_TRUE(PointerAway());
  Pause(1500);
  EXPECT_FALSE(fs::exists(folder / "exit_code")) << "the program quit on \"No\"";
  // The run may have ended meanwhile and changed the sphere under the box: the box is gone when
  // its place no longer shows it.
  EXPECT_NE(Shot().Crop(left, top, right, bottom), asked.Crop(left, top, right, bottom)) << "the question is still open";

  // Escape answers "No" as well, once: it neither asks again nor quits.
  ASSERT_TRUE(Xdotool("key --window " + window + " Escape"));
  Pause(1500);
  // The box as first asked, but for the look of the button clicked then.
  const auto shareLikeAsked = [&] {
    const std::vector<uint32_t> now = Shot().Crop(left, top, right, bottom), then = asked.Crop(left, top, right, bottom);
    if (now.size() != then.size() || now.empty()) return 0.0;
    size_t same = 0;
    for (size_t i = 0; i < now.size(); ++i) same += now[i] == then[i];
    return double(same) / double(now.size());
  };
  ASSERT_GT(shareLikeAsked(), 0.75) << "no question was asked";
  ASSERT_TRUE(Xdotool("key --window " + window + " Escape"));
  Pause(1500);
  EXPECT_FALSE(fs::exists(folder / "exit_code")) << "the Escape that answered quit the program";
  EXPECT_LT(shareLikeAsked(), 0.5) << "the question was asked again";
}

// A model named on the command line, relative to the current folder, is shown at start.
class PatinexWindowWithModel : public PatinexWindow {
  std::string Arguments() const override { return "media/sphere.obj"; }
};

TEST_F(PatinexWindowWithModel, ShowsTheModelAtStart) {
  ASSERT_TRUE(PointerAway());
  const Screenshot shot = Shot();
  ASSERT_EQ(shot.width, 800) << "xwd gave no usable screenshot";
  EXPECT_FALSE(IsClearColour(shot.At(400, 300))) << "the sphere is not drawn:\n" << ReadFile(folder / "output");
}

// The program started again on the model goes on with the session it left: Weather makes step 3
// in the same folder, and the masks of steps 1 and 2 stay as they were, byte for byte. The
// command line's --resume goes on with the same folder.
TEST_F(PatinexWindowWithModel, ARestartGoesOnWithTheSessionLeft) {
  ASSERT_TRUE(ClickAt(746, 229) && Xdotool("key ctrl+a") && Xdotool("type --delay 60 200"));  // Tons/Step
  ASSERT_TRUE(ClickAt(746, 205) && Xdotool("key ctrl+a") && Xdotool("type --delay 60 2"));     // Steps
  ASSERT_TRUE(ClickAt(715, 311));  // "Weather"
  // A step is kept once the run record (written after its masks) lists it; the session file
  // follows at once.
  const auto recorded = [&](int steps) {
    const std::string listed = "\"step\": " + std::to_string(steps - 1) + ",";
    for (int attempt = 0; attempt < 450; ++attempt) {
      Pause(200);
      if (!SessionFolder().empty() && ReadFile(SessionFolder() / "patinex_run.json").find(listed) != std::string::npos) {
        return true;
      }
    }
    return false;
  };
  ASSERT_TRUE(recorded(2)) << ReadFile(folder / "output");
  Pause(1000);  // the run collected
  const fs::path session = SessionFolder();
  const std::string dirt0 = ReadFile(session / "mask_dirt00.jpg"), rust1 = ReadFile(session / "mask_rust01.jpg");
  ASSERT_TRUE(Quit()) << ReadFile(folder / "output");

  Launch();
  ASSERT_TRUE(ClickAt(715, 311));  // "Weather": one step of the defaults
  ASSERT_TRUE(recorded(3)) << ReadFile(folder / "output");
  EXPECT_EQ(SessionFolder(), session);
  EXPECT_EQ(SessionFolder(2), fs::path()) << "the restart started another session";
  EXPECT_TRUE(MasksOfStep(2));
  EXPECT_EQ(ReadFile(session / "mask_dirt00.jpg"), dirt0);
  EXPECT_EQ(ReadFile(session / "mask_rust01.jpg"), rust1);
  Pause(1000);
  EXPECT_TRUE(Quit()) << ReadFile(folder / "output");

  // The session is what the command line writes: it goes on with it, numbering step 4.
  const std::string resume = "cd \"" + folder.string() + "\" && \"" + PATINEX_CLI + "\" weather media/sphere.obj --out \"" +
                             session.string() + "\" --resume --steps 1 --tons 100 >cli_output 2>&1";
  EXPECT_EQ(std::system(resume.c_str()), 0) << ReadFile(folder / "cli_output");
  EXPECT_TRUE(MasksOfStep(3));
  EXPECT_EQ(ReadFile(session / "mask_dirt00.jpg"), dirt0);
}

// A file that is no model opens the window without one, saying which file failed and why.
class PatinexWindowWithPhoto : public PatinexWindow {
  std::string Arguments() const override { return "media/tex_base.jpg"; }
};

TEST_F(PatinexWindowWithPhoto, OpensWithoutAModelAndSaysWhy) {
  ASSERT_TRUE(PointerAway());
  const Screenshot shot = Shot();
  ASSERT_EQ(shot.width, 800);
  EXPECT_TRUE(IsClearColour(shot.At(400, 300)));
  EXPECT_NE(ReadFile(folder / "output").find("cannot load the model "), std::string::npos) << ReadFile(folder / "output");
  EXPECT_NE(ReadFile(folder / "output").find("tex_base.jpg: "), std::string::npos)
      << ReadFile(folder / "output");
  EXPECT_FALSE(fs::exists(folder / "exit_code")) << ReadFile(folder / "output");
}

// A model without texture coordinates is refused at "Weather": no run, no mask, nothing moved.
class PatinexWindowWithoutUvs : public PatinexWindow {
  std::string Arguments() const override { return "plate.obj"; }
  void WriteFiles() override {
    std::FILE* plate = std::fopen((folder / "plate.obj").string().c_str(), "w");
    ASSERT_NE(plate, nullptr);
    std::fputs("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n", plate);
    std::fclose(plate);
    // Masks of an earlier run in the mask folder, which no run moves aside or touches.
    std::FILE* earlier = std::fopen((folder / "media" / "mask_dirt00.jpg").string().c_str(), "w");
    ASSERT_NE(earlier, nullptr);
    std::fclose(earlier);
  }
};

TEST_F(PatinexWindowWithoutUvs, WeatherWritesNoMaskAndMovesNothing) {
  ASSERT_NE(ReadFile(folder / "output").find("has no texture coordinates"), std::string::npos) << ReadFile(folder / "output");
  ASSERT_TRUE(ClickAt(715, 311));  // "Weather"
  ASSERT_TRUE(PointerAway());
  Pause(4000);
  EXPECT_FALSE(MasksOfStep(0));
  EXPECT_FALSE(fs::exists(folder / "media" / "previous")) << "earlier masks were moved aside";
  EXPECT_TRUE(fs::exists(folder / "media" / "mask_dirt00.jpg"));
  EXPECT_NE(ReadFile(folder / "output").find("no run: plate.obj has no texture coordinates; masks are baked in "
                                             "texture space"),
            std::string::npos)
      << ReadFile(folder / "output");
  EXPECT_FALSE(fs::exists(folder / "exit_code"));
}

// A model found in the file browser: "Open", a folder typed into its path box, the file picked
// with the arrow keys and Enter. It loads, and the next start offers it in the model picker.
class PatinexWindowBrowsing : public PatinexWindow {
  void WriteFiles() override {
    fs::create_directories(folder / "models" / "archive");
    fs::copy_file(fs::path(PATINEX_SOURCE_DIR) / "media" / "sphere.obj", folder / "models" / "Ball.OBJ");
    fs::copy_file(fs::path(PATINEX_SOURCE_DIR) / "media" / "sphere.mtl", folder / "models" / "sphere.mtl");
  }
};

TEST_F(PatinexWindowBrowsing, OpensAModelFoundWithTheKeysAndOffersItAfterARestart) {
  constexpr int kOpenX = 759, kOpenY = 130;        // "Open", beside the parameters panel's title
  constexpr int kPathX = 280, kPathY = 154;        // the browser's path box, in the window's middle
  const auto open = [&] { return ClickAt(kOpenX, kOpenY) && PointerAway(); };
  ASSERT_TRUE(PointerAway());
  const Screenshot start = SettledShot();
  ASSERT_EQ(start.width, 800) << "xwd gave no usable screenshot";
  EXPECT_TRUE(IsClearColour(start.At(400, 300)));

  // Escape closes the browser, and only the browser.
  ASSERT_TRUE(open());
  Pause(500);
  EXPECT_NE(Shot().Crop(190, 120, 610, 480), start.Crop(190, 120, 610, 480)) << "no browser was shown";
  ASSERT_TRUE(Xdotool("key --window " + window + " Escape"));
  Pause(800);
  EXPECT_FALSE(fs::exists(folder / "exit_code")) << "Escape in the browser quit the program";
  EXPECT_EQ(Shot().Crop(190, 120, 610, 480), start.Crop(190, 120, 610, 480)) << "Escape left the browser open";

  ASSERT_TRUE(open());
  ASSERT_TRUE(ClickAt(kPathX, kPathY) && Xdotool("key ctrl+a") &&
              Xdotool("type --delay 30 " + (folder / "models").string()) && Xdotool("key Return"));
  // The folder lists "..", "archive/" and "Ball.OBJ" (not sphere.mtl): two steps down.
  ASSERT_TRUE(Xdotool("key Down") && Xdotool("key Down") && Xdotool("key Return"));
  Pause(1500);
  const Screenshot loaded = Shot();
  ASSERT_EQ(loaded.width, 800);
  EXPECT_FALSE(IsClearColour(loaded.At(400, 300))) << "the model is not drawn:\n" << ReadFile(folder / "output");
  const std::string ball = (folder / "models" / "Ball.OBJ").string();
  EXPECT_EQ(ReadFile(folder / "state" / "Patinex" / "recent-models"), ball + "\n");
  EXPECT_EQ(ReadFile(folder / "state" / "Patinex" / "recent-folders"), (folder / "models").string() + "\n");
  // The browser closed with the load: Escape quits.
  Xdotool("key --window " + window + " Escape");
  for (int attempt = 0; attempt < 50 && !fs::exists(folder / "exit_code"); ++attempt) Pause(200);
  ASSERT_EQ(ReadFile(folder / "exit_code"), "0\n") << ReadFile(folder / "output");

  // Restarted, the program offers the model after the shipped ones: the picker's fifth entry.
  Launch();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(PointerAway());
  const Screenshot restarted = Shot();
  ASSERT_EQ(restarted.width, 800);
  EXPECT_TRUE(IsClearColour(restarted.At(400, 300)));
  ASSERT_TRUE(ClickAt(715, 156) && ClickAt(700, 250));
  ASSERT_TRUE(PointerAway());
  Pause(1500);
  const Screenshot picked = Shot();
  ASSERT_EQ(picked.width, 800);
  EXPECT_FALSE(IsClearColour(picked.At(400, 300))) << "the recent model is not in the picker";
}

}  // namespace

#endif
