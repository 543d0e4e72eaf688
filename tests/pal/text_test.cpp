// Text measuring and drawing with the table's fonts.
#include "pag/pag.h"
#include "pal/pal.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Text : public testing::Test {
 protected:
  void SetUp() override { resetRuntime(); }
  void TearDown() override { resetRuntime(); }

  // Rows and columns that hold any pixel other than white.
  struct Ink {
    int top = 1 << 30, bottom = -1, left = 1 << 30, right = -1;
  };
  Ink inkOf(int slot) {
    Ink ink;
    for (int y = 0; y < gpal_ImageBuffSize[slot][1]; ++y)
      for (int x = 0; x < gpal_ImageBuffSize[slot][0]; ++x)
        if (pixelColour(slot, x, y) != 0xFFFFFF) {
          ink.top = std::min(ink.top, y);
          ink.bottom = std::max(ink.bottom, y);
          ink.left = std::min(ink.left, x);
          ink.right = std::max(ink.right, x);
        }
    return ink;
  }
  void whiteBuffer(int w, int h) {
    pal_InitWinBuf(1, w, h);
    pag_FillRect(1, 0, 0, w, h, 0xFFFFFF);
  }
};

TEST_F(Text, FontTableHoldsTheSixFonts) {
  EXPECT_STREQ(gpal_FontList[1][0], "Trebuchet MS");
  EXPECT_STREQ(gpal_FontList[1][1], "18");
  EXPECT_STREQ(gpal_FontList[1][2], "11");
  EXPECT_STREQ(gpal_FontList[6][1], "38");
  EXPECT_STREQ(gpal_FontList[6][2], "31");
  EXPECT_STREQ(gpal_FontList[7][0], "");
  EXPECT_EQ(pal_ResolveFont(9), 1);
  EXPECT_EQ(pal_ResolveFont(0), 1);
  EXPECT_EQ(pal_ResolveFont(4), 4);
}

TEST_F(Text, FaceIsTheOneTheMeasurementsArePinnedTo) {
  const std::string family = pal_TextFaceFamily();
  EXPECT_TRUE(family == "Open Sans" || family == "Trebuchet MS") << family;
}

TEST_F(Text, WidthGrowsWithFontAndTextAndIsAdditive) {
  EXPECT_EQ(pal_GetTextWidth("", 2), 0);
  const int a = pal_GetTextWidth("Click", 2), b = pal_GetTextWidth(" here", 2);
  EXPECT_GT(a, 20);
  EXPECT_EQ(pal_GetTextWidth("Click here", 2), a + b);  // no kerning: drawing advances add up
  EXPECT_LT(pal_GetTextWidth("Click", 1), a);
  EXPECT_GT(pal_GetTextWidth("Click", 6), pal_GetTextWidth("Click", 5));
  EXPECT_EQ(pal_GetTextWidth("Click", 12), pal_GetTextWidth("Click", 1));
}

TEST_F(Text, InkStaysWithinTheMeasuredWidthAndTheCell) {
  whiteBuffer(300, 60);
  pag_DrawTextOnBuff(1, 10, 20, "Hxg", 2, 0x000000);
  const Ink ink = inkOf(1);
  ASSERT_GE(ink.bottom, 0);
  EXPECT_GE(ink.left, 10);
  EXPECT_LE(ink.right, 10 + pal_GetTextWidth("Hxg", 2));
  EXPECT_GE(ink.top, 19);          // top edge one pixel above y
  EXPECT_LE(ink.bottom, 19 + 22);  // within the 22-pixel cell of font 2
  EXPECT_GT(ink.bottom - ink.top, 10);
}

TEST_F(Text, LargeFontsAreRaised) {
  whiteBuffer(300, 120);
  pag_DrawTextOnBuff(1, 10, 50, "H", 3, 0x000000);
  const int top3 = inkOf(1).top;
  whiteBuffer(300, 120);
  pag_DrawTextOnBuff(1, 10, 50, "H", 4, 0x000000);
  const int top4 = inkOf(1).top;
  // Font 4's cell is 4 pixels taller, so its H starts lower unless raised by 4.
  EXPECT_LT(top4, top3 + 2);
  EXPECT_GT(top4, top3 - 6);
}

TEST_F(Text, CentredTextAndUnknownFontFallsBackToFontOne) {
  whiteBuffer(200, 40);
  pag_DrawTextOnBuff(1, -1, -1, "Mid", 9, 0xFF0000);
  const Ink ink = inkOf(1);
  const int w = pal_GetTextWidth("Mid", 1);
  EXPECT_NEAR((ink.left + ink.right) / 2, 100, 3);
  EXPECT_GE(ink.left, (200 - w) / 2);
  EXPECT_NEAR((ink.top + ink.bottom) / 2, 20, 4);
  int32_t rgb[3];  // text is anti-aliased in the given colour: some pixel is pure red
  bool pure = false;
  for (int y = ink.top; y <= ink.bottom; ++y)
    for (int x = ink.left; x <= ink.right; ++x)
      if (pixelColour(1, x, y) == 0xFF0000) pure = true;
  EXPECT_TRUE(pure);
  pal_GetBufferPixelRGB(1, 0, 0, rgb);
  EXPECT_EQ(rgb[1], 255);
}

TEST_F(Text, TextIsClippedAtTheBufferEdges) {
  whiteBuffer(20, 10);
  pag_DrawTextOnBuff(1, -15, -5, "WWWWWWWW", 6, 0x000000);  // mostly outside: no crash, some ink
  EXPECT_GE(inkOf(1).bottom, 0);
  pal_DrawTextLine(8, 0, 0, "empty slot", 1, 0);
}

TEST_F(Text, HighBytesDrawAsWindows1252) {
  EXPECT_GT(pal_GetTextWidth("\x80", 2), 0);       // euro sign
  EXPECT_GT(pal_GetTextWidth("caf\xe9", 2), pal_GetTextWidth("caf", 2));
}

}  // namespace
