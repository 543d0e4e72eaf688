// "Present the Demo" in the built authoring program under Xvfb: a demo
// written by the fixture builder, opened from the home screen, presented in
// a window of its own through real XTest input and judged by its pixels;
// Esc brings the demo screen back.
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/studio_session.h"
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
  fx.row = [](int32_t f, int32_t, unsigned char* bgr) { solidRow(colourOf(f), 800, bgr); };
  return fx;
}

class Present : public StudioSession {
 protected:
  // The demo screen, told by its title and its "<< Back to Home " button.
  bool demoScreen() { return titled("Show - Pictomira") && input->waitForPixel(kX + 9, kY + 287, 0xFFFFFF, 5000); }
};

TEST_F(Present, PresentTheDemoFillsItsWindowFollowsClicksAndEscapeReturnsToTheDemoScreen) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Show", presentDemo()));
  start();
  ASSERT_TRUE(titled("Pictomira (v151)"));
  ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));  // "New Demo..."
  clickAt(kX + 300, kY + 365 + 12);                                     // the library's first row
  ASSERT_TRUE(demoScreen());
  clickAt(kX + 450, kY + 300 + 150 + 12);  // "Present the Demo"
  // Frame 0 from corner to corner, with its click's red box, in a borderless
  // window named after the demo.
  ASSERT_TRUE(input->waitForPixel(kPX + 300, kPY + 300, colourOf(0), 5000));
  int ox = -1, oy = -1;
  EXPECT_TRUE(input->origin(input->findWindow("Show - Pictomira"), &ox, &oy));
  EXPECT_EQ(ox, kPX);
  EXPECT_EQ(oy, kPY);
  EXPECT_EQ(input->pixel(kPX, kPY), colourOf(0));
  EXPECT_EQ(input->pixel(kPX + kW - 1, kPY + kH - 1), colourOf(0));
  EXPECT_EQ(input->pixel(kPX + 20, kPY + 20), 0xFF0000u);
  EXPECT_EQ(input->pixel(kPX + 120, kPY + 60), 0xFF0000u);
  EXPECT_EQ(input->pixel(kPX + 70, kPY + 40), colourOf(0));
  clickAt(kPX + 70, kPY + 40);  // inside the box
  EXPECT_TRUE(input->waitForPixel(kPX + 300, kPY + 300, colourOf(1), 3000));
  EXPECT_EQ(input->pixel(kPX, kPY), colourOf(1));
  input->key(XK_Escape);
  ASSERT_TRUE(demoScreen());
  EXPECT_EQ(windowTitles(), "Show - Pictomira\n");  // the presenting window is gone
  EXPECT_EQ(app->wait(0), -1);  // still running
}

}  // namespace
