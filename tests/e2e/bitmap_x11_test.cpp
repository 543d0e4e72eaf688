// Bitmap export and import in the built authoring program under Xvfb: the
// editor exports the frame (Ctrl+E), the test paints into the bitmap file,
// the editor imports it ("From frame#" and "Import BMP", confirmed) and the
// frame view shows the painted pixels; a rectangle dragged in the "Redact"
// mode becomes a box in the chosen frames' recorded pictures; and a window
// closed while a range import runs ends the program cleanly with the demo as
// it was.
#include "studio/capture/demo_files.h"

#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/studio_session.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kX = 190, kY = 100;  // the demo window on the 1280 x 800 screen
constexpr int kView = 400;         // the frame view's left edge
constexpr int kW = 640, kH = 400;  // the crop

uint32_t colourOf(int f) { return static_cast<uint32_t>((200 - f * 30) << 16 | (60 + f * 30) << 8 | (30 + f * 20)); }

DemoFixture bitmapDemo() {
  DemoFixture fx;
  fx.screenW = 800;
  fx.screenH = 600;
  const int32_t crop[4] = {80, 100, kW, kH};
  std::copy(crop, crop + 4, fx.crop);
  fx.frames.resize(3);
  for (auto& f : fx.frames) f = {"wait", "", -999, -999, {InstrRec{0, -1, 'T', {700, 0, 0, 0}}}};
  fx.row = [](int32_t f, int32_t, unsigned char* bgr) { solidRow(colourOf(f), 800, bgr); };
  return fx;
}

class BitmapSession : public StudioSession {
 protected:
  std::string bmp(int n) { return dir.path() + "/Demos/Paint Me/" + std::to_string(n) + ".bmp"; }
  void openDemoScreen() {
    ASSERT_TRUE(titled("Pictomira (v151)"));
    ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));
    clickAt(kX + 300, kY + 365 + 12);
    ASSERT_TRUE(titled("Paint Me - Pictomira"));
  }
  void openEditor() {
    openDemoScreen();
    ASSERT_TRUE(input->waitForPixel(kX + 9, kY + 287, 0xFFFFFF, 5000));
    clickAt(kX + 900 - 450, kY + 600 - 58 + 11);  // "Edit Demo"
    ASSERT_TRUE(titled("Editing 'Paint Me' - Pictomira"));
    ASSERT_TRUE(input->waitForPixel(189, 50, 0x767D98, 5000));
  }
};

class Bitmaps : public BitmapSession {
 protected:
  void SetUp() override {
    StudioSession::SetUp();
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Paint Me", bitmapDemo()));
    start();
  }
};

TEST_F(Bitmaps, ExportedBitmapPaintedAndImportedShowsInTheFrameView) {
  openEditor();
  ASSERT_TRUE(input->waitForPixel(kView + 5, 5, colourOf(0), 3000));
  input->key(XK_e, {XK_Control_L});
  std::vector<unsigned char> file;
  for (int i = 0; i < 50 && file.size() != 54u + 3u * kW * kH; ++i) {
    sleepMs(100);
    std::ifstream in(bmp(0), std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_EQ(file.size(), 54u + 3u * kW * kH);
  EXPECT_TRUE(input->waitForPixel(430 + 3, 30 + 3, 0x444444, 3000));  // the export message's box

  // Paint crop columns 100..199 of rows 50..99 (bottom-up rows in the file).
  const uint32_t ink = 0x10E020;
  for (int y = 50; y < 100; ++y)
    for (int x = 100; x < 200; ++x) {
      unsigned char* p = &file[54 + (kH - 1 - y) * kW * 3 + x * 3];
      p[0] = ink & 0xFF;
      p[1] = ink >> 8 & 0xFF;
      p[2] = ink >> 16 & 0xFF;
    }
  {
    std::ofstream out(bmp(0), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }

  typeInto(290 + 40, 362 + 9, "0");  // From frame#
  clickAt(181 + 45, 475 + 12);        // "Import BMP"
  ASSERT_TRUE(input->waitForPixel(215 + 4, 235, 0xFFFFFF, 3000));  // "Yes, Import BMP"
  clickAt(215 + 65, 235 + 13);
  EXPECT_TRUE(input->waitForPixel(kView + 150, 75, ink, 8000));
  EXPECT_TRUE(input->waitForPixel(kView + 5, 5, colourOf(0), 3000));  // untouched around it
  input->key(XK_Down);
  EXPECT_TRUE(input->waitForPixel(kView + 150, 75, colourOf(1), 3000));  // the next frame as before
}

// "Redact" from "More >" over frames 1 and 2 in white, then Ctrl+R over the
// whole demo in the default black: the view shows each box while it is
// dragged and afterwards exactly where it was dragged, in the chosen frames
// only, and the recording is rewritten in place.
TEST_F(Bitmaps, RedactedBoxesShowInTheirFramesOnly) {
  openEditor();
  ASSERT_TRUE(input->waitForPixel(kView + 5, 5, colourOf(0), 3000));
  const std::vector<std::string> before = listing();
  clickAt(332 + 30, 646 + 12);                                       // "More >"
  ASSERT_TRUE(input->waitForPixel(600 + 4, 450, 0xFFFFFF, 3000));
  clickAt(600 + 45, 450 + 13);                                       // "Redact"
  ASSERT_TRUE(input->waitForPixel(20 + 4, 380, 0xFFFFFF, 3000));     // "Redact..."
  clickAt(220 + 18, 162 + 11);                                       // the white swatch
  clickAt(25, 300 + 8);                                              // "From frame#"
  typeInto(150 + 40, 300 + 9, "1");
  typeInto(150 + 40, 330 + 9, "2");
  drag(kView + 100, 150, kView + 199, 189);  // frame pixels 100..199 x 150..189
  EXPECT_TRUE(input->waitForPixel(kView + 150, 170, 0xFFFFFF, 3000));  // shown on frame 0 as it will look
  clickAt(20 + 50, 380 + 13);                                        // "Redact..."
  ASSERT_TRUE(input->waitForPixel(215 + 4, 235, 0xFFFFFF, 3000));    // the question's "Redact"
  clickAt(215 + 65, 235 + 13);
  ASSERT_TRUE(input->waitForPixel(430 + 3, 30 + 3, 0x444444, 8000));  // "Redacted ..." in the message box
  EXPECT_TRUE(input->waitForPixel(kView + 150, 170, colourOf(0), 1000));  // frame 0 is outside the range
  for (int f = 1; f <= 2; ++f) {
    input->key(XK_Down);
    ASSERT_TRUE(input->waitForPixel(kView + 5, 5, colourOf(f), 3000));
    const std::vector<unsigned char> view = input->grab(kView + 99, 149, 102, 42);
    for (int y = 0; y < 42; ++y)
      for (int x = 0; x < 102; ++x) {
        const bool inBox = x >= 1 && x <= 100 && y >= 1 && y <= 40;
        const unsigned char* p = &view[3 * (y * 102 + x)];
        const uint32_t got = uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
        ASSERT_EQ(got, inBox ? 0xFFFFFFu : colourOf(f)) << "frame " << f << " at " << x << "," << y;
      }
  }

  input->key(XK_r, {XK_Control_L});
  ASSERT_TRUE(input->waitForPixel(20 + 4, 380, 0xFFFFFF, 3000));
  drag(kView + 300, 300, kView + 340, 320);
  clickAt(20 + 50, 380 + 13);
  ASSERT_TRUE(input->waitForPixel(215 + 4, 235, 0xFFFFFF, 3000));
  clickAt(215 + 65, 235 + 13);
  ASSERT_TRUE(input->waitForPixel(430 + 3, 30 + 3, 0x444444, 8000));
  for (int f = 2; f >= 0; --f) {
    if (f < 2) input->key(XK_Up);
    ASSERT_TRUE(input->waitForPixel(kView + 5, 5, colourOf(f), 3000));
    EXPECT_TRUE(input->waitForPixel(kView + 320, 310, 0x000000, 1000)) << "frame " << f;
    EXPECT_TRUE(input->waitForPixel(kView + 320, 325, colourOf(f), 1000)) << "frame " << f;
  }
  EXPECT_EQ(listing(), before);  // rewritten in place: no old copy, no journal
}

// A recording of kRecorded identical frames of which only the first and
// the last are in the demo: an import over the whole range finds each hidden
// frame's record by skipping records from frame 0, which keeps the worker
// busy for many seconds.
constexpr int kRecorded = 4000;
class ClosingDuringImport : public BitmapSession {
 protected:
  void SetUp() override {
    StudioSession::SetUp();
    DemoFixture fx = bitmapDemo();
    fx.frames.assign(kRecorded, {"", "", -999, -999, {InstrRec{0, -1, 'T', {700, 0, 0, 0}}}});
    fx.row = [](int32_t, int32_t, unsigned char* bgr) { solidRow(colourOf(0), 800, bgr); };
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Paint Me", fx));
    gFrameData[1] = gFrameData[kRecorded - 1];
    gFrameCount = 2;
    int32_t kept = 0;
    for (int32_t i = 0; i < gInstrCount; ++i) {
      InstrRec r = gInstrData[i];
      if (r.frame != 0 && r.frame != kRecorded - 1) continue;
      r.frame = r.frame == 0 ? 0 : 1;
      gInstrData[kept++] = r;
    }
    gInstrCount = kept;
    ASSERT_EQ(demoDataWrite(dir.path() + "/Demos/Paint Me/Paint Me.DMD", DMD_VERSION), 1);
    // The bitmap of frame 0 with a block painted in.
    std::vector<unsigned char> file(54 + 3 * kW * kH, 0);
    const uint32_t header[] = {static_cast<uint32_t>(file.size()), 0, 54, 40, kW, kH};
    file[0] = 'B';
    file[1] = 'M';
    for (int i = 0; i < 6; ++i)
      for (int b = 0; b < 4; ++b) file[2 + 4 * i + b] = static_cast<unsigned char>(header[i] >> (8 * b));
    file[26] = 1;
    file[28] = 24;
    for (int y = 0; y < kH; ++y) {
      unsigned char* row = &file[54 + (kH - 1 - y) * kW * 3];
      solidRow(colourOf(0), kW, row);
      if (y >= 50 && y < 100) solidRow(0x10E020, 100, row + 100 * 3);
    }
    std::ofstream(bmp(0), std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                  static_cast<std::streamsize>(file.size()));
    start();
  }
  std::vector<unsigned char> bytesOf(const std::string& name) {
    std::ifstream in(dir.path() + "/Demos/Paint Me/" + name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

TEST_F(ClosingDuringImport, ClosedWindowEndsCleanlyAndTheDemoIsWhole) {
  const std::vector<unsigned char> dmr = bytesOf("Paint Me.DMR"), dmd = bytesOf("Paint Me.DMD");
  openEditor();
  const std::vector<std::string> before = listing();
  typeInto(290 + 40, 362 + 9, "0");                           // From frame#
  typeInto(290 + 40, 392 + 9, std::to_string(kRecorded - 1));  // To frame#
  clickAt(181 + 45, 475 + 12);                                 // "Import BMP"
  ASSERT_TRUE(input->waitForPixel(215 + 4, 235, 0xFFFFFF, 3000));  // "Yes, Import BMP"
  clickAt(215 + 65, 235 + 13);
  // The progress replaces the buttons on the black panel, and is still there a moment later.
  ASSERT_TRUE(input->waitForPixel(215 + 4, 235, 0x000000, 3000));
  sleepMs(700);
  ASSERT_TRUE(input->waitForPixel(215 + 4, 235, 0x000000, 100)) << "the import ended before the window was closed";
  closeAndExpectCleanEnd("Editing 'Paint Me' - Pictomira", 5000);
  EXPECT_EQ(listing(), before);  // the worker removed what it had begun
  EXPECT_TRUE(bytesOf("Paint Me.DMR") == dmr);
  EXPECT_TRUE(bytesOf("Paint Me.DMD") == dmd);

  // The next start lists the demo as before and opens it.
  start();
  openDemoScreen();
  EXPECT_EQ(listing(), before);
  EXPECT_TRUE(bytesOf("Paint Me.DMR") == dmr);
}

}  // namespace
