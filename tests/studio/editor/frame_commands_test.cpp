// frame_commands_test.cpp: steps and navigation, hiding frames, the
// mouseover pair, the range commands (showing frames back from a real
// recording), jumping, the home frame and the corners.
#include "studio/editor/frame_commands.h"

#include "demo/demo_model.h"
#include "studio/editor/editor_state.h"
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t kRect[4] = {100, 110, 120, 130};
constexpr int32_t kClickRect[4] = {200, 210, 220, 230};  // the click of the mouseover demo

InstrRec instr(int32_t frame, char type, int32_t target = -1) {
  InstrRec in{frame, target, type, {type == 'T' ? 500 : 0, 0, 0, 0}};
  if (type != 'T' && type != 'K') std::memcpy(in.v, kRect, sizeof in.v);
  return in;
}

// One frame per character of firsts with one instruction of that type
// ('.': none), then the further instructions; frame f is numbered
// numbers[f] (f when not given) and named "n<number>".
void fill(const std::string& firsts, std::vector<int64_t> numbers = {}, const std::vector<InstrRec>& more = {}) {
  gFrameCount = static_cast<int32_t>(firsts.size());
  for (int32_t f = 0; f < gFrameCount; ++f) {
    const int64_t n = f < static_cast<int32_t>(numbers.size()) ? numbers[f] : f;
    const int64_t name = demoStoreNewTextValue(("n" + std::to_string(n)).c_str());
    gFrameData[f] = FrameRec{name, n, 0, n * 10, 0, DEMO_NO_POSITION, DEMO_NO_POSITION};
    if (firsts[f] != '.') gInstrData[gInstrCount++] = instr(f, firsts[f]);
  }
  for (const InstrRec& in : more) gInstrData[gInstrCount++] = in;
}

std::string text(int64_t id) {
  char out[DEMO_TEXT_LEN] = {};
  return demoGetTextValue(static_cast<int32_t>(id), out) == 0 ? out : "(none)";
}

// "numbers | instructions as type, frame > target | @current +edits".
std::string state() {
  std::string s;
  for (int32_t f = 0; f < gFrameCount; ++f) s += (f ? " " : "") + std::to_string(gFrameData[f].frameId);
  s += " |";
  for (int32_t i = 0; i < gInstrCount; ++i)
    s += " " + std::string(1, static_cast<char>(gInstrData[i].type)) + std::to_string(gInstrData[i].frame) + ">" +
         std::to_string(gInstrData[i].target);
  return s + " | @" + std::to_string(gEditorFrame) + " +" + std::to_string(gEditCount);
}

std::string title(const Outcome& o) { return o.noticeCount > 0 ? o.notices[0].title : ""; }

class FrameCommands : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    gEditorFrame = gEditCount = gHeaderCount = 0;
  }
  void TearDown() override { resetRuntime(); }
};
using FrameCommandsSteps = FrameCommands;
using FrameCommandsHide = FrameCommands;
using FrameCommandsRange = FrameCommands;
using FrameCommandsMore = FrameCommands;

TEST_F(FrameCommandsSteps, BoundsAndNavigationTargets) {
  struct Case {
    const char* firsts;
    int32_t frame;
    std::vector<int32_t> want;  // first, last, number, "<", ">", Right
  };
  const Case cases[] = {
      {"TTLTTRTT", 0, {0, 2, 1, 0, 5, 2}},  // clicks at 2 (L) and 5 (R): steps 0-2, 3-5, 6-7
      {"TTLTTRTT", 2, {0, 2, 1, 2, 5, 5}},
      {"TTLTTRTT", 3, {3, 5, 2, 2, 7, 5}},  // Right stops at the step's end, ">" goes on to the next
      {"TTLTTRTT", 6, {6, 7, 3, 5, 6, 7}},
      {"TTLTTRTT", 7, {6, 7, 3, 5, 7, 7}},
      {"LTT", 0, {0, 0, 1, 0, 2, 2}},  // frame 0 clicked is a step of its own
      {"LTT", 1, {1, 2, 2, 0, 1, 2}},
      {"TTL", 2, {0, 2, 1, 2, 2, 2}},  // a click on the last frame leads nowhere further
      {"LL.", 1, {1, 1, 2, 0, 2, 2}},
  };
  for (const Case& c : cases) {
    resetRuntime();
    fill(c.firsts);
    const StepBounds b = stepBounds(c.frame);
    const std::vector<int32_t> got{b.first, b.last, b.number, previousStepTarget(c.frame), nextStepTarget(c.frame),
                                   rightArrowTarget(c.frame)};
    EXPECT_EQ(got, c.want) << c.firsts << " frame " << c.frame;
  }
  // Only the frame's first instruction in table order makes it a click.
  resetRuntime();
  fill("..", {}, {instr(1, 'L'), instr(0, 'T'), instr(0, 'L'), instr(1, 'T')});
  EXPECT_FALSE(isClickFrame(0));
  EXPECT_TRUE(isClickFrame(1));
}

TEST_F(FrameCommandsSteps, ReminderComesOnTheThirdStepClickOnce) {
  int32_t counter = 1;  // as at program start
  std::string reminded;
  for (int click = 1; click <= 6; ++click) reminded += stepClickReminds(&counter) ? 'R' : '.';
  EXPECT_EQ(reminded, "..R...");
  EXPECT_EQ(counter, 0);
}

TEST_F(FrameCommandsHide, RemoveFrameRecordAndHideCurrentFrame) {
  const char* removed[] = {
      "1 2 3 | L0>0 L1>1 T2>-1 L2>2 E0>0 | @0 +0",  // a target of 0 stays on 0
      "0 2 3 | T0>1 L1>1 T2>-1 L2>2 | @0 +0",
      "0 1 3 | T0>1 L1>0 T2>-1 L2>2 E1>1 | @0 +0",  // a target of the hidden frame: the frame before
      "0 1 2 | T0>2 L1>0 L2>2 E1>1 | @0 +0",        // the last frame
  };
  for (int32_t index = 0; index < 4; ++index) {
    SetUp();
    fill("....", {}, {instr(0, 'T', 2), instr(1, 'L', 0), instr(2, 'L', 2), instr(3, 'T'), instr(3, 'L', 3),
                      instr(1, 'E', 1)});
    const int64_t name = gFrameData[index].nameText;
    removeFrameRecord(index);
    EXPECT_EQ(state(), removed[index]);
    EXPECT_EQ(text(name), "n" + std::to_string(index));  // kept for showing the frame again
  }
  struct Case {
    const char* firsts;
    int32_t current;
    const char *state, *title;
  };
  const Case cases[] = {
      {"TTTT", 3, "0 1 2 | T0>-1 T1>-1 T2>-1 | @2 +1", ""},
      {"TTTT", 1, "0 2 3 | T0>-1 T1>-1 T2>-1 | @1 +1", ""},
      {"TTTT", 0, "1 2 3 | T0>-1 T1>-1 T2>-1 | @0 +1", ""},
      {"T", 0, "0 | T0>-1 | @0 +0", "Cannot Hide"},  // the only frame stays
  };
  for (const Case& c : cases) {
    SetUp();
    fill(c.firsts);
    gEditorFrame = c.current;
    const Outcome o = hideCurrentFrame();
    EXPECT_EQ(state(), c.state);
    EXPECT_EQ(title(o), c.title);
    EXPECT_EQ(o.refused, *c.title != '\0');
  }
}

// Numbers 0 1 2 4 5 6 with clicks on frames 0, 4 (on kClickRect) and 5;
// frames 2 and 3 share the note "Shared". Click frame 4's step runs from
// frame 1 (number 1) to it.
int64_t mouseoverDemo(bool clickHasNoteAndE) {
  fill("LTTTLL", {0, 1, 2, 4, 5, 6}, clickHasNoteAndE ? std::vector<InstrRec>{instr(4, 'E', 0)} : std::vector<InstrRec>{});
  std::memcpy(gInstrData[4].v, kClickRect, sizeof kClickRect);
  const int64_t shared = demoStoreNewTextValue("Shared");
  gFrameData[2].noteText = gFrameData[3].noteText = shared;
  if (clickHasNoteAndE) gFrameData[4] = {gFrameData[4].nameText, 5, 0, 50, demoStoreNewTextValue("Own"), 7, 8};
  gEditorFrame = 4;
  return shared;
}

TEST_F(FrameCommandsHide, MouseoverPairsTheFrameWithTheClick) {
  struct Case {
    int64_t n;
    bool clickHasNoteAndE;
    const char *state, *note;
    bool sharedKept;
  };
  const Case cases[] = {
      // Frames 2 and 3 are hidden; neither end has a note, so both get a new one.
      {1, false, "0 1 5 6 | L0>-1 M1>-1 L2>-1 L3>-1 E2>1 | @2 +1", "Click in a red box", false},
      // Nothing between: the click takes the mouseover frame's note.
      {4, false, "0 1 2 4 5 6 | L0>-1 T1>-1 T2>-1 M3>-1 L4>-1 L5>-1 E4>3 | @4 +1", "Shared", true},
      // The click keeps its note, and its E now leads to the mouseover frame.
      {2, true, "0 1 2 5 6 | L0>-1 T1>-1 M2>-1 L3>-1 L4>-1 E3>2 | @3 +1", "Own", false},
  };
  for (const Case& c : cases) {
    SetUp();
    const int64_t shared = mouseoverDemo(c.clickHasNoteAndE);
    std::vector<int64_t> names;
    for (int32_t f = 0; f < gFrameCount; ++f) names.push_back(gFrameData[f].nameText);
    EXPECT_FALSE(setMouseover(c.n).refused);
    EXPECT_EQ(state(), c.state);
    const FrameRec &m = gFrameData[gEditorFrame - 1], &click = gFrameData[gEditorFrame];
    EXPECT_EQ(text(m.nameText), "Mouseover");
    EXPECT_EQ(text(click.noteText), c.note);
    EXPECT_TRUE(m.noteText == click.noteText && m.noteX == click.noteX && m.noteY == click.noteY);
    EXPECT_EQ(text(shared), c.sharedKept ? "Shared" : "(none)");
    for (int32_t i = 0; i < gInstrCount; ++i) {  // M and E both take the click's rectangle
      const bool pair = gInstrData[i].type == 'M' || gInstrData[i].type == 'E';
      EXPECT_TRUE(!pair || std::memcmp(gInstrData[i].v, kClickRect, sizeof kClickRect) == 0) << i;
    }
    for (int32_t f = gEditorFrame; f < 4; ++f)  // the hidden frames' names are released
      EXPECT_NE(text(names[f]), f == 2 ? "n2" : "n4");
  }
}

TEST_F(FrameCommandsHide, MouseoverRefusals) {
  const std::string range = "Please enter the number for a frame from '1' to '4'";
  struct Case {
    int32_t current;
    int64_t n;
    const char* title;
    std::string text;
  };
  const Case cases[] = {
      {4, 5, "Already a Click", range},
      {4, 0, "Number outside range of Step", range},
      {4, 6, "Number outside range of Step", range},
      {4, 3, "Frame is Hidden", "Please choose a visible frame in the range of this Step"},
      {0, 1, "Number outside range of Step", "Please enter the number for a frame from '0' to '0'"},
      {5, 5, "Number outside range of Step", "Please enter the number for a frame from '6' to '5'"},  // empty step
      {3, 2, "Not a Click", "A mouseover can only be set on a frame whose first instruction is a click."},
  };
  for (const Case& c : cases) {
    SetUp();
    mouseoverDemo(false);
    gEditorFrame = c.current;
    const std::string before = state();
    const Outcome o = setMouseover(c.n);
    EXPECT_TRUE(o.refused && o.noticeCount == 1);
    EXPECT_EQ(o.notices[0].title + " / " + o.notices[0].text, c.title + (" / " + c.text));
    EXPECT_EQ(state(), before);
  }
}

TEST_F(FrameCommandsRange, HideRange) {
  const char* all = "0 1 2 3 4 5 6 7 8 9 10 11 | K8>4 | @6 +0";  // K on frame 8 leads to frame 4
  struct Case {
    const char *from, *to;
    int32_t current;
    const char *title, *state;
  };
  const Case cases[] = {
      {"10", "", 5, "", "0 1 2 3 4 5 6 7 8 9 11 | K8>4 | @5 +1"},  // an empty To hides From alone
      {"3", "5", 4, "", "0 1 2 6 7 8 9 10 11 | K5>2 | @2 +1"},     // inside: the frame before the range
      {"3", "5", 8, "", "0 1 2 6 7 8 9 10 11 | K5>2 | @5 +1"},     // above: down by the count
      {" 0", "2 ", 1, "", "3 4 5 6 7 8 9 10 11 | K5>1 | @0 +1"},   // no frame before the range
      {"9", "20", 11, "", "0 1 2 3 4 5 6 7 8 | K8>4 | @8 +1"},
      {"20", "30", 6, "", all},
      {"0", "11", 6, "Cannot Hide", all},
      {"", "3", 6, "No 'From Frame#'", all},
      {"x", "3", 6, "No 'From Frame#'", all},
      {"5", "3", 6, "Bad Frame#s", all},
      {"5", "y", 6, "Bad Frame#s", all},
  };
  for (const Case& c : cases) {
    SetUp();
    fill("............", {}, {instr(8, 'K', 4)});
    gEditorFrame = c.current;
    const Outcome o = hideRange(c.from, c.to);
    EXPECT_EQ(title(o), c.title) << c.from << "-" << c.to;
    EXPECT_EQ(o.refused, *c.title != '\0');
    EXPECT_EQ(state(), c.state);
    EXPECT_EQ(o.count, gFrameCount == 12 ? 0 : 12 - gFrameCount);
  }
}

// A recorded demo of eight frames (key records at 0, 3 and 6): frame 2 is a
// mouseover whose E is on click frame 4; frame 7 leads back to frame 4.
class FrameCommandsShow : public FrameCommands {
 protected:
  void SetUp() override {
    FrameCommands::SetUp();
    DemoFixture fx;
    fx.keyEvery = 3;
    for (int f = 0; f < 8; ++f) fx.frames.push_back({"f" + std::to_string(f), "", -999, -999, {instr(f, 'T')}});
    fx.frames[2] = {"Hover", "", -999, -999, {instr(2, 'M')}};
    fx.frames[4] = {"Click", "", -999, -999, {instr(4, 'L'), instr(4, 'E', 2)}};
    fx.frames[7].instrs[0].target = 4;
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Show", fx));
    original.assign(gFrameData, gFrameData + gFrameCount);
  }
  TempDir dir;
  const std::string recording = dir.path() + "/Demos/Show/Show.DMR";
  std::vector<FrameRec> original;
};

TEST_F(FrameCommandsShow, BringsHiddenFramesBack) {
  struct Case {
    int32_t hideFrom, hideTo;
    const char *from, *to;
    std::string path;
    int32_t current, after, count;
    const char *waits, *title;  // waits: "number:instructions" of the frames shown
  };
  const Case cases[] = {
      {5, 7, "5", "7", recording, 4, 4, 3, "5:T100 6:T100 7:T500", ""},  // the last record has no next: 500
      {3, 3, "0", "7", recording, 6, 7, 1, "3:T100", "Info"},
      {0, 1, "0", "1", recording, 0, 2, 2, "0:T100 1:T100", ""},  // before the current frame
      {-1, -1, "0", "252", recording, 3, 3, 0, "", ""},           // nothing hidden; 253 numbers are allowed
      {-1, -1, "8", "9", recording, 3, 3, 0, "", ""},             // beyond the recording
      {3, 4, "0", "253", recording, 3, 3, 0, "", "Too many Frames"},
      {3, 4, "3", "", dir.file("missing.DMR"), 3, 3, 0, "", "Cannot Show Frames"},
      {3, 4, "", "", recording, 3, 3, 0, "", "No 'From Frame#'"},
  };
  for (const Case& c : cases) {
    SetUp();
    if (c.hideFrom >= 0) {
      ASSERT_FALSE(hideRange(std::to_string(c.hideFrom).c_str(), std::to_string(c.hideTo).c_str()).refused);
    }
    gEditorFrame = c.current;
    gEditCount = 0;
    const Outcome o = showRange(c.from, c.to, c.path);
    EXPECT_EQ(title(o), c.title) << c.from << "-" << c.to;
    EXPECT_EQ(o.count, c.count);
    EXPECT_EQ(gEditCount, c.count > 0 ? 1 : 0);
    EXPECT_EQ(gEditorFrame, c.after);
    EXPECT_EQ(gFrameCount, o.refused ? 8 - (c.hideTo - c.hideFrom + 1) : 8);
    std::string waits;
    for (int32_t f = 0; f < gFrameCount; ++f) {
      const FrameRec& r = gFrameData[f];
      const FrameRec& was = original[r.frameId];  // the same record and key record as before hiding
      EXPECT_TRUE(r.imageRefA == was.imageRefA && r.imageRefB == was.imageRefB) << r.frameId;
      if (o.refused || r.frameId < c.hideFrom || r.frameId > c.hideTo) continue;
      EXPECT_EQ(text(r.nameText), "wait");
      EXPECT_TRUE(r.noteText == 0 && r.noteX == DEMO_NO_POSITION && r.noteY == DEMO_NO_POSITION);
      for (int32_t i = 0; i < gInstrCount; ++i)
        if (gInstrData[i].frame == f)
          waits += (waits.empty() ? "" : " ") + std::to_string(r.frameId) + ":" + std::string(1, gInstrData[i].type) +
                   std::to_string(gInstrData[i].v[0]);
    }
    EXPECT_EQ(waits, c.waits);
  }
}

TEST_F(FrameCommandsShow, BreaksTheMouseoverPairAroundTheFrame) {
  ASSERT_FALSE(hideRange("3", "").refused);
  const Outcome o = showRange("3", "", recording);
  ASSERT_EQ(o.noticeCount, 1);
  EXPECT_EQ(o.notices[0].text, "Mouseover was removed from frame 2");
  EXPECT_EQ(text(gFrameData[2].nameText), "wait");
  EXPECT_EQ(state(), "0 1 2 3 4 5 6 7 | T0>-1 T1>-1 T2>-1 L4>-1 T5>-1 T6>-1 T7>4 T3>-1 | @0 +2");
  EXPECT_EQ(gInstrData[2].v[0], 500);
}

TEST_F(FrameCommandsRange, SetTyping) {
  struct Case {
    const char *from, *to, *title, *state, *note;  // note: of every frame in the range
    bool yKept;
  };
  const Case cases[] = {
      // The first note in the range is shared; Y, used by frame 3 alone, goes.
      {"1", "4", "", "0 1 2 3 4 5 | T0>-1 K1>-1 K2>-1 K3>-1 T5>-1 K4>-1 | @0 +1", "X", false},
      {"0", "1", "", "0 1 2 3 4 5 | K0>-1 K1>-1 T2>-1 T3>-1 T5>-1 | @0 +1", "Press any key", true},
      {"5", "", "No 'To Frame#'", "0 1 2 3 4 5 | T0>-1 T1>-1 T2>-1 T3>-1 T5>-1 | @0 +0", "", true},
      {"9", "9", "Bad 'From Frame#'", "0 1 2 3 4 5 | T0>-1 T1>-1 T2>-1 T3>-1 T5>-1 | @0 +0", "", true},
      {"1", "9", "Bad 'To Frame#'", "0 1 2 3 4 5 | T0>-1 T1>-1 T2>-1 T3>-1 T5>-1 | @0 +0", "", true},
  };
  for (const Case& c : cases) {
    SetUp();
    fill("TTTT.T");
    gFrameData[2].noteText = demoStoreNewTextValue("X");
    const int64_t y = gFrameData[3].noteText = demoStoreNewTextValue("Y");
    const Outcome o = setTyping(c.from, c.to);
    EXPECT_EQ(title(o), c.title);
    EXPECT_EQ(state(), c.state);
    EXPECT_EQ(text(y), c.yKept ? "Y" : "(none)");
    const int32_t first = o.refused ? 0 : std::stoi(c.from);
    for (int32_t f = first; f < first + o.count; ++f) {
      EXPECT_EQ(gFrameData[f].noteText, gFrameData[first].noteText);
      EXPECT_EQ(text(gFrameData[f].noteText) + " " + text(gFrameData[f].nameText), c.note + std::string(" type"));
    }
  }
}

TEST_F(FrameCommandsRange, AdjustTiming) {
  struct Case {
    const char *from, *to;
    Timing mode;
    const char* waits;
    int32_t count;
  };
  const Case cases[] = {
      {"0", "", Timing::Faster, "4 5 400 L 700", 1},
      {"1", "1", Timing::Slower, "5 5 400 L 700", 1},  // 5.5 is cut to 5
      {"0", "4", Timing::Faster, "4 4 360 L 630", 4},
      {"0", "4", Timing::Slower, "5 5 440 L 770", 4},
      {"2", "4", Timing::MatchFirst, "5 5 400 L 400", 1},  // the first gives the wait and is not counted
      {"3", "3", Timing::Faster, "5 5 400 L 700", 0},      // no wait to change
      {"0", "7", Timing::Faster, "5 5 400 L 700", 0},      // To is not a visible frame
  };
  for (const Case& c : cases) {
    SetUp();
    fill("TTTLT");
    const int32_t waits[] = {5, 5, 400, 0, 700};
    for (int32_t f = 0; f < 5; ++f) gInstrData[f].v[0] = waits[f];
    const Outcome o = adjustTiming(c.from, c.to, c.mode);
    std::string got;
    for (int32_t f = 0; f < 5; ++f)
      got += (f ? " " : "") + (gInstrData[f].type == 'T' ? std::to_string(gInstrData[f].v[0]) : "L");
    EXPECT_EQ(got, c.waits) << c.from << "-" << c.to;
    EXPECT_EQ(o.count, c.count);
    EXPECT_EQ(gEditCount, c.count > 0 ? 1 : 0);
  }
}

TEST_F(FrameCommandsRange, MessagesAndNotices) {
  const std::vector<std::vector<std::string>> expected = {
      {"Zero frames were hidden", "One frame was hidden", "7 frames were hidden"},
      {"Zero frames were shown", "One frame was shown", "7 frames were shown"},
      {"Zero frames were set for Typing", "One frame was set for Typing", "7 frames were set for Typing"},
      {"Timing of zero frames were adjusted", "Timing of one frame was adjusted", "Timing of 7 frames was adjusted"},
      {"Timing of zero frames were adjusted", "Timing of one frame was adjusted", "Timing of 7 frames were adjusted"},
  };
  for (int command = 0; command < 5; ++command)
    for (int count : {0, 1, 7})
      EXPECT_EQ(rangeMessage(static_cast<RangeCommand>(command), count), expected[command][count == 7 ? 2 : count]);
  Outcome o;
  for (int i = 0; i < 6; ++i) o.say("t" + std::to_string(i), "");
  EXPECT_EQ(o.noticeCount, 4);
  EXPECT_EQ(o.notices[3].title, "t3");
}

TEST_F(FrameCommandsMore, JumpTarget) {
  fill("TTTT", {0, 2, 6, 10});
  const int64_t n[] = {-3, 0, 1, 4, 5, 6, 9, 10, 99};
  const int32_t want[] = {0, 0, 0, 1, 2, 2, 3, 3, 3};  // ties go to the first frame
  for (int i = 0; i < 9; ++i) EXPECT_EQ(jumpTarget(n[i]), want[i]) << n[i];
}

TEST_F(FrameCommandsMore, HomeFrameAndCorners) {
  fill("TTTT", {0, 2, 6, 16777216});
  EXPECT_EQ(homeFrameNumber(), 0);  // defaults of a short header
  EXPECT_EQ(cornersRounded(), 1);
  const int64_t numbers[] = {2, 3, -1, 16777216, 6};  // 3 is hidden; 16777216 is beyond the header's values
  for (int64_t n : numbers) {
    const bool ok = n == 2 || n == 6;
    const int32_t home = homeFrameNumber(), edits = gEditCount;
    const Outcome o = setHomeFrame(n);
    EXPECT_EQ(title(o), ok ? "" : "Hidden Home Frame") << n;
    EXPECT_EQ(homeFrameNumber(), ok ? n : home);
    EXPECT_EQ(gEditCount, edits + (ok ? 1 : 0));
  }
  EXPECT_EQ(setHomeFrame(3).notices[0].text,
            "The Home frame is set to a hidden frame.  Please choose a frame that is not hidden.");
  EXPECT_EQ(gHeaderCount, 3);
  setCorners(0);
  EXPECT_EQ(cornersRounded(), 0);
  setCorners(1);
  EXPECT_EQ(gHeaderData[3], 1);
  EXPECT_EQ(gHeaderCount, 4);
  EXPECT_EQ(homeFrameNumber(), 6);
  EXPECT_EQ(gEditCount, 4);
}

}  // namespace
