// Control + W on the demo screen of the built authoring program under Xvfb:
// a demo written by the fixture builder becomes "DemoFlow.txt" and
// "DemoStack.bws" in its folder, the "Done" alert names the folder and the
// program ends; a failure leaves the earlier files and returns to the demo
// screen.
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/studio_session.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

constexpr int kX = 190, kY = 100;  // the 900 x 600 home and demo windows

// Two frames of a 320 x 240 screen cropped to 200 x 120 at (20, 10).
DemoFixture mirritDemo() {
  DemoFixture fx;
  fx.screenW = 320;
  fx.screenH = 240;
  const int32_t crop[4] = {20, 10, 200, 120};
  std::copy(crop, crop + 4, fx.crop);
  fx.frames = {{"Start", "Click here", -999, -999, {InstrRec{0, -1, 'L', {30, 20, 60, 40}}}},
               {"End", "", -999, -999, {InstrRec{0, 0, 'T', {500, 0, 0, 0}}}}};
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < 320; ++x) {
      bgr[x * 3] = static_cast<unsigned char>(x + f * 9);
      bgr[x * 3 + 1] = static_cast<unsigned char>(y / 4);
      bgr[x * 3 + 2] = static_cast<unsigned char>(f * 100);
    }
  };
  return fx;
}

using Mirrit = StudioSession;

TEST_F(Mirrit, ControlWWritesBothFilesAndEndsTheProgram) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Share Me", mirritDemo()));
  start();
  ASSERT_TRUE(titled("Pictomira (v151)"));
  ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));
  clickAt(kX + 300, kY + 365 + 12);
  ASSERT_TRUE(titled("Share Me - Pictomira"));
  ASSERT_TRUE(input->waitForPixel(kX + 9, kY + 287, 0xFFFFFF, 5000));
  input->key(XK_w, {XK_Control_L});
  ASSERT_TRUE(alert("Done | DemoFlow.txt and DemoStack.bws are in the 'Demos/Share Me' folder", 20000));
  EXPECT_EQ(app->wait(5000), 0);

  const std::string folder = dir.file("Demos/Share Me/");
  const std::string flow = slurp(folder + "DemoFlow.txt");
  EXPECT_EQ(flow.rfind("\r\nSplashText\r\n", 0), 0u);
  EXPECT_NE(flow.find("~000000\r\n$++++"), std::string::npos);
  EXPECT_NE(flow.find("\r\n  \">\" LeftClick 10,10,40,30\r\n#\r\nClick here\r\n~000010\r\n$"), std::string::npos);
  EXPECT_NE(flow.find("\r\n  \"000000\" Timer 500\r\n#\r\nEnd of Demo\r\n# -99\r\n"), std::string::npos);
  const std::string stack = slurp(folder + "DemoStack.bws");
  ASSERT_GE(stack.size(), 2u);
  EXPECT_EQ(stack.substr(0, 2), std::string("\x00\xC8", 2));
  EXPECT_EQ((stack.size() - 2) % 600, 0u);
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name.rfind("tmp", 0) != 0 && name[0] != '.') << name << " is left behind";
  }
}

// A failure shows its code and reason, keeps the pair written before, and
// returns to the demo screen: a folder stands where DemoStack.bws goes.
TEST_F(Mirrit, AFailureKeepsTheEarlierFilesAndReturnsToTheDemoScreen) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Share Me", mirritDemo()));
  const std::string folder = dir.file("Demos/Share Me/");
  ASSERT_TRUE(writeBytes(folder + "DemoFlow.txt", {'o', 'l', 'd'}));
  ASSERT_TRUE(std::filesystem::create_directory(folder + "DemoStack.bws"));
  start();
  ASSERT_TRUE(titled("Pictomira (v151)"));
  ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));
  clickAt(kX + 300, kY + 365 + 12);
  ASSERT_TRUE(titled("Share Me - Pictomira"));
  ASSERT_TRUE(input->waitForPixel(kX + 9, kY + 287, 0xFFFFFF, 5000));
  input->key(XK_w, {XK_Control_L});
  ASSERT_TRUE(alert("NoRead MWF-012 | '" + folder + "DemoStack.bws' is not a file", 20000));
  ASSERT_TRUE(titled("Share Me - Pictomira"));
  EXPECT_EQ(app->wait(0), -1) << "the program ended";
  EXPECT_EQ(slurp(folder + "DemoFlow.txt"), "old");
  EXPECT_TRUE(std::filesystem::is_directory(folder + "DemoStack.bws"));
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name.rfind("tmp", 0) != 0 && name[0] != '.') << name << " is left behind";
  }
}

}  // namespace
