// The editor's handler without a window, on a demo written by the fixture
// builder: a refused range command brings the editor back, and typed
// Advanced text is taken (upper-cased in its box) or refused before any
// command that would leave it.
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

extern pal_EventHandler gpal_CurrentEventHandler;

namespace {

constexpr uint32_t kListBack = 0x444444;  // the step list's background

class EditorScreen : public testing::Test {
 protected:
  // Three wait frames of 80 x 60, each "T 700"; the editor on frame 1.
  void SetUp() override {
    resetRuntime();
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    DemoFixture fx;
    fx.screenW = 80;
    fx.screenH = 60;
    const int32_t crop[4] = {0, 0, 80, 60};
    std::copy(crop, crop + 4, fx.crop);
    fx.frames.resize(3);
    for (auto& f : fx.frames) f = {"wait", "", -999, -999, {InstrRec{0, -1, 'T', {700, 0, 0, 0}}}};
    fx.row = [](int32_t, int32_t, unsigned char* bgr) { std::memset(bgr, 0x30, 80 * 3); };
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Edit", fx));
    std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "Edit");
    char why[400] = "";
    ASSERT_EQ(openCurrentDemo(why, sizeof why), 1) << why;
    gDemoScale = 1000;
    gEditorFrame = 1;
    gEditCount = 0;
    pal_InitWinBuf(0, EDITOR_MIN_W, EDITOR_MIN_H);
    pal_SetNewEventHandler(editorHandler);
  }
  void TearDown() override {
    gEditorTab = 1;
    resetRuntime();
  }
  int send(int32_t code, int32_t a, int32_t b, int32_t c, const char* clickable = "") {
    int32_t ev[4] = {code, a, b, c};
    char name[PAL_NAME_LEN];
    std::snprintf(name, sizeof name, "%s", clickable);
    return gpal_CurrentEventHandler(ev, name);
  }
  int press(const char* clickable, int32_t x = 200, int32_t y = 100) { return send(PAL_EV_PRESS, x, y, 0, clickable); }
  static int slotOf(const char* box) {
    for (int i = 0; i < PAL_EDIT_SLOTS; ++i)
      if (gpal_TextEditRects[i][0] != PAL_FREE_EDIT && std::strcmp(gpal_TextEditNames[i], box) == 0) return i;
    return -1;
  }
  // Types text into the open box as the author would have.
  static void type(const char* box, const char* text) {
    const int slot = slotOf(box);
    ASSERT_GE(slot, 0) << box;
    std::snprintf(gpal_TextEditHolders[slot], PAL_EDIT_TEXT_LEN, "%s", text);
  }
  static std::string boxText(const char* box) {
    char text[PAL_EDIT_TEXT_LEN];
    pal_GetMarkedTextEdit(box, text);
    return text;
  }
  static int32_t firstWait(int32_t frame) {
    demoLoadFrameInstructionsToMemory(frame);
    return gCurrInstrList[0] < 0 ? -1 : gInstrData[gCurrInstrList[0]].v[0];
  }
  void advancedTab() {
    gEditorTab = 2;
    pal_SetNewEventHandler(editorHandler);
    ASSERT_EQ(boxText("AdvancedTextEditBox"), "T 700");
  }

  TempDir dir;
};

TEST_F(EditorScreen, RefusedRangeCommandsBringTheEditorBackWithTheRange) {
  const struct {
    const char* command;
    const char *from, *to;
  } refused[] = {
      {"Show All", "0", "300"},  // too many frames, after the window was greyed
      {"Show All", "", ""},      {"Hide All", "2", "1"},       {"Set Typing", "0", ""},
      {"10% Faster", "5", ""},   {"10% Slower", "1", "0"},     {"Set All to Match First", "x", ""},
  };
  for (const auto& c : refused) {
    type("FromFrameEditBox", c.from);
    type("ToFrameEditBox", c.to);
    EXPECT_EQ(press(c.command), PAL_SHOW) << c.command << " " << c.from;
    EXPECT_EQ(pixelColour(0, 150, 300), kListBack) << c.command << " " << c.from;  // not greyed
    EXPECT_EQ(boxText("FromFrameEditBox") + "/" + boxText("ToFrameEditBox"), std::string(c.from) + "/" + c.to);
    EXPECT_EQ(gFrameCount, 3);
    EXPECT_EQ(gEditCount, 0);
  }
}

TEST_F(EditorScreen, TakenAdvancedTextShowsUpperCased) {
  advancedTab();
  type("AdvancedTextEditBox", "t 891");
  send(PAL_EV_EDIT_DONE, 0, 18, 0);
  EXPECT_EQ(firstWait(1), 891);
  EXPECT_EQ(boxText("AdvancedTextEditBox"), "T 891");
  EXPECT_EQ(gEditCount, 1);
}

// Help, H, N and a press in the frame view take sound text first, and are
// not carried out while it has errors.
TEST_F(EditorScreen, TypedAdvancedTextIsTakenOrRefusedBeforeLeavingIt) {
  enum Kind { Press, Key };
  const struct {
    Kind kind;
    const char* name;
    int32_t vk, x;
  } commands[] = {{Press, "Help", 0, 200}, {Key, "H", 'H', 0}, {Key, "N", 'N', 0}, {Press, "", 0, 450}};
  for (const auto& c : commands)
    for (const char* text : {"t 891", "T 891 >"}) {
      const bool sound = text[0] == 't';
      SetUp();
      advancedTab();
      type("AdvancedTextEditBox", text);
      if (c.kind == Press)
        press(c.name, c.x, 30);
      else
        send(PAL_EV_KEY, 0, PAL_MOD_NONE, c.vk);
      const std::string label = std::string(c.name) + " with " + text;
      const bool hides = c.vk == 'H';
      EXPECT_EQ(gFrameCount, sound && hides ? 2 : 3) << label;
      EXPECT_EQ(gEditCount, sound ? (hides ? 2 : 1) : 0) << label;
      if (!hides) {
        EXPECT_EQ(firstWait(1), sound ? 891 : 700) << label;
      }
      if (!sound) {
        EXPECT_EQ(gpal_CurrentEventHandler, &editorHandler) << label;
      }
      gpal_CurrentEventHandler = editorHandler;
      TearDown();
    }
}

}  // namespace
