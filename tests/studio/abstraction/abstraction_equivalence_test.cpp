// The abstraction workers against the plain reference abstraction: the
// same capture slots must give byte-identical demo data files. A few
// checks of the reference's own results keep the oracle honest.
#include "studio/abstraction/abstraction.h"

#include "demo/demo_model.h"
#include "studio/capture/demo_files.h"
#include "tests/support/abstraction_reference.h"
#include "tests/support/capture_fixture.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A copy of the model, for saying where two results part.
struct Model {
  std::vector<int32_t> header;
  std::vector<FrameRec> frames;
  std::vector<InstrRec> instrs;
  std::vector<std::string> texts;  // records 9 .. limit - 1; "(free)" when not in use
  int32_t crop[4] = {};
};

Model snapshot() {
  Model m;
  m.header.assign(gHeaderData, gHeaderData + std::max(gHeaderCount, 0));
  m.frames.assign(gFrameData, gFrameData + std::max(gFrameCount, 0));
  m.instrs.assign(gInstrData, gInstrData + std::max(gInstrCount, 0));
  for (int32_t i = DEMO_FIRST_TEXT_REC; i < gHighestUsedTextRec; ++i)
    m.texts.push_back(gTxtRecData[i][0] ? gTxtRecVals[i] : "(free)");
  std::memcpy(m.crop, gCropSize, sizeof m.crop);
  return m;
}

std::string show(const FrameRec& f) {
  char s[200];
  std::snprintf(s, sizeof s, "name %lld id %lld refs %lld..%lld note %lld at %lld,%lld",
                static_cast<long long>(f.nameText), static_cast<long long>(f.frameId),
                static_cast<long long>(f.imageRefA), static_cast<long long>(f.imageRefB),
                static_cast<long long>(f.noteText), static_cast<long long>(f.noteX), static_cast<long long>(f.noteY));
  return s;
}

std::string show(const InstrRec& in) {
  char s[120];
  std::snprintf(s, sizeof s, "frame %d target %d '%c' %d,%d,%d,%d", in.frame, in.target, static_cast<char>(in.type),
                in.v[0], in.v[1], in.v[2], in.v[3]);
  return s;
}

// The first place where the reference's model and the worker's differ, in words; empty when none.
std::string firstDifference(const Model& ref, const Model& fast) {
  std::ostringstream out;
  if (std::memcmp(ref.crop, fast.crop, sizeof ref.crop) != 0)
    out << "crop: reference " << ref.crop[0] << "," << ref.crop[1] << "," << ref.crop[2] << "," << ref.crop[3]
        << " worker " << fast.crop[0] << "," << fast.crop[1] << "," << fast.crop[2] << "," << fast.crop[3] << "\n";
  if (ref.header != fast.header) {
    out << "header values differ:";
    for (int32_t v : ref.header) out << " " << v;
    out << " vs";
    for (int32_t v : fast.header) out << " " << v;
    out << "\n";
  }
  if (ref.frames.size() != fast.frames.size())
    out << "frame count: reference " << ref.frames.size() << " worker " << fast.frames.size() << "\n";
  for (size_t i = 0; i < std::min(ref.frames.size(), fast.frames.size()); ++i)
    if (std::memcmp(&ref.frames[i], &fast.frames[i], sizeof(FrameRec)) != 0) {
      out << "frame " << i << ": reference " << show(ref.frames[i]) << "\n          worker    "
          << show(fast.frames[i]) << "\n";
      break;
    }
  // The frames around the first frame or instruction that differs, side by side.
  size_t at = std::min(ref.frames.size(), fast.frames.size());
  for (size_t i = 0; i < at; ++i)
    if (std::memcmp(&ref.frames[i], &fast.frames[i], sizeof(FrameRec)) != 0 ||
        (i < ref.instrs.size() && i < fast.instrs.size() &&
         std::memcmp(&ref.instrs[i], &fast.instrs[i], sizeof(InstrRec)) != 0))
      at = i;
  const size_t longest = std::max(std::max(ref.frames.size(), fast.frames.size()), std::max(ref.instrs.size(), fast.instrs.size()));
  for (size_t i = at < 3 ? 0 : at - 3; at < longest && i < at + 4; ++i) {
    out << (i == at ? "  > " : "    ") << "frame " << i << ":";
    if (i < ref.frames.size() && i < ref.instrs.size())
      out << " reference id " << ref.frames[i].frameId << " " << show(ref.instrs[i]);
    if (i < fast.frames.size() && i < fast.instrs.size())
      out << " | worker id " << fast.frames[i].frameId << " " << show(fast.instrs[i]);
    out << "\n";
  }
  if (ref.instrs.size() != fast.instrs.size())
    out << "instruction count: reference " << ref.instrs.size() << " worker " << fast.instrs.size() << "\n";
  for (size_t i = 0; i < std::min(ref.instrs.size(), fast.instrs.size()); ++i)
    if (std::memcmp(&ref.instrs[i], &fast.instrs[i], sizeof(InstrRec)) != 0) {
      out << "instruction " << i << ": reference " << show(ref.instrs[i]) << "\n                worker    "
          << show(fast.instrs[i]) << "\n";
      break;
    }
  if (ref.texts != fast.texts) {
    out << "text records: reference " << ref.texts.size() << " worker " << fast.texts.size();
    for (size_t i = 0; i < std::min(ref.texts.size(), fast.texts.size()); ++i)
      if (ref.texts[i] != fast.texts[i]) {
        out << ", first difference at " << i + DEMO_FIRST_TEXT_REC << ": '" << ref.texts[i] << "' vs '"
            << fast.texts[i] << "'";
        break;
      }
    out << "\n";
  }
  return out.str();
}

// How a slot is abstracted: with crop detection, or with a crop already set.
struct Slot {
  std::string name;
  CaptureFixture fx;
  bool presetCrop = false;
  int32_t crop[4] = {};
};

// An empty model, text slots included (the data file carries their bytes).
void resetModel(const Slot& slot) {
  resetRuntime();
  std::memset(gTxtRecVals, 0, sizeof gTxtRecVals);
  std::memset(gHeaderData, 0, sizeof gHeaderData);
  gHeaderCount = 0;
  gRecordedW = gRecordedH = -1;
  gAbstractProgress = 0;
  gAbstractOutcome = ABSTRACT_OK;
  gAbstractRecordsRead = 0;
  if (slot.presetCrop) {
    gRecordedW = slot.fx.W;
    gRecordedH = slot.fx.H;
    std::memcpy(gCropSize, slot.crop, sizeof gCropSize);
  }
}

class AbstractionEquivalence : public testing::Test {
 protected:
  void SetUp() override { std::memcpy(savedFolder, gProgramFolder, sizeof savedFolder); }
  void TearDown() override {
    resetRuntime();
    std::memcpy(gProgramFolder, savedFolder, sizeof savedFolder);
  }
  // Writes the slot and abstracts it with the reference; the model holds the result.
  void reference(const Slot& slot, Model* analysed = nullptr) {
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    ASSERT_TRUE(writeCaptureSlot(dir.path(), slot.fx));
    resetModel(slot);
    referenceAnalyseCapture();
    if (analysed) *analysed = snapshot();
    referenceBuildSteps();
  }
  // Both abstractions of the slot, compared after the analysis and as data files.
  void compare(const Slot& slot) {
    SCOPED_TRACE(slot.name);
    Model refAnalysed, fastAnalysed;
    reference(slot, &refAnalysed);
    const int32_t refW = gRecordedW, refH = gRecordedH, refOutcome = gAbstractOutcome;
    const int64_t refRecords = gAbstractRecordsRead;
    const Model ref = snapshot();
    ASSERT_EQ(demoDataWrite(dir.file("reference.DMD"), DMD_VERSION), 1);

    resetModel(slot);
    analyseCapture();
    fastAnalysed = snapshot();
    // A frame's note is not set until the finishing pass: the analysis is compared without it.
    for (Model* m : {&refAnalysed, &fastAnalysed})
      for (FrameRec& f : m->frames) f.noteText = 0;
    EXPECT_EQ(gAbstractProgress.load(), 1000);
    EXPECT_EQ(gRecordedW, refW);
    EXPECT_EQ(gRecordedH, refH);
    EXPECT_EQ(gAbstractOutcome.load(), refOutcome);
    EXPECT_EQ(gAbstractRecordsRead, refRecords);
    const std::string analysis = firstDifference(refAnalysed, fastAnalysed);
    EXPECT_TRUE(analysis.empty()) << "after the analysis:\n" << analysis;
    buildSteps();
    EXPECT_EQ(gAbstractProgress.load(), 1000);
    const Model fast = snapshot();
    ASSERT_EQ(demoDataWrite(dir.file("worker.DMD"), DMD_VERSION), 1);
    const std::string refBytes = slurp(dir.file("reference.DMD")), fastBytes = slurp(dir.file("worker.DMD"));
    EXPECT_FALSE(refBytes.empty());
    EXPECT_TRUE(refBytes == fastBytes) << "the data files differ (" << refBytes.size() << " vs " << fastBytes.size()
                                       << " bytes); after the steps:\n"
                                       << firstDifference(ref, fast);
  }

  TempDir dir;
  char savedFolder[sizeof gProgramFolder];
};

// ---- The capture slots -------------------------------------------------------------------

// Hover highlights before clicks, pages that change, the final pause click.
Slot hoverAndClicks() {
  CaptureScript s;
  s.frame().frames(2);
  s.clickButton(0).frames(4);
  s.hover(1).frames(3).click();
  ++s.state().page;
  s.frame().frames(3);
  s.state().lit = -1;
  s.moveTo(150, 60).frames(2);
  s.clickButton(2).frames(6);
  s.moveTo(s.buttonX(1) + 13, s.buttonY(1) - 1).click();  // on a button's label
  ++s.state().page;
  s.frames(2);
  s.moveTo(s.window(0) + 12, s.window(1) + 26).click();  // near the crop's corner
  ++s.state().page;
  s.frames(3);
  s.pauseCapture().frames(2);
  return {"hover and clicks", s.fixture()};
}

// A caret blinking for twenty frames, typing, a quick blink, clicks.
Slot blinkingCaret() {
  CaptureScript s;
  s.frames(3);
  s.blink(20, s.buttonX(1), s.buttonY(1));
  s.click();
  ++s.state().page;
  s.frame();
  s.state().caret = true;
  for (int i = 0; i < 5; ++i) s.type(150);
  s.blink(9, s.fieldX() + 40, s.fieldY());
  s.clickButton(2).frames(2);
  s.pauseCapture();
  return {"blinking caret", s.fixture()};
}

// Fast animation steps between clicks, then slower ones.
Slot animation() {
  CaptureScript s;
  s.frames(2);
  s.clickButton(0);
  s.animate(40, 30);
  s.clickButton(1);
  s.animate(12, 120).animate(8, 20);
  s.clickButton(2).animate(25, 60);
  s.pauseCapture().frames(1);
  return {"animation", s.fixture()};
}

// Runs of identical frames between clicks, one of them long.
Slot idleRuns() {
  CaptureScript s;
  s.frames(2);
  s.clickButton(0).frames(10, 50);
  s.type(50).type(50);
  s.clickButton(1).frames(30, 100);
  s.clickButton(2).frames(3, 700);
  s.pauseCapture().frames(3, 2000);
  return {"idle runs", s.fixture()};
}

// A pop-up that comes and goes, clicks outside the window in the middle and at the end.
Slot popupAndOutside() {
  CaptureScript s;
  s.frames(2);
  s.clickButton(0).popup(true).frames(3);
  s.moveTo(s.window(0) + 100, s.window(1) + 70).click();
  s.popup(false).frames(2);
  s.clickOutside(10, 10).frames(3);
  s.moveTo(s.window(0) + 19, s.window(1) + 33).click().frame();  // on the panel's line of text
  s.clickButton(1).frames(2);
  s.clickOutside(300, 20).frames(2);
  s.clickButton(2).frames(2);
  s.clickOutside(5, 230).frame();
  s.clickOutside(310, 5).frame();
  s.pauseCapture().frames(2);
  return {"pop-up and clicks outside", s.fixture()};
}

// Double clicks 400 and 500 ms apart, a triple click, a click far from the pointer's last place.
Slot doubleClicks() {
  CaptureScript s;
  s.frames(2);
  s.doubleClickButton(0, 400).frames(3);
  s.doubleClickButton(1, 500).frames(3);
  s.hover(2).click().click(200).click(200);
  ++s.state().page;
  s.frames(3);
  s.doubleClickButton(0, 499).frames(2);
  s.pauseCapture();
  return {"double clicks", s.fixture()};
}

// A crop already set (no detection), clicks near its edges, the last record cut short.
Slot presetCrop() {
  CaptureScript s;
  s.frames(2);
  s.moveTo(40, 25).click().frame();  // 10 pixels from the crop's left edge
  s.moveTo(30, 20).click().frame();  // the crop's top-left corner
  s.moveTo(289, 219).click().frame();  // its bottom-right corner
  s.clickButton(1).animate(6, 50);
  s.blink(5, 100, 100);
  s.pauseCapture().frames(2);
  Slot slot{"crop set, last record cut", s.fixture(), true, {30, 20, 260, 200}};
  slot.fx.cutBytes = 100;
  return slot;
}

// A long capture of everything, with window lines of a nearly maximised window.
Slot longMixed() {
  CaptureScript s(320, 240, 20, 20, 280, 200);
  s.frames(3);
  for (int round = 0; round < 3; ++round) {
    s.clickButton(round % 3).frames(4);
    s.blink(8, s.buttonX(2), s.buttonY(2));
    s.type().type().animate(10, 25);
    s.popup(true).frames(2).popup(false);
    s.doubleClickButton(1, 300).frames(5, 80);
    s.hover(0).frames(2);
    s.state().lit = -1;
    s.moveTo(200, 150, -50).frames(3);  // times going back
  }
  s.pauseCapture().frames(2);
  Slot slot{"long mixed", s.fixture()};
  slot.fx.windowLines = {{0, 0, 320, 236}, {0, 0, 320, 236}, {20, 20, 300, 220}};
  return slot;
}

// One frame cut short: no whole record at all.
Slot noWholeRecord() {
  CaptureScript s;
  s.frame();
  Slot slot{"no whole record", s.fixture()};
  slot.fx.cutBytes = 10;
  return slot;
}

TEST_F(AbstractionEquivalence, HoverAndClicks) { compare(hoverAndClicks()); }
TEST_F(AbstractionEquivalence, BlinkingCaret) { compare(blinkingCaret()); }
TEST_F(AbstractionEquivalence, Animation) { compare(animation()); }
TEST_F(AbstractionEquivalence, IdleRuns) { compare(idleRuns()); }
TEST_F(AbstractionEquivalence, PopupAndClicksOutside) { compare(popupAndOutside()); }
TEST_F(AbstractionEquivalence, DoubleClicks) { compare(doubleClicks()); }
TEST_F(AbstractionEquivalence, PresetCropAndCutRecord) { compare(presetCrop()); }
TEST_F(AbstractionEquivalence, LongMixed) { compare(longMixed()); }
TEST_F(AbstractionEquivalence, NoWholeRecord) { compare(noWholeRecord()); }
// One program run may abstract several captures with different crops: nothing may carry over.
TEST_F(AbstractionEquivalence, AnotherCropAfterwards) {
  compare(hoverAndClicks());
  compare(longMixed());
  compare(presetCrop());
}

// ---- The reference's own results ------------------------------------------------------------

// The original frame (index in the analysed list) of each frame of the result, by its record.
std::vector<int> originalFrames(const Model& analysed) {
  std::vector<int> out;
  for (int32_t f = 0; f < gFrameCount; ++f) {
    int found = -1;
    for (size_t k = 0; k < analysed.frames.size(); ++k)
      if (analysed.frames[k].imageRefB == gFrameData[f].imageRefB) found = static_cast<int>(k);
    out.push_back(found);
  }
  return out;
}

std::string nameOf(int32_t f) {
  char out[DEMO_TEXT_LEN];
  return demoGetTextValue(static_cast<int32_t>(gFrameData[f].nameText), out) == 0 ? out : "(none)";
}

TEST_F(AbstractionEquivalence, ReferenceDropsTheOnlyPauseClick) {
  CaptureScript s;
  s.frame();
  s.state().spin = 0;
  s.animate(10, 300);
  s.pauseCapture().frames(2);
  Model analysed;
  reference({"pause only", s.fixture()}, &analysed);
  ASSERT_EQ(analysed.frames.size(), 15u);
  ASSERT_GT(gFrameCount, 0);
  for (int32_t f = 0; f < gInstrCount; ++f) EXPECT_EQ(gInstrData[f].type, INSTR_TIMER) << f;
  for (int original : originalFrames(analysed)) EXPECT_LT(original, 12);  // the click is frame 12
}

TEST_F(AbstractionEquivalence, ReferenceShrinksTenIdenticalFrames) {
  CaptureScript s;
  s.frames(2);
  s.clickButton(0);       // frames 2 .. 4, page 1 shown by frame 4
  s.frames(9, 50);        // 5 .. 13: nine more of the same
  s.type(50).type(100);   // 14, 15
  s.click(100);           // 16
  ++s.state().page;
  s.frames(2);
  s.pauseCapture();
  Model analysed;
  reference({"ten identical", s.fixture()}, &analysed);
  const std::vector<int> kept = originalFrames(analysed);
  std::vector<int> between;
  for (size_t f = 0; f < kept.size(); ++f)
    if (kept[f] > 3 && kept[f] < 16) between.push_back(static_cast<int>(f));
  ASSERT_EQ(between.size(), 2u);
  EXPECT_EQ(kept[between[0]], 4);   // the first of the ten
  EXPECT_EQ(kept[between[1]], 14);  // the next change, which took the removed waits
  EXPECT_EQ(gInstrData[between[0]].v[0], 50);
  EXPECT_EQ(gInstrData[between[1]].v[0], 9 * 50 + 100);
  EXPECT_EQ(nameOf(between[1] + 1), "Click");
}

// The literal rules leave the first caret, the last caret and one frame
// between them; each is a timer of 500 ms.
TEST_F(AbstractionEquivalence, ReferenceThinsABlinkingCaret) {
  CaptureScript s;
  s.frames(2);
  s.blink(20, s.buttonX(1), s.buttonY(1));  // frames 2 (move), 3 (click), 4 .. 23 (blink)
  s.click();                                 // 24
  ++s.state().page;
  s.frames(2);
  s.pauseCapture();
  Model analysed;
  reference({"caret", s.fixture()}, &analysed);
  const std::vector<int> kept = originalFrames(analysed);
  std::vector<int> blinking;
  for (size_t f = 0; f < kept.size(); ++f)
    if (kept[f] >= 4 && kept[f] <= 23) blinking.push_back(static_cast<int>(f));
  ASSERT_EQ(blinking.size(), 3u);
  EXPECT_EQ(kept[blinking[0]], 4);
  EXPECT_EQ(kept[blinking[1]], 21);  // caret off
  EXPECT_EQ(kept[blinking[2]], 22);
  for (int f : blinking) {
    EXPECT_EQ(gInstrData[f].type, INSTR_TIMER);
    EXPECT_EQ(gInstrData[f].v[0], 500);
  }
}

TEST_F(AbstractionEquivalence, ReferenceKeepsClicksHalfASecondApart) {
  CaptureScript s;
  s.frames(2);
  s.doubleClickButton(0, 400);  // 2 hover, 3 and 4 clicks, 5 page
  s.frames(3);
  s.doubleClickButton(1, 500);  // 9 hover, 10 and 11 clicks, 12 page
  s.frames(3);
  s.pauseCapture();
  Model analysed;
  reference({"double clicks", s.fixture()}, &analysed);
  const std::vector<int> kept = originalFrames(analysed);
  auto typeOf = [&](int original) {
    for (size_t f = 0; f < kept.size(); ++f)
      if (kept[f] == original) return gInstrData[f].type;
    return int32_t{0};
  };
  EXPECT_EQ(typeOf(3), INSTR_LEFT);
  EXPECT_NE(typeOf(4), INSTR_LEFT);
  EXPECT_EQ(typeOf(10), INSTR_LEFT);
  EXPECT_EQ(typeOf(11), INSTR_LEFT);
}

TEST_F(AbstractionEquivalence, ReferenceDetectsTheWindowAndMakesHoverPairs) {
  Model analysed;
  reference(hoverAndClicks(), &analysed);
  EXPECT_EQ(analysed.crop[0], 40);
  EXPECT_EQ(analysed.crop[1], 30);
  EXPECT_EQ(analysed.crop[2], 240);
  EXPECT_EQ(analysed.crop[3], 180);
  char text[DEMO_TEXT_LEN];
  ASSERT_EQ(demoGetTextValue(gHeaderData[0], text), 0);
  EXPECT_STREQ(text, "40,30,240,180\r\n");
  int exits = 0;
  for (int32_t k = gFrameCount; k < gInstrCount; ++k) {
    const InstrRec& e = gInstrData[k];
    ASSERT_EQ(e.type, INSTR_MOVE_OUT);
    EXPECT_EQ(e.target, e.frame - 1);
    EXPECT_EQ(gInstrData[e.frame - 1].type, INSTR_MOVE_IN);
    EXPECT_EQ(nameOf(e.frame - 1), "Mouseover");
    EXPECT_EQ(nameOf(e.frame), "Click");
    ++exits;
  }
  EXPECT_GE(exits, 1);
}

}  // namespace
