// The splash screen's two states and its branding values, drawn into slot 0.
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "pal/pal.h"
#include "presenter/presenter.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

constexpr uint32_t kBackground = 0x102030, kPicture = 0x405060;

class Splash : public testing::Test {
 protected:
  void SetUp() override { resetRuntime(); }
  void TearDown() override { resetRuntime(); }

  void load(uint32_t noHelp, uint32_t buttonsDrawn, uint32_t date = 918550) {
    uint32_t values[44] = {};
    values[4] = 450;
    values[9] = 100;
    values[14] = kBackground;
    values[19] = 0xFFFFFF;
    values[34] = noHelp;
    values[39] = buttonsDrawn;
    PackageFixture fx;
    fx.date = date;
    fx.description = "One\nTwo";
    fx.branding = fixtureBranding(values, kPicture, 1);
    fx.frames.resize(1);
    fx.row = [](int32_t, int32_t, unsigned char* bgr) { std::fill(bgr, bgr + 18, 9); };
    ASSERT_TRUE(loadPackageWithSetFile(dir, "S.PMP", buildPackage(fx), ">S.PMP"));
    pal_InitWinBuf(0, SPLASH_W, SPLASH_H);
  }
  int clickables() {
    int n = 0;
    while (n < PAL_CLICKABLE_CAP && gpal_ClickableRectList[n][0] != PAL_FREE_CLICKABLE) ++n;
    return n;
  }
  bool hit(int x, int y, const char* name) {
    char found[PAL_NAME_LEN];
    return pal_FindClickableRectAtLocation(found, x, y) >= 0 && std::string(found) == name;
  }
  TempDir dir;
};

TEST_F(Splash, WaitingStateHasNoPictureAndNoButtons) {
  load(0, 0);
  drawSplashScreen(0);
  EXPECT_EQ(pixelColour(0, 5, 5), kBackground);
  EXPECT_EQ(pixelColour(0, 372, 360), kBackground);  // no Present Demo button
  EXPECT_EQ(clickables(), 0);
  bool ink = false;  // "Loading - Please Wait..." near the bottom
  for (int y = 530; y < 570; ++y)
    for (int x = 300; x < 600; ++x) ink = ink || pixelColour(0, x, y) != kBackground;
  EXPECT_TRUE(ink);
  // A timer tick before the read-through finished changes nothing.
  gBaseTimestamp = 0;
  int32_t ev[4] = {PAL_EV_TIMER, 1, 0, 0};
  char name[PAL_NAME_LEN] = "";
  EXPECT_EQ(splashScreenHandler(ev, name), PAL_NOTHING);
  EXPECT_EQ(clickables(), 0);
  gBaseTimestamp = 1;
  EXPECT_EQ(splashScreenHandler(ev, name), PAL_SHOW);
  EXPECT_EQ(clickables(), 5);
}

TEST_F(Splash, LoadedStateShowsThePictureAndTheFiveButtons) {
  load(0, 0);
  drawSplashScreen(1);
  EXPECT_EQ(pixelColour(0, 5, 5), kPicture);
  EXPECT_EQ(pixelColour(0, 372, 360), 0xFFFFFFu);  // the button face's top row
  EXPECT_EQ(clickables(), 5);
  EXPECT_TRUE(hit(371, 361, "Present Demo"));
  EXPECT_TRUE(hit(450, 440, "Help"));
  EXPECT_TRUE(hit(800, 540, "FullScreen"));
  EXPECT_TRUE(hit(820, 570, "License"));
  EXPECT_TRUE(hit(450, 590, "Cancel"));
}

TEST_F(Splash, BrandingCanHideHelpAndLeaveTheButtonsToThePicture) {
  load(1, 1);
  drawSplashScreen(1);
  EXPECT_EQ(clickables(), 4);
  EXPECT_FALSE(hit(450, 440, "Help"));
  EXPECT_EQ(pixelColour(0, 372, 360), kPicture);  // not drawn, still clickable
  EXPECT_TRUE(hit(371, 361, "Present Demo"));
}

TEST_F(Splash, PresentAndFullScreenEndTheRunWithTheirScreens) {
  load(0, 0);
  drawSplashScreen(1);
  int32_t ev[4] = {PAL_EV_PRESS, 371, 361, 0};
  char present[PAL_NAME_LEN] = "Present Demo", full[PAL_NAME_LEN] = "FullScreen";
  EXPECT_EQ(splashScreenHandler(ev, present), PAL_CLOSE);
  EXPECT_EQ(ev[0], SCREEN_PRESENT);
  ev[0] = PAL_EV_PRESS;
  EXPECT_EQ(splashScreenHandler(ev, full), PAL_CLOSE);
  EXPECT_EQ(ev[0], SCREEN_FULL);
  char license[PAL_NAME_LEN] = "License";
  ev[0] = PAL_EV_PRESS;
  testing::internal::CaptureStderr();
  EXPECT_EQ(splashScreenHandler(ev, license), PAL_NOTHING);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("ALERT 0 End User License | "), std::string::npos);
}

}  // namespace
