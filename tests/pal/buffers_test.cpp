// Image buffer slots: accessors, the unscaled copy and the smoothed scale.
#include "pal/pal.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

namespace {

class Buffers : public testing::Test {
 protected:
  void SetUp() override { resetRuntime(); }
  void TearDown() override { resetRuntime(); }

  // A 6 x 5 picture whose every pixel differs and whose channels differ.
  void fillLopsided(int slot) {
    pal_InitWinBuf(slot, 6, 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x) pal_SetBufferPixelRGB(slot, x, y, 10 * x + 1, 40 * y + 2, 200 - x - y);
  }
};

TEST_F(Buffers, LongColourSplitsIntoChannelsInPlatformByteOrder) {
  pal_InitWinBuf(2, 3, 2);
  pal_SetBufferPixelLongColor(2, 1, 1, 16744512);  // 0xFF8040
  int32_t rgb[3];
  EXPECT_EQ(pal_GetBufferPixelRGB(2, 1, 1, rgb), rgb);
  EXPECT_EQ(rgb[0], 255);
  EXPECT_EQ(rgb[1], 128);
  EXPECT_EQ(rgb[2], 64);
  const unsigned char* p = gpal_ImageBuffBits[2] + (1 * 3 + 1) * 4;
  EXPECT_EQ(p[0], 64);   // blue first
  EXPECT_EQ(p[1], 128);
  EXPECT_EQ(p[2], 255);
  pal_SetBufferPixelLongColor(2, 0, 0, 0xAB123456);  // bits above 23 are ignored
  EXPECT_EQ(pixelColour(2, 0, 0), 0x123456u);
}

TEST_F(Buffers, OutsidePixelsReadBlackAndWritesAreDropped) {
  fillLopsided(1);
  int32_t rgb[3] = {9, 9, 9};
  pal_GetBufferPixelRGB(1, 6, 0, rgb);
  EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
  pal_GetBufferPixelRGB(1, 0, -1, rgb);
  EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
  pal_GetBufferPixelRGB(7, 0, 0, rgb);  // empty slot
  EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
  const uint32_t before = pixelColour(1, 5, 4);
  pal_SetBufferPixelRGB(1, 6, 4, 1, 2, 3);
  pal_SetBufferPixelRGB(1, -1, 0, 1, 2, 3);
  pal_SetBufferPixelRGB(1, 0, 5, 1, 2, 3);
  EXPECT_EQ(pixelColour(1, 5, 4), before);
}

TEST_F(Buffers, ZeroSizedBufferAlertsAndLeavesSlotAlone) {
  testing::internal::CaptureStderr();
  pal_InitWinBuf(3, 10, 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("ALERT 0 ZeroBuffer | Cannot create zero-sized buffer in pal_InitWinBuf()"), std::string::npos);
  EXPECT_EQ(gpal_ImageBuffBits[3], nullptr);
  EXPECT_EQ(gpal_ImageBuffSize[3][0], 0);
}

TEST_F(Buffers, CopyPaintsBlackWhereTheSourceRectangleSticksOut) {
  fillLopsided(1);
  pal_InitWinBuf(2, 6, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) pal_SetBufferPixelLongColor(2, x, y, 0x777777);
  pal_CopyUnscaledRectBetweenBuffers(1, -2, 1, 4, 2, 2, 0, 0);
  EXPECT_EQ(pixelColour(2, 0, 0), 0u);
  EXPECT_EQ(pixelColour(2, 1, 1), 0u);
  EXPECT_EQ(pixelColour(2, 2, 0), pixelColour(1, 0, 1));
  EXPECT_EQ(pixelColour(2, 3, 1), pixelColour(1, 1, 2));
  EXPECT_EQ(pixelColour(2, 4, 0), 0x777777u);  // beyond the rectangle: untouched
  EXPECT_EQ(pixelColour(2, 0, 2), 0x777777u);
}

TEST_F(Buffers, OverlappingCopyWithinOneSlotReadsWhatItWrote) {
  fillLopsided(1);
  const uint32_t origin = pixelColour(1, 0, 0);
  // Copying row 0 one pixel to the right smears its first pixel along the row.
  pal_CopyUnscaledRectBetweenBuffers(1, 0, 0, 5, 1, 1, 1, 0);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(pixelColour(1, x, 0), origin) << "x=" << x;
  const uint32_t row2 = pixelColour(1, 3, 2);
  pal_CopyUnscaledRectBetweenBuffers(1, 0, 0, 6, 0, 1, 0, 2);  // height 0 copies nothing
  EXPECT_EQ(pixelColour(1, 3, 2), row2);
}

TEST_F(Buffers, ScaleAtFullSizeCopiesPixelsExactlyAndClips) {
  fillLopsided(1);
  pal_InitWinBuf(0, 8, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) pal_SetBufferPixelLongColor(0, x, y, 0x010203);
  pal_ScaleBufferOntoMainBuffer(1, 4, 3, 6, 5);  // sticks out to the right and bottom
  EXPECT_EQ(pixelColour(0, 4, 3), pixelColour(1, 0, 0));
  EXPECT_EQ(pixelColour(0, 7, 5), pixelColour(1, 3, 2));
  EXPECT_EQ(pixelColour(0, 3, 3), 0x010203u);
  pal_ScaleBufferOntoMainBuffer(1, -2, -1, 6, 5);  // and to the left and top
  EXPECT_EQ(pixelColour(0, 0, 0), pixelColour(1, 2, 1));
}

TEST_F(Buffers, ShrinkingAveragesAreasOfPixels) {
  // A 4 x 4 checkerboard of black and white shrinks to an even grey.
  pal_InitWinBuf(1, 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) pal_SetBufferPixelLongColor(1, x, y, (x + y) % 2 ? 0xFFFFFF : 0x000000);
  pal_InitWinBuf(0, 2, 2);
  pal_ScaleBufferOntoMainBuffer(1, 0, 0, 2, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) {
      int32_t rgb[3];
      pal_GetBufferPixelRGB(0, x, y, rgb);
      EXPECT_NEAR(rgb[0], 128, 2);
      EXPECT_EQ(rgb[0], rgb[1]);
      EXPECT_EQ(rgb[1], rgb[2]);
    }
}

TEST_F(Buffers, ShrinkingWeighsEachPixelByTheAreaItCovers) {
  // Three pixels onto two: each output covers one and a half inputs.
  pal_InitWinBuf(1, 3, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) pal_SetBufferPixelRGB(1, x, y, 90 * x, 0, 0);
  pal_InitWinBuf(0, 2, 2);
  pal_ScaleBufferOntoMainBuffer(1, 0, 0, 2, 2);
  int32_t rgb[3];
  EXPECT_NEAR(pal_GetBufferPixelRGB(0, 0, 1, rgb)[0], 30, 1);   // (0 * 1 + 90 * 0.5) / 1.5
  EXPECT_NEAR(pal_GetBufferPixelRGB(0, 1, 0, rgb)[0], 150, 1);  // (90 * 0.5 + 180 * 1) / 1.5
}

TEST_F(Buffers, ShrinkingKeepsChannelsAndFlatAreas) {
  // Left half red, right half blue, 1280 wide shrunk to 1024: flat areas stay exact.
  pal_InitWinBuf(1, 1280, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 1280; ++x) pal_SetBufferPixelLongColor(1, x, y, x < 640 ? 0xFF0000 : 0x0000FF);
  pal_InitWinBuf(0, 1024, 7);
  pal_ScaleBufferOntoMainBuffer(1, 0, 0, 1024, 7);
  EXPECT_EQ(pixelColour(0, 10, 3), 0xFF0000u);
  EXPECT_EQ(pixelColour(0, 1000, 3), 0x0000FFu);
  EXPECT_EQ(pixelColour(0, 0, 0), 0xFF0000u);      // edges do not fade to black
  EXPECT_EQ(pixelColour(0, 1023, 6), 0x0000FFu);
}

TEST_F(Buffers, EnlargingInterpolatesBetweenNeighbours) {
  pal_InitWinBuf(1, 2, 1);
  pal_SetBufferPixelLongColor(1, 0, 0, 0x000000);
  pal_SetBufferPixelLongColor(1, 1, 0, 0xC8C8C8);
  pal_InitWinBuf(0, 8, 2);
  pal_ScaleBufferOntoMainBuffer(1, 0, 0, 8, 2);
  int32_t a[3], b[3];
  pal_GetBufferPixelRGB(0, 0, 0, a);
  pal_GetBufferPixelRGB(0, 7, 0, b);
  EXPECT_EQ(a[0], 0);
  EXPECT_EQ(b[0], 200);
  int last = -1;
  for (int x = 0; x < 8; ++x) {  // rises monotonically from one to the other
    int32_t c[3];
    pal_GetBufferPixelRGB(0, x, 1, c);
    EXPECT_GE(c[0], last);
    last = c[0];
  }
  pal_GetBufferPixelRGB(0, 4, 0, a);
  EXPECT_GT(a[0], 50);
  EXPECT_LT(a[0], 150);
}

TEST_F(Buffers, BgrRowsAreStoredAsColoursAndClipped) {
  pal_InitWinBuf(1, 3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) pal_SetBufferPixelLongColor(1, x, y, 0x555555);
  const unsigned char bgr[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  pal_StoreBGRRowInBuffer(1, -1, 1, bgr, 4);
  EXPECT_EQ(pixelColour(1, 0, 1), 0x060504u);
  EXPECT_EQ(pixelColour(1, 2, 1), 0x0C0B0Au);
  EXPECT_EQ(pixelColour(1, 0, 0), 0x555555u);
  pal_StoreBGRRowInBuffer(1, 0, 2, bgr, 3);  // below the buffer: nothing
  pal_StoreBGRRowInBuffer(1, 3, 0, bgr, 3);  // right of it: nothing
  EXPECT_EQ(pixelColour(1, 2, 0), 0x555555u);
}

}  // namespace
