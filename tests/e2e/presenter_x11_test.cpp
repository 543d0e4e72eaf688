// The built Presenter under Xvfb: packages made by the fixture builder,
// stand-alone with a set file and attached to a copy of the program; real
// input through XTest; the window judged by its pixels.
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "pal/pal.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kW = 640, kH = 400;
// The presenting window of a 640 x 400 demo, centred on the 1280 x 800 screen.
constexpr int kX = (1280 - kW) / 2, kY = (800 - kH) / 2;
// The splash window, 900 x 600, centred.
constexpr int kSplashX = (1280 - 900) / 2, kSplashY = (800 - 600) / 2;

// Frame f is one flat colour.
uint32_t colourOf(int f) { return static_cast<uint32_t>((40 + f * 30) << 16 | (90 + f * 10) << 8 | (200 - f * 20)); }

InstrRec I(char type, int32_t target, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  return InstrRec{0, target, type, {a, b, c, d}};
}

// Click A leads on, right click B jumps to 3; a mouse-over pair on C;
// X, then any key, then a timer.
PackageFixture demo() {
  PackageFixture fx;
  fx.width = kW;
  fx.height = kH;
  fx.title = "Flow Test";
  fx.frames.resize(6);
  fx.frames[0].instrs = {I('L', 1, 100, 100, 200, 150), I('R', 3, 400, 100, 500, 150)};
  fx.frames[0].note = "First step";
  fx.frames[1].instrs = {I('M', 2, 300, 200, 400, 260)};
  fx.frames[2].instrs = {I('E', 1, 300, 200, 400, 260), I('K', 3, 'X')};
  fx.frames[3].instrs = {I('K', 4, 0)};
  fx.frames[4].instrs = {I('T', 5, 800)};
  fx.row = [](int32_t f, int32_t, unsigned char* bgr) {
    const uint32_t c = colourOf(f);
    for (int x = 0; x < kW; ++x) {
      bgr[x * 3] = c & 0xFF;
      bgr[x * 3 + 1] = (c >> 8) & 0xFF;
      bgr[x * 3 + 2] = (c >> 16) & 0xFF;
    }
  };
  return fx;
}

std::vector<unsigned char> slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

class Presenter : public testing::Test {
 protected:
  void SetUp() override {
    server = std::make_unique<XServer>();
    ASSERT_TRUE(server->ok());
    input = std::make_unique<XInput>();
    program = dir.file("Pictomira_Presenter");
  }
  void TearDown() override {
    app.reset();
    input.reset();
    server.reset();
  }
  // A program folder with a copy of the Presenter, its package and a set file.
  void standAlone(const std::vector<unsigned char>& package, const std::string& setLine = ">Demo.PMP\n") {
    copyProgram({});
    ASSERT_TRUE(writeBytes(dir.file("Demo.PMP"), package));
    ASSERT_TRUE(writeBytes(dir.file("PMP_set.txt"), std::vector<unsigned char>(setLine.begin(), setLine.end())));
  }
  // The Presenter with bytes appended to its program file.
  void copyProgram(const std::vector<unsigned char>& appended) {
    std::vector<unsigned char> bytes = slurp(PICTOMIRA_PRESENTER_BIN);
    bytes.insert(bytes.end(), appended.begin(), appended.end());
    ASSERT_TRUE(writeBytes(program, bytes));
    ::chmod(program.c_str(), 0755);
  }
  void start() { app = std::make_unique<Child>(std::vector<std::string>{program}, std::vector<std::string>{"PICTOMIRA_ALERTS=stderr"}); }
  // Starts the Presenter and presents from its splash screen.
  void presentFromSplash() {
    start();
    ASSERT_TRUE(input->waitForPixel(kSplashX + 372, kSplashY + 360, 0xFFFFFF, 8000)) << "no Present Demo button";
    input->click(kSplashX + 450, kSplashY + 374);
    ASSERT_TRUE(showing(0));
  }
  bool showing(int frame, int ms = 3000) { return input->waitForPixel(kX + 630, kY + 20, colourOf(frame), ms); }
  void key(unsigned long sym, const std::vector<unsigned long>& mods = {}) {
    input->move(kX + 600, kY + 380);  // keys follow the pointer without a window manager
    sleepMs(50);
    input->key(sym, mods);
  }
  // Waits until the pointer rests at (x, y); false after ms.
  bool pointerAt(int x, int y, int ms) {
    int px = 0, py = 0;
    for (int waited = 0; waited < ms; waited += 30, sleepMs(30)) {
      input->pointer(&px, &py);
      if (px == x && py == y) return true;
    }
    ADD_FAILURE() << "the pointer rests at " << px << "," << py;
    return false;
  }

  TempDir dir;
  std::string program;
  std::unique_ptr<XServer> server;
  std::unique_ptr<XInput> input;
  std::unique_ptr<Child> app;
};

TEST(PresenterProgram, HoldsNoAttachmentMarkerOfItsOwn) {
  EXPECT_EQ(demoFindAttachedPackage(PICTOMIRA_PRESENTER_BIN), 0);
}

TEST_F(Presenter, SplashThenFramesFollowClicksMouseOversKeysAndTimers) {
  standAlone(buildPackage(demo()));
  presentFromSplash();
  EXPECT_EQ(input->pixel(kX + 100, kY + 120), 0xFF0000u);  // the click's box, solid
  EXPECT_EQ(input->pixel(kX + 320, kY + 400 - 8 - 20 + 1), 0xF4F899u);  // the note, centred at the bottom
  input->click(kX + 150, kY + 125);
  ASSERT_TRUE(showing(1));
  input->move(kX + 350, kY + 230);  // into C
  ASSERT_TRUE(showing(2));
  input->move(kX + 500, kY + 330);  // out of C
  ASSERT_TRUE(showing(1));
  input->move(kX + 350, kY + 230);
  ASSERT_TRUE(showing(2));
  input->key(XK_x);
  ASSERT_TRUE(showing(3));
  input->key(XK_q);
  ASSERT_TRUE(showing(4));
  ASSERT_TRUE(showing(5, 3000));  // after its 800 ms
  EXPECT_TRUE(input->waitForPixel(kX + 320, kY + 400 - 8 - 20 + 1, 0xF4F899, 1000));  // "End Of Demo" note
  key(XK_Left);
  ASSERT_TRUE(showing(3));  // the timer frame 4 is no step to return to
  key(XK_Left, {XK_Shift_L});
  ASSERT_TRUE(showing(0));
  input->click(kX + 450, kY + 125, 3);
  ASSERT_TRUE(showing(3));
}

TEST_F(Presenter, DisplayModeKeysAndTheStatusLine) {
  standAlone(buildPackage(demo()));
  presentFromSplash();
  key(XK_F1);
  EXPECT_TRUE(input->waitForPixel(kX + 100, kY + 120, colourOf(0), 2000));  // boxes off
  EXPECT_EQ(input->pixel(kX + 320, kY + 373), colourOf(0));                 // and the note
  key(XK_F1);
  EXPECT_TRUE(input->waitForPixel(kX + 100, kY + 120, 0xFF0000, 2000));
  key(XK_F4);
  EXPECT_TRUE(input->waitForPixel(kX + 320, kY + 373, colourOf(0), 2000));
  EXPECT_EQ(input->pixel(kX + 100, kY + 120), 0xFF0000u);
  key(XK_t, {XK_Control_L});
  EXPECT_TRUE(input->waitForPixel(kX + 7, kY + 2, 0x515655, 2000));  // the status band
  key(XK_t, {XK_Control_L});
  EXPECT_TRUE(input->waitForPixel(kX + 7, kY + 2, colourOf(0), 2000));
}

TEST_F(Presenter, TabGlidesThePointerToTheClick) {
  standAlone(buildPackage(demo()));
  presentFromSplash();
  key(XK_Tab);
  EXPECT_TRUE(pointerAt(kX + 1 + 150, kY + 125, 6000));
  EXPECT_TRUE(showing(0, 200));  // a click frame waits for the click itself
}

TEST_F(Presenter, SelfLoopGlidesOnItsOwnAndStopsWhenTheMouseMoves) {
  standAlone(buildPackage(demo()));
  presentFromSplash();
  key(XK_l, {XK_Control_L});
  ASSERT_TRUE(app->waitFor("ALERT 1 Self Loop | The demo will now self-run and loop.", 3000));
  // Two seconds after the frame appeared the pointer glides to the click...
  ASSERT_TRUE(pointerAt(kX + 151, kY + 125, 6000));
  // ...and 2.8 seconds after it the next frame follows.
  ASSERT_TRUE(showing(1, 3000));
  input->move(kX + 181, kY + 155);
  ASSERT_TRUE(app->waitFor("ALERT 0 Mouse Moved | Self-Run has been stopped", 2000));
  ASSERT_TRUE(showing(0, 2000));  // presenting again from frame 0
}

TEST_F(Presenter, CaretSetFilePresentsAtOnceWithoutBoxesOrNotes) {
  standAlone(buildPackage(demo()), "^>Demo.PMP");
  start();
  ASSERT_TRUE(showing(0, 8000));
  EXPECT_EQ(input->pixel(kX + 100, kY + 120), colourOf(0));
  EXPECT_EQ(input->pixel(kX + 320, kY + 373), colourOf(0));
  input->click(kX + 150, kY + 125);
  ASSERT_TRUE(showing(1));
}

TEST_F(Presenter, AttachedPackagePresents) {
  std::vector<unsigned char> tail = packageMarker();
  const std::vector<unsigned char> pkg = buildPackage(demo());
  tail.insert(tail.end(), pkg.begin(), pkg.end());
  copyProgram(tail);
  presentFromSplash();
  input->click(kX + 150, kY + 125);
  ASSERT_TRUE(showing(1));
}

TEST_F(Presenter, FullScreenEnlargesToTheWorkArea) {
  standAlone(buildPackage(demo()));
  start();
  ASSERT_TRUE(input->waitForPixel(kSplashX + 797, kSplashY + 532, 0xFFFFFF, 8000));
  input->click(kSplashX + 840, kSplashY + 540);
  // 640 x 400 at scale 2000 fills the 1280 x 800 screen.
  ASSERT_TRUE(input->waitForPixel(1270, 790, colourOf(0), 3000));
  EXPECT_EQ(input->pixel(202, 230), 0xFF0000u);  // the box's left edge at x 100, doubled
  input->click(300, 250);
  EXPECT_TRUE(input->waitForPixel(1270, 790, colourOf(1), 3000));
}

TEST_F(Presenter, HelpScreenAndBackAndEscapeEnds) {
  standAlone(buildPackage(demo()));
  start();
  ASSERT_TRUE(input->waitForPixel(kSplashX + 417, kSplashY + 420, 0xFFFFFF, 8000));
  input->click(kSplashX + 450, kSplashY + 434);  // Help
  ASSERT_TRUE(input->waitForPixel(kSplashX + 432, kSplashY + 490, 0xFFFFFF, 3000));  // its OK button
  EXPECT_EQ(input->pixel(kSplashX + 102, kSplashY + 80), 0x3D455Cu);
  input->move(kSplashX + 50, kSplashY + 50);
  input->key(XK_Escape);
  ASSERT_TRUE(input->waitForPixel(kSplashX + 372, kSplashY + 360, 0xFFFFFF, 3000));  // the splash again
  input->key(XK_Escape);
  EXPECT_EQ(app->wait(3000), 0);
}

TEST_F(Presenter, CancelEndsNormally) {
  standAlone(buildPackage(demo()));
  start();
  ASSERT_TRUE(input->waitForPixel(kSplashX + 422, kSplashY + 575, 0xFFFFFF, 8000));
  input->click(kSplashX + 450, kSplashY + 585);
  EXPECT_EQ(app->wait(3000), 0);
}

TEST_F(Presenter, BadPackagesEndWithTheirAlerts) {
  struct Case {
    std::vector<unsigned char> package;
    std::string setLine, alert;
  };
  std::vector<unsigned char> badMagic = buildPackage(demo());
  badMagic[3] = 'X';
  std::vector<unsigned char> cut = buildPackage(demo());
  cut.resize(cut.size() - 20);
  const std::vector<Case> cases = {
      {buildPackage(demo()), ">Missing.PMP", "ALERT 1 Fatal | Pictomira Presenter cannot find a Package at '" +
                                                 dir.file("Missing.PMP") + "'"},
      {badMagic, ">Demo.PMP", "ALERT 1 Fatal | Bad Package format in '" + dir.file("Demo.PMP") + "'"},
      {cut, ">Demo.PMP", "ALERT 1 Fatal Err015 | Could not read package: " + dir.file("Demo.PMP")}};
  for (const Case& c : cases) {
    standAlone(c.package, c.setLine);
    start();
    EXPECT_TRUE(app->waitFor(c.alert, 5000)) << c.alert;
    EXPECT_EQ(app->wait(3000), 1);
  }
  std::remove(dir.file("PMP_set.txt").c_str());  // the program alone reads its own start as the magic
  copyProgram({});
  start();
  EXPECT_TRUE(app->waitFor("ALERT 1 Fatal | Bad Package format in '" + program + "'", 5000));
  EXPECT_EQ(app->wait(3000), 1);
}

}  // namespace
