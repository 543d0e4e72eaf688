// Drawing primitives, pixel for pixel.
#include "pag/pag.h"
#include "pal/pal.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint32_t kGround = 0x102030;
constexpr uint32_t kInk = 0xFF8040;

class Draw : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    pal_InitWinBuf(1, 40, 30);
    pag_FillRect(1, 0, 0, 40, 30, kGround);
  }
  void TearDown() override { resetRuntime(); }

  int countInk(int slot = 1, uint32_t colour = kInk) {
    int n = 0;
    for (int y = 0; y < gpal_ImageBuffSize[slot][1]; ++y)
      for (int x = 0; x < gpal_ImageBuffSize[slot][0]; ++x) n += pixelColour(slot, x, y) == colour;
    return n;
  }
  int countInkInRow(int y) {
    int n = 0;
    for (int x = 0; x < 40; ++x) n += pixelColour(1, x, y) == kInk;
    return n;
  }
  int countInkInColumn(int x) {
    int n = 0;
    for (int y = 0; y < 30; ++y) n += pixelColour(1, x, y) == kInk;
    return n;
  }
};

TEST_F(Draw, FillRectHalfOutsideFillsOnlyTheInside) {
  pag_FillRect(1, 35, -3, 10, 5, kInk);
  EXPECT_EQ(countInk(), 5 * 2);
  EXPECT_EQ(pixelColour(1, 35, 0), kInk);
  EXPECT_EQ(pixelColour(1, 39, 1), kInk);
  EXPECT_EQ(pixelColour(1, 34, 0), kGround);
  EXPECT_EQ(pixelColour(1, 35, 2), kGround);
  pag_FillRect(1, 0, 0, 0, 5, kInk);
  pag_FillRect(1, 0, 0, 5, -1, kInk);
  EXPECT_EQ(countInk(), 10);
}

TEST_F(Draw, SolidOutlineCoversOneMoreThanWidthAndHeight) {
  pag_DrawRectOutline(1, 3, 4, 10, 5, 0, kInk);
  EXPECT_EQ(countInkInRow(4), 11);
  EXPECT_EQ(countInkInRow(9), 11);
  EXPECT_EQ(countInkInColumn(3), 6);
  EXPECT_EQ(countInkInColumn(13), 6);
  EXPECT_EQ(pixelColour(1, 13, 9), kInk);  // bottom-right corner from the vertical edge
  EXPECT_EQ(countInk(), 11 * 2 + 4 * 2);
}

TEST_F(Draw, DottedOutlineSetsEverySecondPixel) {
  pag_DrawRectOutline(1, 2, 2, 8, 6, 1, kInk);
  EXPECT_EQ(countInkInRow(2), 5);   // columns 2,4,6,8 and the right edge's row 2
  EXPECT_EQ(pixelColour(1, 3, 2), kGround);
  EXPECT_EQ(countInkInColumn(2), 4);  // rows 2,4,6,8
  pag_DrawRectOutline(8, 0, 0, 5, 5, 0, kInk);  // empty slot: nothing, no crash
}

TEST_F(Draw, GradientStepsFromTopAndNeverReachesBottom) {
  pag_FillGradientRect(1, 0, 0, 2, 4, 0x000000, 0xFFFFFF);
  const uint32_t expected[4] = {0x000000, 0x3F3F3F, 0x7F7F7F, 0xBFBFBF};
  for (int y = 0; y < 4; ++y) EXPECT_EQ(pixelColour(1, 1, y), expected[y]) << "row " << y;
  EXPECT_EQ(pixelColour(1, 2, 0), kGround);
  pag_FillGradientRect(1, 10, 10, 2, 2, 0xFF0000, 0x0000FF);  // channels move independently
  EXPECT_EQ(pixelColour(1, 10, 11), 0x7F007Fu);
}

TEST_F(Draw, RoundedRectClipsTwoPixelsOffEachCorner) {
  pag_FillRoundedRect(1, 5, 5, 10, 10, kInk);
  EXPECT_EQ(pixelColour(1, 5, 5), kGround);
  EXPECT_EQ(pixelColour(1, 6, 5), kGround);
  EXPECT_EQ(pixelColour(1, 5, 6), kGround);
  EXPECT_EQ(pixelColour(1, 6, 6), kInk);
  EXPECT_EQ(pixelColour(1, 7, 5), kInk);
  EXPECT_EQ(pixelColour(1, 14, 14), kGround);
  EXPECT_EQ(pixelColour(1, 13, 13), kInk);
  EXPECT_EQ(countInk(), 100 - 4 * 3);
}

TEST_F(Draw, GradientRoundedRectReachesBothColours) {
  pag_FillGradientRoundedRect(1, 0, 0, 10, 10, 0x000000, 0x646464);
  EXPECT_EQ(pixelColour(1, 5, 0), 0x000000u);
  EXPECT_EQ(pixelColour(1, 5, 9), 0x646464u);
  EXPECT_EQ(pixelColour(1, 5, 1), 0x0A0A0Au);  // top + d
  EXPECT_EQ(pixelColour(1, 5, 8), 0x5A5A5Au);  // bottom - d
  EXPECT_EQ(pixelColour(1, 5, 4), 0x282828u);  // top + 4d
  EXPECT_EQ(pixelColour(1, 0, 0), kGround);
}

TEST_F(Draw, InvertedDashedOutlineUndoesItself) {
  pag_FillRect(1, 0, 0, 20, 10, 0x123456);
  pag_InvertDashedRectOutline(1, 2, 2, 9, 5);
  EXPECT_EQ(pixelColour(1, 2, 2), 0xEDCBA9u);  // the corner is complemented once
  EXPECT_EQ(pixelColour(1, 3, 2), 0x123456u);
  EXPECT_EQ(pixelColour(1, 4, 7), 0xEDCBA9u);
  EXPECT_EQ(pixelColour(1, 11, 4), 0xEDCBA9u);
  pag_InvertDashedRectOutline(1, 2, 2, 9, 5);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(pixelColour(1, x, y), 0x123456u) << x << "," << y;
}

TEST_F(Draw, TrianglePointersGrowAwayFromTheTip) {
  pag_DrawTrianglePointer(1, 20, 10, 4, 2, "D", kInk);
  EXPECT_EQ(countInkInRow(10), 1);
  EXPECT_EQ(countInkInRow(9), 3);
  EXPECT_EQ(countInkInRow(7), 7);
  EXPECT_EQ(countInkInRow(11), 0);
  EXPECT_EQ(countInk(), 1 + 3 + 5 + 7);
  pag_FillRect(1, 0, 0, 40, 30, kGround);
  pag_DrawTrianglePointer(1, 5, 15, 3, 3, "L", kInk);
  EXPECT_EQ(countInkInColumn(5), 1);
  EXPECT_EQ(countInkInColumn(6), 5);
  EXPECT_EQ(countInkInColumn(7), 9);
  pag_FillRect(1, 0, 0, 40, 30, kGround);
  pag_DrawTrianglePointer(1, 30, 15, 5, 1, "R", kInk);  // slender: grows every second line
  EXPECT_EQ(countInkInColumn(30), 1);
  EXPECT_EQ(countInkInColumn(29), 3);
  EXPECT_EQ(countInkInColumn(28), 3);
  EXPECT_EQ(countInkInColumn(27), 5);
  pag_FillRect(1, 0, 0, 40, 30, kGround);
  pag_DrawTrianglePointer(1, 10, 0, 3, 2, "U", kInk);
  EXPECT_EQ(countInkInRow(2), 5);
}

TEST_F(Draw, TrianglePointerRefusesBadSlopes) {
  for (int slope : {0, 4}) {
    testing::internal::CaptureStderr();
    pag_DrawTrianglePointer(1, 20, 10, 4, slope, "D", kInk);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("ALERT 1 pag_DrawTrianglePointer | step size must be >0 and <6"), std::string::npos);
  }
  EXPECT_EQ(countInk(), 0);
}

TEST_F(Draw, FlattenTurnsWhiteToHalfGrey) {
  pag_FillRect(1, 0, 0, 4, 4, 0xFFFFFF);
  pag_FlattenColorsToGrey(1, -2, -2, 4, 4);
  EXPECT_EQ(pixelColour(1, 1, 1), 0x7F7F7Fu);
  EXPECT_EQ(pixelColour(1, 2, 2), 0xFFFFFFu);
  pag_FlattenColorsToGrey(1, 10, 10, 1, 1);  // (16 + 32 + 48) / 6 = 16
  EXPECT_EQ(pixelColour(1, 10, 10), 0x101010u);
}

TEST_F(Draw, ButtonPaintsSlotZeroAndRegistersItsLabel) {
  pal_InitWinBuf(0, 200, 100);
  pag_FillRect(0, 0, 0, 200, 100, kGround);
  pag_DrawButtonType1(1, 20, 30, 80, 24, PAG_BUTTON_BORDER_TOP, PAG_BUTTON_BORDER_BOTTOM, PAG_BUTTON_FACE_TOP,
                      PAG_BUTTON_FACE_BOTTOM, "OK", 2, PAG_BUTTON_LABEL, 1, 1);
  EXPECT_EQ(pixelColour(0, 25, 29), PAG_BUTTON_BORDER_TOP);  // border row above the face
  EXPECT_EQ(pixelColour(0, 25, 30), PAG_BUTTON_FACE_TOP);
  EXPECT_EQ(pixelColour(0, 25, 53), PAG_BUTTON_FACE_BOTTOM);
  EXPECT_EQ(pixelColour(0, 25, 54), PAG_BUTTON_BORDER_BOTTOM);
  EXPECT_EQ(countInk(1, kGround), 40 * 30);  // the slot passed is not touched
  char name[PAL_NAME_LEN];
  EXPECT_EQ(pal_FindClickableRectAtLocation(name, 100, 54), 0);
  EXPECT_STREQ(name, "OK");
  int labelPixels = 0;
  for (int y = 30; y < 54; ++y)
    for (int x = 20; x < 100; ++x) {
      int32_t rgb[3];
      pal_GetBufferPixelRGB(0, x, y, rgb);
      labelPixels += rgb[0] < 120;
    }
  EXPECT_GT(labelPixels, 10);
}

}  // namespace
