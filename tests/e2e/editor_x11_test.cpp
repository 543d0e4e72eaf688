// The editor of the built authoring program under Xvfb: a demo written by
// the fixture builder, opened from the demo screen, changed through real
// XTest input, and judged by the saved demo data file (read by the tree's
// examiner), window titles and pixels.
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

// The examiner's reading of a demo data file.
std::string examined(const std::string& path) {
  std::string out;
  const std::string cmd = std::string(PICTOMIRA_EXAMINE_BIN) + " '" + path + "' 2>&1";
  if (std::FILE* p = popen(cmd.c_str(), "r")) {
    char line[600];
    while (std::fgets(line, sizeof line, p)) out += line;
    pclose(p);
  }
  return out;
}

class Editor : public testing::Test {
 protected:
  void SetUp() override {
    server = std::make_unique<XServer>();
    ASSERT_TRUE(server->ok());
    input = std::make_unique<XInput>();
    ASSERT_TRUE(installProgram(PICTOMIRA_STUDIO_BIN, dir, "Pictomira"));
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Edit Me", editorDemo()));
    app = std::make_unique<Child>(std::vector<std::string>{dir.file("Pictomira")},
                                  std::vector<std::string>{"PICTOMIRA_ALERTS=stderr"});
  }
  void TearDown() override {
    if (HasFailure() && app) app->report();
    app.reset();
    input.reset();
    server.reset();
  }
  std::string dmd() { return dir.path() + "/Demos/Edit Me/Edit Me.DMD"; }
  bool titled(const std::string& title, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 50, sleepMs(50))
      if (titles().find(title + "\n") != std::string::npos) return true;
    ADD_FAILURE() << "no window titled '" << title << "' among:\n" << titles();
    return false;
  }
  bool alert(const std::string& line, int ms = 3000) { return app->waitFor("ALERT 1 " + line, ms); }
  void clickAt(int x, int y) {
    input->move(x, y);
    sleepMs(40);
    input->click(x, y);
    sleepMs(60);
  }
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
  // Replaces the text of the edit box at (x, y) with text.
  void typeInto(int x, int y, const std::string& text) {
    clickAt(x, y);
    sleepMs(80);
    input->key(XK_a, {XK_Control_L});
    const std::string cmd = "xdotool type --delay 15 '" + text + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    sleepMs(150);
  }
  void drag(int x0, int y0, int x1, int y1) {
    input->move(x0, y0);
    sleepMs(50);
    input->button(1, true);
    sleepMs(80);
    for (int i = 1; i <= 5; ++i) {
      input->move(x0 + (x1 - x0) * i / 5, y0 + (y1 - y0) * i / 5);
      sleepMs(40);
    }
    input->button(1, false);
    sleepMs(150);
  }

  TempDir dir;
  std::unique_ptr<XServer> server;
  std::unique_ptr<XInput> input;
  std::unique_ptr<Child> app;
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

}  // namespace
