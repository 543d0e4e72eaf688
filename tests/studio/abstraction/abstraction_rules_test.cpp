// The abstraction worker's parts on small hand-built inputs: the crop from
// the window file, the timer waits, the grown click rectangles and the
// finishing pass over the instructions, names and notes; the captions of
// the steps and the click boxes fitted from the side file's presses.
#include "studio/abstraction/abstraction.h"
#include "studio/abstraction/step_captions.h"

#include "demo/demo_model.h"
#include "studio/capture/demo_files.h"
#include "studio/capture/press_objects.h"
#include "tests/support/abstraction_reference.h"
#include "tests/support/capture_fixture.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

struct CropCase {
  const char* what;
  int32_t W, H;
  std::vector<std::vector<int32_t>> lines;  // left, top, right, bottom
  int32_t crop[4];
};

const CropCase kCropCases[] = {
    {"no line", 1280, 800, {}, {0, 0, 1280, 800}},
    {"one window 400 x 300", 1280, 800, {{100, 100, 500, 400}}, {100, 100, 400, 300}},
    {"one small window", 1280, 800, {{100, 100, 400, 300}}, {0, 0, 1280, 800}},
    {"the second is not taller", 1280, 800, {{0, 0, 800, 600}, {50, 50, 900, 500}}, {0, 0, 800, 600}},
    {"a combined demo's screen", 1280, 800, {{0, 0, 1280, 800}}, {0, 0, 1279, 799}},
    {"mostly maximised", 1280, 800, {{0, 0, 1280, 760}, {0, 0, 1280, 760}, {200, 100, 700, 500}}, {0, 0, 1279, 760}},
    {"a larger one later", 1280, 800, {{200, 100, 700, 500}, {10, 10, 1000, 700}}, {10, 10, 990, 690}},
    {"two small windows", 1280, 800, {{100, 100, 400, 300}, {100, 100, 400, 300}}, {100, 100, 300, 200}},
    {"too narrow", 1280, 800, {{10, 10, 40, 500}, {10, 10, 50, 600}}, {0, 0, 1280, 800}},
    {"too low", 1280, 800, {{0, 0, 600, 30}, {0, 0, 700, 30}}, {0, 0, 1280, 800}},
    {"beyond the bottom right", 1280, 800, {{1200, 700, 1500, 900}, {1200, 700, 1500, 900}}, {1200, 700, 80, 100}},
    {"starting off the screen", 1280, 800, {{1300, 10, 1400, 300}, {1300, 10, 1400, 300}}, {0, 0, 1280, 800}},
    {"negative corner", 1280, 800, {{-8, -8, 600, 400}, {-8, -8, 600, 400}}, {0, 0, 608, 408}},
    {"upside down", 1280, 800, {{600, 400, 100, 100}, {100, 100, 700, 500}}, {100, 100, 600, 400}},
};

TEST(AbstractionRules, CropFromWindowLines) {
  for (const CropCase& c : kCropCases) {
    SCOPED_TRACE(c.what);
    std::vector<int32_t> flat;
    for (const auto& l : c.lines) flat.insert(flat.end(), l.begin(), l.end());
    const auto* rects = reinterpret_cast<const int32_t(*)[4]>(flat.data());
    const int count = static_cast<int>(c.lines.size());
    int32_t crop[4] = {-5, -5, -5, -5}, ref[4] = {-5, -5, -5, -5};
    detectCropFromRects(rects, count, c.W, c.H, crop);
    referenceDetectCrop(rects, count, c.W, c.H, ref);
    EXPECT_EQ(std::vector<int32_t>(crop, crop + 4), std::vector<int32_t>(c.crop, c.crop + 4));
    EXPECT_EQ(std::vector<int32_t>(ref, ref + 4), std::vector<int32_t>(c.crop, c.crop + 4));
  }
}

class AbstractionModel : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    std::memset(gHeaderData, 0, sizeof gHeaderData);
    gHeaderCount = 0;
  }
  void TearDown() override { resetRuntime(); }
  // Frame f with its one instruction, as the analysis leaves them: the
  // record time in nameText, the pointer in noteX and noteY.
  void add(int64_t time, InstrRec in) {
    const int32_t f = gFrameCount++;
    gFrameData[f] = FrameRec{time, f, 0, 0, 0, 10, 10};
    in.frame = f;
    gInstrData[gInstrCount++] = in;
  }
  std::string text(int64_t index) {
    char out[DEMO_TEXT_LEN];
    return demoGetTextValue(static_cast<int32_t>(index), out) == 0 ? out : "(none)";
  }
  static std::vector<int32_t> values(const InstrRec& in) {
    return {in.frame, in.target, in.type, in.v[0], in.v[1], in.v[2], in.v[3]};
  }
};

TEST_F(AbstractionModel, TimerWaitsFromRecordTimes) {
  struct {
    int64_t time;
    int32_t type;
    int32_t wait;  // expected
  } const rows[] = {
      {0, 'T', 1000},     // 2.5 s later: at most 1000
      {2500, 'T', 500},   // the next is earlier: 500
      {2400, 'T', 300},
      {2700, 'L', 40},    // clicks keep their rectangle
      {2800, 'T', 1000},  // exactly 1000
      {3800, 'T', 0},     // the last frame waits 0
  };
  for (const auto& r : rows) add(r.time, InstrRec{0, -1, r.type, {r.type == 'L' ? 40 : 0, 41, 52, 53}});
  setTimerWaits();
  for (int32_t f = 0; f < gFrameCount; ++f) EXPECT_EQ(gInstrData[f].v[0], rows[f].wait) << "frame " << f;
  EXPECT_EQ(gInstrData[3].v[3], 53);
}

TEST_F(AbstractionModel, ClickRectanglesGrowInsideTheCrop) {
  const int32_t crop[4] = {10, 20, 100, 80};  // right edge 109, bottom edge 99
  std::memcpy(gCropSize, crop, sizeof crop);
  struct {
    InstrRec in;
    int32_t grown[4];
  } const rows[] = {
      {{0, -1, 'L', {50, 50, 60, 60}}, {47, 47, 63, 63}},
      {{0, -1, 'L', {11, 21, 108, 98}}, {10, 20, 109, 99}},
      {{0, -1, 'T', {500, 1, 2, 3}}, {500, 1, 2, 3}},
      {{0, -1, 'M', {12, 22, 30, 30}}, {10, 20, 33, 33}},
      {{0, -1, 'L', {10, 20, 19, 29}}, {10, 20, 22, 32}},
  };
  for (const auto& r : rows) add(0, r.in);
  growClickRects();
  for (int32_t k = 0; k < gInstrCount; ++k)
    EXPECT_EQ(std::vector<int32_t>(gInstrData[k].v, gInstrData[k].v + 4),
              std::vector<int32_t>(rows[k].grown, rows[k].grown + 4))
        << "instruction " << k;
}

TEST_F(AbstractionModel, FinishingMakesHoverPairsNamesAndNotes) {
  demoInitDatastores();
  add(0, {0, -1, 'T', {1000, 5, 6, 7}});
  add(100, {0, -1, 'T', {1000, 0, 0, 0}});
  add(200, {0, -1, 'M', {30, 40, 90, 60}});
  add(300, {0, -1, 'L', {1, 2, 3, 4}});
  add(400, {0, -1, 'T', {300, 0, 0, 0}});
  finishInstructions();

  EXPECT_EQ(gHeaderCount, 4);
  EXPECT_EQ(gHeaderData[3], 1);
  ASSERT_EQ(gInstrCount, 6);
  EXPECT_EQ(values(gInstrData[0]), (std::vector<int32_t>{0, -1, 'T', 999, 0, 0, 0}));
  EXPECT_EQ(values(gInstrData[1]), (std::vector<int32_t>{1, -1, 'M', 30, 40, 90, 60}));
  EXPECT_EQ(values(gInstrData[2]), (std::vector<int32_t>{2, -1, 'L', 30, 40, 90, 60}));
  EXPECT_EQ(values(gInstrData[3]), (std::vector<int32_t>{3, -1, 'L', 1, 2, 3, 4}));
  EXPECT_EQ(values(gInstrData[4]), (std::vector<int32_t>{4, -1, 'T', 300, 0, 0, 0}));
  EXPECT_EQ(values(gInstrData[5]), (std::vector<int32_t>{2, 1, 'E', 30, 40, 90, 60}));

  const char* names[] = {"wait", "Mouseover", "Click", "Click", "wait"};
  for (int32_t f = 0; f < 5; ++f) {
    EXPECT_EQ(text(gFrameData[f].nameText), names[f]) << "frame " << f;
    EXPECT_EQ(gFrameData[f].noteX, DEMO_NO_POSITION);
    EXPECT_EQ(gFrameData[f].noteY, DEMO_NO_POSITION);
  }
  // Stored in order: name 9; shared note 10 and name 11; name 12; note 13 and name 14; name 15.
  const int64_t notes[] = {0, 10, 10, 13, 0};
  const int64_t nameRecords[] = {9, 11, 12, 14, 15};
  for (int32_t f = 0; f < 5; ++f) {
    EXPECT_EQ(gFrameData[f].noteText, notes[f]) << "frame " << f;
    EXPECT_EQ(gFrameData[f].nameText, nameRecords[f]) << "frame " << f;
  }
  EXPECT_EQ(text(10), "Click in a red box");
  EXPECT_EQ(text(13), "Click in a red box");
  EXPECT_EQ(gHighestUsedTextRec, 16);
}

TEST_F(AbstractionModel, HoverOnTheFirstFrameOnlyBecomesAClick) {
  demoInitDatastores();
  add(0, {0, -1, 'M', {30, 40, 90, 60}});
  add(100, {0, -1, 'T', {1200, 0, 0, 0}});
  finishInstructions();
  ASSERT_EQ(gInstrCount, 2);
  EXPECT_EQ(values(gInstrData[0]), (std::vector<int32_t>{0, -1, 'L', 30, 40, 90, 60}));
  EXPECT_EQ(values(gInstrData[1]), (std::vector<int32_t>{1, -1, 'T', 999, 0, 0, 0}));
  EXPECT_EQ(text(gFrameData[0].nameText), "Click");
  EXPECT_EQ(text(gFrameData[1].nameText), "wait");
  EXPECT_NE(gFrameData[0].noteText, 0);
  EXPECT_EQ(gFrameData[1].noteText, 0);
}

// Change analysis of a second frame against a grey first one on a screen
// of 400 x 320 (128,000 pixels, so that 6 changed pixels round to 0 of
// 10,000 and count as 1): the worker and the plain reference agree.
TEST(AbstractionRules, ChangeAndCaretThresholds) {
  constexpr int32_t kW = 400, kH = 320;
  const auto dots = [](int n) {
    return [n](CaptureScreen& s) {
      for (int i = 0; i < n; ++i) s.fill(50 + 20 * i, 60, 1, 1, 0x000000);
    };
  };
  const auto line = [](int length) {  // a dark caret line on the grey
    return [length](CaptureScreen& s) { s.fill(200, 100, 1, length, 0x000000); };
  };
  const struct {
    const char* what;
    std::function<void(CaptureScreen&)> change;
    int32_t change10000;
    int caret, caretY;
  } cases[] = {{"five pixels", dots(5), 0, 0, -1},
               {"six pixels", dots(6), 1, 0, -1},
               {"the whole screen", [](CaptureScreen& s) { s.fill(0, 0, kW, kH, 0x202020); }, 10000, 0, -1},
               {"a caret of 5 more pixels", line(6), 1, 1, 100},
               {"a caret of 21 more pixels", line(22), 2, 1, 100},
               {"a line of 4 more pixels", line(5), 0, 0, -1},
               // Too long from its top, but its lower 22 pixels are a caret of 21 more.
               {"a line of 22 more pixels", line(23), 2, 1, 101}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    resetRuntime();
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    CaptureFixture fx;
    fx.W = kW;
    fx.H = kH;
    const auto grey = [](CaptureScreen& s) { s.fill(0, 0, kW, kH, 0x808080); };
    fx.frames = {CaptureFrame{0, 10, 10, 0, grey}, CaptureFrame{100, 10, 10, 0, [&](CaptureScreen& s) {
                                                                   grey(s);
                                                                   c.change(s);
                                                                 }}};
    ASSERT_TRUE(writeCaptureSlot(dir.path(), fx));
    gRecordedW = -1;
    analyseCapture();
    ASSERT_EQ(gFrameCount, 2);
    FrameChange fast{};
    analyseFrameChanges(1, 0, 1, &fast);
    const FrameChange plain = referenceFrameChange(1);
    EXPECT_EQ(fast.change, c.change10000);
    EXPECT_EQ(fast.caret, c.caret);
    EXPECT_EQ(fast.caretX, c.caret == 1 ? 200 : -1);
    EXPECT_EQ(fast.caretY, c.caretY);
    EXPECT_EQ(plain.change, fast.change);
    EXPECT_EQ(plain.caret, fast.caret);
    EXPECT_EQ(plain.caretX, fast.caretX);
    EXPECT_EQ(plain.caretY, fast.caretY);
    EXPECT_EQ(std::vector<int32_t>(plain.box, plain.box + 4), std::vector<int32_t>(fast.box, fast.box + 4));
  }
}

}  // namespace

namespace {

// A run longer than a run's entries can hold is scrubbed over its last
// 9,999 frames only: identical frames there go, the ones before stay.
TEST(AbstractionRules, ARunLongerThanTheEntriesIsScrubbedOverItsEnd) {
  TempDir dir;
  resetRuntime();
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  CaptureScript script(40, 30, 2, 2, 36, 26);
  script.frames(10060, 20);  // the same screen, 10,060 times
  script.clickButton(0);     // the run's closing click
  script.pauseCapture();
  ASSERT_TRUE(writeCaptureSlot(dir.path(), script.fixture()));
  gRecordedW = -1;
  analyseCapture();
  ASSERT_GT(gFrameCount, 10060);
  buildSteps();
  ASSERT_EQ(gAbstractProgress.load(), 1000);
  // Frames 1 .. 60 or so lie before the scrubbed part and are kept; the
  // scrubbed part shrinks to its first frame and the click.
  EXPECT_GT(gFrameCount, 55);
  EXPECT_LT(gFrameCount, 80);
  int32_t clicks = 0;
  for (int32_t i = 0; i < gInstrCount; ++i) clicks += gInstrData[i].type == INSTR_LEFT ? 1 : 0;
  EXPECT_GE(clicks, 1);
}

}  // namespace

namespace {

TEST(StepCaptions, WordingByRole) {
  struct Case {
    const char* role;
    const char* name;
    bool hover, typing;
    const char* caption;
  };
  const Case cases[] = {
      {"push button", "Save", false, false, "Click \"Save\"."},
      {"menu item", "Open...", false, false, "Choose \"Open...\"."},
      {"menu", "File", false, false, "Choose \"File\"."},
      {"text", "Name", false, false, "Click in the \"Name\" field."},
      {"entry", "Name", false, true, "Type in the \"Name\" field."},
      {"check box", "Bold", false, false, "Select \"Bold\"."},
      {"radio button", "Left", false, false, "Select \"Left\"."},
      {"page tab", "General", false, false, "Open the \"General\" tab."},
      {"table cell", "Otto", false, false, "Click \"Otto\"."},
      {"push button", "Help", true, false, "Point at \"Help\"."},
      {"", "7", false, false, "Click \"7\"."},  // read off the screen: no role
      {"password text", "secret typed", false, true, "Type the password."},
      {"password text", "", true, false, "Type the password."},
      {"push button", "", false, false, ""},
      {"push button", " \t\n ", false, false, ""},
      {"push button", "  Two\nlines ", false, false, "Click \"Two lines\"."},
      {"push button", "Caf\xC3\xA9", false, false, "Click \"Caf\xE9\"."},  // UTF-8 in, Windows-1252 out
      {"push button", "\xE6\x97\xA5\xE6\x9C\xAC", false, false, ""},   // nothing the code page holds
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.role) + " '" + c.name + "'");
    CaptionPress p;
    p.role = c.role;
    p.name = c.name;
    p.hover = c.hover;
    p.typingFollows = c.typing;
    EXPECT_EQ(captionOf(p), c.caption);
  }
  CaptionPress longName;
  longName.role = "push button";
  longName.name = std::string(200, 'x');
  const std::string caption = captionOf(longName);
  EXPECT_EQ(caption, "Click \"" + std::string(CAPTION_NAME_CAP - 3, 'x') + "...\".");
}

// The side file's presses become the notes of their steps and, where the
// object's extents hold the press and fit the crop, their click boxes; a
// press without a line, and a capture without a side file, are abstracted
// as before.
TEST(AbstractionRules, PressesOfTheSideFileCaptionTheirStepsAndFitTheirBoxes) {
  TempDir dir;
  resetRuntime();
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  CaptureScript s;
  s.frames(2).clickButton(0, 300).blink(3, s.fieldX(), s.fieldY(), 300).type().type().frames(2);
  s.clickButton(1, 300).frames(2).clickButton(2, 300).frames(2).clickButton(0, 300).frames(2).pauseCapture();
  ASSERT_TRUE(writeCaptureSlot(dir.path(), s.fixture()));
  std::vector<int32_t> pressTimes;
  for (const CaptureFrame& f : s.fixture().frames)
    if (f.click == 1) pressTimes.push_back(f.time);
  ASSERT_EQ(pressTimes.size(), 6u);  // four buttons, the field and "Pause Capture"

  auto abstractSlot = [] {
    gRecordedW = -1;
    analyseCapture();
    buildSteps();
    std::vector<InstrRec> clicks;
    std::vector<std::string> notes;
    for (int32_t i = 0; i < gInstrCount; ++i)
      if (gInstrData[i].type == INSTR_LEFT) {
        clicks.push_back(gInstrData[i]);
        char text[DEMO_TEXT_LEN] = "";
        demoGetTextValue(static_cast<int32_t>(gFrameData[gInstrData[i].frame].noteText), text);
        notes.push_back(text);
      }
    return std::make_pair(clicks, notes);
  };
  const auto plain = abstractSlot();
  ASSERT_EQ(plain.first.size(), 5u);

  const int32_t bx = s.buttonX(0) - 9, by = s.buttonY(0) - 11;
  auto line = [&](size_t press, const char* role, const char* name, int32_t x, int32_t y, int32_t w, int32_t h) {
    PressObject p;
    p.time = pressTimes[press];
    p.role = role;
    p.name = name;
    p.extents[0] = x, p.extents[1] = y, p.extents[2] = w, p.extents[3] = h;
    ASSERT_TRUE(appendPressLine(captureSlotPath(".DMA"), p));
  };
  line(0, "push button", "OK", bx, by, 60, 22);
  line(1, "text", "Name", s.fieldX() - 70, s.fieldY() - 10, 150, 20);
  line(2, "password text", "hunter2", bx + 75, by, 60, 22);
  line(3, "push button", "Far", bx + 300, by, 60, 22);  // extents that miss the press: the box as before
  // press 4 has no line
  const auto captioned = abstractSlot();
  ASSERT_EQ(captioned.first.size(), 5u);
  // The first button lights up under the pointer before its press: a mouseover pair.
  const std::vector<std::string> want = {"Point at \"OK\".", "Type in the \"Name\" field.", "Type the password.",
                                         "Click \"Far\".", "Click in a red box"};
  EXPECT_EQ(captioned.second, want);
  const int32_t fitted[3][4] = {{bx, by, bx + 59, by + 21},
                                {s.fieldX() - 70, s.fieldY() - 10, s.fieldX() + 79, s.fieldY() + 9},
                                {bx + 75, by, bx + 134, by + 21}};
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE("press " + std::to_string(i));
    const InstrRec& got = captioned.first[i];
    const InstrRec& before = plain.first[i];
    if (i < 3) EXPECT_EQ(std::vector<int32_t>(got.v, got.v + 4), std::vector<int32_t>(fitted[i], fitted[i] + 4));
    else EXPECT_EQ(std::vector<int32_t>(got.v, got.v + 4), std::vector<int32_t>(before.v, before.v + 4));
  }
  // The password field, over the records from its press to the next press.
  const std::vector<PasswordField> fields = passwordFields();
  ASSERT_EQ(fields.size(), 1u);
  EXPECT_EQ(std::vector<int32_t>(fields[0].rect, fields[0].rect + 4), (std::vector<int32_t>{bx + 75, by, 60, 22}));
  EXPECT_EQ(fields[0].from, gFrameData[captioned.first[2].frame].frameId);
  EXPECT_EQ(fields[0].to, gFrameData[captioned.first[3].frame].frameId);
  // "Write step notes" unchecked: the default notes are back, the boxes stay fitted.
  removeStepCaptions();
  for (int32_t i = 0; i < gInstrCount; ++i) {
    char text[DEMO_TEXT_LEN] = "";
    if (gInstrData[i].type != INSTR_LEFT) continue;
    demoGetTextValue(static_cast<int32_t>(gFrameData[gInstrData[i].frame].noteText), text);
    EXPECT_STREQ(text, "Click in a red box");
  }
}

}  // namespace
