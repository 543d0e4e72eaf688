// The Windows Presenter (the cross-built system file "ZPW") under wine on
// the tests' own Xvfb (and the unwrapper "UWW" closed while it works), with a wine prefix of the tests' own: a package of
// the fixture builder through "PMP_set.txt" and attached to a copy of the
// program; real input through XTest; the window judged by its pixels.
// Frames are compared unscaled: wine's halftone stretching does not
// average when shrinking as Windows does.
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/studio_session.h"
#include "tests/support/wine_prefix.h"
#include "tests/support/wrap_builder.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kW = 640, kH = 400;
// The splash's drawing area.
constexpr int kSplashW = 900, kSplashH = 600;

uint32_t colourOf(int f) { return static_cast<uint32_t>((40 + f * 30) << 16 | (90 + f * 10) << 8 | (200 - f * 20)); }

InstrRec I(char type, int32_t target, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  return InstrRec{0, target, type, {a, b, c, d}};
}

// Click A leads on; X leads on; a timer ends the demo.
PackageFixture demo() {
  PackageFixture fx;
  fx.width = kW;
  fx.height = kH;
  fx.title = "Wine Flow";
  fx.frames.resize(4);
  fx.frames[0].instrs = {I('L', 1, 100, 100, 200, 150)};
  fx.frames[1].instrs = {I('K', 2, 'X')};
  fx.frames[2].instrs = {I('T', 3, 600)};
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < kW; ++x) {
      // Frame 0 carries a pattern that a shifted or scaled copy would not match.
      const uint32_t c = f == 0 ? static_cast<uint32_t>((x * 7) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | ((x ^ y) & 0xFF)
                                : colourOf(f);
      bgr[x * 3] = c & 0xFF, bgr[x * 3 + 1] = (c >> 8) & 0xFF, bgr[x * 3 + 2] = (c >> 16) & 0xFF;
    }
  };
  return fx;
}

std::vector<unsigned char> slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// The splash's drawing area within wine's frame; the presenting window has
// no frame and is centred as it is.
constexpr int kSplashX = wineFramedX(kSplashW), kSplashY = wineFramedY(kSplashH);
constexpr int kX = (1280 - kW) / 2, kY = (800 - kH) / 2;

class WindowsPresenter : public testing::Test {
 protected:
  static void SetUpTestSuite() { server = new XServer(); }
  static void TearDownTestSuite() {
    delete prefix;
    prefix = nullptr;
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(server->ok());
    if (prefix == nullptr) prefix = new WinePrefix();
    ASSERT_TRUE(prefix->make()) << "wine could not make its prefix";
    input = std::make_unique<XInput>();
    program = dir.file("Demo Presenter.exe");
  }
  void TearDown() override {
    if (app) app->kill();
    app.reset();
    input.reset();
  }
  void copyProgram(const std::vector<unsigned char>& appended) {
    std::vector<unsigned char> bytes = slurp(PICTOMIRA_WINDOWS_SYSTEM_FILES "/ZPW");
    ASSERT_GT(bytes.size(), 100000u) << "the Windows Presenter was not built (make windows)";
    bytes.insert(bytes.end(), appended.begin(), appended.end());
    ASSERT_TRUE(writeBytes(program, bytes));
  }
  void standAlone(const std::vector<unsigned char>& package, const std::string& setLine = ">Demo.PMP\r\n") {
    copyProgram({});
    ASSERT_TRUE(writeBytes(dir.file("Demo.PMP"), package));
    ASSERT_TRUE(writeBytes(dir.file("PMP_set.txt"), std::vector<unsigned char>(setLine.begin(), setLine.end())));
  }
  void start() {
    std::vector<std::string> env = prefix->env();
    env.push_back("PICTOMIRA_ALERTS=stderr");
    app = std::make_unique<Child>(std::vector<std::string>{"wine", program}, env);
  }
  // Clicks (x, y) until pixel (px, py) has colour: under load wine may
  // still be drawing when the first click comes, and drop it.
  bool clickUntil(int x, int y, int px, int py, uint32_t colour) {
    for (int attempt = 0; attempt < 4; ++attempt) {
      input->move(x, y);
      sleepMs(40);
      input->click(x, y);
      if (input->waitForPixel(px, py, colour, 5000)) return true;
    }
    return false;
  }
  bool showing(int frame, int ms = 5000) { return input->waitForPixel(kX + 630, kY + 20, colourOf(frame), ms); }

  static XServer* server;
  static WinePrefix* prefix;
  TempDir dir;
  std::string program;
  std::unique_ptr<XInput> input;
  std::unique_ptr<Child> app;
};
XServer* WindowsPresenter::server = nullptr;
WinePrefix* WindowsPresenter::prefix = nullptr;

TEST(WindowsPresenterProgram, HoldsNoAttachmentMarkerOfItsOwn) {
  EXPECT_EQ(demoFindAttachedPackage(PICTOMIRA_WINDOWS_SYSTEM_FILES "/ZPW"), 0);
  EXPECT_EQ(demoFindAttachedPackage(PICTOMIRA_WINDOWS_SYSTEM_FILES "/UWW"), 0);
}

// The splash, "Present Demo", frame 0 pixel for pixel, a click, a key and a
// timer, then Escape ends with status 0; through the set file, then with
// the package attached to the program.
TEST_F(WindowsPresenter, PresentsThroughTheSetFileAndAttached) {
  const PackageFixture fx = demo();
  const std::vector<unsigned char> package = buildPackage(fx);
  std::vector<unsigned char> attached = packageMarker();
  attached.insert(attached.end(), package.begin(), package.end());
  for (const bool viaSetFile : {true, false}) {
    SCOPED_TRACE(viaSetFile ? "set file" : "attached");
    if (viaSetFile) {
      standAlone(package);
    } else {
      std::remove(dir.file("PMP_set.txt").c_str());
      copyProgram(attached);
    }
    start();
    ASSERT_TRUE(input->waitForPixel(kSplashX + 372, kSplashY + 360, 0xFFFFFF, 30000)) << "no Present Demo button";
    // Frame 0 pixel for pixel, away from the click's red box.
    ASSERT_TRUE(clickUntil(kSplashX + 450, kSplashY + 374, kX + 630, kY + 20,
                           static_cast<uint32_t>((630 * 7) & 0xFF) << 16 | (20 * 5) << 8 | ((630 ^ 20) & 0xFF)));
    const std::vector<unsigned char> shown = input->grab(kX, kY, kW, kH);
    std::vector<unsigned char> row(kW * 3);
    int differing = 0;
    for (int y = 0; y < kH; ++y) {
      fx.row(0, y, row.data());
      for (int x = 0; x < kW; ++x) {
        if (x >= 90 && x <= 210 && y >= 90 && y <= 160) continue;  // the red box
        differing += std::memcmp(&shown[(y * kW + x) * 3], &row[x * 3], 3) != 0;
      }
    }
    EXPECT_EQ(differing, 0);
    ASSERT_TRUE(clickUntil(kX + 150, kY + 125, kX + 630, kY + 20, colourOf(1)));
    input->move(kX + 600, kY + 380);
    input->key(XK_x);
    ASSERT_TRUE(showing(2));
    ASSERT_TRUE(showing(3));  // after its 600 ms
    input->key(XK_Escape);
    EXPECT_EQ(app->wait(10000), 0);
  }
}

// A package that cannot be read ends with its alert, naming it by its
// Windows path, and status 1.
TEST_F(WindowsPresenter, BadPackageEndsWithItsAlert) {
  std::vector<unsigned char> badMagic = buildPackage(demo());
  badMagic[3] = 'X';
  standAlone(badMagic);
  start();
  std::string line;
  EXPECT_TRUE(app->waitFor("ALERT 1 Fatal | Bad Package format in '", 30000, &line)) << line;
  // One path in Windows' own spelling.
  EXPECT_NE(line.find("\\Demo.PMP'"), std::string::npos) << line;
  EXPECT_EQ(line.find('/'), std::string::npos) << line;
  EXPECT_EQ(app->wait(10000), 1);
}

// Closing the unwrapper's window while it writes leaves nothing behind:
// neither the output nor the hidden file it was being written to, which
// the worker still holds open. The demo is large enough (560 MB unwrapped)
// for the window to come up well before the work ends.
TEST_F(WindowsPresenter, TheUnwrapperClosedWhileItWorksLeavesNothingBehind) {
  constexpr int32_t kBigW = 1920, kBigH = 1080, kBigFrames = 150;
  PackageFixture big;
  big.width = kBigW;
  big.height = kBigH;
  big.title = "Big";
  big.frames.resize(kBigFrames);
  for (int f = 0; f + 1 < kBigFrames; ++f) big.frames[f].instrs = {I('T', f + 1, 500)};
  big.row = [](int32_t f, int32_t y, unsigned char* bgr) {  // every row differs from all others in one pixel
    std::memset(bgr, 128, kBigW * 3);
    unsigned char* p = bgr + (y % kBigW) * 3;
    p[0] = static_cast<unsigned char>(f), p[1] = static_cast<unsigned char>(y >> 8), p[2] = y & 0xFF;
  };
  WrapParts parts;
  parts.program = slurp(PICTOMIRA_WINDOWS_SYSTEM_FILES "/UWW");
  parts.pieces = packagePieces(buildPackage(big), kBigW);
  parts.pieces.push_back(slurp(PICTOMIRA_WINDOWS_SYSTEM_FILES "/ZPW"));
  parts.width = kBigW;
  parts.height = kBigH;
  parts.name = "Big";
  program = dir.file("Big Windows.exe");
  ASSERT_TRUE(writeBytes(program, buildWrapped(parts)));
  big = {};
  parts = {};

  start();
  // The far end of the progress bar's track is still empty.
  const int ux = wineFramedX(700), uy = wineFramedY(250);
  ASSERT_TRUE(input->waitForPixel(ux + 656, uy + 200, 0x282F3E, 30000)) << "no progress screen";
  input->move(ux + 350, uy + 60);
  input->click(ux + 350, uy + 60);
  input->key(XK_F4, {XK_Alt_L});
  EXPECT_EQ(app->wait(10000), 0);
  std::vector<std::string> left;
  if (DIR* d = opendir(dir.path().c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.' || (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0))
        left.push_back(e->d_name);
    closedir(d);
  }
  EXPECT_EQ(left, std::vector<std::string>{"Big Windows.exe"}) << "Big.exe present: the work ended before the close";
}

// The Win32 layer's view of the screen under wine, through its probe: the
// capture reads the X server's pixels (a Linux window's too), the
// foreground window is another wine program's (never the desktop),
// synthetic clicks and the press counter's hook reach wine's windows (wine
// sees no presses on other X clients' windows: those are left out), and
// the clipboard goes between it and a Linux program both ways.
TEST_F(WindowsPresenter, TheWin32LayerCapturesFindsTheForegroundClicksCountsPressesAndSharesTheClipboard) {
  const std::string probe = PICTOMIRA_WINDOWS_PROBE;
  if (slurp(probe).empty()) GTEST_SKIP() << "no Windows probe: the Windows files were not built";
  // The probe's line starting with want, without the console's carriage return.
  auto lineOf = [](Child& c, const std::string& want) {
    std::string line;
    if (!c.waitFor(want, 30000, &line)) return std::string();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  };
  auto ask = [&](std::vector<std::string> args, const std::string& want) {
    args.insert(args.begin(), {"wine", probe});
    Child q(args, prefix->env());
    return lineOf(q, want);
  };
  Child native({builtProgram("pal_probe"), "--kind", "15", "--at", "100", "100"}, {"PICTOMIRA_ALERTS=stderr"});
  ASSERT_TRUE(input->waitForPixel(110, 110, 0x2050A0, 5000));
  EXPECT_EQ(ask({"--capture", "1280", "800", "110", "110"}, "CAPTURE"), "CAPTURE 1 160 80 32");  // blue, green, red
  EXPECT_EQ(ask({"--capture", "1000", "800", "0", "0"}, "CAPTURE"), "CAPTURE -1 -1 -1 -1");     // not the screen's size
  EXPECT_EQ(ask({"--foreground"}, "FG"), "FG 0 0 0 0 KIND 0");  // only wine's desktop and a Linux window

  Child windows({"wine", probe, "--kind", "15", "--at", "600", "300"}, prefix->env());
  ASSERT_TRUE(input->waitForPixel(610, 310, 0x2050A0, 30000)) << "the Windows probe's window did not show";
  EXPECT_EQ(ask({"--foreground"}, "FG"), "FG 600 300 1000 600 KIND 1");
  EXPECT_EQ(ask({"--click", "630", "350"}, "CLICKED"), "CLICKED 630 350");
  EXPECT_EQ(lineOf(windows, "EV 101"), "EV 101 30 50 0 Button");

  Child counter({"wine", probe, "--presses", "3000"}, prefix->env());
  ASSERT_TRUE(counter.waitFor("COUNTING", 30000));
  input->click(700, 400);     // the Windows probe: counted
  input->click(700, 420, 3);  // its right button: counted
  input->click(300, 250);     // the Linux window: wine does not see it
  EXPECT_EQ(lineOf(counter, "PRESSES"), "PRESSES 2");

  // The clipboard between a Windows program and a Linux one, both ways.
  Child windowsPut({"wine", probe, "--kind", "15", "--at", "0", "500", "--clip-put", "from windows"}, prefix->env());
  ASSERT_TRUE(input->waitForPixel(10, 510, 0x2050A0, 30000));
  sleepMs(300);
  Child linuxGet({builtProgram("pal_probe"), "--kind", "15", "--at", "880", "0", "--clip-get"}, {});
  EXPECT_EQ(lineOf(linuxGet, "CLIP"), "CLIP from windows");
  Child linuxPut({builtProgram("pal_probe"), "--kind", "15", "--at", "880", "400", "--clip-put", "from linux"}, {});
  ASSERT_TRUE(input->waitForPixel(890, 410, 0x2050A0, 5000));
  sleepMs(300);
  EXPECT_EQ(ask({"--kind", "15", "--at", "440", "500", "--clip-get"}, "CLIP"), "CLIP from linux");

  // A window over the whole screen is reported as maximised, as on Linux.
  Child whole({"wine", probe, "--kind", "15", "--at", "0", "0", "--size", "1280", "800"}, prefix->env());
  ASSERT_TRUE(input->waitForPixel(1270, 790, 0x2050A0, 30000));
  EXPECT_EQ(ask({"--foreground"}, "FG"), "FG 0 0 1280 800 KIND 2");
}

}  // namespace
