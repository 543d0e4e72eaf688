// The authoring program for Windows (Pictomira.exe, cross-built) under wine
// on the tests' own Xvfb, with a wine prefix of the tests' own: started in
// a program folder of the test's own, driven through real XTest input and
// judged by its window titles, its pixels and the files it writes; a Win32
// application of the tests' own is captured, and the demo made of it is
// edited, shared as a Windows simulation and presented under wine.
#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "studio/capture/demo_files.h"
#include "studio/kit/library.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/studio_session.h"
#include "tests/support/wine_prefix.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The home-sized windows (900 x 600) and the capture window (400 x 120),
// framed by wine and centred; the editor framed at the screen's corner.
constexpr int kHomeX = wineFramedX(900), kHomeY = wineFramedY(600);
constexpr int kCapX = wineFramedX(400), kCapY = wineFramedY(120);
constexpr int kEditX = kWineFrame, kEditY = kWineFrame + kWineCaption;

uint32_t colourOf(int f) { return static_cast<uint32_t>((40 + f * 30) << 16 | (90 + f * 10) << 8 | (200 - f * 20)); }

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::vector<unsigned char> bytesOf(const std::string& path) {
  const std::string s = slurp(path);
  return std::vector<unsigned char>(s.begin(), s.end());
}

class WindowsStudio : public testing::Test {
 protected:
  void SetUp() override {
    server = std::make_unique<XServer>();
    ASSERT_TRUE(server->ok());
    ASSERT_TRUE(prefix.make()) << "wine could not make its prefix";
    input = std::make_unique<XInput>();
    const std::vector<unsigned char> program = bytesOf(PICTOMIRA_WINDOWS_FOLDER "/Pictomira.exe");
    if (program.empty()) GTEST_SKIP() << "no Windows authoring program: the Windows files were not built";
    ASSERT_TRUE(writeBytes(dir.file("Pictomira.exe"), program));
    env = prefix.env();
    env.push_back("PICTOMIRA_ALERTS=stderr");
  }
  void TearDown() override {
    for (auto* c : {&app, &other})
      if (*c) (*c)->kill();
  }
  void start(const std::string& folder = "") {
    app = std::make_unique<Child>(std::vector<std::string>{"wine", (folder.empty() ? dir.path() : folder) + "/Pictomira.exe"},
                                  env);
  }
  bool titled(const std::string& title, int ms = 5000) {
    for (int i = 0; i < ms / 50; ++i, sleepMs(50))
      if (input->findWindow(title) != 0) return true;
    ADD_FAILURE() << "no window titled '" << title << "'";
    return false;
  }
  bool home(int ms = 5000) { return titled("Pictomira (v151)", ms) && input->waitForPixel(kHomeX + 154, kHomeY + 336, 0xFFFFFF, ms); }
  // Clicks root point (x, y) after resting the pointer there (wine may drop a click that comes with the move).
  void clickAt(int x, int y) {
    input->move(x, y);
    sleepMs(100);
    input->click(x, y);
    sleepMs(100);
  }
  void click(int x, int y) { clickAt(kHomeX + x, kHomeY + y); }
  // Clicks root point (x, y) until a window titled title is there (a busy
  // wine may drop a click).
  bool clickFor(int x, int y, const std::string& title) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      clickAt(x, y);
      for (int i = 0; i < 100; ++i, sleepMs(50))
        if (input->findWindow(title) != 0) return true;
    }
    ADD_FAILURE() << "no window titled '" << title << "'";
    return false;
  }
  // The same at (x, y) of the home-sized window.
  bool pressFor(int x, int y, const std::string& title) { return clickFor(kHomeX + x, kHomeY + y, title); }
  // Replaces the text of the edit box at root point (x, y) with text.
  void typeInto(int x, int y, const std::string& text) {
    clickAt(x, y);
    sleepMs(100);
    input->key(XK_a, {XK_Control_L});
    ASSERT_EQ(std::system(("xdotool type --delay 15 '" + text + "'").c_str()), 0);
    sleepMs(150);
  }
  std::string demoFile(const std::string& name, const char* ext) { return dir.path() + "/Demos/" + name + "/" + name + ext; }

  std::unique_ptr<XServer> server;
  WinePrefix prefix;
  std::unique_ptr<XInput> input;
  TempDir dir;
  std::vector<std::string> env;
  std::unique_ptr<Child> app, other;
};

// Started in an empty program folder it makes its two folders; with a
// library written by the fixture builder it lists the demos newest first,
// a row opens that demo's screen and the way back home returns; a demo is
// renamed, copied and deleted through the real edit boxes, and presented
// until Escape.
TEST_F(WindowsStudio, MakesItsFoldersListsItsLibraryManagesAndPresentsADemo) {
  EXPECT_TRUE(std::filesystem::is_empty(PICTOMIRA_WINDOWS_FOLDER "/Demos"));  // as make windows leaves it
  start();
  ASSERT_TRUE(home(30000)) << "no home screen";
  for (const char* folder : {"Demos", "zPictomiraSystemFiles"}) EXPECT_TRUE(exists(dir.file(folder))) << folder;
  app->kill();

  const std::pair<const char*, int64_t> demos[] = {{"Oldest", 1000000}, {"Newest", 3000000}, {"Middle", 2000000}};
  for (const auto& [name, mtime] : demos) {
    DemoFixture fx = flatDemo(2, colourOf);
    fx.mtime = mtime;
    ASSERT_TRUE(writeDemoFolder(dir.path(), name, fx)) << name;
  }
  const std::string recording = slurp(demoFile("Newest", ".DMR"));
  start();
  ASSERT_TRUE(home(30000)) << "no home screen";
  EXPECT_TRUE(pressFor(300, 365 + 24 * 1 + 12, "Middle - Pictomira"));  // the second row
  EXPECT_TRUE(pressFor(70, 300, "Pictomira (v151)"));                     // "<< Back to Home "
  ASSERT_TRUE(home());

  click(742, 365 + 12);  // the first row's ">": the management screen
  ASSERT_TRUE(input->waitForPixel(kHomeX + 609, kHomeY + 133, 0xFFFFFF, 5000));  // "Rename"
  typeInto(kHomeX + 300, kHomeY + 144, "Renamed 2");
  click(665, 144);
  ASSERT_TRUE(home());
  EXPECT_FALSE(exists(dir.file("Demos/Newest")));
  EXPECT_EQ(slurp(demoFile("Renamed 2", ".DMR")), recording);

  click(742, 365 + 12);
  ASSERT_TRUE(input->waitForPixel(kHomeX + 609, kHomeY + 238, 0xFFFFFF, 5000));  // "Copy"
  typeInto(kHomeX + 300, kHomeY + 249, "Copied");
  click(665, 249);
  ASSERT_TRUE(home());
  for (const char* ext : {".DMW", ".DMD", ".DMR"}) EXPECT_EQ(slurp(demoFile("Copied", ext)), slurp(demoFile("Renamed 2", ext)));

  click(742, 365 + 12);  // the newest row: the copy
  ASSERT_TRUE(input->waitForPixel(kHomeX + 609, kHomeY + 317, 0xFFFFFF, 5000));
  click(665, 328);  // "Delete"
  ASSERT_TRUE(input->waitForPixel(kHomeX + 234, kHomeY + 320, 0xFFFFFF, 5000));
  click(325, 332);  // "Yes, Delete the Demo"
  ASSERT_TRUE(home());
  EXPECT_FALSE(exists(dir.file("Demos/Copied")));
  EXPECT_TRUE(exists(dir.file("Demos/Renamed 2")));

  // "Present the Demo": frame 0 fills a borderless window of the crop's size, centred; Escape returns.
  ASSERT_TRUE(pressFor(300, 365 + 12, "Renamed 2 - Pictomira"));
  ASSERT_TRUE(input->waitForPixel(kHomeX + 9, kHomeY + 287, 0xFFFFFF, 5000));
  constexpr int kPX = (1280 - 640) / 2, kPY = (800 - 400) / 2;
  click(450, 300 + 150 + 12);
  ASSERT_TRUE(input->waitForPixel(kPX + 300, kPY + 300, colourOf(0), 10000)) << "not presented";
  EXPECT_EQ(input->pixel(kPX, kPY), colourOf(0));
  EXPECT_EQ(input->pixel(kPX + 639, kPY + 399), colourOf(0));
  clickAt(kPX + 70, kPY + 40);  // inside the click's box
  EXPECT_TRUE(input->waitForPixel(kPX + 300, kPY + 300, colourOf(1), 5000));
  input->key(XK_Escape);
  EXPECT_TRUE(titled("Renamed 2 - Pictomira"));
  EXPECT_TRUE(input->waitForPixel(kHomeX + 9, kHomeY + 287, 0xFFFFFF, 5000));
}

// A program folder inside a zipped folder: the alert, and nothing made.
TEST_F(WindowsStudio, RefusesToStartFromAZippedFolder) {
  const std::string zipped = dir.file("Samples.zip/Pictomira");
  ASSERT_EQ(std::system(("mkdir -p '" + zipped + "' && mv '" + dir.file("Pictomira.exe") + "' '" + zipped + "/'").c_str()), 0);
  start(zipped);
  EXPECT_TRUE(app->waitFor("ALERT 1 Folder is Zipped | Please Unzip the folder before running Pictomira.", 30000));
  EXPECT_EQ(app->wait(10000), 0);
  EXPECT_FALSE(exists(zipped + "/Demos"));
}

// The test application's window and buttons as it reports them (left, top, right, bottom).
struct Grid {
  std::array<int32_t, 4> window{};
  std::map<int, std::array<int32_t, 4>> buttons;
};

Grid readGrid(const std::string& path) {
  Grid g;
  std::istringstream in(slurp(path));
  for (std::string line; std::getline(in, line);) {
    std::array<int32_t, 4> r{};
    int n = 0;
    if (std::sscanf(line.c_str(), "WINDOW %d %d %d %d", &r[0], &r[1], &r[2], &r[3]) == 4) g.window = r;
    if (std::sscanf(line.c_str(), "BUTTON %d %d %d %d %d", &n, &r[0], &r[1], &r[2], &r[3]) == 5) g.buttons[n] = r;
  }
  return g;
}

bool inside(const std::array<int32_t, 4>& r, int32_t x, int32_t y) { return x >= r[0] && x < r[2] && y >= r[1] && y < r[3]; }

// A real capture of the tests' own Win32 application becomes a demo whose
// crop is its window and whose clicks are its buttons, each step captioned
// with the button's accessible name; the editor changes a
// wait and saves; "Simulation" writes the Windows file (and the Linux one),
// which unpacks under wine in a fresh folder and presents the captured
// frames pixel for pixel.
TEST_F(WindowsStudio, CapturesAWin32ApplicationEditsTheDemoAndSharesItForWindows) {
  // The system files of the program folder make windows wrote.
  ASSERT_EQ(::mkdir(dir.file("zPictomiraSystemFiles").c_str(), 0755), 0);
  for (const char* f : {"ZPW", "UWW", "GBA", "GBH", "UWL", "ZPL"})
    ASSERT_TRUE(writeBytes(dir.file("zPictomiraSystemFiles/") + f, bytesOf(std::string(PICTOMIRA_WINDOWS_FOLDER "/zPictomiraSystemFiles/") + f)))
        << f;
  const std::string report = dir.file("grid.txt");
  other = std::make_unique<Child>(std::vector<std::string>{"wine", PICTOMIRA_WINDOWS_TEST_APP, report, "700", "150"}, env);
  ASSERT_TRUE(other->waitFor("READY", 30000)) << "the test application did not start";
  const Grid grid = readGrid(report);
  ASSERT_EQ(grid.buttons.size(), 12u);
  start();
  ASSERT_TRUE(home(30000));
  ASSERT_TRUE(pressFor(200, 347, "Ready to Capture - Pictomira"));  // "New Demo..."
  ASSERT_TRUE(input->waitForPixel(kCapX + 200, kCapY + 90, 0xFFFFFF, 5000));
  ASSERT_TRUE(clickFor(kCapX + 200, kCapY + 100, "Capturing - Pictomira"));  // "Start Capture"
  for (int i = 0; i < 100 && slurp(dir.file("TempCapture.DMR")).empty(); ++i) sleepMs(50);
  ASSERT_FALSE(slurp(dir.file("TempCapture.DMR")).empty()) << "nothing recorded";

  // Four buttons pressed a little off their centres, held 150 ms, 700 ms apart.
  const int pressedButtons[] = {1, 7, 10, 4};
  std::vector<std::array<int32_t, 2>> pressed;
  for (int i = 0; i < 4; ++i) {
    const auto& b = grid.buttons.at(pressedButtons[i]);
    const int32_t px = (b[0] + b[2]) / 2 + 3, py = (b[1] + b[3]) / 2 + 2;
    input->move(px, py);
    sleepMs(60);
    input->button(1, true);
    sleepMs(150);
    input->button(1, false);
    pressed.push_back({px, py});
    ASSERT_TRUE(other->waitFor("PRESSED " + std::to_string(pressedButtons[i]), 5000));
    char title[60];
    std::snprintf(title, sizeof title, i == 0 ? "1 Step Captured - Pictomira" : "%d Steps Captured - Pictomira", i + 1);
    ASSERT_TRUE(titled(title));
    sleepMs(700);
  }
  // Restored as the taskbar restores it, then "Pause Capture" and "Abstract Demo...".
  Child restore({"wine", PICTOMIRA_WINDOWS_TEST_APP, "--restore", "4 Steps Captured - Pictomira"}, env);
  ASSERT_EQ(restore.wait(30000), 0);
  ASSERT_TRUE(input->waitForPixel(kCapX + 200, kCapY + 90, 0xFFFFFF, 5000));
  ASSERT_TRUE(clickFor(kCapX + 200, kCapY + 100, "Capturing - Pictomira"));  // "Pause Capture"
  ASSERT_TRUE(input->waitForPixel(kCapX + 60, kCapY + 90, 0xFFFFFF, 5000));  // "Start Over": paused
  clickAt(kCapX + 200, kCapY + 100);
  ASSERT_TRUE(titled("Ready to Abstract - Pictomira", 30000));
  ASSERT_TRUE(input->waitForPixel(kHomeX + 360, kHomeY + 569, 0xFFFFFF, 30000));
  click(360, 579);  // "The Crop is Correct"
  ASSERT_TRUE(titled("Abstracting New Demo - Pictomira"));
  ASSERT_TRUE(input->waitForPixel(kHomeX + 680, kHomeY + 226, 0xFFFFFF, 5000));
  typeInto(kHomeX + 480, kHomeY + 239, "Grid Demo");
  click(680, 239);  // "OK"
  ASSERT_TRUE(titled("Grid Demo - Pictomira", 30000));

  resetRuntime();
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  ASSERT_EQ(demoDataRead(demoFilePath("Grid Demo", ".DMD")), 1);
  char crop[DEMO_TEXT_LEN] = "";
  demoGetTextValue(gHeaderData[0], crop);
  const auto& w = grid.window;
  std::ostringstream want;
  want << w[0] << "," << w[1] << "," << w[2] - w[0] << "," << w[3] - w[1] << "\r\n";
  EXPECT_EQ(std::string(crop), want.str());  // the crop is the application's outer rectangle
  std::vector<InstrRec> clicks;
  for (int32_t i = 0; i < gInstrCount; ++i)
    if (gInstrData[i].type == INSTR_LEFT) clicks.push_back(gInstrData[i]);
  ASSERT_EQ(clicks.size(), pressed.size());
  for (size_t i = 0; i < pressed.size(); ++i) {
    SCOPED_TRACE("press " + std::to_string(i));
    const InstrRec& in = clicks[i];
    const auto& b = grid.buttons.at(pressedButtons[i]);
    EXPECT_TRUE(demoRectHolds(in, pressed[i][0], pressed[i][1]));
    // Active Accessibility names the button and gives its rectangle: the
    // step's note and its click box (right and bottom inclusive).
    char note[DEMO_TEXT_LEN] = "";
    demoGetTextValue(static_cast<int32_t>(gFrameData[in.frame].noteText), note);
    EXPECT_EQ(std::string(note), "Click \"" + std::to_string(pressedButtons[i]) + "\".");
    EXPECT_EQ((std::array<int32_t, 4>{in.v[0], in.v[1], in.v[2] + 1, in.v[3] + 1}), b);
    const int32_t cx = (in.v[0] + in.v[2]) / 2, cy = (in.v[1] + in.v[3]) / 2;
    EXPECT_TRUE(inside(b, cx, cy));
    EXPECT_LE(std::abs(cx - (b[0] + b[2]) / 2), 6);
    EXPECT_LE(std::abs(cy - (b[1] + b[3]) / 2), 6);
    for (const auto& [n, o] : grid.buttons) {
      const bool holds = demoRectHolds(in, (o[0] + o[2]) / 2, (o[1] + o[3]) / 2);
      EXPECT_TRUE(n == pressedButtons[i] || !holds) << "holds button " << n;
    }
  }
  EXPECT_FALSE(slurp(demoFile("Grid Demo", ".DMA")).empty());  // the presses' side file went with the demo
  ASSERT_EQ(gInstrData[0].type, INSTR_TIMER);  // the first frame waits before the first click

  // The editor: the first frame's wait set to 1.5 s, saved on exit.
  ASSERT_TRUE(pressFor(450, 553, "Editing 'Grid Demo' - Pictomira"));  // "Edit Demo"
  ASSERT_TRUE(input->waitForPixel(kEditX + 189, kEditY + 50, 0x767D98, 10000));
  typeInto(kEditX + 246, kEditY + 181, "1.5");  // TimerEditBox
  clickAt(kEditX + 362, kEditY + 181);          // "Set"
  clickAt(kEditX + 335, kEditY + 62);           // "Exit": unsaved edits, so the question
  ASSERT_TRUE(input->waitForPixel(kEditX + 414, kEditY + 90, 0xFFFFFF, 5000));
  ASSERT_TRUE(clickFor(kEditX + 480, kEditY + 103, "Grid Demo - Pictomira"));  // "Save and Exit"
  resetRuntime();
  ASSERT_EQ(demoDataRead(demoFilePath("Grid Demo", ".DMD")), 1);
  EXPECT_EQ(gInstrData[0].type, INSTR_TIMER);
  EXPECT_EQ(gInstrData[0].v[0], 1500);

  // "Simulation", built fast and without red boxes.
  ASSERT_TRUE(input->waitForPixel(kHomeX + 9, kHomeY + 287, 0xFFFFFF, 5000));
  ASSERT_TRUE(pressFor(900 - 70, 600 - 88 + 11, "Packaging 'Grid Demo' - Pictomira"));  // "Simulation"
  ASSERT_TRUE(input->waitForPixel(kHomeX + 424, kHomeY + 450, 0xFFFFFF, 5000));
  click(450, 382);  // "Fast Build"
  click(636, 295);  // the red boxes' check box
  click(450, 462);  // "OK"
  ASSERT_TRUE(input->waitForPixel(kHomeX + 434, kHomeY + 300, 0xFFFFFF, 60000)) << "packaging did not end";
  ASSERT_TRUE(pressFor(450, 312, "Pictomira (v151)"));
  const std::string shared = dir.path() + "/Demo_Packages/Grid Demo/Grid Demo";
  EXPECT_TRUE(exists(shared + " Linux"));
  ASSERT_TRUE(exists(shared + " Windows.exe"));

  // "HTML5" from the demo screen: a page with a picture of every frame (the
  // browser tests walk a page of the Windows program's in the browser).
  ASSERT_TRUE(pressFor(300, 365 + 12, "Grid Demo - Pictomira"));
  ASSERT_TRUE(input->waitForPixel(kHomeX + 9, kHomeY + 287, 0xFFFFFF, 5000));
  ASSERT_TRUE(pressFor(900 - 70, 600 - 58 + 11, "Exporting 'Grid Demo' as HTML5 - Pictomira"));  // "HTML5"
  ASSERT_TRUE(input->waitForPixel(kHomeX + 364, kHomeY + 540, 0xFFFFFF, 5000));
  click(390, 552);  // "OK"
  ASSERT_TRUE(input->waitForPixel(kHomeX + 424, kHomeY + 530, 0xFFFFFF, 30000)) << "the page was not written";
  ASSERT_TRUE(pressFor(450, 542, "Pictomira (v151)"));
  const std::string page = slurp(shared + ".html");
  EXPECT_NE(page.find("ID=\"mainCanvas\""), std::string::npos);
  size_t pictures = 0;
  for (size_t at = page.find("data:image/png;base64,iVBORw0KGgo"); at != std::string::npos;
       at = page.find("data:image/png;base64,iVBORw0KGgo", at + 1))
    ++pictures;
  EXPECT_GE(pictures, static_cast<size_t>(gFrameCount));
  app->kill();
  other->kill();

  // Unpacked in a fresh folder, ended on its "OK".
  TempDir fresh;
  ASSERT_TRUE(writeBytes(fresh.file("Grid Demo Windows.exe"), bytesOf(shared + " Windows.exe")));
  {
    Child unwrapper({"wine", fresh.file("Grid Demo Windows.exe")}, env);
    const int ux = wineFramedX(700), uy = wineFramedY(250);
    ASSERT_TRUE(input->waitForPixel(ux + 324, uy + 220, 0xFFFFFF, 30000)) << "no final screen";
    int status = -1;
    for (int attempt = 0; attempt < 3 && status == -1; ++attempt) {
      clickAt(ux + 350, uy + 232);
      status = unwrapper.wait(6000);
    }
    ASSERT_EQ(status, 0);
  }
  ASSERT_TRUE(exists(fresh.file("Grid Demo.exe")));

  // Presented: the frames of the first two clicks (each waiting for it) exactly as captured.
  const int32_t area[4] = {w[0], w[1], w[2] - w[0], w[3] - w[1]};
  const int kPX = (1280 - area[2]) / 2, kPY = (800 - area[3]) / 2;
  auto recorded = [&](int f) {
    std::vector<unsigned char> bgr(size_t{3} * area[2] * area[3]);
    EXPECT_GE(demoRecframeCroppedToMembuff(demoFilePath("Grid Demo", ".DMR").c_str(), gFrameData[f].imageRefA,
                                           gFrameData[f].imageRefB, area, bgr.data(), 3, 1),
              0);
    return bgr;
  };
  auto presents = [&](int f) {  // (frames that look alike are not told apart)
    const std::vector<unsigned char> want = recorded(f);
    // The window's rounded top corners show what lies behind them.
    auto corner = [&](size_t at) {
      const int32_t x = static_cast<int32_t>(at % area[2]), y = static_cast<int32_t>(at / area[2]);
      return y < 4 && (x < 4 || x >= area[2] - 4);
    };
    size_t differing = 0, first = 0;
    for (int waited = 0; waited < 10000; waited += 100, sleepMs(100)) {
      const std::vector<unsigned char> shown = input->grab(kPX, kPY, area[2], area[3]);
      differing = 0;
      for (size_t at = 0; at + 2 < want.size(); at += 3)
        if (!corner(at / 3) && std::memcmp(&shown[at], &want[at], 3) != 0 && differing++ == 0) first = at / 3;
      if (differing == 0) return true;
    }
    ADD_FAILURE() << "frame " << f << " is not shown as captured: " << differing << " pixels differ, the first at "
                  << first % area[2] << "," << first / area[2];
    return false;
  };
  Child presenter({"wine", fresh.file("Grid Demo.exe")}, env);
  ASSERT_TRUE(input->waitForPixel(wineFramedX(900) + 372, wineFramedY(600) + 360, 0xFFFFFF, 30000)) << "no Present Demo";
  clickAt(wineFramedX(900) + 450, wineFramedY(600) + 374);
  ASSERT_TRUE(presents(clicks[0].frame));
  int waits = 0;  // the frames before it look alike: their waits must pass before its click is awaited
  for (int32_t i = 0; i < gInstrCount; ++i)
    if (gInstrData[i].frame < clicks[0].frame && gInstrData[i].type == INSTR_TIMER) waits += gInstrData[i].v[0];
  sleepMs(waits + 800);
  clickAt(kPX + (clicks[0].v[0] + clicks[0].v[2]) / 2 - area[0], kPY + (clicks[0].v[1] + clicks[0].v[3]) / 2 - area[1]);
  EXPECT_TRUE(presents(clicks[1].frame));
}

}  // namespace
