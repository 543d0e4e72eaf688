// "Paste" in the built authoring program under Xvfb: two demos written by
// the fixture builder, the paste chosen on the demo management screen and
// filled in on its form through real XTest input, and the new demo
// presented and judged frame by frame by its pixels.
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/studio_session.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <filesystem>

#include <string>

namespace {

constexpr int kX = 190, kY = 100;  // the 900 x 600 screens centred on 1280 x 800
constexpr int kW = 640, kH = 400;  // the crop, presented as recorded and centred
constexpr int kPX = (1280 - kW) / 2, kPY = (800 - kH) / 2;

uint32_t colourOf(int d, int f) { return static_cast<uint32_t>((40 + d * 100) << 16 | (30 + f * 60) << 8 | (200 - f * 50)); }

// Three frames of one colour each, cropped 640 x 400 out of 800 x 600 at (80, 100);
// every frame waits for a click on frame pixels 20..120 x 20..60.
DemoFixture demo(int d, int64_t mtime) {
  DemoFixture fx;
  fx.screenW = 800;
  fx.screenH = 600;
  const int32_t crop[4] = {80, 100, kW, kH};
  std::copy(crop, crop + 4, fx.crop);
  fx.frames.resize(3);
  for (auto& f : fx.frames) f.instrs = {InstrRec{0, -1, 'L', {100, 120, 200, 160}}};
  fx.row = [d](int32_t f, int32_t, unsigned char* bgr) { solidRow(colourOf(d, f), 800, bgr); };
  fx.mtime = mtime;
  return fx;
}

class PasteScreens : public StudioSession {};

TEST_F(PasteScreens, PasteThroughTheFormMakesADemoThatPresentsItsFramesInOrder) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Receiver", demo(0, 1600000200)));
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Giver", demo(1, 1600000100)));
  start();
  ASSERT_TRUE(titled("Pictomira (v151)"));
  ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));  // "New Demo..."
  clickAt(kX + 742, kY + 365 + 12);                                     // the first row's ">": Receiver
  clickAt(kX + 665, kY + 403);  // "Paste"
  clickAt(kX + 450, kY + 140 + 26 + 12);  // the second demo of the choice: Giver
  typeInto(kX + 270, kY + 209, "1");      // from Frame
  typeInto(kX + 490, kY + 209, "2");      // to Frame
  typeInto(kX + 310, kY + 349, "0");      // following Frame
  typeInto(kX + 400, kY + 429, "Joined");
  clickAt(kX + 360, kY + 512);  // "Paste"
  // Home again, with the new demo newest.
  ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 10000));
  clickAt(kX + 300, kY + 365 + 12);
  ASSERT_TRUE(titled("Joined - Pictomira"));
  ASSERT_TRUE(input->waitForPixel(kX + 9, kY + 287, 0xFFFFFF, 5000));  // the demo screen drawn
  clickAt(kX + 450, kY + 300 + 150 + 12);  // "Present the Demo"
  ASSERT_TRUE(titled("Joined - Pictomira"));  // the presenting window
  const uint32_t order[] = {colourOf(0, 0), colourOf(1, 1), colourOf(1, 2), colourOf(0, 1), colourOf(0, 2)};
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(input->waitForPixel(kPX + 300, kPY + 300, order[i], 5000));
    EXPECT_EQ(input->pixel(kPX, kPY), order[i]);
    EXPECT_EQ(input->pixel(kPX + kW - 1, kPY + kH - 1), order[i]);
    if (i < 4) clickAt(kPX + 70, kPY + 40);
  }
}

// Frames of 800 x 600 that are each a key record of their own colour: a
// paste of a few hundred of them takes the worker seconds.
DemoFixture bigDemo(int d, int frames, int64_t mtime) {
  DemoFixture fx = demo(d, mtime);
  fx.keyEvery = 1;
  fx.frames.resize(static_cast<size_t>(frames));
  for (auto& f : fx.frames) f.instrs = {InstrRec{0, -1, 'L', {100, 120, 200, 160}}};
  fx.row = [d](int32_t f, int32_t, unsigned char* bgr) {
    solidRow(static_cast<uint32_t>((40 + d * 100) << 16 | (f & 0xFF) << 8 | ((f * 7) & 0xFF)), 800, bgr);
  };
  return fx;
}

// Closing the window while a paste runs: the program ends at once and
// cleanly, nothing of the paste stays, and the next start lists the library
// as before and pastes under the same name.
TEST_F(PasteScreens, ClosingTheWindowDuringAPasteLeavesNothingBehind) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Receiver", bigDemo(0, 200, 1600000200)));
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Giver", bigDemo(1, 200, 1600000100)));
  start();
  ASSERT_TRUE(titled("Pictomira (v151)"));
  ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));  // "New Demo..."
  const std::vector<std::string> before = listing();
  const auto paste = [&](const char* to) {
    clickAt(kX + 742, kY + 365 + 12);       // the first row's ">": Receiver
    clickAt(kX + 665, kY + 403);            // "Paste"
    clickAt(kX + 450, kY + 140 + 26 + 12);  // Giver
    typeInto(kX + 270, kY + 209, "0");
    typeInto(kX + 490, kY + 209, to);
    typeInto(kX + 310, kY + 349, "0");
    typeInto(kX + 400, kY + 429, "Joined");
    clickAt(kX + 360, kY + 512);  // "Paste"
  };
  paste("199");
  const std::string building = dir.file("Demos/.Joined.pasting/.Joined.pasting.DMR");
  std::error_code error;
  bool running = false;
  for (int waited = 0; waited < 10000 && !running; waited += 20, sleepMs(20))
    running = std::filesystem::file_size(building, error) > 0 && !error;
  ASSERT_TRUE(running) << "the paste did not start";
  closeAndExpectCleanEnd("Pictomira (v151)", 5000);
  EXPECT_EQ(listing(), before);

  start();
  ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));
  EXPECT_EQ(listing(), before);
  paste("0");
  ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 20000));  // home again
  for (const char* ext : {".DMW", ".DMD", ".DMR"})
    EXPECT_TRUE(std::filesystem::exists(dir.file("Demos/Joined/Joined") + ext));
}

// Control + P on the demo management screen opens the choice of the demo
// to paste from, also while an edit box has the focus.
TEST_F(PasteScreens, ControlPOpensTheChoiceWhileAnEditBoxHasTheFocus) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Receiver", demo(0, 1600000200)));
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Giver", demo(1, 1600000100)));
  start();
  ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));
  clickAt(kX + 742, kY + 365 + 12);
  ASSERT_TRUE(input->waitForPixel(kX + 609, kY + 238, 0xFFFFFF, 3000));  // the "Copy" button
  typeInto(kX + 300, kY + 249, "Half typed");
  input->key(XK_p, {XK_Control_L});
  // The second row of the choice lies where the management screen has the gap between two bands.
  EXPECT_TRUE(input->waitForPixel(kX + 160, kY + 185, 0x4A5470, 3000));
}

}  // namespace
