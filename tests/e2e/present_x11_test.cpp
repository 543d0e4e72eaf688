// "Present the Demo" in the built authoring program under Xvfb: a demo
// written by the fixture builder, opened from the home screen, presented in
// a window of its own through real XTest input and judged by its pixels;
// Esc brings the demo screen back.
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// The 900 x 600 home and demo windows centred on the 1280 x 800 screen.
constexpr int kX = 190, kY = 100;
// The presenting window: the 640 x 400 crop as recorded (it fits the screen), centred.
constexpr int kW = 640, kH = 400;
constexpr int kPX = (1280 - kW) / 2, kPY = (800 - kH) / 2;

uint32_t colourOf(int f) { return static_cast<uint32_t>((30 + f * 70) << 16 | (150 - f * 40) << 8 | (60 + f * 50)); }

// Three frames of one colour each, cropped 640 x 400 out of 800 x 600 at
// (80, 100); frames 0 and 1 wait for a click on frame pixels 20..120 x 20..60.
DemoFixture presentDemo() {
  DemoFixture fx;
  fx.screenW = 800;
  fx.screenH = 600;
  const int32_t crop[4] = {80, 100, kW, kH};
  std::copy(crop, crop + 4, fx.crop);
  fx.frames.resize(3);
  for (int f = 0; f < 2; ++f) fx.frames[static_cast<size_t>(f)].instrs = {InstrRec{0, -1, 'L', {100, 120, 200, 160}}};
  fx.row = [](int32_t f, int32_t, unsigned char* bgr) {
    const uint32_t c = colourOf(f);
    for (int x = 0; x < 800; ++x) {
      bgr[x * 3] = c & 0xFF;
      bgr[x * 3 + 1] = (c >> 8) & 0xFF;
      bgr[x * 3 + 2] = (c >> 16) & 0xFF;
    }
  };
  return fx;
}

std::string titles() {
  std::string out;
  if (std::FILE* p = popen("xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null", "r")) {
    char line[400];
    while (std::fgets(line, sizeof line, p)) out += line;
    pclose(p);
  }
  return out;
}

class Present : public testing::Test {
 protected:
  void SetUp() override {
    server = std::make_unique<XServer>();
    ASSERT_TRUE(server->ok());
    input = std::make_unique<XInput>();
    ASSERT_TRUE(installProgram(PICTOMIRA_STUDIO_BIN, dir, "Pictomira"));
  }
  void TearDown() override {
    if (HasFailure() && app) app->report();
    app.reset();
    input.reset();
    server.reset();
  }
  bool titled(const std::string& title, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 50, sleepMs(50))
      if (titles().find(title + "\n") != std::string::npos) return true;
    ADD_FAILURE() << "no window titled '" << title << "' among:\n" << titles();
    return false;
  }
  // Clicks at root point (x, y) after resting the pointer there.
  void clickRoot(int x, int y) {
    input->move(x, y);
    sleepMs(40);
    input->click(x, y);
  }
  // The demo screen, told by its title and its "<< Back to Home " button.
  bool demoScreen() { return titled("Show - Pictomira") && input->waitForPixel(kX + 9, kY + 287, 0xFFFFFF, 5000); }

  TempDir dir;
  std::unique_ptr<XServer> server;
  std::unique_ptr<XInput> input;
  std::unique_ptr<Child> app;
};

TEST_F(Present, PresentTheDemoFillsItsWindowFollowsClicksAndEscapeReturnsToTheDemoScreen) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Show", presentDemo()));
  app = std::make_unique<Child>(std::vector<std::string>{dir.file("Pictomira")},
                                std::vector<std::string>{"PICTOMIRA_ALERTS=stderr"});
  ASSERT_TRUE(titled("Pictomira (v151)"));
  ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));  // "New Demo..."
  clickRoot(kX + 300, kY + 365 + 12);                                     // the library's first row
  ASSERT_TRUE(demoScreen());
  clickRoot(kX + 450, kY + 300 + 150 + 12);  // "Present the Demo"
  ASSERT_TRUE(titled("Presenting 'Show' - Pictomira"));
  // Frame 0 from corner to corner, with its click's red box.
  ASSERT_TRUE(input->waitForPixel(kPX + 300, kPY + 300, colourOf(0), 5000));
  EXPECT_EQ(input->pixel(kPX, kPY), colourOf(0));
  EXPECT_EQ(input->pixel(kPX + kW - 1, kPY + kH - 1), colourOf(0));
  EXPECT_EQ(input->pixel(kPX + 20, kPY + 20), 0xFF0000u);
  EXPECT_EQ(input->pixel(kPX + 120, kPY + 60), 0xFF0000u);
  EXPECT_EQ(input->pixel(kPX + 70, kPY + 40), colourOf(0));
  clickRoot(kPX + 70, kPY + 40);  // inside the box
  EXPECT_TRUE(input->waitForPixel(kPX + 300, kPY + 300, colourOf(1), 3000));
  EXPECT_EQ(input->pixel(kPX, kPY), colourOf(1));
  input->key(XK_Escape);
  ASSERT_TRUE(demoScreen());
  EXPECT_EQ(titles().find("Presenting"), std::string::npos);
  EXPECT_EQ(app->wait(0), -1);  // still running
}

}  // namespace
