// "Add MultiPath" in the built authoring program under Xvfb: a demo of the
// fixture builder whose button is clicked only on its third frame gets
// copies of that click on the frames before it, and "Present the Demo"
// then follows the copied click from the first frame. Judged by titles,
// pixels and the saved data file.
#include "studio/capture/demo_files.h"
#include "tests/support/demo_builder.h"
#include "tests/support/studio_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kX = 190, kY = 100;  // the 900 x 600 home and demo windows on the 1280 x 800 screen
constexpr int kW = 640, kH = 400;  // the crop, presented as recorded and centred
constexpr int kPX = (1280 - kW) / 2, kPY = (800 - kH) / 2;
constexpr uint32_t kButton = 0x3070C0;

uint32_t colourOf(int f) { return static_cast<uint32_t>((30 + f * 70) << 16 | (150 - f * 40) << 8 | (60 + f * 50)); }

// Four frames, cropped 640 x 400 out of 800 x 600 at (80, 100). Frames 0 to 2
// show the button at screen 100..200 x 120..160; frame 0's and frame 1's
// clicks lie on their own backgrounds, frame 2's click on the button leads to frame 3.
DemoFixture pathsDemo() {
  DemoFixture fx;
  fx.screenW = 800;
  fx.screenH = 600;
  const int32_t crop[4] = {80, 100, kW, kH};
  std::copy(crop, crop + 4, fx.crop);
  fx.frames.resize(4);
  fx.frames[0].instrs = {InstrRec{0, -1, 'L', {300, 300, 400, 340}}};
  fx.frames[1].instrs = {InstrRec{0, -1, 'L', {500, 200, 600, 240}}};
  fx.frames[2].instrs = {InstrRec{0, 3, 'L', {100, 120, 200, 160}}};
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    solidRow(colourOf(f), 800, bgr);
    if (f < 3 && y >= 120 && y <= 160) solidRow(kButton, 101, bgr + 3 * 100);
  };
  return fx;
}

// The paths demo grown to 10,000 frames that all show the same screen, each
// clicked on a 2 x 2 square of its own: MultiPath then weighs 10,000 clicks
// on 10,000 frames, which keeps it busy for many seconds. The frames after
// the first two repeat frame 1's record, so the recording stays small.
bool writeBigDemo(const std::string& folder) {
  constexpr int32_t kFrames = 10000;
  DemoFixture fx = pathsDemo();
  fx.frames.resize(2);
  fx.row = [](int32_t, int32_t, unsigned char* bgr) { solidRow(colourOf(0), 800, bgr); };
  if (!writeDemoFolder(folder, "Big", fx)) return false;
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", folder.c_str());
  const std::string recording = demoFilePath("Big", ".DMR"), bytes = slurp(recording);
  const int64_t at = gFrameData[1].imageRefB;
  const std::string last = bytes.substr(static_cast<size_t>(at));
  std::FILE* f = std::fopen(recording.c_str(), "ab");
  if (f == nullptr) return false;
  bool ok = true;
  for (int32_t k = 2; k < kFrames && ok; ++k) {
    gFrameData[k] = gFrameData[1];
    gFrameData[k].frameId = k;
    gFrameData[k].imageRefB = at + (k - 1) * static_cast<int64_t>(last.size());
    ok = std::fwrite(last.data(), 1, last.size(), f) == last.size();
  }
  ok = std::fclose(f) == 0 && ok;
  gFrameCount = gInstrCount = kFrames;
  for (int32_t k = 0; k < kFrames; ++k) {
    const int32_t x = 80 + k % 200 * 3, y = 100 + k / 200 * 8;
    gInstrData[k] = InstrRec{k, -1, 'L', {x, y, x + 1, y + 1}};
  }
  return ok && demoDataWrite(demoFilePath("Big", ".DMD"), DMD_VERSION) == 1;
}

class MultiPathRun : public StudioSession {
 protected:
  bool demoScreen(const std::string& name = "Paths") {
    return titled(name + " - Pictomira") && input->waitForPixel(kX + 9, kY + 287, 0xFFFFFF, 5000);
  }
  // From the home screen to the MultiPath screen of the library's first demo.
  void openMultiPath(const std::string& name) {
    ASSERT_TRUE(titled("Pictomira (v151)"));
    ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));  // "New Demo..."
    clickAt(kX + 300, kY + 365 + 12);                                     // the library's first row
    ASSERT_TRUE(demoScreen(name));
    clickAt(kX + 900 - 510 + 60, kY + 600 - 28 + 11);  // "Add MultiPath"
    ASSERT_TRUE(titled("Add MultiPath to '" + name + "' - Pictomira"));
    ASSERT_TRUE(input->waitForPixel(kX + 204, kY + 525, 0xFFFFFF, 5000));
  }
};

TEST_F(MultiPathRun, CopiedClicksWorkWhenTheDemoIsPresented) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Paths", pathsDemo()));
  start();
  openMultiPath("Paths");
  clickAt(kX + 200 + 60, kY + 525 + 11);  // "Add MultiPath" on its own screen
  ASSERT_TRUE(demoScreen());
  // The button's click copied to frames 0 and 1, leading where it leads, and saved.
  ASSERT_EQ(demoDataRead(dir.path() + "/Demos/Paths/Paths.DMD"), 1);
  ASSERT_EQ(gInstrCount, 5);
  for (int i = 3; i < 5; ++i) {
    EXPECT_EQ(gInstrData[i].frame, i - 3);
    EXPECT_EQ(gInstrData[i].target, 3);
  }
  clickAt(kX + 450, kY + 300 + 150 + 12);  // "Present the Demo"
  ASSERT_TRUE(titled("Paths - Pictomira"));  // the presenting window
  ASSERT_TRUE(input->waitForPixel(kPX + 300, kPY + 300, colourOf(0), 5000));
  EXPECT_EQ(input->pixel(kPX + 20, kPY + 20), 0xFF0000u);  // the copy's red box on frame 0
  clickAt(kPX + 70, kPY + 40);                              // inside the button
  EXPECT_TRUE(input->waitForPixel(kPX + 300, kPY + 300, colourOf(3), 3000));
}

TEST_F(MultiPathRun, CancelGoesBackAndAddsNothing) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Paths", pathsDemo()));
  start();
  ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));
  clickAt(kX + 300, kY + 365 + 12);
  ASSERT_TRUE(demoScreen());
  clickAt(kX + 900 - 510 + 60, kY + 600 - 28 + 11);
  ASSERT_TRUE(titled("Add MultiPath to 'Paths' - Pictomira"));
  ASSERT_TRUE(input->waitForPixel(kX + 594, kY + 525, 0xFFFFFF, 5000));
  clickAt(kX + 590 + 40, kY + 525 + 11);  // "Cancel"
  ASSERT_TRUE(demoScreen());
  ASSERT_EQ(demoDataRead(dir.path() + "/Demos/Paths/Paths.DMD"), 1);
  EXPECT_EQ(gInstrCount, 3);
}

// The window closed while MultiPath works: the program ends at once, and
// the demo is as it was saved, opened from the library at the next start.
TEST_F(MultiPathRun, ClosingWhileItRunsLeavesTheDemoAsSaved) {
  ASSERT_TRUE(writeBigDemo(dir.path()));
  const std::string data = slurp(dir.file("Demos/Big/Big.DMD"));
  const std::vector<std::string> before = listing();
  start();
  openMultiPath("Big");
  clickAt(kX + 200 + 60, kY + 525 + 11);  // "Add MultiPath" on its own screen
  sleepMs(1000);
  ASSERT_TRUE(titled("Add MultiPath to 'Big' - Pictomira", 100));  // still running
  const auto closing = std::chrono::steady_clock::now();
  closeAndExpectCleanEnd("Add MultiPath to 'Big' - Pictomira", 5000);
  EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(5));
  std::vector<std::string> expected = before;
  if (std::find(expected.begin(), expected.end(), "zPictomiraSystemFiles") == expected.end())
    expected.push_back("zPictomiraSystemFiles");  // made by the start itself
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listing(), expected);
  EXPECT_TRUE(slurp(dir.file("Demos/Big/Big.DMD")) == data);
  start();
  openMultiPath("Big");
  ASSERT_EQ(demoDataRead(dir.path() + "/Demos/Big/Big.DMD"), 1);
  EXPECT_EQ(gInstrCount, 10000);
}

}  // namespace
