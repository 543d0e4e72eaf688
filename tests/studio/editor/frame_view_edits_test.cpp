// The frame view's edits on a small hand-built demo: speaker notes and their
// sharing, and the red boxes' corners, drags and new boxes. The crop starts
// at (100, 50) and is 400 x 300: frame point (x, y) is screen point (x + 100, y + 50).
#include "studio/editor/frame_view_edits.h"

#include "demo/demo_model.h"
#include "studio/editor/editor_state.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Fields = std::vector<int32_t>;
Fields fields(const InstrRec& r) { return {r.frame, r.target, r.type, r.v[0], r.v[1], r.v[2], r.v[3]}; }

class FrameViewEdits : public testing::Test {
 protected:
  // Five frames without notes, note corners (10 + f, 20 + f).
  void SetUp() override {
    resetRuntime();
    gCropSize[0] = 100, gCropSize[1] = 50, gCropSize[2] = 400, gCropSize[3] = 300;
    for (int32_t f = 0; f < 5; ++f) gFrameData[gFrameCount++] = FrameRec{-1, 200 + f, 0, 0, 0, 10 + f, 20 + f};
    gEditorFrame = 0;
    gEditCount = 0;
  }
  void TearDown() override { resetRuntime(); }
  static int32_t share(const char* text, std::vector<int32_t> frames) {
    const int32_t id = demoStoreNewTextValue(text);
    for (int32_t f : frames) gFrameData[f].noteText = id;
    return id;
  }
  static std::string textOf(int64_t id) {
    char out[DEMO_TEXT_LEN];
    return demoGetTextValue(static_cast<int32_t>(id), out) == 0 ? out : "(none)";
  }
  static Fields positions() {
    Fields all;
    for (int32_t f = 0; f < gFrameCount; ++f)
      all.insert(all.end(), {int32_t(gFrameData[f].noteX), int32_t(gFrameData[f].noteY)});
    return all;
  }
  static void fillTextRecords() {
    for (int i = DEMO_FIRST_TEXT_REC; i <= DEMO_LAST_NEW_TEXT_REC; ++i) gTxtRecData[i][0] = 1;
  }
};

// ---- Speaker notes ------------------------------------------------------------------

TEST_F(FrameViewEdits, SharedNoteEditIsSeenByAllUntilSharingIsRemoved) {
  share("hello", {0, 1});
  share("own", {2});
  EXPECT_EQ((std::vector<bool>{noteShared(0), noteShared(1), noteShared(2), noteShared(3)}),
            (std::vector<bool>{true, true, false, false}));  // frames without a note share nothing
  bool truncated = true;
  ASSERT_TRUE(storeNoteText(0, "new", &truncated));
  EXPECT_FALSE(truncated);
  EXPECT_EQ(noteEditorText(1), "new");
  EXPECT_EQ(gEditCount, 1);
  ASSERT_TRUE(removeNoteSharing(1));
  EXPECT_EQ(gEditCount, 2);  // an edit even when "Cancel" follows
  EXPECT_NE(gFrameData[1].noteText, gFrameData[0].noteText);
  EXPECT_EQ(gFrameData[1].noteX, 11);  // the position stays
  EXPECT_FALSE(noteShared(0));
  ASSERT_TRUE(storeNoteText(1, "only", &truncated));
  EXPECT_EQ(noteEditorText(0) + "/" + noteEditorText(1), "new/only");
  const int64_t own = gFrameData[2].noteText;
  EXPECT_TRUE(removeNoteSharing(2));  // already its own: no record used up, no edit
  EXPECT_EQ(gFrameData[2].noteText, own);
  EXPECT_EQ(gEditCount, 3);
  share("shared again", {3, 4});
  fillTextRecords();
  EXPECT_FALSE(removeNoteSharing(3));
  EXPECT_EQ(gFrameData[3].noteText, gFrameData[4].noteText);
}

TEST_F(FrameViewEdits, StoredNoteIsCutThenLosesTrailingLineFeeds) {
  const std::string a996(996, 'a'), d995(995, 'd');
  const struct {
    std::string typed, stored;
    bool truncated;
  } cases[] = {
      {"abc\n\n\r\n", "abc", false}, {"line 1\nline 2\n", "line 1\nline 2", false}, {a996, a996, false},
      {a996 + "b", a996, true}, {std::string(1200, 'a'), a996, true}, {d995 + "\n\n", d995, true},
  };
  for (const auto& c : cases) {
    gFrameData[0].noteText = 0;
    for (int32_t f : {0, 1}) {  // frame 0 has no note, frame 1 has one after the first case
      bool truncated = !c.truncated;
      ASSERT_TRUE(storeNoteText(f, c.typed, &truncated));
      EXPECT_EQ(truncated, c.truncated);
      EXPECT_EQ(textOf(gFrameData[f].noteText), c.stored);
    }
  }
}

TEST_F(FrameViewEdits, DefaultNoteOpensEmptyAndAnEmptyNoteGoes) {
  const int32_t id = share("Click in a red box", {0, 3});
  share("Click in a red box!", {1});
  EXPECT_EQ(noteEditorText(0) + "/" + noteEditorText(1) + "/" + noteEditorText(2), "/Click in a red box!/");
  bool truncated;
  ASSERT_TRUE(storeNoteText(0, noteEditorText(0) + "\n\n", &truncated));
  EXPECT_EQ(gEditCount, 1);
  EXPECT_EQ(gFrameData[0].noteText, 0);
  EXPECT_EQ(gFrameData[3].noteText, 0);  // the sharer points at no freed record
  EXPECT_EQ(gTxtRecData[id][0], 0u);
  gFrameData[2].noteText = 5;  // a reserved id is no note, and is not released
  gTxtRecData[5][0] = 1;
  ASSERT_TRUE(storeNoteText(2, "", &truncated));
  EXPECT_EQ(gFrameData[2].noteText, 0);
  EXPECT_EQ(gTxtRecData[5][0], 1u);
  fillTextRecords();  // no record free: refused and not counted; a held record needs none
  gEditCount = 0;
  EXPECT_FALSE(storeNoteText(4, "hi", &truncated));
  EXPECT_EQ(gFrameData[4].noteText, 0);
  EXPECT_EQ(gEditCount, 0);
  EXPECT_TRUE(storeNoteText(1, "replaced in place", &truncated));
}

TEST_F(FrameViewEdits, NotePositionsGoToSharersOnly) {
  share("a", {0, 2});
  share("b", {1});
  spreadNotePosition(0);
  spreadNotePosition(3);  // no note: shares with nobody
  EXPECT_EQ(positions(), (Fields{10, 20, 11, 21, 10, 20, 13, 23, 14, 24}));
  resetNotePosition(3);
  resetNotePosition(2);
  EXPECT_EQ(positions(), (Fields{-999, -999, 11, 21, -999, -999, -999, -999, 14, 24}));
  EXPECT_EQ(gEditCount, 2);  // an edit even when "Cancel" follows, so Exit asks
  resetNotePosition(2);      // nothing moved: no edit
  EXPECT_EQ(gEditCount, 2);
}

// ---- Boxes -------------------------------------------------------------------------------

TEST_F(FrameViewEdits, FindsTheNearestCornerBelowSixteen) {
  for (InstrRec r : {InstrRec{0, -1, 'K', {13}}, InstrRec{0, -1, 'L', {200, 100, 300, 150}},
                     InstrRec{1, -1, 'L', {0, 0, 500, 400}}, InstrRec{0, -1, 'R', {300, 150, 400, 200}},
                     InstrRec{0, -1, 'M', {400, 300, 410, 310}}})
    gInstrData[gInstrCount++] = r;
  demoLoadFrameInstructionsToMemory(0);  // K, L, R, M; the other frame's box is not shown
  const struct {
    const char* what;
    int32_t p[2];
    int result;
    Fields anchorAndMoving;
  } cases[] = {
      {"top left at 15", {108, 57}, 1, {200, 100, 100, 50}}, {"top left at 16", {108, 58}, -1, {0, 0, 0, 0}},
      {"top right", {195, 52}, 1, {100, 100, 200, 50}}, {"bottom left", {201, 149}, 2, {300, 100, 200, 150}},
      {"a corner of two boxes: the first", {200, 100}, 1, {100, 50, 200, 100}},
      {"as near: top left before top right", {305, 250}, 3, {310, 260, 300, 250}},
      {"as near: top right before bottom right", {310, 255}, 3, {300, 260, 310, 250}},
      {"a key's value is no corner", {-87, -50}, -1, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    int32_t anchor[2] = {0, 0}, moving[2] = {0, 0};
    EXPECT_EQ(findBoxCorner(c.p, anchor, moving), c.result) << c.what;
    EXPECT_EQ((Fields{anchor[0], anchor[1], moving[0], moving[1]}), c.anchorAndMoving) << c.what;
  }
}

TEST_F(FrameViewEdits, DragIsNormalisedAndClampedToTheCrop) {
  const struct {
    int32_t anchor[2], release[2];
    Fields rect;
  } cases[] = {
      {{10, 20}, {50, 60}, {110, 70, 151, 112}},  {{50, 60}, {10, 20}, {111, 70, 150, 110}},
      {{50, 20}, {10, 60}, {111, 70, 150, 112}},  {{10, 60}, {50, 20}, {110, 70, 151, 110}},
      {{-5, -5}, {500, 400}, {100, 50, 499, 349}}, {{0, 0}, {399, 298}, {100, 50, 499, 349}},
  };
  for (const auto& c : cases) {
    int32_t rect[4];
    dragRectangle(c.anchor, c.release, rect);
    EXPECT_EQ(Fields(rect, rect + 4), c.rect) << c.release[0] << "," << c.release[1];
  }
}

TEST_F(FrameViewEdits, MovingABoxMovesItsEqualsOnEveryFrame) {
  for (InstrRec r : {InstrRec{0, -1, 'L', {200, 100, 300, 150}}, InstrRec{1, -1, 'L', {200, 100, 300, 150}},
                     InstrRec{2, 3, 'M', {200, 100, 300, 150}}, InstrRec{1, -1, 'T', {200, 100, 300, 150}},
                     InstrRec{2, -1, 'L', {200, 100, 300, 151}}, InstrRec{0, -1, 'R', {200, 100, 300, 150}}})
    gInstrData[gInstrCount++] = r;
  demoLoadFrameInstructionsToMemory(0);
  const int32_t rect[4] = {1, 2, 3, 4}, elsewhere[4] = {5, 6, 7, 8};
  moveBox(0, rect);
  moveBox(2, elsewhere);  // past the list: nothing
  const Fields moved{1, 2, 3, 4}, old{200, 100, 300, 150};
  const Fields expected[] = {moved, moved, moved, old, {200, 100, 300, 151}, moved};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Fields(gInstrData[i].v, gInstrData[i].v + 4), expected[i]) << i;
}

TEST_F(FrameViewEdits, AddsABoxFromALargeEnoughDrag) {
  const int32_t waitName = demoStoreNewTextValue("Wait"), keysName = demoStoreNewTextValue("Keys");
  // Frames 0 and 2 only wait (2 without a name record); frame 1 waits and takes a key.
  auto setUp = [&] {
    gInstrCount = 0;
    for (InstrRec r : {InstrRec{0, -1, 'T', {500}}, InstrRec{1, -1, 'T', {700}}, InstrRec{1, -1, 'K', {13}},
                       InstrRec{2, -1, 'T', {900}}})
      gInstrData[gInstrCount++] = r;
    gFrameData[0].nameText = waitName, gFrameData[1].nameText = keysName, gFrameData[2].nameText = -1;
    demoUpdateTextValue(waitName, "Wait");
  };
  const int32_t anchor[2] = {10, 20};
  const struct {
    int32_t frame, release[2];
    bool added;
    Fields list;  // the frame's records after, in table order
    const char* name;
  } cases[] = {
      {1, {16, 26}, false, {1, -1, 'T', 700, 0, 0, 0, 1, -1, 'K', 13, 0, 0, 0}, "Keys"},  // 6 x 6
      {1, {17, 25}, false, {1, -1, 'T', 700, 0, 0, 0, 1, -1, 'K', 13, 0, 0, 0}, "Keys"},  // 7 x 5
      {1, {17, 26}, true, {1, -1, 'T', 700, 0, 0, 0, 1, -1, 'K', 13, 0, 0, 0, 1, -1, 'L', 110, 70, 118, 78}, "Keys"},
      {1, {3, 14}, true, {1, -1, 'T', 700, 0, 0, 0, 1, -1, 'K', 13, 0, 0, 0, 1, -1, 'L', 104, 64, 110, 70}, "Keys"},
      {0, {40, 60}, true, {0, -1, 'L', 110, 70, 141, 112}, "Click"},  // a lone timer goes
      {2, {40, 60}, true, {2, -1, 'L', 110, 70, 141, 112}, "Click"},
  };
  for (const auto& c : cases) {
    setUp();
    gEditorFrame = c.frame;
    demoLoadFrameInstructionsToMemory(c.frame);
    ASSERT_EQ(addBox(anchor, c.release), c.added) << c.release[0];
    EXPECT_EQ(gInstrCount, c.frame == 1 && c.added ? 5 : 4);
    Fields list;
    for (int n = 0; gCurrInstrList[n] != -1; ++n) {
      const Fields f = fields(gInstrData[gCurrInstrList[n]]);
      list.insert(list.end(), f.begin(), f.end());
    }
    EXPECT_EQ(list, c.list);
    EXPECT_EQ(textOf(gFrameData[c.frame].nameText), c.name);
  }
  EXPECT_EQ(gFrameData[0].nameText, waitName);  // a name record is reused
  EXPECT_EQ(gEditCount, 0);                     // counted by the caller
  const int32_t release[2] = {40, 60};  // full tables: refused, nothing changed
  setUp();
  gInstrCount = DEMO_INSTR_CAP;
  gEditorFrame = 1;
  EXPECT_FALSE(addBox(anchor, release));
  EXPECT_EQ(gInstrCount, DEMO_INSTR_CAP);
  setUp();
  gEditorFrame = 2;
  fillTextRecords();
  EXPECT_FALSE(addBox(anchor, release));
  EXPECT_EQ(fields(gInstrData[3]), fields(InstrRec{2, -1, 'T', {900}}));
  EXPECT_EQ(gFrameData[2].nameText, -1);
}

}  // namespace
