// The built authoring program under Xvfb: a program folder of its own with
// demos written by the fixture builder, real input through XTest, and
// judged by its window titles (xdotool), the files on disk and its pixels.
#include "studio/capture/demo_files.h"

#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/studio_session.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// The 900 x 600 home and demo windows, centred on the 1280 x 800 screen.
constexpr int kX = 190, kY = 100;
constexpr int kRowsY = kY + 365;

uint32_t colourOf(int f) { return static_cast<uint32_t>((200 - f * 40) << 16 | (60 + f * 50) << 8 | (30 + f * 20)); }
uint32_t greyOf(uint32_t c) {
  const uint32_t v = (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 6;
  return v << 16 | v << 8 | v;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

class Studio : public StudioSession {
 protected:
  void demo(const std::string& name, int frames, int64_t mtime) {
    DemoFixture fx = flatDemo(frames, colourOf);
    fx.mtime = mtime;
    ASSERT_TRUE(writeDemoFolder(dir.path(), name, fx));
  }
  std::string demoFile(const std::string& name, const char* ext) {
    return dir.path() + "/Demos/" + name + "/" + name + ext;
  }
  // Clicks at (x, y) of the window.
  void click(int x, int y) { clickAt(kX + x, kY + y); }
  // True once the home screen (its "New Demo..." button) or the demo
  // screen (its "<< Back to Home " button) is drawn.
  bool home(int ms = 5000) { return titled("Pictomira (v151)", ms) && input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, ms); }
  bool demoScreen(const std::string& name) {
    return titled(name + " - Pictomira") && input->waitForPixel(kX + 9, kY + 287, 0xFFFFFF, 5000);
  }
  // Replaces the text of the edit box at (x, y) of the window with text.
  void typeAt(int x, int y, const std::string& text) { typeInto(kX + x, kY + y, text); }
};

TEST_F(Studio, FirstStartMakesItsFoldersAndNewDemoPreparesACapture) {
  start();
  ASSERT_TRUE(home());
  EXPECT_TRUE(exists(dir.file("Demos")));
  EXPECT_TRUE(exists(dir.file("zPictomiraSystemFiles")));
  click(200, 347);  // "New Demo..."
  ASSERT_TRUE(titled("Ready to Capture - Pictomira"));
  constexpr int kPrepX = (1280 - 400) / 2, kPrepY = (800 - 120) / 2;
  ASSERT_TRUE(input->waitForPixel(kPrepX + 292, kPrepY + 90, 0xFFFFFF, 3000));
  input->move(kPrepX + 320, kPrepY + 100);
  sleepMs(40);
  input->click(kPrepX + 320, kPrepY + 100);  // "Cancel"
  ASSERT_TRUE(home());
}

TEST_F(Studio, LibraryListsNewestFirstAndOpensTheDemoScreen) {
  demo("Oldest", 2, 1000000);
  demo("Newest", 3, 3000000);
  demo("Middle", 2, 2000000);
  ::mkdir(dir.file("Demos/Half").c_str(), 0777);  // no files: not a demo
  start();
  ASSERT_TRUE(home());
  click(300, 365 + 24 * 1 + 12);  // the second row
  ASSERT_TRUE(demoScreen("Middle"));
  click(70, 300);  // "<< Back to Home "
  ASSERT_TRUE(home());
  click(300, 365 + 12);
  ASSERT_TRUE(demoScreen("Newest"));
  // Frame 0 darkened behind the panels: 640 x 400 shown as it is, centred from y 10.
  EXPECT_TRUE(input->waitForPixel(kX + 135, kY + 15, greyOf(colourOf(0)), 3000));
  EXPECT_EQ(input->pixel(kX + 765, kY + 405), greyOf(colourOf(0)));
  EXPECT_EQ(input->pixel(kX + 125, kY + 15), 0x3D455Cu);  // the background's first row
  EXPECT_EQ(input->pixel(kX + 400, kY + 300), 0x000000u);  // the key panel
  EXPECT_TRUE(titled("Newest - Pictomira"));
}

TEST_F(Studio, RenameCopyAndDeleteThroughTheManagementScreen) {
  demo("Alpha", 2, 1000000);
  const std::string recording = slurp(demoFile("Alpha", ".DMR"));
  start();
  ASSERT_TRUE(home());
  click(742, 365 + 12);  // the row's ">"
  ASSERT_TRUE(input->waitForPixel(kX + 609, kY + 133, 0xFFFFFF, 3000));  // the "Rename" button
  const struct {
    std::string name, alert;
  } bad[] = {{"Bad.Name", "Bad Demo Name | Name for Demo contains an illegal character"},
             {" Lead", "Bad Demo Name | Name for Demo cannot start with ' '"},
             {"Alpha", "Demo Exists | A Demo of the same name already exists"}};
  for (const auto& b : bad) {
    typeAt(300, 144, b.name);
    click(665, 144);
    EXPECT_TRUE(alert(b.alert)) << b.name;
  }
  typeAt(300, 144, "Beta 2");
  click(665, 144);
  ASSERT_TRUE(home());
  EXPECT_FALSE(exists(dir.file("Demos/Alpha")));
  EXPECT_EQ(slurp(demoFile("Beta 2", ".DMR")), recording);

  click(742, 365 + 12);
  ASSERT_TRUE(input->waitForPixel(kX + 609, kY + 238, 0xFFFFFF, 3000));  // the "Copy" button
  typeAt(300, 249, "Gamma");
  click(665, 249);
  ASSERT_TRUE(home());
  for (const char* ext : {".DMW", ".DMD", ".DMR"}) EXPECT_EQ(slurp(demoFile("Gamma", ext)), slurp(demoFile("Beta 2", ext)));

  click(742, 365 + 12);  // the newest row: the copy
  ASSERT_TRUE(input->waitForPixel(kX + 609, kY + 317, 0xFFFFFF, 3000));
  click(665, 328);  // "Delete"
  ASSERT_TRUE(input->waitForPixel(kX + 484, kY + 320, 0xFFFFFF, 3000));
  click(575, 332);  // "No, Do NOT Delete"
  ASSERT_TRUE(input->waitForPixel(kX + 609, kY + 317, 0xFFFFFF, 3000));
  click(665, 328);
  ASSERT_TRUE(input->waitForPixel(kX + 234, kY + 320, 0xFFFFFF, 3000));
  click(325, 332);  // "Yes, Delete the Demo"
  ASSERT_TRUE(home());
  EXPECT_TRUE(exists(dir.file("Demos/Beta 2")));
  EXPECT_FALSE(exists(dir.file("Demos/Gamma")));
}

// Closing the window while a copy runs: the program ends at once and
// cleanly, neither the half copy nor the folder that reserved its name
// stays, and the next start lists the library as before and copies under
// the same name.
TEST_F(Studio, ClosingTheWindowDuringACopyLeavesNothingBehind) {
  demo("Alpha", 2, 1000000);
  const std::string recording = demoFile("Alpha", ".DMR");
  const auto size = std::filesystem::file_size(recording);
  std::filesystem::resize_file(recording, 8ull << 30);  // zeros that take seconds to copy
  start();
  ASSERT_TRUE(home());
  const std::vector<std::string> before = listing();
  const auto copyAs = [&](const char* name) {
    click(742, 365 + 12);  // the row's ">"
    ASSERT_TRUE(input->waitForPixel(kX + 609, kY + 238, 0xFFFFFF, 3000));  // the "Copy" button
    typeAt(300, 249, name);
    click(665, 249);
  };
  copyAs("Gamma");
  const std::string partial = dir.file("Demos/.Gamma.copying/.Gamma.copying.DMR");
  std::error_code error;
  bool running = false;
  for (int waited = 0; waited < 5000 && !running; waited += 20, sleepMs(20))
    running = std::filesystem::file_size(partial, error) > 0 && !error;
  ASSERT_TRUE(running) << "the copy did not start";
  closeAndExpectCleanEnd("Pictomira (v151)", 5000);
  EXPECT_EQ(listing(), before);

  std::filesystem::resize_file(recording, size);
  start();
  ASSERT_TRUE(home());
  EXPECT_EQ(listing(), before);
  copyAs("Gamma");
  ASSERT_TRUE(home());
  for (const char* ext : {".DMW", ".DMD", ".DMR"})
    EXPECT_EQ(slurp(demoFile("Gamma", ext)), slurp(demoFile("Alpha", ext)));
}

TEST_F(Studio, ADemoThatCannotBeOpenedSaysWhyAndStaysHome) {
  demo("Broken", 2, 1000000);
  const std::string dmd = slurp(demoFile("Broken", ".DMD"));
  ASSERT_TRUE(writeBytes(demoFile("Broken", ".DMD"), std::vector<unsigned char>(dmd.begin(), dmd.begin() + 20)));
  start();
  ASSERT_TRUE(home());
  click(300, 365 + 12);
  EXPECT_TRUE(app->waitFor("ALERT 1 Cannot Open Demo | The demo 'Broken' could not be opened: its data file is damaged",
                           5000));
  EXPECT_TRUE(titled("Pictomira (v151)"));
  EXPECT_EQ(slurp(demoFile("Broken", ".DMD")).size(), 20u);  // nothing written over it
}

}  // namespace
