// The demo folder fixture: what it writes reads back through the
// authoring program's readers and rebuilds the intended frames.
#include "tests/support/demo_builder.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pal/pal.h"
#include "studio/capture/demo_files.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t kW = 6, kH = 5;

// Pixel (x, y) of frame f as a long colour: frame 1 reddens a block inside
// the crop, frame 2 changes a pixel inside and one outside it, frame 3
// repeats frame 2.
uint32_t colourAt(int32_t f, int32_t x, int32_t y) {
  uint32_t b = 10 * x + 1, g = 20 * y + 2, r = 3 * x + 7 * y + 5;
  if (f >= 1 && x >= 2 && x <= 3 && y >= 1 && y <= 2) r += 100;
  if (f >= 2 && x == 5 && y == 4) b = 250;
  if (f >= 2 && x == 1 && y == 3) g = 200;
  return (r << 16) | (g << 8) | b;
}

DemoFixture smallDemo(int keyEvery) {
  DemoFixture fx;
  fx.screenW = kW;
  fx.screenH = kH;
  fx.crop[0] = 1;
  fx.crop[1] = 1;
  fx.crop[2] = 4;
  fx.crop[3] = 3;
  fx.homeFrameId = 2;
  fx.corners = 1;
  fx.keyEvery = keyEvery;
  fx.frames.resize(4);
  fx.frames[0] = {"Start", "Click the block", -999, -999, {InstrRec{7, -1, 'L', {2, 1, 3, 2}}}};
  fx.frames[1] = {"", "", 2, 3, {InstrRec{0, 3, 'T', {500, 0, 0, 0}}}};
  fx.frames[2] = {"Third", "", -999, -999, {}};
  fx.frames[3] = {"Same", "Nothing changed", -999, -999, {}};
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int32_t x = 0; x < kW; ++x) {
      const uint32_t c = colourAt(f, x, y);
      bgr[x * 3] = c & 0xFF;
      bgr[x * 3 + 1] = (c >> 8) & 0xFF;
      bgr[x * 3 + 2] = c >> 16;
    }
  };
  return fx;
}

std::string text(int64_t index) {
  char out[DEMO_TEXT_LEN] = {};
  return demoGetTextValue(static_cast<int32_t>(index), out) == 0 ? out : "(none)";
}

class DemoBuilder : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    std::memcpy(savedFolder, gProgramFolder, sizeof savedFolder);
  }
  void TearDown() override {
    resetRuntime();
    std::memcpy(gProgramFolder, savedFolder, sizeof savedFolder);
  }
  std::string file(const std::string& name, const char* ext) {
    return dir.path() + "/Demos/" + name + "/" + name + ext;
  }
  TempDir dir;
  char savedFolder[sizeof gProgramFolder];
};

TEST_F(DemoBuilder, FramesRebuildToTheCroppedPixels) {
  for (int keyEvery : {0, 2}) {
    SCOPED_TRACE(keyEvery);
    resetRuntime();
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Small", smallDemo(keyEvery)));
    // The model holds the demo; on disk a missing text is 24 bits of ones.
    ASSERT_EQ(gFrameCount, 4);
    EXPECT_EQ(gFrameData[1].nameText, -1);
    EXPECT_EQ(gFrameData[1].noteText, -1);
    demoInitDatastores();
    gFrameCount = gInstrCount = 0;
    ASSERT_EQ(demoDataRead(file("Small", ".DMD")), 1);
    ASSERT_EQ(gHeaderCount, 4);
    EXPECT_EQ(text(gHeaderData[0]), "1,1,4,3\r\n");
    EXPECT_EQ(gHeaderData[1], 0);
    EXPECT_EQ(gHeaderData[2], 2);
    EXPECT_EQ(gHeaderData[3], 1);
    ASSERT_EQ(gFrameCount, 4);
    EXPECT_EQ(text(gFrameData[0].nameText), "Start");
    EXPECT_EQ(text(gFrameData[0].noteText), "Click the block");
    EXPECT_EQ(text(gFrameData[1].nameText), "(none)");
    EXPECT_EQ(text(gFrameData[1].noteText), "(none)");
    EXPECT_EQ(gFrameData[1].noteX, 2);
    EXPECT_EQ(gFrameData[1].noteY, 3);
    EXPECT_EQ(gFrameData[2].noteX, DEMO_NO_POSITION);
    ASSERT_EQ(gInstrCount, 2);
    EXPECT_EQ(gInstrData[0].frame, 0);
    EXPECT_EQ(gInstrData[0].type, 'L');
    EXPECT_EQ(gInstrData[0].v[2], 3);
    EXPECT_EQ(gInstrData[1].frame, 1);
    EXPECT_EQ(gInstrData[1].target, 3);

    // Each record: the changed rectangle, or the whole screen for a key.
    const std::string recording = file("Small", ".DMR");
    std::FILE* f = std::fopen(recording.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    const int64_t expected[4][4] = {{0, 0, kW, kH},
                                    {2, 1, 2, 2},
                                    {keyEvery == 2 ? 0 : 1, keyEvery == 2 ? 0 : 3, keyEvery == 2 ? kW : 5,
                                     keyEvery == 2 ? kH : 2},
                                    {0, 0, 1, 1}};
    for (int32_t fr = 0; fr < 4; ++fr) {
      SCOPED_TRACE(fr);
      EXPECT_EQ(gFrameData[fr].frameId, fr);
      EXPECT_EQ(gFrameData[fr].imageRefA, keyEvery == 2 && fr >= 2 ? gFrameData[2].imageRefB : 0);
      RecordLine r;
      ASSERT_GT(recReadRecord(f, gFrameData[fr].imageRefB, &r, nullptr), 0);
      EXPECT_EQ(r.W, kW);
      EXPECT_EQ(r.H, kH);
      EXPECT_EQ(r.x, expected[fr][0]);
      EXPECT_EQ(r.y, expected[fr][1]);
      EXPECT_EQ(r.w, expected[fr][2]);
      EXPECT_EQ(r.h, expected[fr][3]);
      EXPECT_EQ(r.time, fr * 100);
      EXPECT_EQ(r.click, fr == 1 ? 1 : 0);
    }
    std::fclose(f);

    std::memcpy(gCropSize, smallDemo(keyEvery).crop, sizeof gCropSize);
    pal_InitWinBuf(1, 4, 3);
    for (int32_t fr = 0; fr < 4; ++fr) {
      SCOPED_TRACE(fr);
      EXPECT_EQ(demoRecFrameCroppedToPALbuff(recording.c_str(), gFrameData[fr].imageRefA, gFrameData[fr].imageRefB, 1),
                gFrameData[fr].imageRefA);
      for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(pixelColour(1, x, y), colourAt(fr, x + 1, y + 1)) << x << "," << y;
    }

    std::vector<std::array<int32_t, 4>> rects;
    ASSERT_TRUE(winReadRects(file("Small", ".DMW"), &rects));
    ASSERT_EQ(rects.size(), 9u);
    for (const auto& rect : rects) EXPECT_EQ(rect, (std::array<int32_t, 4>{1, 1, 5, 4}));
  }
}

TEST_F(DemoBuilder, DamagedCropTextIsWrittenAsGiven) {
  DemoFixture fx = smallDemo(0);
  fx.cropText = "1,1,40\r\n";
  ASSERT_TRUE(writeDemoFolder(dir.path() + "/", "Damaged", fx));
  demoInitDatastores();
  ASSERT_EQ(demoDataRead(file("Damaged", ".DMD")), 1);
  EXPECT_EQ(text(gHeaderData[0]), "1,1,40\r\n");
}

TEST_F(DemoBuilder, WrittenDemosAreListedNewestFirst) {
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s", "/left/alone/");
  DemoFixture older = smallDemo(0), newer = smallDemo(2);
  older.mtime = 1500000000;
  newer.mtime = 1600000000;
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Older", older));
  ASSERT_TRUE(writeDemoFolder(dir.path() + "/", "Newer", newer));
  EXPECT_STREQ(gProgramFolder, "/left/alone/");
  EXPECT_FALSE(writeDemoFolder(file("Older", ".DMD"), "Inside", older));  // a file is in the way

  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  std::vector<DemoListEntry> e(DEMO_LIST_CAP);
  ASSERT_EQ(listDemos(e.data()), 2);
  EXPECT_STREQ(e[0].name, "Newer");
  EXPECT_STREQ(e[1].name, "Older");
}

}  // namespace
