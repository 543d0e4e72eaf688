// Frame decoding from packages and from recording files.
#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "pal/pal.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- Package frames ---------------------------------------------------------

class PackageFrames : public testing::Test {
 protected:
  void SetUp() override { resetRuntime(); }
  void TearDown() override { resetRuntime(); }

  void loadFixture(PackageFixture fx, std::vector<unsigned char>* edit = nullptr) {
    std::vector<unsigned char> bytes = buildPackage(fx);
    if (edit) *edit = bytes;
    ASSERT_TRUE(loadPackageWithSetFile(dir, "Demo.PMP", bytes, ">Demo.PMP"));
  }
  static PackageFixture fixture(int frames) {
    PackageFixture fx;
    fx.frames.resize(frames);
    fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
      for (int x = 0; x < 6; ++x) {
        bgr[x * 3] = static_cast<unsigned char>(x + 1);          // blue
        bgr[x * 3 + 1] = static_cast<unsigned char>(10 * y + 2);  // green
        bgr[x * 3 + 2] = static_cast<unsigned char>(100 + f);     // red
      }
    };
    return fx;
  }
  TempDir dir;
};

TEST_F(PackageFrames, EveryPixelLandsInBufferOneAsItsColour) {
  loadFixture(fixture(3));
  pal_InitWinBuf(1, 6, 5);
  for (int f = 0; f < 3; ++f) {
    pkgFrameToBuff(f);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x)
        ASSERT_EQ(pixelColour(1, x, y), static_cast<uint32_t>((100 + f) << 16 | (10 * y + 2) << 8 | (x + 1)))
            << f << ":" << x << "," << y;
  }
}

TEST_F(PackageFrames, RowsSharingLineZeroRepeatOverTheHeight) {
  PackageFixture fx = fixture(2);
  fx.row = [](int32_t, int32_t, unsigned char* bgr) {
    for (int i = 0; i < 18; ++i) bgr[i] = static_cast<unsigned char>(i * 13);
  };
  loadFixture(fx);
  EXPECT_EQ(gDemoPackageLineCount, 1);
  pal_InitWinBuf(1, 6, 5);
  pkgFrameToBuff(1);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(pixelColour(1, 5, y), pixelColour(1, 5, 0));
  EXPECT_EQ(pixelColour(1, 1, 0), static_cast<uint32_t>(65 << 16 | 52 << 8 | 39));
}

TEST_F(PackageFrames, SmallerBufferIsWrittenOnlyInside) {
  loadFixture(fixture(1));
  pal_InitWinBuf(1, 4, 3);
  pkgFrameToBuff(0);  // the sanitizer build catches any write past the buffer
  EXPECT_EQ(pixelColour(1, 3, 2), static_cast<uint32_t>(100 << 16 | 22 << 8 | 4));
  pal_InitWinBuf(2, 1, 1);
  pkgFrameToBuff(5);  // beyond the frame count: nothing drawn, nothing read
}

TEST_F(PackageFrames, LineNumberBeyondThePoolIsACorruptPackage) {
  std::vector<unsigned char> bytes;
  loadFixture(fixture(2), &bytes);
  // Frame 1, row 4 names line 15 (the pool has 10 distinct rows).
  const size_t entry = gDemoPackageOffsetBytes[PKG_OFF_LINE_TABLES] + (1 * 5 + 4) * 3;
  bytes[entry + 2] = static_cast<unsigned char>(gDemoPackageLineCount);
  ASSERT_TRUE(writeBytes(gDemoFilePath, bytes));
  pal_InitWinBuf(1, 6, 5);
  pkgFrameToBuff(0);  // frame 0 is intact
  EXPECT_EXIT(pkgFrameToBuff(1), testing::ExitedWithCode(1),
              "ALERT 1 Fatal ErrPFTB-03 \\| Could not read package: ");
  bytes[entry] = 0xFF;
  ASSERT_TRUE(writeBytes(gDemoFilePath, bytes));
  EXPECT_EXIT(pkgFrameToBuff(1), testing::ExitedWithCode(1), "Fatal ErrPFTB-03");
  std::remove(gDemoFilePath);
  EXPECT_EXIT(pkgFrameToBuff(0), testing::ExitedWithCode(1), "ALERT 1 Fatal ErrPFTB-02 \\| Could not read package: ");
}

// ---- Recording files ----------------------------------------------------------

// Writes a recording of an 8 x 6 screen record by record.
class Recording {
 public:
  static constexpr int W = 8, H = 6;
  // Appends a record whose rectangle is filled with one colour; returns its offset.
  int64_t add(int x, int y, int w, int h, uint32_t colour, const std::string& lineOverride = "") {
    const int64_t at = static_cast<int64_t>(bytes.size());
    char line[128];
    std::snprintf(line, sizeof line, "7,100,200,%d,%d,%d,%d,%d,%d,1234\n", W, H, x, y, w, h);
    const std::string l = lineOverride.empty() ? line : lineOverride;
    bytes.insert(bytes.end(), l.begin(), l.end());
    for (int i = 0; i < w * h; ++i) {
      bytes.push_back(colour & 0xFF);
      bytes.push_back((colour >> 8) & 0xFF);
      bytes.push_back((colour >> 16) & 0xFF);
    }
    return at;
  }
  int64_t key(uint32_t colour) { return add(0, 0, W, H, colour); }
  std::vector<unsigned char> bytes;
};

class RecordedFrames : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    path = dir.file("rec.DMR");
  }
  void TearDown() override { resetRuntime(); }
  void save() { ASSERT_TRUE(writeBytes(path, rec.bytes)); }
  void cropAndBuffer(int32_t l, int32_t t, int32_t w, int32_t h) {
    gCropSize[0] = l;
    gCropSize[1] = t;
    gCropSize[2] = w;
    gCropSize[3] = h;
    pal_DestroyWinBuff(1);
    pal_InitWinBuf(1, w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) pal_SetBufferPixelLongColor(1, x, y, 0xABCDEF);
  }
  TempDir dir;
  std::string path;
  Recording rec;
};

TEST_F(RecordedFrames, LinePositionValues) {
  EXPECT_EQ(getLinePosValue("0,1,2,1280,800", 3), 1280);
  EXPECT_EQ(getLinePosValue("0,1,2,1280,800", 5), -1);
  EXPECT_EQ(getLinePosValue("0,1,2,1280,800\n", 4), 800);
  EXPECT_EQ(getLinePosValue("", 0), 0);
  EXPECT_EQ(getLinePosValue("5, -42x,", 1), -42);
  EXPECT_EQ(getLinePosValue("1,2,3,,", 3), 0);
  EXPECT_EQ(getLinePosValue("9,8,7,6,5,4,3,2,1,99999999999", 9), 99999999999);
}

// A record line is sound only when every field is a number in its range;
// a value beyond 64 bits is refused, never saturated.
TEST(RecordLines, EveryFieldIsCheckedAgainstItsRange) {
  const struct {
    const char* line;
    int fields;
    bool sound;
  } cases[] = {
      {"0,5,6,1280,800,0,0,1280,800,99,1\r\n", 11, true},
      {"0,-5,6,1280,800,1279,799,1,1,0,0\n", 11, true},   // the last pixel; a pointer off the screen
      {"0,5,6,1280,800,0,0,0,0,0,0", 11, true},            // an empty rectangle
      {"0,5,6,16,12,2,3,4,5", 9, true},                    // the Presenter's nine fields
      {"0,5,6,16,12,2,3,4,5", 11, false},
      {"0,5,6,1280,800,1280,0,1,1,0,0", 11, false},       // x + w beyond W
      {"0,5,6,1280,800,0,790,1,11,0,0", 11, false},       // y + h beyond H
      {"0,5,6,65536,1,0,0,1,1,0,0", 11, false},           // a side beyond 65,535
      {"0,5,6,65535,4097,0,0,1,1,0,0", 11, false},        // more than 2^28 pixels
      {"0,5,6,0,800,0,0,0,0,0,0", 11, false},             // no screen
      {"0,5,6,1280,800,-1,0,1,1,0,0", 11, false},
      {"0,5,6,1280,800,0,0,1,1,-1,0", 11, false},         // a negative time
      {"0,5,6,1280,800,0,0,1,1,0,2", 11, false},          // click is a flag
      {"0,5,6,1280,800,0,0,1,1,9007199254740993,0", 11, false},
      {"0,2147483649,6,1280,800,0,0,1,1,0,0", 11, false}, // pointer beyond 2^31
      {"0,5,6,99999999999999999999,800,0,0,1,1,0,0", 11, false},
      {"0,5,6,1280,800,9223372036854775807,0,2,1,0,0", 11, false},
      {"0,5,6,12x0,800,0,0,1,1,0,0", 11, false},          // not a number
      {"0,5,6,,800,0,0,1,1,0,0", 11, false},
  };
  for (const auto& c : cases) {
    RecordFields r{};
    EXPECT_EQ(parseRecordLine(c.line, c.fields, &r), c.sound) << c.line;
  }
  RecordFields r{};
  ASSERT_TRUE(parseRecordLine(" 0, -5 ,6,1280,800,1,2,3,4,99,1\r\n", 11, &r));
  EXPECT_EQ(r.mouseX, -5);
  EXPECT_EQ(r.W * 10000 + r.H, 12800800);
  EXPECT_EQ(r.x + r.y * 10 + r.w * 100 + r.h * 1000, 4321);
  EXPECT_EQ(r.time, 99);
  EXPECT_EQ(r.click, 1);
  EXPECT_EQ(getLinePosValue("0,99999999999999999999", 1), -1);
}

TEST_F(RecordedFrames, KeyFrameAloneWhenStartEqualsEnd) {
  const int64_t k = rec.key(0x112233);
  rec.add(1, 1, 2, 2, 0xFF0000);
  save();
  cropAndBuffer(0, 0, 8, 6);
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k, k, 1), k);
  EXPECT_EQ(pixelColour(1, 1, 1), 0x112233u);
}

TEST_F(RecordedFrames, ChainOfKeysAndPatchesAppliesEveryRecordInOrder) {
  const int64_t k1 = rec.key(0x000000);
  rec.add(0, 0, 4, 3, 0x0000FF);
  rec.add(2, 1, 4, 4, 0x00FF00);
  const int64_t k2 = rec.key(0x404040);
  const int64_t last = rec.add(6, 4, 2, 2, 0xFF0000);
  rec.add(0, 0, 8, 1, 0xFFFFFF);  // after end: not applied
  save();
  cropAndBuffer(1, 1, 7, 5);
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k1, last, 1), k2);
  EXPECT_EQ(pixelColour(1, 0, 0), 0x404040u);  // the second key covered the patches
  EXPECT_EQ(pixelColour(1, 5, 3), 0xFF0000u);  // screen (6, 4)
  EXPECT_EQ(pixelColour(1, 4, 2), 0x404040u);
  // Up to the record before the second key: the first key with both patches.
  cropAndBuffer(0, 0, 8, 6);
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k1, k2 - 1, 1), k1);
  EXPECT_EQ(pixelColour(1, 0, 0), 0x0000FFu);
  EXPECT_EQ(pixelColour(1, 3, 2), 0x00FF00u);  // the green patch lies over the blue one
  EXPECT_EQ(pixelColour(1, 5, 4), 0x00FF00u);
  EXPECT_EQ(pixelColour(1, 7, 5), 0x000000u);
}

TEST_F(RecordedFrames, MemoryVariantByteOrdersAndSteps) {
  const int64_t k = rec.key(0x102030);
  const int64_t p = rec.add(0, 0, 1, 1, 0xA0B0C0);
  save();
  const int32_t rect[4] = {0, 0, 2, 1};
  unsigned char out[8];
  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(demoRecframeCroppedToMembuff(path.c_str(), k, p, rect, out, 4, 1), k);
  const unsigned char bgrx[] = {0xC0, 0xB0, 0xA0, 0xEE, 0x30, 0x20, 0x10, 0xEE};
  EXPECT_EQ(std::memcmp(out, bgrx, 8), 0);
  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(demoRecframeCroppedToMembuff(path.c_str(), k, p, rect, out, 3, 0), k);
  const unsigned char rgb[] = {0xA0, 0xB0, 0xC0, 0x10, 0x20, 0x30, 0xEE, 0xEE};
  EXPECT_EQ(std::memcmp(out, rgb, 8), 0);
  EXPECT_EQ(demoRecframeCroppedToMembuff(path.c_str(), k, p, rect, nullptr, 3, 1), k);
}

TEST_F(RecordedFrames, ArgumentAndFileErrorsOfBothVariants) {
  const int64_t k = rec.key(0x102030);
  const int64_t p = rec.add(1, 1, 1, 1, 0xFFFFFF);
  save();
  const int32_t rect[4] = {0, 0, 8, 6};
  unsigned char out[8 * 6 * 3];
  cropAndBuffer(0, 0, 8, 6);
  pal_InitWinBuf(2, 7, 6);
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k, p, 2), -1);
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), -1, p, 1), -2);
  EXPECT_EQ(demoRecframeCroppedToMembuff(path.c_str(), k, -1, rect, out, 3, 1), -1);
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), p, k, 1), -3);
  EXPECT_EQ(demoRecframeCroppedToMembuff(path.c_str(), p, k, rect, out, 3, 1), -2);
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(dir.file("none").c_str(), k, p, 1), -4);
  EXPECT_EQ(demoRecframeCroppedToMembuff(dir.file("none").c_str(), k, p, rect, out, 3, 1), -3);
  const int64_t size = static_cast<int64_t>(rec.bytes.size());
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k, size, 1), -5);
  EXPECT_EQ(demoRecframeCroppedToMembuff(path.c_str(), k, size, rect, out, 3, 1), -4);
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), p, p, 1), -6);
  EXPECT_EQ(demoRecframeCroppedToMembuff(path.c_str(), p, p, rect, out, 3, 1), -5);
  EXPECT_EQ(pixelColour(1, 0, 0), 0xABCDEFu);  // untouched by every failure
}

TEST_F(RecordedFrames, DamagedRecordsNeverWriteOutsideTheScreen) {
  const int64_t k = rec.key(0x102030);
  const int64_t good = rec.add(1, 1, 2, 2, 0xFFFFFF);
  const int64_t outside = rec.add(7, 5, 2, 2, 0xFF0000);  // sticks out right and below
  save();
  cropAndBuffer(0, 0, 8, 6);
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k, good, 1), k);
  cropAndBuffer(0, 0, 8, 6);
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k, outside, 1), REC_ERR_BAD_RECORD);

  Recording shortLine;
  const int64_t k2 = shortLine.key(0x102030);
  const int64_t bad = shortLine.add(0, 0, 1, 1, 0, "1,2,3,8,6,0,0\n");
  ASSERT_TRUE(writeBytes(path, shortLine.bytes));
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k2, bad, 1), REC_ERR_BAD_RECORD);

  Recording cut;
  const int64_t k3 = cut.key(0x102030);
  const int64_t p3 = cut.add(0, 0, 4, 4, 0xFFFFFF);
  cut.bytes.resize(cut.bytes.size() - 5);  // pixels cut short by the end of the file
  ASSERT_TRUE(writeBytes(path, cut.bytes));
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k3, p3, 1), REC_ERR_BAD_RECORD);
  cut.bytes.resize(static_cast<size_t>(k3) + 40);  // the key's own pixels cut short
  ASSERT_TRUE(writeBytes(path, cut.bytes));
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k3, k3, 1), REC_ERR_BAD_RECORD);

  Recording huge;
  const int64_t k4 = huge.add(0, 0, 1, 1, 0, "1,2,3,99999999,99999999,0,0,99999999,99999999\n");
  ASSERT_TRUE(writeBytes(path, huge.bytes));
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k4, k4, 1), REC_ERR_BAD_RECORD);
  EXPECT_EQ(pixelColour(1, 0, 0), 0xABCDEFu);
}

TEST_F(RecordedFrames, CropOutsideTheRecordedScreenIsRefused) {
  const int64_t k = rec.key(0x102030);
  save();
  cropAndBuffer(4, 0, 5, 6);  // one column beyond the 8-pixel screen
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), k, k, 1), REC_ERR_CROP_OUTSIDE);
  const int32_t rect[4] = {-1, 0, 2, 2};
  unsigned char out[16];
  EXPECT_EQ(demoRecframeCroppedToMembuff(path.c_str(), k, k, rect, out, 3, 1), REC_ERR_CROP_OUTSIDE);
}

}  // namespace
