// The authoring program's presenting runs without a window, on demos written
// by the fixture builder and opened as the demo screen opens them: the test
// run's start frame, its frame view and click offset, its keys, the status
// texts, "Present the Demo" over the whole window, and a frame that cannot
// be rebuilt.
#include "studio/capture/demo_files.h"
#include "studio/editor/editor_screens.h"
#include "studio/editor/editor_state.h"
#include "studio/shell/shell.h"

#include "demo/demo_model.h"
#include "pag/pag.h"
#include "pal/pal.h"
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// An 80 x 60 screen cropped to 64 x 48 at (8, 4); frame f is one flat colour.
constexpr int32_t kCropX = 8, kCropY = 4, kCropW = 64, kCropH = 48;
constexpr int32_t kViewX = 400;  // the editor's frame view
uint32_t colourOf(int f) { return static_cast<uint32_t>((f * 40) << 16 | 100 << 8 | (200 - f * 10)); }
uint32_t greyOf(uint32_t c) {
  const uint32_t v = (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 6;
  return v << 16 | v << 8 | v;
}

InstrRec I(char type, int32_t target, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  return InstrRec{0, target, type, {a, b, c, d}};
}
// A left click on frame pixels 40..60 x 10..30, leading to the next frame.
InstrRec click() { return I('L', -1, kCropX + 40, kCropY + 10, kCropX + 60, kCropY + 30); }

class DemoRun : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  }
  void TearDown() override { resetRuntime(); }

  // Writes the demo "Run" with instrs[f] for frame f and opens it as the demo screen does.
  void open(int frames, const std::vector<std::vector<InstrRec>>& instrs, const std::vector<std::string>& names = {}) {
    DemoFixture fx;
    fx.screenW = 80;
    fx.screenH = 60;
    const int32_t crop[4] = {kCropX, kCropY, kCropW, kCropH};
    std::copy(crop, crop + 4, fx.crop);
    fx.frames.resize(static_cast<size_t>(frames));
    for (size_t f = 0; f < fx.frames.size(); ++f) {
      if (f < instrs.size()) fx.frames[f].instrs = instrs[f];
      if (f < names.size()) fx.frames[f].name = names[f];
    }
    fx.row = [](int32_t f, int32_t, unsigned char* bgr) {
      const uint32_t c = colourOf(f);
      for (int x = 0; x < 80; ++x) {
        bgr[x * 3] = c & 0xFF;
        bgr[x * 3 + 1] = (c >> 8) & 0xFF;
        bgr[x * 3 + 2] = (c >> 16) & 0xFF;
      }
    };
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Run", fx));
    resetRuntime();
    std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "Run");
    char why[400] = "";
    ASSERT_EQ(openCurrentDemo(why, sizeof why), 1) << why;
    gDemoScale = 1000;  // the frame view shows the crop as recorded
  }
  // Starts the test run from the editor's frame, over a window painted one colour.
  void startTestRun(int32_t editorFrame) {
    gEditorFrame = editorFrame;
    pal_InitWinBuf(0, kViewX + kCropW + 20, kCropH + 40);
    pag_FillRect(0, 0, 0, gpal_ImageBuffSize[0][0], gpal_ImageBuffSize[0][1], 0x604020);
    ASSERT_EQ(run(PAL_EV_START), PAL_SHOW);
  }
  int run(int32_t code, int32_t a = 0, int32_t b = 0, int32_t c = 0, const char* clickable = "") {
    int32_t ev[4] = {code, a, b, c};
    char name[PAL_NAME_LEN];
    std::snprintf(name, sizeof name, "%s", clickable);
    return testRunHandler(ev, name);
  }
  int key(int32_t vk) { return run(PAL_EV_KEY, 0, PAL_MOD_NONE, vk); }
  // The colour of frame pixel (x, y) in the test run's frame view.
  uint32_t view(int32_t x, int32_t y) { return pixelColour(0, kViewX + x, y); }
  std::string status(int32_t frame) {
    demoLoadFrameInstructionsToMemory(frame);
    char text[DEMO_TEXT_LEN + 80];
    studioStatusText(frame, text, sizeof text);
    return text;
  }

  TempDir dir;
};

TEST_F(DemoRun, StartFrameIsTheFrameBeforeTheStepsFirstFrame) {
  // Click frames (first instruction L or R): 0, 3 and 6; frame 5 points first, so it is none.
  open(9, {{click()}, {I('T', -1, 100)}, {I('T', -1, 100)}, {I('R', -1, 0, 0, 5, 5)}, {I('K', -1, 0)},
           {I('M', -1, 0, 0, 5, 5), I('L', -1, 0, 0, 5, 5)}, {click()}});
  const std::vector<std::pair<int32_t, int32_t>> want = {{0, 0}, {1, 0}, {3, 0}, {4, 3}, {5, 3},
                                                         {6, 3}, {7, 6}, {8, 6}, {50, 6}};
  for (const auto& [frame, start] : want) EXPECT_EQ(testRunStartFrame(frame), start) << "from frame " << frame;
}

TEST_F(DemoRun, StartFrameIsZeroInAFirstStepWithoutAClickBeforeIt) {
  open(4, {{I('T', -1, 100)}, {I('T', -1, 100)}, {click()}});
  EXPECT_EQ(testRunStartFrame(2), 0);
  EXPECT_EQ(testRunStartFrame(3), 2);
}

TEST_F(DemoRun, AuthoringStatusTexts) {
  open(10, {{I('K', -1, 65)}, {I('K', -1, 0)}, {I('T', -1, 1500)}, {click()}, {I('M', -1)}, {I('R', -1)},
            {I('U', -1)}, {I('E', -1)}, {}, {click()}},
       {"Open", "", "Wait"});
  gFrameData[8].frameId = 41;
  gFrameData[8].nameText = demoStoreNewTextValue("Blank");
  gFrameData[9].nameText = demoStoreNewTextValue("End");
  EXPECT_EQ(status(0), "Frame: '0: Open' - Waiting for Key Press: 65");
  EXPECT_EQ(status(1), "Frame: '1: ' - Waiting for Any Key Press");
  EXPECT_EQ(status(2), "Frame: '2: Wait' - Waiting 1.50 Seconds");
  EXPECT_EQ(status(3), "Frame: '3: ' - Waiting for Click");
  EXPECT_EQ(status(4), "Frame: '4: ' - Waiting for Mouseover");
  EXPECT_EQ(status(5), "Frame: '5: ' - Waiting for RightClick");
  EXPECT_EQ(status(6), "Frame: '6: ' - Waiting for UpClick");
  EXPECT_EQ(status(7), "Frame: '7: ' - Waiting for Mouse Out");
  EXPECT_EQ(status(8), "Frame: '41: Blank'");  // its number, not its index
  EXPECT_EQ(status(9), "Frame: '9: End' - End of Demo");
}

TEST_F(DemoRun, TestRunGreysTheWindowAndMatchesClicksInTheFrameView) {
  open(3, {{click()}, {click()}});
  startTestRun(0);
  EXPECT_EQ(gCurrShownFrame, 0);
  for (int32_t h : gHistoryStack) ASSERT_EQ(h, 0);
  EXPECT_EQ(view(5, 40), colourOf(0));
  EXPECT_EQ(view(40, 10), 0xFF0000u);                        // the click's red box
  EXPECT_EQ(pixelColour(0, kViewX + 5, kCropH + 5), greyOf(0x604020));  // below the view
  EXPECT_EQ(pixelColour(0, 10, 10), greyOf(0x604020));
  char name[PAL_NAME_LEN];
  pal_FindClickableRectAtLocation(name, 335, 62);
  EXPECT_STREQ(name, "Stop Run");
  EXPECT_EQ(run(PAL_EV_PRESS, 50, 20), PAL_NOTHING);  // frame x -350: nothing there
  EXPECT_EQ(gCurrShownFrame, 0);
  EXPECT_EQ(run(PAL_EV_PRESS, kViewX + 50, 20), PAL_SHOW);  // frame x 50: in the box
  EXPECT_EQ(gCurrShownFrame, 1);
  EXPECT_EQ(view(5, 40), colourOf(1));
  EXPECT_EQ(pixelColour(0, 10, 10), greyOf(0x604020));
}

TEST_F(DemoRun, TestRunStartsAtTheStepBeforeTheEditorsFrame) {
  open(6, {{click()}, {I('T', -1, 100)}, {I('T', -1, 100)}, {click()}});
  startTestRun(2);
  EXPECT_EQ(gCurrShownFrame, 0);
  startTestRun(5);
  EXPECT_EQ(gCurrShownFrame, 3);
  for (int32_t h : gHistoryStack) ASSERT_EQ(h, 3);
  EXPECT_EQ(view(5, 40), colourOf(3));
}

TEST_F(DemoRun, F1TwiceReturnsToTheStartingModes) {
  open(3, {{click()}});
  ASSERT_EQ(gPlayerFlags.redBoxMode, 1);
  ASSERT_EQ(gPlayerFlags.noteMode, 1);
  startTestRun(0);
  key(VK_F1);
  EXPECT_EQ(gPlayerFlags.redBoxMode, -1);
  EXPECT_EQ(gPlayerFlags.noteMode, -1);
  EXPECT_EQ(view(40, 10), colourOf(0));  // the box is gone
  key(VK_F1);
  EXPECT_EQ(gPlayerFlags.redBoxMode, 1);
  EXPECT_EQ(gPlayerFlags.noteMode, 1);
  EXPECT_EQ(view(40, 10), 0xFF0000u);
  key(VK_F5);
  EXPECT_EQ(gPlayerFlags.redBoxMode, -1);
  key(VK_F1);  // from mixed modes both come on
  EXPECT_EQ(gPlayerFlags.redBoxMode, 1);
  EXPECT_EQ(gPlayerFlags.noteMode, 1);
  key(VK_F4);
  EXPECT_EQ(gPlayerFlags.noteMode, -1);
  EXPECT_EQ(gCurrShownFrame, 0);
}

TEST_F(DemoRun, StopRunAndEscapeReturnToTheEditorWithItsModes) {
  open(3, {{click()}});
  for (bool escape : {false, true}) {
    startTestRun(0);
    gpal_CurrentEventHandler = testRunHandler;
    key(VK_F5);
    run(PAL_EV_KEY, 0, PAL_MOD_CONTROL, 'T');
    ASSERT_EQ(gPlayerFlags.redBoxMode, -1);
    EXPECT_EQ(view(7, 2), 0x515655u);  // the status band's top row
    EXPECT_EQ(escape ? key(VK_ESCAPE) : run(PAL_EV_PRESS, 335, 62, 0, "Stop Run"), PAL_NOTHING);
    EXPECT_EQ(gpal_CurrentEventHandler, editorHandler) << escape;
    EXPECT_EQ(gPlayerFlags.redBoxMode, 1) << escape;
    EXPECT_EQ(gPlayerFlags.statusMode, 0) << escape;
  }
}

TEST_F(DemoRun, HomeGoesToTheFrameWithTheHomeNumberElseFrameZero) {
  open(4, {{click()}, {click()}, {click()}});
  for (int32_t f = 0; f < gFrameCount; ++f) gFrameData[f].frameId = 10 + f;
  ASSERT_GT(gHeaderCount, 2);
  gHeaderData[2] = 12;
  startTestRun(0);
  run(PAL_EV_PRESS, kViewX + 50, 20);
  ASSERT_EQ(gCurrShownFrame, 1);
  EXPECT_EQ(key(VK_HOME), PAL_SHOW);
  EXPECT_EQ(gCurrShownFrame, 2);  // the frame numbered 12
  gHeaderData[2] = 5;             // no frame has it
  EXPECT_EQ(key(VK_HOME), PAL_SHOW);
  EXPECT_EQ(gCurrShownFrame, 0);
  EXPECT_EQ(view(5, 40), colourOf(0));
}

TEST_F(DemoRun, PresentingFillsTheWindowWithoutAnOffsetAndEscapeReturnsToTheDemoScreen) {
  open(3, {{click()}, {click()}});
  pal_InitWinBuf(0, kCropW, kCropH);
  int32_t ev[4] = {PAL_EV_START, kCropW, kCropH, 0};
  char name[PAL_NAME_LEN] = "";
  ASSERT_EQ(presentDemoHandler(ev, name), PAL_SHOW);
  EXPECT_EQ(pixelColour(0, 5, 40), colourOf(0));
  EXPECT_EQ(pixelColour(0, 40, 10), 0xFF0000u);
  int32_t press[4] = {PAL_EV_PRESS, 50, 20, 0};
  EXPECT_EQ(presentDemoHandler(press, name), PAL_SHOW);
  EXPECT_EQ(gCurrShownFrame, 1);
  EXPECT_EQ(pixelColour(0, 5, 40), colourOf(1));
  int32_t esc[4] = {PAL_EV_KEY, 0, PAL_MOD_NONE, VK_ESCAPE};
  EXPECT_EQ(presentDemoHandler(esc, name), PAL_CLOSE);
  EXPECT_EQ(esc[0], STATE_DEMO);
  EXPECT_EQ(gFrameCount, 3);  // the demo stays loaded for the demo screen
}

TEST_F(DemoRun, AFrameThatCannotBeRebuiltEndsTheProgramNamingIt) {
  open(3, {{click()}, {click()}});
  startTestRun(0);
  ASSERT_EQ(view(5, 40), colourOf(0));
  std::remove(demoFilePath("Run", ".DMR").c_str());
  EXPECT_EXIT(run(PAL_EV_PRESS, kViewX + 50, 20), testing::ExitedWithCode(1),
              "ALERT 1 Fatal Error \\| Frame 1 .* of the demo 'Run' cannot be rebuilt from its recording: the recording "
              "file cannot be opened");
}

}  // namespace
