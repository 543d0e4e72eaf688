// The presenting screen without a window: frame loading, its history rules,
// the status texts and the display-mode keys, on packages built for the test.
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "demo/demo_scale.h"
#include "pal/pal.h"
#include "presenter/presenter.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Frame f is one flat colour: red f * 20, green 100, blue 200 - f.
uint32_t colourOf(int f) { return static_cast<uint32_t>((f * 20) << 16 | 100 << 8 | (200 - f)); }

class Present : public testing::Test {
 protected:
  void SetUp() override { resetRuntime(); }
  void TearDown() override { resetRuntime(); }

  // A demo of n flat frames of 40 x 30; instrs[f] are frame f's instructions.
  void load(int n, const std::vector<std::vector<InstrRec>>& instrs, uint32_t home = 0, uint32_t redBoxes = 1) {
    PackageFixture fx;
    fx.width = 40;
    fx.height = 30;
    fx.homeFrame = home;
    fx.redBoxMode = redBoxes;
    fx.frames.resize(n);
    for (int f = 0; f < n && f < static_cast<int>(instrs.size()); ++f) fx.frames[f].instrs = instrs[f];
    fx.row = [](int32_t f, int32_t, unsigned char* bgr) {
      for (int x = 0; x < 40; ++x) {
        bgr[x * 3] = static_cast<unsigned char>(200 - f);
        bgr[x * 3 + 1] = 100;
        bgr[x * 3 + 2] = static_cast<unsigned char>(f * 20);
      }
    };
    ASSERT_TRUE(loadPackageWithSetFile(dir, "D.PMP", buildPackage(fx), ">D.PMP"));
    pal_InitWinBuf(0, 40, 30);
    event(PAL_EV_START);
  }
  int event(int32_t code, int32_t a = 0, int32_t b = 0, int32_t c = 0) {
    int32_t ev[4] = {code, a, b, c};
    char name[PAL_NAME_LEN] = "";
    return runDemoHandler(ev, name);
  }
  int key(int32_t vk, int32_t modifier = 0, int32_t character = 0) { return event(PAL_EV_KEY, character, modifier, vk); }
  std::string status(int32_t frame) {
    demoLoadFrameInstructionsToMemory(frame);
    char text[120];
    presenterStatusText(frame, text, sizeof text);
    return text;
  }
  static InstrRec I(char type, int32_t target, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
    return InstrRec{0, target, type, {a, b, c, d}};
  }
  TempDir dir;
};

TEST_F(Present, StartShowsFrameZeroInTheWindowBuffer) {
  load(3, {{I('L', 1, 5, 5, 15, 15)}});
  EXPECT_EQ(gCurrShownFrame, 0);
  EXPECT_EQ(pixelColour(0, 30, 25), colourOf(0));
  EXPECT_EQ(pixelColour(0, 5, 5), 0xFF0000u);  // the click's red box
  EXPECT_EQ(event(PAL_EV_PRESS, 10, 10), PAL_SHOW);
  EXPECT_EQ(gCurrShownFrame, 1);
  EXPECT_EQ(pixelColour(0, 30, 25), colourOf(1));
  EXPECT_EQ(event(PAL_EV_PRESS, 10, 10), PAL_NOTHING);  // frame 1 has no click
  EXPECT_EQ(event(PAL_EV_RELEASE, 10, 10), PAL_NOTHING);
}

TEST_F(Present, StatusTexts) {
  load(12, {{I('K', 1, 65)}, {I('K', 2, 0)}, {I('T', 3, 1500)}, {I('L', 4)}, {I('M', 5)}, {I('R', 6)},
            {I('U', 7)}, {I('E', 8)}, {}, {I('L', 10)}, {}});
  EXPECT_EQ(status(0), "Frame: '0' - Waiting for Key Press: 65");
  EXPECT_EQ(status(1), "Frame: '1' - Waiting for Any Key Press");
  EXPECT_EQ(status(2), "Frame: '2' - Waiting 1.50 Seconds");
  EXPECT_EQ(status(3), "Frame: '3' - Waiting for Click");
  EXPECT_EQ(status(4), "Frame: '4' - Waiting for Mouseover");
  EXPECT_EQ(status(5), "Frame: '5' - Waiting for RightClick");
  EXPECT_EQ(status(6), "Frame: '6' - Waiting for UpClick");
  EXPECT_EQ(status(7), "Frame: '7' - Waiting for Mouse Out");
  EXPECT_EQ(status(8), "Frame: 8");
  EXPECT_EQ(status(11), "Frame: '11' - End of Demo");
}

TEST_F(Present, TimerShowsTheNextFrameAndTheLastFrameRefusesItsDefault) {
  std::vector<std::vector<InstrRec>> in(10);
  for (auto& f : in) f = {I('T', -1, 300)};
  load(10, in);
  loadDemoFrame(4, nullptr);
  EXPECT_EQ(event(PAL_EV_TIMER, 1), PAL_SHOW);
  EXPECT_EQ(gCurrShownFrame, 5);
  EXPECT_EQ(event(PAL_EV_TIMER, 2), PAL_NOTHING);  // other timers are ignored
  loadDemoFrame(9, nullptr);
  const int32_t top = gHistoryStack[0];
  testing::internal::CaptureStdout();
  event(PAL_EV_TIMER, 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "BadFrameRequest:10 ");
  EXPECT_EQ(gCurrShownFrame, 9);
  EXPECT_EQ(gHistoryStack[0], top);
}

TEST_F(Present, StepBackSkipsTheClickAfterAMouseOverAndTimerFrames) {
  load(8, {{I('L', 1, 0, 0, 39, 29)}, {I('T', 2, 100)}, {I('T', 3, 100)}, {I('T', 4, 100)},
           {I('M', 5, 0, 0, 39, 29)}, {I('L', 6, 0, 0, 39, 29)}, {I('L', 7, 0, 0, 39, 29)}});
  // 0 -> 1 -> 2 -> 3 -> 4 by click and timers, 4 -> 5 by mouse-over, 5 -> 6 by click.
  event(PAL_EV_PRESS, 5, 5);
  for (int i = 0; i < 3; ++i) event(PAL_EV_TIMER, 1);
  ASSERT_EQ(gCurrShownFrame, 4);
  event(PAL_EV_MOVE, 5, 5);
  event(PAL_EV_PRESS, 5, 5);
  ASSERT_EQ(gCurrShownFrame, 6);
  key(VK_LEFT);
  EXPECT_EQ(gCurrShownFrame, 4);  // not the click frame 5
  key(VK_LEFT);
  EXPECT_EQ(gCurrShownFrame, 0);  // past the timer frames
}

TEST_F(Present, DisplayModeKeys) {
  load(3, {{I('L', 1, 5, 5, 15, 15)}}, 0, 2);
  EXPECT_EQ(gPlayerFlags.redBoxMode, 2);
  key(VK_F1);
  EXPECT_EQ(gPlayerFlags.redBoxMode, 2);  // switched off for this demo: F1 does nothing
  EXPECT_EQ(gPlayerFlags.noteMode, 1);
  key(VK_F4);
  EXPECT_EQ(gPlayerFlags.noteMode, -1);
  EXPECT_EQ(pixelColour(0, 5, 5), colourOf(0));  // no red box
  key(VK_F5);
  EXPECT_EQ(gPlayerFlags.redBoxMode, -2);
  key(VK_F5);
  EXPECT_EQ(gPlayerFlags.redBoxMode, 2);
}

TEST_F(Present, F1TogglesBoxesAndNotesTogether) {
  load(3, {{I('L', 1, 5, 5, 15, 15)}});
  key(VK_F1);
  EXPECT_EQ(gPlayerFlags.redBoxMode, -1);
  EXPECT_EQ(gPlayerFlags.noteMode, -1);
  EXPECT_EQ(pixelColour(0, 5, 5), colourOf(0));
  key(VK_F1);
  EXPECT_EQ(gPlayerFlags.redBoxMode, 1);
  EXPECT_EQ(gPlayerFlags.noteMode, 1);
  EXPECT_EQ(pixelColour(0, 5, 5), 0xFF0000u);
}

TEST_F(Present, ControlTTwiceRestoresTheStatusAndPushesTwice) {
  load(3, {{I('L', 1, 5, 5, 15, 15)}});
  EXPECT_EQ(gPlayerFlags.statusMode, -1);
  key('T', PAL_MOD_CONTROL);
  EXPECT_EQ(gPlayerFlags.statusMode, 1);
  EXPECT_EQ(pixelColour(0, 7, 2), 0x515655u);  // the status band's top row
  key('T', PAL_MOD_CONTROL);
  EXPECT_EQ(gPlayerFlags.statusMode, -1);
  EXPECT_EQ(gHistoryStack[0], 0);
  EXPECT_EQ(gHistoryStack[1], 0);
  EXPECT_EQ(gHistoryStack[2], 0);
}

TEST_F(Present, HomeFrameBeyondTheDemoBecomesZeroForGood) {
  load(50, {{I('L', 7, 0, 0, 39, 29)}}, 200);
  event(PAL_EV_PRESS, 5, 5);
  ASSERT_EQ(gCurrShownFrame, 7);
  key(VK_LEFT, PAL_MOD_SHIFT);
  EXPECT_EQ(gCurrShownFrame, 0);
  EXPECT_EQ(gDemoPackageVals[PKG_VAL_HOME_FRAME], 0);
}

TEST_F(Present, HomeKeyAndRightArrow) {
  load(5, {{I('T', 3, 100)}, {}, {}, {I('L', 1, 0, 0, 5, 5)}}, 3);
  key(VK_RIGHT);
  EXPECT_EQ(gCurrShownFrame, 3);
  key(VK_RIGHT);
  EXPECT_EQ(gCurrShownFrame, 1);
  key(VK_HOME);
  EXPECT_EQ(gCurrShownFrame, 3);
}

TEST_F(Present, EscapeEndsTheProgramNormally) {
  load(2, {});
  EXPECT_EXIT(key(VK_ESCAPE), testing::ExitedWithCode(0), "");
}

}  // namespace

namespace {

TEST(DisplayScale, FitsTheCropIntoTheAreaAndEnlargesOnlyWhenAllowed) {
  const int32_t work[4] = {0, 0, 1280, 984};
  gCropSize[2] = 1600;
  gCropSize[3] = 1000;
  EXPECT_EQ(demoSetDemoScale(work, 0), 800);
  EXPECT_EQ(demoSetDemoScale(work, 1), 800);
  EXPECT_EQ(gDemoScale, 800);
  gCropSize[2] = 800;
  gCropSize[3] = 600;
  EXPECT_EQ(demoSetDemoScale(work, 0), 1000);
  EXPECT_EQ(demoSetDemoScale(work, 1), 1600);  // min(1600, 1640)
  gCropSize[2] = 0;
  EXPECT_EQ(demoSetDemoScale(work, 1), 1000);  // no crop: no division by zero
}

}  // namespace
