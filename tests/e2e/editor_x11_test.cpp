// The editor of the built authoring program under Xvfb: a demo written by
// the fixture builder, opened from the demo screen, changed through real
// XTest input, and judged by the saved demo data file (read by the tree's
// examiner), window titles and pixels.
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

// The 900 x 600 home and demo windows centred on the 1280 x 800 screen; the
// editor at the work area's top-left corner.
constexpr int kX = 190, kY = 100;
constexpr int kView = 400;  // the frame view's left edge

uint32_t colourOf(int f) { return static_cast<uint32_t>((200 - f * 30) << 16 | (60 + f * 30) << 8 | (30 + f * 20)); }

// Six frames of one colour each, cropped 640 x 400 out of 800 x 600 at
// (80, 100): clicks on frames 0 and 3, a wait on 1 and 4, a key on 2.
DemoFixture editorDemo() {
  DemoFixture fx;
  fx.screenW = 800;
  fx.screenH = 600;
  const int32_t crop[4] = {80, 100, 640, 400};
  std::copy(crop, crop + 4, fx.crop);
  fx.frames.resize(6);
  fx.frames[0] = {"Start", "Click here", -999, -999, {InstrRec{0, -1, 'L', {100, 120, 200, 160}}}};
  fx.frames[1] = {"wait", "", -999, -999, {InstrRec{0, -1, 'T', {700, 0, 0, 0}}}};
  fx.frames[2] = {"type", "", -999, -999, {InstrRec{0, -1, 'K', {13, 0, 0, 0}}}};
  fx.frames[3] = {"Click", "", -999, -999, {InstrRec{0, -1, 'L', {300, 200, 400, 260}}}};
  fx.frames[4] = {"wait", "", -999, -999, {InstrRec{0, -1, 'T', {300, 0, 0, 0}}}};
  fx.frames[5] = {"End", "", -999, -999, {InstrRec{0, -1, 'T', {1000, 0, 0, 0}}}};
  fx.row = [](int32_t f, int32_t, unsigned char* bgr) { solidRow(colourOf(f), 800, bgr); };
  return fx;
}

// The examiner's reading of a demo data file.
std::string examined(const std::string& path) { return runCommand(std::string(PICTOMIRA_EXAMINE_BIN) + " '" + path + "'").out; }

class Editor : public StudioSession {
 protected:
  void SetUp() override {
    StudioSession::SetUp();
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Edit Me", editorDemo()));
    start();
  }
  std::string dmd() { return dir.path() + "/Demos/Edit Me/Edit Me.DMD"; }
  // The demo screen of "Edit Me", opened from the home screen's first row.
  void openDemoScreen() {
    ASSERT_TRUE(titled("Pictomira (v151)"));
    ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));
    clickAt(kX + 300, kY + 365 + 12);
    ASSERT_TRUE(titled("Edit Me - Pictomira"));
    ASSERT_TRUE(input->waitForPixel(kX + 9, kY + 287, 0xFFFFFF, 5000));
  }
  // "Edit Demo" on the demo screen; the editor's "Help" button drawn.
  void openEditor() {
    clickAt(kX + 900 - 450, kY + 600 - 58 + 11);
    ASSERT_TRUE(titled("Editing 'Edit Me' - Pictomira"));
    ASSERT_TRUE(input->waitForPixel(189, 50, 0x767D98, 5000));
  }
  // The frame view shows frame f (judged away from boxes and note).
  bool showing(int f) { return input->waitForPixel(kView + 5, 5, colourOf(f), 3000); }
  void key(unsigned long sym, const std::vector<unsigned long>& mods = {}) {
    input->key(sym, mods);
    sleepMs(120);
  }
};

TEST_F(Editor, ChangesMadeThroughTheEditorAreSavedAndFoundAgain) {
  openDemoScreen();
  openEditor();
  ASSERT_TRUE(showing(0));
  key(XK_Right);  // frame 0 ends step 1: on to the last frame of step 2
  ASSERT_TRUE(showing(3));
  key(XK_Up);
  ASSERT_TRUE(showing(2));
  typeInto(250 + 30, 172 + 9, "65");  // KeypressEditBox
  clickAt(337 + 25, 169 + 12);        // "Set"
  key(XK_Up);
  ASSERT_TRUE(showing(1));
  typeInto(216 + 30, 172 + 9, "1.5");  // TimerEditBox
  clickAt(337 + 25, 169 + 12);
  typeInto(216 + 30, 172 + 9, "50000");
  clickAt(337 + 25, 169 + 12);
  EXPECT_TRUE(alert("Bad Wait Time | Wait Times may be fractional seconds"));

  // The Advanced tab: a line naming no frame is marked, then fixed.
  clickAt(258 + 50, 126 + 12);
  typeInto(167 + 100, 155 + 9, "T 1500 >9");
  clickAt(164 + 45, 126 + 12);  // "Standard": the text is checked first
  EXPECT_TRUE(input->waitForPixel(600 + 4, 140, 0xFFFFFF, 3000));  // "Undo Edits"
  EXPECT_EQ(input->pixel(171 - 3, 163), 0xCC0000u);  // the red pointer at line 0
  typeInto(167 + 100, 155 + 9, "t 1500 >4");
  clickAt(164 + 45, 126 + 12);
  ASSERT_TRUE(input->waitForPixel(181 + 4, 215, 0xFFFFFF, 3000));  // back on the Standard tab

  clickAt(286 + 45, 215 + 12);  // "Set Name"
  ASSERT_TRUE(input->waitForPixel(455 + 4, 222, 0xFFFFFF, 3000));
  typeInto(470 + 60, 190 + 9, "Pause here");
  clickAt(455 + 30, 222 + 12);

  // Hide frame 4, then bring it back from the recording.
  typeInto(290 + 40, 362 + 9, "4");
  clickAt(181 + 45, 435 + 12);  // "Hide All"
  typeInto(290 + 40, 362 + 9, "4");
  clickAt(286 + 45, 435 + 12);  // "Show All"

  // Frame 0: the red box's bottom-right corner dragged, the note moved.
  key(XK_Left, {XK_Shift_L});
  ASSERT_TRUE(showing(0));
  drag(kView + 120, 60, kView + 160, 90);
  drag(kView + 320, 400 - 16, kView + 200, 300);
  key(XK_Right);
  ASSERT_TRUE(showing(3));
  key(XK_n);  // the note editor
  ASSERT_TRUE(input->waitForPixel(1040 - 5 - 630 + 5, 710 - 174 + 5, 0xF4F899, 3000));
  ASSERT_EQ(std::system("xdotool type --delay 15 'Press the button'"), 0);
  sleepMs(150);
  clickAt(1040 - 5 - 315 - 10 - 30, 710 - 174 + 147 + 12);  // "OK"

  clickAt(332 + 32, 646 + 12);  // "More >"
  ASSERT_TRUE(input->waitForPixel(570 + 4, 290, 0xFFFFFF, 3000));
  typeInto(440 + 50, 293 + 9, "3");
  clickAt(570 + 57, 290 + 12);  // "Set Number"
  ASSERT_TRUE(input->waitForPixel(181 + 4, 215, 0xFFFFFF, 3000));

  clickAt(290 + 45, 50 + 12);  // "Exit": unsaved edits, so the question
  ASSERT_TRUE(input->waitForPixel(410 + 4, 90, 0xFFFFFF, 3000));
  clickAt(410 + 70, 90 + 13);  // "Save and Exit"
  ASSERT_TRUE(titled("Edit Me - Pictomira"));

  const std::string file = examined(dmd());
  EXPECT_NE(file.find(" 0 3 0\n"), std::string::npos) << file;  // header values: home frame 3
  EXPECT_NE(file.find("K -> next on key 65"), std::string::npos) << file;
  // Its target, frame 4, was hidden and shown again: it now names the frame before.
  EXPECT_NE(file.find("T -> 3 after 1500 ms"), std::string::npos) << file;
  EXPECT_NE(file.find("name \"Pause here\""), std::string::npos) << file;
  EXPECT_NE(file.find("rectangle 100,120 - 242,192"), std::string::npos) << file;
  EXPECT_EQ(file.find("\"Click here\" at default"), std::string::npos) << file;
  EXPECT_NE(file.find("note \"Press the button\""), std::string::npos) << file;
  EXPECT_NE(file.find("frame 4: name \"wait\"\n    id 4"), std::string::npos) << file;
  EXPECT_NE(file.find("T -> next after 100 ms"), std::string::npos) << file;

  // Reopened: no edits yet, so "Exit" leaves at once.
  openEditor();
  ASSERT_TRUE(showing(0));
  clickAt(290 + 45, 50 + 12);
  ASSERT_TRUE(titled("Edit Me - Pictomira"));
}

TEST_F(Editor, ExitWithoutSavingLeavesTheFileAndTestRunPlaysFromTheStepBefore) {
  const std::string before = slurp(dmd());
  openDemoScreen();
  openEditor();
  key(XK_Right);
  ASSERT_TRUE(showing(3));
  clickAt(290 + 45, 85 + 12);  // "TestRun": from the frame before step 2, frame 0
  ASSERT_TRUE(input->waitForPixel(290 + 4, 50, 0xFFFFFF, 3000));  // "Stop Run"
  ASSERT_TRUE(showing(0));
  clickAt(kView + 20 + 50, 20 + 20);  // inside frame 0's box, 400 pixels right of it
  ASSERT_TRUE(showing(1));
  clickAt(290 + 45, 50 + 12);  // "Stop Run"
  ASSERT_TRUE(input->waitForPixel(189, 50, 0x767D98, 3000));
  ASSERT_TRUE(showing(3));
  key(XK_h);  // hide frame 3
  ASSERT_TRUE(showing(4));
  clickAt(290 + 45, 50 + 12);
  ASSERT_TRUE(input->waitForPixel(410 + 4, 250, 0xFFFFFF, 3000));
  clickAt(410 + 70, 250 + 13);  // "Exit with NO SAVE"
  ASSERT_TRUE(titled("Edit Me - Pictomira"));
  EXPECT_EQ(slurp(dmd()), before);
}

TEST_F(Editor, SaveAsCompareAndTheCropChangeFromMore) {
  openDemoScreen();
  openEditor();
  key(XK_Down);
  ASSERT_TRUE(showing(1));
  key(XK_d, {XK_Control_L});  // every pixel differs from frame 0
  EXPECT_TRUE(alert("Full frame | Entire frame is different"));
  clickAt(332 + 32, 646 + 12);  // "More >"
  ASSERT_TRUE(input->waitForPixel(625 + 4, 190, 0xFFFFFF, 3000));
  typeInto(430 + 90, 193 + 9, "Edit Copy");
  clickAt(625 + 30, 190 + 12);  // "Save"
  ASSERT_TRUE(titled("Editing 'Edit Copy' - Pictomira"));
  EXPECT_EQ(slurp(dir.path() + "/Demos/Edit Copy/Edit Copy.DMR"), slurp(dir.path() + "/Demos/Edit Me/Edit Me.DMR"));
  ASSERT_TRUE(input->waitForPixel(189, 50, 0x767D98, 3000));

  clickAt(332 + 32, 646 + 12);
  ASSERT_TRUE(input->waitForPixel(625 + 4, 190, 0xFFFFFF, 3000));
  input->move(700, 600);
  key(XK_c, {XK_Control_L});  // the crop change
  ASSERT_TRUE(input->waitForPixel(540 + 4, 240, 0xFFFFFF, 3000));
  typeInto(540 + 100, 192 + 9, "100,100,20,300");
  clickAt(540 + 45, 240 + 12);  // "Set Crop"
  EXPECT_TRUE(alert("Error | Err SCR-12"));
  typeInto(540 + 100, 192 + 9, "100,100,720,300");
  clickAt(540 + 45, 240 + 12);
  EXPECT_TRUE(alert("Error | Err SCR-10"));
  typeInto(540 + 100, 192 + 9, "100,120,600,300");
  clickAt(540 + 45, 240 + 12);
  EXPECT_TRUE(alert("Shutdown | Pictomira has changed the crop of this demo and must now shutdown."));
  EXPECT_EQ(app->wait(5000), 0);
  EXPECT_NE(examined(dir.path() + "/Demos/Edit Copy/Edit Copy.DMD").find("crop text \"100,120,600,300\\r\\n\""),
            std::string::npos);
  EXPECT_NE(examined(dmd()).find("crop text \"80,100,640,400\\r\\n\""), std::string::npos);
}

}  // namespace
