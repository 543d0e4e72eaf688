// The recorder in the built authoring program under Xvfb: "New Demo...",
// "Start Capture", real presses on a real application (xcalc) through
// XTest, "Pause Capture" and "Capture More"; the capture slot judged by the
// tree's examiner, by decoding it against the live screen, and by the
// foreground window's frame. Also the display checks, a display without a
// window manager, a window partly off screen, a resolution change, the
// window closed while capturing, and the captions and click boxes of a GTK
// application's steps from its accessibility tree.
#include "studio/capture/demo_files.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <atspi/atspi.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Record {
  int64_t offset;
  RecordLine line;
};

class Capture : public testing::Test {
 protected:
  void SetUp() override { server(1280, 800); }
  void server(int w, int h) {
    app.reset();
    input.reset();
    x.reset();
    x = std::make_unique<XServer>(w, h);
    ASSERT_TRUE(x->ok());
    input = std::make_unique<XInput>();
    ASSERT_TRUE(installProgram(PICTOMIRA_STUDIO_BIN, dir, "Pictomira"));
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  }
  void TearDown() override {
    if (HasFailure() && app) app->report();
    app.reset();
    calc.reset();
    wm.reset();
    input.reset();
    x.reset();
  }
  void startWindowManager() {
    wm = std::make_unique<Child>(std::vector<std::string>{"openbox", "--sm-disable"});
    for (int i = 0; i < 100 && !input->hasWindowManager(); ++i) sleepMs(50);
    ASSERT_TRUE(input->hasWindowManager());
  }
  // Starts xcalc and waits for it (framed and active with a window manager).
  unsigned long startCalculator(bool managed) {
    calc = std::make_unique<Child>(std::vector<std::string>{"xcalc"});
    unsigned long w = 0;
    for (int i = 0; i < 200 && (w == 0 || (managed && !input->framed(w)) || !input->viewable(w)); ++i, sleepMs(50))
      w = input->findWindow("Calculator");
    for (int i = 0; managed && i < 100 && input->activeWindow() == 0; ++i) sleepMs(50);
    // The window manager may still move the frame to its place.
    int32_t now[4] = {0, 0, 0, 0}, before[4] = {-1, -1, -1, -1};
    for (int i = 0; managed && i < 50 && !std::equal(now, now + 4, before); ++i, sleepMs(100)) {
      std::copy(now, now + 4, before);
      input->frameRect(w, now);
    }
    return w;
  }
  // Moves a managed window to 30, 30, out of the way of the program's
  // centred windows (so the screen at the end still shows it as the capture
  // last saw it); its frame goes to f. False when it did not move.
  bool moveToCorner(unsigned long w, int32_t f[4]) {
    Child({"xdotool", "windowmove", std::to_string(w), "30", "30"}).wait(5000);
    f[0] = 0;
    for (int i = 0; i < 100 && f[0] != 30; ++i, sleepMs(50)) input->frameRect(w, f);
    return f[0] == 30;
  }
  // A window manager and xcalc moved to 30, 30 (its frame to f); 0 when either failed.
  unsigned long calculatorInCorner(int32_t f[4]) {
    startWindowManager();
    const unsigned long w = input->hasWindowManager() ? startCalculator(true) : 0;
    return w != 0 && moveToCorner(w, f) ? w : 0;
  }
  void startStudio(const std::string& session = "") {
    std::vector<std::string> env{"PICTOMIRA_ALERTS=stderr"};
    if (!session.empty()) env.push_back(session);
    app = std::make_unique<Child>(std::vector<std::string>{dir.file("Pictomira")}, env);
  }
  // Waits for a window titled title; its id, or 0.
  unsigned long window(const std::string& title, int ms = 8000) {
    for (int waited = 0; waited < ms; waited += 50, sleepMs(50))
      if (unsigned long w = input->findWindow(title)) return w;
    ADD_FAILURE() << "no window titled '" << title << "'";
    return 0;
  }
  // Waits until a window is shown with a white pixel 10 rows above (px, py),
  // the top of a button's face (a window manager may still be placing it);
  // its origin goes to ox, oy.
  bool buttonShown(unsigned long w, int px, int py, int* ox, int* oy) {
    for (int i = 0; i < 250; ++i, sleepMs(20))
      if (input->viewable(w) && input->origin(w, ox, oy) && input->pixel(*ox + px, *oy + py - 10) == 0xFFFFFF)
        return true;
    return false;
  }
  void clickButton(unsigned long w, int px, int py) {
    int ox = 0, oy = 0;
    ASSERT_TRUE(buttonShown(w, px, py, &ox, &oy)) << "no button at " << px << "," << py;
    input->move(ox + px, oy + py);
    sleepMs(40);
    input->click(ox + px, oy + py);
  }
  void newDemo() {
    clickButton(window("Pictomira (v151)"), 200, 346);  // "New Demo..."
  }
  // "Start Capture", then waits until the first key frame is on disk.
  void startCapture() {
    clickButton(window("Ready to Capture - Pictomira"), 200, 100);
    waitForRecords(1);
  }
  void waitForRecords(size_t n) {
    for (int i = 0; i < 200 && records().size() < n; ++i) sleepMs(50);
    ASSERT_GE(records().size(), n) << "recording of " << slurp(captureSlotPath(".DMR")).size() << " bytes; capturing "
                                   << input->findWindow("Capturing - Pictomira");
  }
  // A press at (px, py) of the screen, held for holdMs (0: released at once).
  void press(int px, int py, int holdMs) {
    input->move(px, py);
    sleepMs(60);
    input->button(1, true);
    if (holdMs > 0) sleepMs(holdMs);
    input->button(1, false);
  }
  // Brings the capturing window back (from its icon) and presses "Pause
  // Capture" until the paused screen shows (a window manager may swallow a
  // press while it is still restoring the window); returns the presses made.
  int pause(const std::string& title) {
    const unsigned long w = window(title);
    if (wm) Child({"xdotool", "windowactivate", std::to_string(w)}).wait(5000);
    for (int i = 0; i < 100 && !input->viewable(w); ++i) sleepMs(50);
    sleepMs(300);
    int presses = 0;
    for (; presses < 3 && input->findWindow("Capturing - Pictomira") == 0; ++presses) {
      clickButton(w, 200, 100);
      for (int i = 0; i < 30 && input->findWindow("Capturing - Pictomira") == 0; ++i) sleepMs(50);
    }
    int ox, oy;
    EXPECT_TRUE(buttonShown(window("Capturing - Pictomira"), 60, 100, &ox, &oy));  // "Start Over": paused
    return presses;
  }
  // "The Crop is Correct", then the demo's name and "OK"; waits for its demo screen.
  void confirmCropAndName(const std::string& name) {
    clickButton(window("Ready to Abstract - Pictomira", 20000), 360, 600 - 31 + 10);  // "The Crop is Correct"
    const unsigned long naming = window("Abstracting New Demo - Pictomira");
    int nx = 0, ny = 0;
    ASSERT_TRUE(buttonShown(naming, 680, 236, &nx, &ny));  // "OK"
    input->click(nx + 480, ny + 239);                      // "NewNameEditBox"
    sleepMs(100);
    ASSERT_EQ(std::system(("xdotool type --delay 15 '" + name + "'").c_str()), 0);
    sleepMs(150);
    input->click(nx + 680, ny + 239);
    ASSERT_NE(window(name + " - Pictomira", 20000), 0u);
  }
  std::vector<Record> records() {
    std::vector<Record> out;
    std::FILE* f = std::fopen(captureSlotPath(".DMR").c_str(), "rb");
    if (f == nullptr) return out;
    RecordLine r{};
    for (int64_t at = 0, next; (next = recReadRecord(f, at, &r, nullptr)) > 0; at = next) out.push_back({at, r});
    std::fclose(f);
    return out;
  }
  std::vector<std::array<int32_t, 4>> windowLines() {
    std::vector<std::array<int32_t, 4>> rects;
    winReadRects(captureSlotPath(".DMW"), &rects);
    return rects;
  }
  int examine() {
    Child c({PICTOMIRA_EXAMINE_BIN, captureSlotPath(".DMR")});
    c.drain(2000);
    return c.wait(10000);
  }
  // Records of the slot hold no time going back and no run of more than 91 partial records.
  void expectSoundRecording(const std::vector<Record>& recs) {
    int partial = 0;
    for (size_t i = 0; i < recs.size(); ++i) {
      const RecordLine& r = recs[i].line;
      if (i > 0) {
        EXPECT_GE(r.time, recs[i - 1].line.time) << "record " << i;
      }
      const bool key = r.w == r.W && r.h == r.H;
      partial = key ? 0 : partial + 1;
      EXPECT_LE(partial, 91) << "record " << i;
    }
    EXPECT_EQ(examine(), 0);
  }

  TempDir dir;
  std::unique_ptr<XServer> x;
  std::unique_ptr<XInput> input;
  std::unique_ptr<Child> wm, calc, app;
};

void put(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

int clicks(const std::vector<Record>& recs) {
  int n = 0;
  for (const Record& r : recs) n += r.line.click == 1 ? 1 : 0;
  return n;
}

TEST_F(Capture, PressesOnARealApplicationBecomeKeyFramesAndItsFrameIsSampled) {
  int32_t f[4];
  const unsigned long xcalc = calculatorInCorner(f);
  ASSERT_NE(xcalc, 0u);
  const int w = f[2] - f[0], h = f[3] - f[1];
  startStudio();
  newDemo();
  startCapture();
  const int keys[][3] = {{46, 81, 800}, {20, 81, 0}, {72, 70, 150}, {46, 92, 0}};  // % across, % down, hold ms
  for (int i = 0; i < 4; ++i) {
    press(f[0] + w * keys[i][0] / 100, f[1] + h * keys[i][1] / 100, keys[i][2]);
    char title[80];
    std::snprintf(title, sizeof title, i == 0 ? "1 Step Captured - Pictomira" : "%d Steps Captured - Pictomira", i + 1);
    ASSERT_NE(window(title, 5000), 0u) << title;
    sleepMs(700);
  }
  const int pausePresses = pause("4 Steps Captured - Pictomira");
  std::vector<Record> recs = records();
  ASSERT_GE(recs.size(), 5u);
  EXPECT_EQ(recs[0].line.click, 0);
  EXPECT_EQ(recs[0].line.w, 1280);
  const int pressed = clicks(recs);
  EXPECT_GE(pressed, 4);
  EXPECT_LE(pressed, 4 + pausePresses);  // presses on "Pause Capture" may be recorded too
  expectSoundRecording(recs);
  // The last rebuilt frame shows xcalc as the screen shows it now.
  const int32_t area[4] = {f[0], f[1], w, h};
  std::vector<unsigned char> rebuilt(size_t{3} * w * h);
  ASSERT_GE(demoRecframeCroppedToMembuff(captureSlotPath(".DMR").c_str(), 0, recs.back().offset, area, rebuilt.data(),
                                         3, 1),
            0);
  EXPECT_TRUE(rebuilt == input->grab(f[0], f[1], w, h));
  const auto lines = windowLines();
  ASSERT_FALSE(lines.empty());
  for (const auto& l : lines) EXPECT_EQ(l, (std::array<int32_t, 4>{f[0], f[1], f[2], f[3]}));

  // "Capture More": a new run's key frame in the middle, its times going on.
  const size_t before = recs.size();
  clickButton(window("Capturing - Pictomira"), 340, 100);
  waitForRecords(before + 1);
  press(f[0] + w * 46 / 100, f[1] + h * 81 / 100, 150);
  ASSERT_NE(window("1 Step Captured - Pictomira", 5000), 0u);
  pause("1 Step Captured - Pictomira");
  recs = records();
  ASSERT_GT(recs.size(), before);
  EXPECT_EQ(recs[before].line.click, 0);
  EXPECT_EQ(recs[before].line.w, 1280);
  expectSoundRecording(recs);
}

// Every window below xcalc's (its buttons among them): absolute x, y, width, height, from xwininfo.
std::vector<std::array<int32_t, 4>> windowsBelow(unsigned long w) {
  std::vector<std::array<int32_t, 4>> out;
  std::FILE* p = popen(("xwininfo -tree -id " + std::to_string(w) + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return out;
  char line[512];
  while (std::fgets(line, sizeof line, p)) {
    const std::string l = line;
    const size_t x = l.find(")  "), geometry = x == std::string::npos ? x : l.find_first_of("0123456789", x);
    if (geometry == std::string::npos) continue;
    int gw, gh, rx, ry, ax, ay;
    if (std::sscanf(l.c_str() + geometry, "%dx%d+%d+%d +%d+%d", &gw, &gh, &rx, &ry, &ax, &ay) == 6)
      out.push_back({ax, ay, gw, gh});
  }
  pclose(p);
  return out;
}

// The smallest window holding the point: the button pressed there.
std::array<int32_t, 4> buttonAt(const std::vector<std::array<int32_t, 4>>& windows, int32_t x, int32_t y) {
  std::array<int32_t, 4> best{0, 0, 0, 0};
  for (const auto& r : windows)
    if (x >= r[0] && x < r[0] + r[2] && y >= r[1] && y < r[1] + r[3] &&
        (best[2] == 0 || int64_t{r[2]} * r[3] < int64_t{best[2]} * best[3]))
      best = r;
  return best;
}

// xcalc's keys row by row, left to right: the windows of the size most of
// the key-sized ones have (the display's indicators are smaller).
std::vector<std::array<int32_t, 4>> keysOf(const std::vector<std::array<int32_t, 4>>& windows) {
  std::map<std::pair<int32_t, int32_t>, int> sizes;
  for (const auto& r : windows)
    if (r[2] >= 20 && r[2] <= 60 && r[3] >= 15 && r[3] <= 40) ++sizes[{r[2], r[3]}];
  std::pair<std::pair<int32_t, int32_t>, int> most{{0, 0}, 0};
  for (const auto& s : sizes)
    if (s.second > most.second) most = s;
  std::vector<std::array<int32_t, 4>> keys;
  for (const auto& r : windows)
    if (std::make_pair(r[2], r[3]) == most.first) keys.push_back(r);
  std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a[1] != b[1] ? a[1] < b[1] : a[0] < b[0]; });
  return keys;
}

TEST_F(Capture, ACalculationBecomesADemoWhoseClicksAreXcalcsButtons) {
  int32_t f[4];
  const unsigned long xcalc = calculatorInCorner(f);
  ASSERT_NE(xcalc, 0u);
  const int w = f[2] - f[0], h = f[3] - f[1];
  const std::vector<std::array<int32_t, 4>> windows = windowsBelow(xcalc);
  startStudio();
  newDemo();
  startCapture();
  // Four of xcalc's keys, pressed a little off their centres.
  const std::vector<std::array<int32_t, 4>> keys = keysOf(windows);
  ASSERT_GE(keys.size(), 20u);
  std::vector<std::array<int32_t, 2>> pressed;
  for (const size_t k : {keys.size() - 2, keys.size() - 8, keys.size() - 13, keys.size() - 4}) {
    const int32_t px = keys[k][0] + keys[k][2] / 2 + 3, py = keys[k][1] + keys[k][3] / 2 + 2;
    press(px, py, 150);
    pressed.push_back({px, py});
    sleepMs(800);
  }
  ASSERT_NE(window("4 Steps Captured - Pictomira", 5000), 0u);
  pause("4 Steps Captured - Pictomira");
  clickButton(window("Capturing - Pictomira"), 200, 100);  // "Abstract Demo..."
  confirmCropAndName("Calc Demo");

  resetRuntime();
  ASSERT_EQ(demoDataRead(demoFilePath("Calc Demo", ".DMD")), 1);
  char crop[DEMO_TEXT_LEN] = "";
  demoGetTextValue(gHeaderData[0], crop);
  std::ostringstream want;
  want << f[0] << "," << f[1] << "," << w << "," << h << "\r\n";
  EXPECT_EQ(std::string(crop), want.str());  // the crop is xcalc's outer rectangle
  std::vector<InstrRec> clicksInOrder;
  for (int32_t i = 0; i < gInstrCount; ++i)
    if (gInstrData[i].type == INSTR_LEFT) clicksInOrder.push_back(gInstrData[i]);
  ASSERT_EQ(clicksInOrder.size(), pressed.size());
  for (size_t i = 0; i < pressed.size(); ++i) {
    SCOPED_TRACE("press " + std::to_string(i));
    const InstrRec& in = clicksInOrder[i];
    const auto button = buttonAt(windows, pressed[i][0], pressed[i][1]);
    ASSERT_GT(button[2], 0);
    EXPECT_TRUE(demoRectHolds(in, pressed[i][0], pressed[i][1]));
    const int32_t cx = (in.v[0] + in.v[2]) / 2, cy = (in.v[1] + in.v[3]) / 2;
    EXPECT_TRUE(cx >= button[0] && cx < button[0] + button[2] && cy >= button[1] && cy < button[1] + button[3]);
    EXPECT_LE(std::abs(cx - (button[0] + button[2] / 2)), 6);
    EXPECT_LE(std::abs(cy - (button[1] + button[3] / 2)), 6);
    for (size_t j = 0; j < pressed.size(); ++j) {
      if (j == i) continue;
      const auto other = buttonAt(windows, pressed[j][0], pressed[j][1]);
      EXPECT_FALSE(demoRectHolds(in, other[0] + other[2] / 2, other[1] + other[3] / 2)) << "holds button " << j;
    }
  }
}

// The labels of xcalc's keys in its own resources, button 1 to 55 (row by
// row), as the notes spell them (Windows-1252; the resources' bytes are
// Latin-1). A key drawn in the symbol font shows another glyph than its
// bytes: divide is in the code page, the root and pi are not (empty).
std::vector<std::string> xcalcLabels() {
  std::vector<std::string> labels(55);
  std::set<int> symbolFont;
  std::istringstream in(slurp("/etc/X11/app-defaults/XCalc"));
  for (std::string line; std::getline(in, line);) {
    int n = 0, at = 0;
    if (std::sscanf(line.c_str(), "XCalc*ti.button%d.label:%n", &n, &at) != 1 || at == 0 || n < 1 || n > 55) {
      if (std::sscanf(line.c_str(), "XCalc*ti.button%d.font:", &n) == 1) symbolFont.insert(n);
      continue;
    }
    std::string label;
    for (size_t i = line.find_first_not_of(" \t", static_cast<size_t>(at)); i < line.size(); ++i) {
      if (line[i] == '\\' && i + 3 < line.size() && std::isdigit(static_cast<unsigned char>(line[i + 1]))) {
        label += static_cast<char>(std::stoi(line.substr(i + 1, 3), nullptr, 8));
        i += 3;
      } else {
        label += line[i];
      }
    }
    if (symbolFont.count(n) != 0) label = label == "\270" ? "\xF7" : "";
    labels[static_cast<size_t>(n - 1)] = label;
  }
  return labels;
}

// Every key of xcalc (no accessibility) pressed once: its step's note names
// the key's label read off the screen, or is left as it was; never a wrong one.
TEST_F(Capture, StepsOfAProgramWithoutAccessibilityNameTheKeysReadOffTheScreen) {
  int32_t f[4];
  const unsigned long xcalc = calculatorInCorner(f);
  ASSERT_NE(xcalc, 0u);
  const std::vector<std::array<int32_t, 4>> keys = keysOf(windowsBelow(xcalc));
  const std::vector<std::string> labels = xcalcLabels();
  ASSERT_EQ(keys.size(), labels.size());
  startStudio();
  newDemo();
  startCapture();
  for (const auto& k : keys) {
    press(k[0] + k[2] / 2 + 2, k[1] + k[3] / 2 + 1, 120);
    sleepMs(600);
  }
  const std::string captured = std::to_string(keys.size()) + " Steps Captured - Pictomira";
  ASSERT_NE(window(captured, 5000), 0u);
  pause(captured);
  clickButton(window("Capturing - Pictomira"), 200, 100);  // "Abstract Demo..."
  confirmCropAndName("Keys");

  resetRuntime();
  ASSERT_EQ(demoDataRead(demoFilePath("Keys", ".DMD")), 1);
  std::vector<int32_t> clickFrames;
  for (int32_t i = 0; i < gInstrCount; ++i)
    if (gInstrData[i].type == INSTR_LEFT) clickFrames.push_back(gInstrData[i].frame);
  ASSERT_EQ(clickFrames.size(), keys.size());
  int right = 0;
  std::string wrong, unnamed;
  for (size_t i = 0; i < keys.size(); ++i) {
    char note[DEMO_TEXT_LEN] = "";
    demoGetTextValue(static_cast<int32_t>(gFrameData[clickFrames[i]].noteText), note);
    if (std::string(note) == "Click in a red box") unnamed += " [" + labels[i] + "]";
    else if (!labels[i].empty() && note == "Click \"" + labels[i] + "\".") ++right;
    else wrong += " [" + labels[i] + "] as [" + note + "];";
  }
  // Ten keys are left unnamed (1/x, the root, ln, y^x, pi, (, C, divide,
  // STO and .): 45 of 55 (82%) are named. One key's slack is left for a
  // press whose frames the capture caught otherwise.
  std::printf("xcalc: %d of %zu keys named right; unnamed:%s\n", right, keys.size(), unnamed.c_str());
  EXPECT_EQ(wrong, "");
  EXPECT_GE(right * 100, 78 * static_cast<int>(keys.size())) << right << " of " << keys.size();
}

// Every path below the program folder (hidden ones too), relative and sorted.
std::vector<std::string> listing(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
    out.push_back(std::filesystem::relative(e.path(), folder).string());
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(Capture, ClosingTheWindowWhileCapturingKeepsASoundRecordingThatIsAbstracted) {
  int32_t f[4];
  const unsigned long xcalc = calculatorInCorner(f);
  ASSERT_NE(xcalc, 0u);
  std::vector<std::array<int32_t, 4>> keys;
  for (const auto& r : windowsBelow(xcalc))
    if (r[2] >= 20 && r[2] <= 60 && r[3] >= 15 && r[3] <= 40) keys.push_back(r);
  ASSERT_GE(keys.size(), 20u);
  startStudio();
  ASSERT_NE(window("Pictomira (v151)"), 0u);
  std::vector<std::string> want = listing(dir.path());
  newDemo();
  // An earlier capture's recording that cannot be removed: the capture does not start.
  ASSERT_TRUE(std::filesystem::create_directory(captureSlotPath(".DMR")));
  put(captureSlotPath(".DMR") + "/inside", "x");
  clickButton(window("Ready to Capture - Pictomira"), 200, 100);
  EXPECT_TRUE(app->waitFor("ALERT 1 Cannot Start Capture | Pictomira cannot start a new capture because the file of "
                           "an earlier capture '" + captureSlotPath(".DMR") + "' cannot be removed",
                           5000));
  std::filesystem::remove_all(captureSlotPath(".DMR"));
  startCapture();
  for (int i = 0; i < 3; ++i) {
    const auto& k = keys[keys.size() - 2 - 5 * i];
    press(k[0] + k[2] / 2, k[1] + k[3] / 2, 150);
    ASSERT_NE(window(i == 0 ? "1 Step Captured - Pictomira" : std::to_string(i + 1) + " Steps Captured - Pictomira",
                     5000),
              0u);
    sleepMs(700);
  }
  sleepMs(800);
  // Closed as another program would, with no press: the window is still minimised.
  input->requestClose(window("3 Steps Captured - Pictomira"));
  std::vector<std::string> lines;
  int status = -1;
  for (int waited = 0; waited < 5000 && status == -1; waited += 100) {
    for (std::string& line : app->drain(100)) lines.push_back(std::move(line));
    status = app->wait(0);
  }
  EXPECT_EQ(status, 0);
  for (const std::string& line : lines)
    EXPECT_TRUE(line.find("terminate") == std::string::npos && line.find("Sanitizer") == std::string::npos &&
                line.find("runtime error") == std::string::npos && line.find("did not stop") == std::string::npos)
        << line;
  want.insert(want.end(), {"TempCapture.DMR", "TempCapture.DMW"});
  std::sort(want.begin(), want.end());
  EXPECT_EQ(listing(dir.path()), want);
  const std::vector<Record> recs = records();
  ASSERT_GE(recs.size(), 5u);
  EXPECT_EQ(clicks(recs), 4);  // the three presses and the closing click, the run's last record
  EXPECT_EQ(recs.back().line.click, 1);
  expectSoundRecording(recs);

  // The next start abstracts it (as a replay pair) as after "Pause Capture": every press is a step.
  ASSERT_EQ(std::rename(captureSlotPath(".DMR").c_str(), dir.file("pmra.DMR").c_str()), 0);
  ASSERT_EQ(std::rename(captureSlotPath(".DMW").c_str(), dir.file("pmra.DMW").c_str()), 0);
  startStudio();
  confirmCropAndName("Closed Demo");
  resetRuntime();
  ASSERT_EQ(demoDataRead(demoFilePath("Closed Demo", ".DMD")), 1);
  int steps = 0;
  for (int32_t i = 0; i < gInstrCount; ++i) steps += gInstrData[i].type == INSTR_LEFT ? 1 : 0;
  EXPECT_EQ(steps, 3);
}

TEST_F(Capture, WithoutAWindowManagerNothingIsSampledAndNoWarning) {
  const unsigned long xcalc = startCalculator(false);
  ASSERT_NE(xcalc, 0u);
  int ox = 0, oy = 0;
  input->origin(xcalc, &ox, &oy);
  startStudio();
  newDemo();
  startCapture();
  press(ox + 100, oy + 250, 150);
  ASSERT_NE(window("1 Step Captured - Pictomira", 5000), 0u);
  sleepMs(700);
  press(ox + 50, oy + 250, 0);
  ASSERT_NE(window("2 Steps Captured - Pictomira", 5000), 0u);
  sleepMs(300);
  pause("2 Steps Captured - Pictomira");
  EXPECT_TRUE(windowLines().empty());
  EXPECT_TRUE(slurp(captureSlotPath(".DMW")).empty());  // made empty, never written
  for (const std::string& line : app->drain(300)) EXPECT_EQ(line.find("Bad Window Size"), std::string::npos) << line;
  expectSoundRecording(records());
}

TEST_F(Capture, AWindowPartlyOffScreenWarnsOnce) {
  startWindowManager();
  const unsigned long xcalc = startCalculator(true);
  ASSERT_NE(xcalc, 0u);
  Child({"xdotool", "windowmove", std::to_string(xcalc), "-120", "200"}).wait(5000);
  sleepMs(500);
  int32_t f[4];
  input->frameRect(xcalc, f);
  ASSERT_LT(f[0], 0);
  startStudio();
  newDemo();
  startCapture();
  for (int i = 0; i < 3; ++i) {
    press(f[2] - 30, f[1] + (f[3] - f[1]) * (70 + 8 * i) / 100, 150);
    sleepMs(700);
  }
  ASSERT_NE(window("3 Steps Captured - Pictomira", 5000), 0u);
  pause("3 Steps Captured - Pictomira");
  int warnings = 0;
  for (const std::string& line : app->drain(300))
    warnings += line.rfind("ALERT 2 Pictomira - Bad Window Size | The front window seems", 0) == 0 ? 1 : 0;
  EXPECT_EQ(warnings, 1);
  EXPECT_TRUE(windowLines().empty());
}

TEST_F(Capture, AResolutionChangeEndsTheProgramWithARecordingThatDecodes) {
  startStudio();
  newDemo();
  startCapture();
  Child({"xrandr", "--setmonitor", "small", "1024/271x768/203+0+0", "screen"}).wait(5000);
  EXPECT_TRUE(app->waitFor("ALERT 1 Exiting... | Unexpected RecErr003_L2:-1", 8000));
  EXPECT_EQ(app->wait(5000), 1);
  expectSoundRecording(records());
}

TEST_F(Capture, PositionsAreRelativeToThePrimaryMonitor) {
  // Two monitors side by side; the primary one is the right half.
  Child({"xrandr", "--setmonitor", "left", "640/169x800/254+0+0", "screen"}).wait(5000);
  Child({"xrandr", "--setmonitor", "*right", "640/169x800/254+640+0", "none"}).wait(5000);
  startStudio();
  newDemo();
  EXPECT_TRUE(app->waitFor("ALERT 1 Info | This system has more than one display.", 5000));
  startCapture();
  press(700, 300, 100);
  ASSERT_NE(window("1 Step Captured - Pictomira", 5000), 0u);
  sleepMs(300);
  pause("1 Step Captured - Pictomira");
  const std::vector<Record> recs = records();
  ASSERT_GE(recs.size(), 2u);
  EXPECT_EQ(recs[0].line.W, 640);
  int found = 0;
  for (const Record& r : recs)
    if (r.line.click == 1 && found++ == 0) {
      EXPECT_EQ(r.line.mouseX, 60);
      EXPECT_EQ(r.line.mouseY, 300);
    }
  EXPECT_GE(found, 1);
}

// An object of the accessibility tree as the test reads it, walking every
// showing object of the application.
struct Accessible {
  std::string role, name;
  int32_t r[4];
  bool leaf;
};

void walk(AtspiAccessible* a, int depth, std::vector<Accessible>* out) {
  GError* e = nullptr;
  const int n = atspi_accessible_get_child_count(a, &e);
  if (e != nullptr) g_clear_error(&e);
  Accessible me{};
  if (AtspiComponent* c = atspi_accessible_get_component_iface(a)) {
    if (AtspiRect* r = atspi_component_get_extents(c, ATSPI_COORD_TYPE_SCREEN, &e)) {
      me.r[0] = r->x, me.r[1] = r->y, me.r[2] = r->width, me.r[3] = r->height;
      g_free(r);
    }
    g_clear_error(&e);
    g_object_unref(c);
  }
  gchar* role = atspi_accessible_get_role_name(a, &e);
  g_clear_error(&e);
  gchar* name = atspi_accessible_get_name(a, &e);
  g_clear_error(&e);
  me.role = role != nullptr ? role : "";
  me.name = name != nullptr ? name : "";
  g_free(role);
  g_free(name);
  me.leaf = n <= 0;
  if (me.r[0] > -10000 && me.r[2] > 0) out->push_back(me);
  for (int i = 0; i < n && depth < 40; ++i)
    if (AtspiAccessible* child = atspi_accessible_get_child_at_index(a, i, &e)) {
      walk(child, depth + 1, out);
      g_object_unref(child);
    } else {
      g_clear_error(&e);
    }
}

std::vector<Accessible> treeOf(const char* application) {
  std::vector<Accessible> out;
  AtspiAccessible* desktop = atspi_get_desktop(0);
  GError* e = nullptr;
  const int apps = atspi_accessible_get_child_count(desktop, &e);
  g_clear_error(&e);
  for (int i = 0; i < apps; ++i) {
    AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, &e);
    g_clear_error(&e);
    if (app == nullptr) continue;
    gchar* name = atspi_accessible_get_name(app, &e);
    g_clear_error(&e);
    if (name != nullptr && std::string(name) == application) walk(app, 0, &out);
    g_free(name);
    g_object_unref(app);
  }
  g_object_unref(desktop);
  return out;
}

const Accessible* find(const std::vector<Accessible>& tree, const std::string& role, const std::string& name) {
  for (const Accessible& a : tree)
    if (a.role == role && a.name == name) return &a;
  return nullptr;
}

// The wording a step's note must have, written out here from the roles.
std::string expectedCaption(const Accessible& a, bool hover) {
  const std::string q = "\"" + a.name + "\"";
  if (hover) return "Point at " + q + ".";
  if (a.role == "check box" || a.role == "radio button") return "Select " + q + ".";
  if (a.role == "menu item") return "Choose " + q + ".";
  if (a.role == "page tab") return "Open the " + q + " tab.";
  return "Click " + q + ".";
}

// Presses on eight controls of several roles of a GTK application: each
// step's note names its control as the tree does, and each click box is the
// control's extents (within 2 pixels).
TEST_F(Capture, StepsOfAGtkApplicationSayWhatWasPressed) {
  server(1920, 1080);
  AccessibilityBus bus;
  ASSERT_TRUE(bus.ok());
  ASSERT_GE(atspi_init(), 0);
  startWindowManager();
  Child factory({"gtk3-widget-factory"});
  std::vector<Accessible> tree;
  for (int i = 0; i < 100 && !find(tree, "table cell", "Andrea"); ++i, sleepMs(100)) tree = treeOf("gtk3-widget-factory");
  ASSERT_TRUE(find(tree, "table cell", "Andrea")) << tree.size() << " objects";
  sleepMs(500);  // placed and drawn
  tree = treeOf("gtk3-widget-factory");
  struct Target {
    const char* role;
    const char* name;
  };
  const Target targets[] = {{"check box", "checkbutton"}, {"radio button", "radiobutton"},
                            {"toggle button", "togglebutton"}, {"table cell", "Otto"},
                            {"toggle button", "Menu"}, {"combo box", "Left"},
                            {"menu item", "Middle"}, {"page tab", "page 2"}};
  startStudio();
  newDemo();
  startCapture();
  std::vector<Accessible> pressed;
  for (const Target& t : targets) {
    if (std::string(t.role) == "menu item")  // the combo's list, open now
      for (int i = 0; i < 30 && !find(tree, t.role, t.name); ++i, sleepMs(100)) tree = treeOf("gtk3-widget-factory");
    const Accessible* a = find(tree, t.role, t.name);
    ASSERT_NE(a, nullptr) << t.role << " " << t.name;
    pressed.push_back(*a);
    press(a->r[0] + a->r[2] / 2, a->r[1] + a->r[3] / 2, 150);
    sleepMs(800);
    if (std::string(t.name) == "Menu") {  // its pop-over closed again
      input->key(XK_Escape);
      sleepMs(500);
    }
  }
  ASSERT_NE(window("8 Steps Captured - Pictomira", 5000), 0u);
  pause("8 Steps Captured - Pictomira");
  EXPECT_GE(slurp(captureSlotPath(".DMA")).size(), 8u * 20u) << "the side file";
  clickButton(window("Capturing - Pictomira"), 200, 100);  // "Abstract Demo..."
  confirmCropAndName("Widgets");

  resetRuntime();
  ASSERT_EQ(demoDataRead(demoFilePath("Widgets", ".DMD")), 1);
  EXPECT_TRUE(std::filesystem::exists(demoFilePath("Widgets", ".DMA")));
  std::vector<InstrRec> clicksInOrder;
  for (int32_t i = 0; i < gInstrCount; ++i)
    if (gInstrData[i].type == INSTR_LEFT) clicksInOrder.push_back(gInstrData[i]);
  ASSERT_EQ(clicksInOrder.size(), pressed.size());
  for (size_t i = 0; i < pressed.size(); ++i) {
    const Accessible& a = pressed[i];
    SCOPED_TRACE("press " + std::to_string(i) + ": " + a.role + " '" + a.name + "'");
    const InstrRec& in = clicksInOrder[i];
    bool hover = false;
    for (int32_t k = 0; k < gInstrCount; ++k)
      hover = hover || (gInstrData[k].frame == in.frame && gInstrData[k].type == INSTR_MOVE_OUT);
    char note[DEMO_TEXT_LEN] = "";
    demoGetTextValue(static_cast<int32_t>(gFrameData[in.frame].noteText), note);
    EXPECT_EQ(std::string(note), expectedCaption(a, hover));
    EXPECT_LE(std::abs(in.v[0] - a.r[0]), 2);
    EXPECT_LE(std::abs(in.v[1] - a.r[1]), 2);
    EXPECT_LE(std::abs(in.v[2] - (a.r[0] + a.r[2] - 1)), 2);
    EXPECT_LE(std::abs(in.v[3] - (a.r[1] + a.r[3] - 1)), 2);
  }
}

TEST_F(Capture, DisplayChecksOfNewDemo) {
  server(1366, 768);
  startStudio();
  newDemo();
  EXPECT_TRUE(app->waitFor("ALERT 1 Error | Pictomira cannot capture from the primary monitor because it is set to an "
                           "unsupported width.",
                           5000));
  EXPECT_NE(window("Pictomira (v151)"), 0u);
  server(1364, 768);
  startStudio();
  newDemo();
  EXPECT_TRUE(app->waitFor("ALERT 1 Info | For best capture, Pictomira recommends screen resolution of 1280x800", 5000));
  EXPECT_NE(window("Ready to Capture - Pictomira"), 0u);
  // Two displays: the note the first time only.
  server(1280, 800);
  Child({"xrandr", "--setmonitor", "left", "640/169x800/254+0+0", "screen"}).wait(5000);
  Child({"xrandr", "--setmonitor", "right", "640/169x800/254+640+0", "none"}).wait(5000);
  startStudio();
  newDemo();
  EXPECT_TRUE(app->waitFor("ALERT 1 Info | This system has more than one display.  Pictomira will capture only the "
                           "Primary display.",
                           5000));
  clickButton(window("Ready to Capture - Pictomira"), 320, 100);  // "Cancel"
  newDemo();
  EXPECT_NE(window("Ready to Capture - Pictomira"), 0u);
  for (const std::string& line : app->drain(300)) EXPECT_EQ(line.find("ALERT"), std::string::npos) << line;
  // A Wayland session, told either way: the note, then the ready screen to go on or cancel.
  for (const char* session : {"XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-0"}) {
    SCOPED_TRACE(session);
    startStudio(session);
    newDemo();
    EXPECT_TRUE(app->waitFor("ALERT 1 Info | This desktop runs a Wayland session.  Pictomira captures only X11 windows",
                             5000));
    clickButton(window("Ready to Capture - Pictomira"), 320, 100);  // "Cancel"
    EXPECT_NE(window("Pictomira (v151)"), 0u);
  }
}

}  // namespace
