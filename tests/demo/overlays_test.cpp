// Red instruction boxes, speaker notes and word wrap.
#include "demo/demo_model.h"
#include "demo/demo_overlays.h"
#include "pag/pag.h"
#include "pal/pal.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint32_t kGround = 0x3C3C3C;  // grey 60: halo makes it 30

class Overlays : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    frameBuffer(200, 120);
  }
  void TearDown() override { resetRuntime(); }

  void frameBuffer(int w, int h) {
    pal_DestroyWinBuff(1);
    pal_InitWinBuf(1, w, h);
    pag_FillRect(1, 0, 0, w, h, kGround);
    gCropSize[2] = w;
    gCropSize[3] = h;
  }
  void addInstr(int32_t frame, char type, int32_t l, int32_t t, int32_t r, int32_t b) {
    gInstrData[gInstrCount++] = InstrRec{frame, -1, type, {l, t, r, b}};
  }
  void frames(int n) {
    gFrameCount = n;
    for (int f = 0; f < n; ++f) gFrameData[f] = FrameRec{-1, f, 0, 0, -1, DEMO_NO_POSITION, DEMO_NO_POSITION};
  }
  void note(int f, const char* text) { gFrameData[f].noteText = demoStoreNewTextValue(text); }
  int countColour(uint32_t c) {
    int n = 0;
    for (int y = 0; y < gpal_ImageBuffSize[1][1]; ++y)
      for (int x = 0; x < gpal_ImageBuffSize[1][0]; ++x) n += pixelColour(1, x, y) == c;
    return n;
  }
};

TEST_F(Overlays, FirstBoxSolidOthersDottedTwoPixelsThick) {
  addInstr(0, 'L', 10, 10, 30, 20);
  addInstr(0, 'E', 10, 10, 30, 20);  // same rectangle, dotted over the solid one
  addInstr(0, 'T', 50, 50, 90, 90);  // timers and keys have no box
  addInstr(0, 'M', 100, 40, 120, 60);
  demoLoadFrameInstructionsToMemory(0);
  demoDrawRedInstructionBoxes(0);
  for (int x = 10; x <= 31; ++x) EXPECT_EQ(pixelColour(1, x, 11), 0xFF0000u) << x;  // solid, doubled
  EXPECT_EQ(pixelColour(1, 20, 15), kGround);
  EXPECT_EQ(pixelColour(1, 100, 40), 0xFF0000u);
  EXPECT_EQ(pixelColour(1, 101, 40), kGround);  // dotted
  EXPECT_EQ(pixelColour(1, 102, 40), 0xFF0000u);
  EXPECT_EQ(pixelColour(1, 70, 50), kGround);
}

TEST_F(Overlays, BoxesFollowTheCropAndEditModeAddsHandles) {
  gCropSize[0] = 100;
  gCropSize[1] = 50;
  addInstr(0, 'L', 120, 70, 160, 90);
  demoLoadFrameInstructionsToMemory(0);
  demoDrawRedInstructionBoxes(1);
  EXPECT_EQ(pixelColour(1, 20, 17), 0x000000u);  // handle outline at (17, 17) .. (24, 24)
  EXPECT_EQ(pixelColour(1, 17, 17), 0x000000u);
  EXPECT_EQ(pixelColour(1, 18, 18), 0xCCCCCCu);
  EXPECT_EQ(pixelColour(1, 24, 24), 0x000000u);
  EXPECT_EQ(pixelColour(1, 56, 36), 0x000000u);  // bottom-right handle at (56, 36)
  EXPECT_EQ(pixelColour(1, 30, 20), 0xFF0000u);
  EXPECT_EQ(countColour(0xCCCCCC), 4 * 36);
}

TEST_F(Overlays, BoxesAtTheEdgeAreClipped) {
  addInstr(0, 'R', -10, -10, 250, 500);
  demoLoadFrameInstructionsToMemory(0);
  demoDrawRedInstructionBoxes(1);
  EXPECT_EQ(pixelColour(1, 0, 0), kGround);
  EXPECT_EQ(countColour(0xFF0000), 0);
}

TEST_F(Overlays, DefaultNotePlacementAndBoxSize) {
  frameBuffer(1000, 700);
  frames(3);
  note(0, "Save the file now");
  demoDrawSpeakerNotes(0);
  const int32_t w = pal_GetTextWidth("Save the file now", 2) + 10;
  EXPECT_EQ(gNoteRect[2], w);
  EXPECT_EQ(gNoteRect[3], 20);
  EXPECT_EQ(gNoteRect[0], (1000 - w) / 2);
  EXPECT_EQ(gNoteRect[1], 700 - 20 - 8);
  const int32_t x = gNoteRect[0], y = gNoteRect[1];
  EXPECT_EQ(pixelColour(1, x + 1, y + 1), 0xF4F899u);
  EXPECT_EQ(pixelColour(1, x - 1, y - 1), 0x000000u);
  EXPECT_EQ(pixelColour(1, x + w + 1, y + 20 + 1), 0x000000u);  // border reaches x + w + 1
  EXPECT_EQ(pixelColour(1, x - 6, y - 6), 0x1E1E1Eu);           // halo: (60 * 3) / 6
  EXPECT_EQ(pixelColour(1, x + w + 7, y + 27), 0x1E1E1Eu);
  EXPECT_EQ(pixelColour(1, x - 7, y), kGround);
  EXPECT_EQ(pixelColour(1, x + w + 8, y), kGround);
}

TEST_F(Overlays, TwoLineNoteOnAThousandBySevenHundredFrame) {
  frameBuffer(1000, 700);
  frames(2);
  note(0, "First line\r\nSecond");
  demoDrawSpeakerNotes(0);
  EXPECT_EQ(gNoteRect[3], 38);
  EXPECT_EQ(gNoteRect[1], 654);
  EXPECT_EQ(gNoteRect[2], pal_GetTextWidth("First line", 2) + 10);
  note(0, "One\rline");  // a carriage return before a letter is no break
  demoDrawSpeakerNotes(0);
  EXPECT_EQ(gNoteRect[3], 20);
  EXPECT_EQ(gNoteRect[2], pal_GetTextWidth("Oneline", 2) + 10);
  // The code page's letters and signs are text, never line ends: one line each.
  for (const char* text : {"Gr\xFC\xDF" "e, Stra\xDF" "e / 7&8", "\x80 \x85 \x8C\x9C \x93\x94", "\xA0\xBF\xC0\xFF"}) {
    note(0, text);
    demoDrawSpeakerNotes(0);
    EXPECT_EQ(gNoteRect[3], 20) << text;
    EXPECT_EQ(gNoteRect[2], pal_GetTextWidth(text, 2) + 10) << text;
  }
}

TEST_F(Overlays, LastFrameShowsTheEndTextInsteadOfTheDefaultNote) {
  frames(2);
  note(1, "Click in a red box");
  demoDrawSpeakerNotes(1);
  EXPECT_EQ(gNoteRect[2], pal_GetTextWidth("End Of Demo (ESC to exit)", 2) + 10);
  note(1, "Thanks");
  demoDrawSpeakerNotes(1);
  EXPECT_EQ(gNoteRect[2], pal_GetTextWidth("Thanks", 2) + 10);
  gFrameData[1].noteText = -1;
  demoDrawSpeakerNotes(1);
  EXPECT_EQ(gNoteRect[2], pal_GetTextWidth("End Of Demo (ESC to exit)", 2) + 10);
}

TEST_F(Overlays, EmptyNoteOnAnotherFrameDrawsNothing) {
  frames(3);
  note(0, "");
  gNoteRect[0] = 77;
  demoDrawSpeakerNotes(0);
  EXPECT_EQ(gNoteRect[0], 77);
  EXPECT_EQ(countColour(kGround), 200 * 120);
  gFrameData[0].noteText = 4;  // reserved record: no note
  demoDrawSpeakerNotes(0);
  EXPECT_EQ(countColour(kGround), 200 * 120);
}

TEST_F(Overlays, NoteAtTheEdgeIsCutHaloIncluded) {
  frames(2);
  note(0, "Edge");
  gFrameData[0].noteX = 180;
  gFrameData[0].noteY = -5;
  demoDrawSpeakerNotes(0);
  EXPECT_EQ(gNoteRect[0], 180);
  EXPECT_EQ(gNoteRect[1], -5);
  EXPECT_EQ(pixelColour(1, 199, 0), 0xF4F899u);
  EXPECT_EQ(pixelColour(1, 174, 20), 0x1E1E1Eu);
}

TEST_F(Overlays, ManyLinesStopAtNinetyNine) {
  frameBuffer(200, 3000);
  frames(2);
  note(0, std::string(150, '\n').c_str());
  demoDrawSpeakerNotes(0);
  EXPECT_EQ(gNoteRect[3], 99 * 18 + 2);
}

TEST_F(Overlays, LongestFitCutsAtTheLastBlankThatFits) {
  char out[256];
  const char* text = "alpha beta gamma delta";
  const int upToBeta = pal_GetTextWidth("alpha beta", 2);
  EXPECT_EQ(demoGetLongestSubstringTextFit(text, 0, upToBeta + 1, 2, out, sizeof out), 10);
  EXPECT_STREQ(out, "alpha beta");
  EXPECT_EQ(demoGetLongestSubstringTextFit(text, 0, upToBeta, 2, out, sizeof out), 5);  // as wide: too wide
  EXPECT_STREQ(out, "alpha");
  EXPECT_EQ(demoGetLongestSubstringTextFit(text, 0, 5, 2, out, sizeof out), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(demoGetLongestSubstringTextFit(text, 17, 5, 2, out, sizeof out), 5);  // last word not measured
  EXPECT_STREQ(out, "delta");
  EXPECT_EQ(demoGetLongestSubstringTextFit(text, 0, 1000, 2, out, 8), 7);  // bounded by the output
}

TEST_F(Overlays, BreakTextWrapsIntoTheWindowBuffer) {
  pal_InitWinBuf(0, 300, 200);
  pag_FillRect(0, 0, 0, 300, 200, 0xFFFFFF);
  const int width = pal_GetTextWidth("alpha beta", 2) + 2;
  EXPECT_EQ(demoBreakTextToBox("alpha beta gamma delta", 10, 20, 10 + width, 2, 0x000000), 20 + 2 * 22);
  EXPECT_EQ(demoBreakTextToBox("unbreakable", 10, 100, 20, 2, 0x000000), 122);  // one line, drawn whole
  EXPECT_EQ(demoBreakTextToBox("x  wide_word_here  y", 0, 0, 20, 1, 0x000000), 3 * 18);
  bool ink = false;
  for (int x = 0; x < 300; ++x) ink = ink || pixelColour(0, x, 26) != 0xFFFFFF;
  EXPECT_TRUE(ink);
  EXPECT_EQ(countColour(kGround), 200 * 120);  // the frame buffer is not touched
}

}  // namespace
