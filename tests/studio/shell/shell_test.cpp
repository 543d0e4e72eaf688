// The authoring shell without a window: demo names, the archive check,
// the replay pair, the library's pages and its changes on disk, and the
// demo screen's opening rules, scale and backdrop.
#include "studio/capture/capture_checks.h"
#include "studio/capture/demo_files.h"
#include "studio/capture/demo_paste.h"
#include "studio/kit/screen_kit.h"
#include "studio/shell/paste_screens.h"
#include "studio/shell/shell.h"

#include "demo/demo_model.h"
#include "pal/pal.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <unistd.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

void put(const std::string& path, const std::string& text) {
  ASSERT_TRUE(writeBytes(path, std::vector<unsigned char>(text.begin(), text.end())));
}

class Shell : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    gLibraryFolder[0] = '\0';  // the program folder
    ::mkdir(demosFolderPath().c_str(), 0777);
  }
  void TearDown() override { resetRuntime(); }

  // A demo folder of three small files with distinct contents.
  void plainDemo(const std::string& name) {
    ::mkdir(demoFolderPath(name).c_str(), 0777);
    for (const char* ext : {".DMW", ".DMD", ".DMR"}) put(demoFilePath(name, ext), name + ext);
  }
  void current(const char* name) { std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", name); }

  TempDir dir;
};

TEST(DemoNames, RulesApplyInOrderWithTheirCodes) {
  const struct {
    std::string name;
    int code;
  } cases[] = {{"Demo 1", 1},
               {"Sales-Demo_2", 1},
               {"100% (draft) #3 @home", 1},  // % is a legal character
               {std::string(69, 'a'), 1},
               {"", -9},
               {std::string(70, 'a'), -8},
               {" " + std::string(69, 'a'), -8},  // too long before the space rule
               {" Demo", -7},
               {" ", -7},
               {"Demo ", -6},
               {"Demo.1", -1},
               {"Demo,1", -1},
               {"a/b", -1},
               {"a\\b", -1},
               {"say \"hi\"", -1},
               {"tab\there", -1},
               {"Caf\xE9 D\xE9mo", 1},  // the code page's letters
               {"\xC0\xFF \x8A\x9A\x8C\x9C\x8E\x9E\x9F", 1},
               {std::string(69, '\xE9'), 1},  // 69 characters, though 138 bytes on disk
               {"Price \x80", -1},  // the code page's signs are not letters
               {"a\x85", -1},
               {"a\x81", -1},  // undefined
               {"a\xA0" "b", -1},  // no-break space
               {"\xBFQu\xE9?", -1},
               {"a\x7F", -1},
               {"pipe|", -1}};
  for (const auto& c : cases) EXPECT_EQ(validateDemoName(c.name.c_str(), 0), c.code) << c.name;
  testing::internal::CaptureStderr();
  EXPECT_EQ(validateDemoName("Demo.1", 1), -1);
  EXPECT_EQ(validateDemoName("", 1), -9);
  EXPECT_EQ(validateDemoName("Good", 1), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ALERT 1 Bad Demo Name | Name for Demo contains an illegal character\n"
            "ALERT 1 Bad Demo Name | Name for Demo is too short\n");
}

TEST(StartUp, ZippedFolderIsFoundFromEightCharactersBeforeTheEnd) {
  EXPECT_EQ(checkZippedFolder("C:\\Users\\me\\Pictomira.zip\\abcd"), 1);  // the dot 9 before the end
  EXPECT_EQ(checkZippedFolder("C:\\Users\\me\\Pictomira.ZiP\\abc"), 1);   // 8 before, any case
  EXPECT_EQ(checkZippedFolder("C:\\Users\\me\\Pictomira.zip\\ab"), 0);
  EXPECT_EQ(checkZippedFolder("/opt/a.zip/x/Pictomira/"), 1);
  EXPECT_EQ(checkZippedFolder("/opt/Pictomira/"), 0);
  EXPECT_EQ(checkZippedFolder(".zip"), 0);
}

TEST(CaptureChecks, AdviceAndTheMultipleDisplayNote) {
  bool refused = false;
  gMultiDisplayNoteToShow = 1;
  EXPECT_FALSE(captureDisplayAdvice(1366, 768, 1, &refused).empty());
  EXPECT_TRUE(refused);
  EXPECT_EQ(captureDisplayAdvice(1364, 768, 1, &refused).find("For best capture"), 0u);
  EXPECT_FALSE(refused);
  EXPECT_TRUE(captureDisplayAdvice(1280, 800, 1, &refused).empty());
  const std::string big = captureDisplayAdvice(1920, 1080, 2, &refused);
  EXPECT_EQ(big.find("For best capture"), 0u);
  EXPECT_NE(big.find(".\n\nThis system has more than one display."), std::string::npos);
  EXPECT_NE(captureDisplayAdvice(1920, 1080, 2, &refused).find("more than one display"), std::string::npos);
  gMultiDisplayNoteToShow = 1;
  EXPECT_EQ(captureDisplayAdvice(1280, 800, 2, &refused),
            "This system has more than one display.  Pictomira will capture only the Primary display.");
  EXPECT_TRUE(captureDisplayAdvice(1280, 800, 2, &refused).empty());  // once a run
}

TEST(CaptureChecks, AWaylandSessionIsNamed) {
  const struct {
    const char* type;
    const char* display;
    bool named;
  } cases[] = {{"wayland", nullptr, true}, {nullptr, "wayland-0", true}, {"x11", "wayland-1", true},
               {"x11", nullptr, false},    {"tty", "", false},           {nullptr, nullptr, false}};
  for (const auto& c : cases)
    EXPECT_EQ(captureSessionAdvice(c.type, c.display).find("Wayland session") != std::string::npos, c.named)
        << (c.type ? c.type : "-") << " " << (c.display ? c.display : "-");
}

TEST_F(Shell, ReplayPairIsCopiedIntoTheCaptureSlot) {
  EXPECT_EQ(replayCaptureIfPresent(), STATE_HOME);
  put(captureSlotPath(".DMR"), "old slot");
  put(dir.file("pmra.DMR"), std::string("recording\0\xff bytes", 17));
  EXPECT_EQ(replayCaptureIfPresent(), STATE_HOME);  // the window file is missing: the slot stays
  EXPECT_EQ(slurp(captureSlotPath(".DMR")), "old slot");
  put(dir.file("pmra.DMW"), "0,0,640,480\r\n");
  put(captureSlotPath(".DMA"), "an earlier capture's presses");
  EXPECT_EQ(replayCaptureIfPresent(), STATE_ABSTRACT);
  EXPECT_EQ(slurp(captureSlotPath(".DMR")), slurp(dir.file("pmra.DMR")));
  EXPECT_EQ(slurp(captureSlotPath(".DMW")), "0,0,640,480\r\n");
  EXPECT_FALSE(exists(captureSlotPath(".DMA")));  // the pair has no side file
  put(dir.file("pmra.DMA"), "1,r,1,2,3,4,n\r\n");
  EXPECT_EQ(replayCaptureIfPresent(), STATE_ABSTRACT);
  EXPECT_EQ(slurp(captureSlotPath(".DMA")), "1,r,1,2,3,4,n\r\n");
}

TEST_F(Shell, SystemFoldersAreCreated) {
  ::rmdir(demosFolderPath().c_str());
  checkSystemFolders();
  EXPECT_TRUE(exists(demosFolderPath()));
  EXPECT_TRUE(exists(dir.file("zPictomiraSystemFiles")));
}

// A library of its own (folders above it missing) is made and gets the
// program folder's demos once: a library that has a "Demos" folder, even an
// empty one, is left as it is, and the program folder is not changed.
TEST_F(Shell, ALibraryOfItsOwnIsMadeAndSeededWithTheProgramFoldersDemosOnce) {
  plainDemo("Sample");
  const std::string library = dir.file("home/Documents/Pictomira/");
  std::snprintf(gLibraryFolder, sizeof gLibraryFolder, "%s", library.c_str());
  checkSystemFolders();
  EXPECT_EQ(demosFolderPath(), library + "Demos/");
  EXPECT_EQ(slurp(demoFilePath("Sample", ".DMR")), "Sample.DMR");
  EXPECT_EQ(slurp(dir.file("Demos/Sample/Sample.DMR")), "Sample.DMR");
  EXPECT_FALSE(exists(library + ".Demos.seed"));
  EXPECT_EQ(captureSlotPath(".DMR"), library + "TempCapture.DMR");
  std::filesystem::remove_all(library + "Demos/Sample");
  checkSystemFolders();
  EXPECT_FALSE(exists(demoFolderPath("Sample")));
}

// Which of the page's clickable names lie at their places.
std::string clickableAt(int32_t x, int32_t y) {
  char name[PAL_NAME_LEN];
  pal_FindClickableRectAtLocation(name, x, y);
  return name;
}

TEST_F(Shell, TwentyDemosMakeThreePagesNewestFirst) {
  EXPECT_EQ(homePageCount(0), 1);
  EXPECT_EQ(homePageCount(9), 1);
  EXPECT_EQ(homePageCount(10), 2);
  EXPECT_EQ(homePageCount(20), 3);
  for (int i = 0; i < 20; ++i) {
    const std::string name = "Demo " + std::to_string(i);
    plainDemo(name);
    const struct timespec times[2] = {{1000000 + i, 0}, {1000000 + i, 0}};
    ::utimensat(AT_FDCWD, demoFilePath(name, ".DMD").c_str(), times, 0);
  }
  plainDemo("Bad.Name");  // a folder no demo name could have is not listed
  pal_InitWinBuf(0, HOME_W, HOME_H);
  int32_t start[4] = {PAL_EV_START, HOME_W, HOME_H, 0};
  char none[PAL_NAME_LEN] = "";
  homeScreenHandler(start, none);
  const struct {
    int page;
    std::vector<std::string> rows;  // first and last row shown
    bool back, more;
  } pages[] = {{0, {"Demo 19", "Demo 11"}, false, true},
               {1, {"Demo 10", "Demo 2"}, true, true},
               {2, {"Demo 1", "Demo 0"}, true, false}};
  for (const auto& p : pages) {
    char press[3] = {':', static_cast<char>('A' + p.page), '\0'};
    int32_t ev[4] = {PAL_EV_PRESS, 0, 0, 0};
    EXPECT_EQ(homeScreenHandler(ev, press), PAL_SHOW);
    EXPECT_EQ(gHomePage, p.page);
    const int shown = p.page == 2 ? 2 : 9;
    EXPECT_EQ(clickableAt(200, 365 + 1), "&" + p.rows[0]);
    EXPECT_EQ(clickableAt(740, 365 + 24 * (shown - 1) + 5), "!" + p.rows[1]);
    EXPECT_EQ(clickableAt(200, 365 + 24 * shown + 5), "");
    const std::string back = {':', static_cast<char>('A' + p.page - 1)}, more = {':', static_cast<char>('A' + p.page + 1)};
    EXPECT_EQ(clickableAt(130, 370), p.back ? back : "");
    EXPECT_EQ(clickableAt(760, 570), p.more ? more : "");
  }
}

TEST_F(Shell, RenameMovesTheThreeFilesAndDropsTheOldFolder) {
  plainDemo("Old");
  put(demoFolderPath("Old") + "/3.bmp", "an exported frame");
  put(demoFilePath("Old", ".DMA"), "Old.DMA");
  ::mkdir(demoFolderPath("New").c_str(), 0777);
  EXPECT_EQ(renameDemoFiles("Old", "New"), 1);
  for (const char* ext : {".DMW", ".DMD", ".DMR", ".DMA"}) EXPECT_EQ(slurp(demoFilePath("New", ext)), std::string("Old") + ext);
  EXPECT_FALSE(exists(demoFolderPath("Old")));
  EXPECT_FALSE(exists(demoFolderPath("New") + "/3.bmp"));
}

TEST_F(Shell, RenameWhoseMoveFailsLeavesTheDemoWhereItWas) {
  plainDemo("Old");
  ::mkdir(demoFolderPath("New").c_str(), 0777);
  ::mkdir(demoFilePath("New", ".DMD").c_str(), 0777);  // the data file cannot be moved onto a folder
  EXPECT_EQ(renameDemoFiles("Old", "New"), -2);
  for (const char* ext : {".DMW", ".DMD", ".DMR"}) EXPECT_EQ(slurp(demoFilePath("Old", ext)), std::string("Old") + ext);
  EXPECT_FALSE(exists(demoFilePath("New", ".DMW")));
  DemoListEntry list[DEMO_LIST_CAP];
  ASSERT_EQ(listDemos(list), 1);
  EXPECT_STREQ(list[0].name, "Old");
  // A side file that cannot move stays in the old folder; the demo itself is renamed.
  ::rmdir(demoFilePath("New", ".DMD").c_str());
  ::mkdir(demoFolderPath("New").c_str(), 0777);
  ::mkdir(demoFilePath("New", ".DMA").c_str(), 0777);
  put(demoFilePath("New", ".DMA") + "/x", "x");
  put(demoFilePath("Old", ".DMA"), "Old.DMA");
  EXPECT_EQ(renameDemoFiles("Old", "New"), -4);
  EXPECT_EQ(slurp(demoFilePath("Old", ".DMA")), "Old.DMA");
  ASSERT_EQ(listDemos(list), 1);
  EXPECT_STREQ(list[0].name, "New");
}

TEST_F(Shell, CopyArrivesWholeAndReportsAnEmptyRecordingAsDone) {
  plainDemo("Source");
  put(demoFilePath("Source", ".DMR"), "");
  current("Source");
  ::mkdir(demoFolderPath("Copy").c_str(), 0777);
  gCopyFilesPercent = 0;
  gCopyFilesDone = 0;
  copyDemoFiles("Copy");
  EXPECT_EQ(gCopyFilesPercent.load(), 100);
  EXPECT_EQ(gCopyFilesDone.load(), 1);
  for (const char* ext : {".DMW", ".DMD", ".DMR"})
    EXPECT_EQ(slurp(demoFilePath("Copy", ext)), slurp(demoFilePath("Source", ext)));
  EXPECT_FALSE(exists(demoFilePath("Copy", ".DMA")));  // none to copy: still a whole demo
  EXPECT_FALSE(exists(demoFolderPath(".Copy.copying")));
}

TEST_F(Shell, CopyStoppedByTheProgramsEndLeavesNothing) {
  plainDemo("Source");
  current("Source");
  ::mkdir(demoFolderPath("Copy").c_str(), 0777);  // made by the screen before the copy starts
  EXPECT_EXIT(
      {
        pal_RequestStop();
        copyDemoFiles("Copy");
        std::exit(exists(demoFolderPath("Copy")) || exists(demoFolderPath(".Copy.copying")) ? 1 : 0);
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(Shell, LeftoversOfInterruptedCopiesAndPastesAreRemovedAtStart) {
  const struct {
    std::vector<std::string> files;  // below Demos/
    bool removed;
  } cases[] = {
      {{".Gamma.copying/Gamma.DMW", ".Gamma.copying/Gamma.DMD"}, true},
      {{".Delta.pasting/.Delta.pasting.DMR"}, true},
      {{"Eps/Eps.DMW", "Eps/Eps.DMD", "Eps/Eps.DMR.partial", "Eps/Eps.DMA"}, true},  // an earlier way of copying
      {{".hidden/notes.txt"}, false},
      {{"Zeta/Zeta.DMW"}, false},
  };
  for (const auto& c : cases)
    for (const std::string& file : c.files) {
      ::mkdir((demosFolderPath() + file.substr(0, file.find('/'))).c_str(), 0777);
      put(demosFolderPath() + file, "x");
    }
  ::mkdir(demoFolderPath("Gamma").c_str(), 0777);  // the empty folder that reserved Gamma
  plainDemo("Kept");
  EXPECT_EQ(removeInterruptedPastes(), 3);
  for (const auto& c : cases) EXPECT_EQ(exists(demosFolderPath() + c.files[0]), !c.removed) << c.files[0];
  EXPECT_FALSE(exists(demoFolderPath("Gamma")));
  EXPECT_TRUE(exists(demoFilePath("Kept", ".DMR")));
  // The names are free again.
  for (const char* name : {"Gamma", "Delta", "Eps"})
    EXPECT_EQ(pal_FindOrCreateDirectory(demoFolderPath(name).c_str()), 1);
}

TEST_F(Shell, CopyCutShortIsNeverListed) {
  plainDemo("Source");
  put(demoFilePath("Source", ".DMR"), std::string(300000, 'r'));
  current("Source");
  ::mkdir(demoFolderPath("Copy").c_str(), 0777);
  // The disk fills up halfway through the recording.
  EXPECT_EXIT(
      {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = 150000;
        setrlimit(RLIMIT_FSIZE, &limit);
        copyDemoFiles("Copy");
      },
      testing::ExitedWithCode(1), "Unexpected Err PCOAF08");
  EXPECT_FALSE(exists(demoFilePath("Copy", ".DMR")));
  DemoListEntry list[DEMO_LIST_CAP];
  ASSERT_EQ(listDemos(list), 1);
  EXPECT_STREQ(list[0].name, "Source");
}

TEST(DemoScreen, CropTextWithMissingNumbersGivesMinusOne) {
  const struct {
    const char* text;
    int32_t crop[4];
  } cases[] = {{"10,20,640,480\r\n", {10, 20, 640, 480}}, {"10,20,,480", {10, 20, -1, 480}},
               {"5,6", {5, 6, -1, -1}},                    {"", {-1, -1, -1, -1}},
               {",,,", {-1, -1, -1, -1}},                  {"1,2,x3,4", {1, 2, -1, 4}},
               {"1,2,99999999999,4", {1, 2, -1, 4}},       {"0,0,-5,7", {0, 0, -5, 7}}};
  for (const auto& c : cases) {
    int32_t crop[4];
    parseCropText(c.text, crop);
    EXPECT_EQ(std::vector<int32_t>(crop, crop + 4), std::vector<int32_t>(c.crop, c.crop + 4)) << c.text;
  }
}

TEST(DemoScreen, ScaleNeverEnlargesAndHalvesADemoTwiceTheWorkArea) {
  const int32_t work[4] = {0, 0, 1280, 770};
  const struct {
    int32_t w, h, scale;
  } cases[] = {{640, 400, 1000}, {1280, 770, 1000}, {2560, 770, 500}, {1280, 1540, 500}, {1000000, 10, 1}};
  for (const auto& c : cases) {
    gCropSize[2] = c.w;
    gCropSize[3] = c.h;
    EXPECT_EQ(demoScreenScale(work), c.scale) << c.w << "x" << c.h;
    EXPECT_EQ(gDemoScale, c.scale);
  }
}

TEST(DemoScreen, BackdropIsCentredBelowTheTopAndNeverEnlarged) {
  const struct {
    int32_t cw, ch;
    std::vector<int32_t> out;
  } cases[] = {{640, 400, {130, 10, 640, 400}},   // smaller than the window: as it is
               {1280, 800, {10, 10, 879, 549}},   // s = min(880000 / 1280, 580000 / 800) = 687
               {200, 2000, {421, 10, 58, 580}},   // s = 290
               {0, 400, {0, 0, 0, 0}},
               {1000000, 400, {0, 0, 0, 0}}};     // too wide to show at all
  for (const auto& c : cases) {
    int32_t out[4];
    demoBackdropRect(900, 600, c.cw, c.ch, out);
    EXPECT_EQ(std::vector<int32_t>(out, out + 4), c.out) << c.cw << "x" << c.ch;
  }
}

// A 6 x 5 screen cropped to 4 x 3 at (1, 1); every pixel of every frame differs.
DemoFixture tinyDemo(int frames) {
  DemoFixture fx;
  fx.screenW = 6;
  fx.screenH = 5;
  const int32_t crop[4] = {1, 1, 4, 3};
  std::copy(crop, crop + 4, fx.crop);
  fx.frames.resize(static_cast<size_t>(frames));
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < 6; ++x) {
      bgr[x * 3] = static_cast<unsigned char>(10 * x);
      bgr[x * 3 + 1] = static_cast<unsigned char>(40 * y);
      bgr[x * 3 + 2] = static_cast<unsigned char>(100 + f);
    }
  };
  return fx;
}

class DemoOpening : public Shell {
 protected:
  void write(const DemoFixture& fx) {
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Tiny", fx));
    resetRuntime();
    current("Tiny");
  }
  int open(std::string* why = nullptr) {
    char text[400] = "";
    const int got = openCurrentDemo(text, sizeof text);
    if (why != nullptr) *why = text;
    return got;
  }
};

TEST_F(DemoOpening, LoadsTheCropTheDisplayModesAndFrameZero) {
  write(tinyDemo(3));
  std::memset(&gPlayerFlags, 0x55, sizeof gPlayerFlags);
  ASSERT_EQ(open(), 1);
  EXPECT_EQ(std::vector<int32_t>(gCropSize, gCropSize + 4), (std::vector<int32_t>{1, 1, 4, 3}));
  EXPECT_EQ(gFrameCount, 3);
  const int32_t* flags = reinterpret_cast<const int32_t*>(&gPlayerFlags);
  for (int i = 0; i < PLAYER_FLAG_COUNT; ++i) {
    const int32_t want = i == 0 || i == 2 ? 1 : i == 4 ? 30 : 0;
    EXPECT_EQ(flags[i], want) << "value " << i;
  }
  ASSERT_EQ(gpal_ImageBuffSize[1][0], 4);
  EXPECT_EQ(pixelColour(1, 0, 0), (100u << 16) | (40u << 8) | 10u);  // screen pixel (1, 1)
  EXPECT_EQ(pixelColour(1, 3, 2), (100u << 16) | (120u << 8) | 40u);
  // The backdrop: 4 x 3 shown as it is, centred at the top, then greyed.
  pal_InitWinBuf(0, HOME_W, HOME_H);
  drawDemoScreen();
  const uint32_t grey = (100 + 40 + 10) / 6;
  EXPECT_EQ(pixelColour(0, 448, 10), grey << 16 | grey << 8 | grey);
  EXPECT_EQ(pixelColour(0, 447, 10), studioBackgroundAt(10, HOME_H, Gradient::Truncated));
  char name[PAL_NAME_LEN];
  pal_FindClickableRectAtLocation(name, 10, 300);
  EXPECT_STREQ(name, "<< Back to Home ");
  pal_FindClickableRectAtLocation(name, HOME_W - 100, HOME_H - 20);
  EXPECT_STREQ(name, "Demo Guide");
}

TEST_F(DemoOpening, DemosThatCannotBeOpenedSayWhyAndLeaveNoModel) {
  const struct {
    const char* what;
    std::function<void(DemoFixture&)> change;
    std::function<void()> damage;
    const char* why;
  } cases[] = {
      {"no data file", nullptr, [] { std::remove(demoFilePath("Tiny", ".DMD").c_str()); },
       "its data file is damaged: the file cannot be opened"},
      {"cut short", nullptr,
       [] { ::truncate(demoFilePath("Tiny", ".DMD").c_str(), 30); }, "its data file is damaged: the file ends inside"},
      {"a number missing", [](DemoFixture& fx) { fx.cropText = "1,1,,3\r\n"; }, nullptr,
       "its crop is missing or not positive"},
      {"a zero width", [](DemoFixture& fx) { fx.cropText = "1,1,0,3\r\n"; }, nullptr,
       "its crop is missing or not positive"},
      {"outside the screen", [](DemoFixture& fx) { fx.cropText = "3,1,4,3\r\n"; }, nullptr,
       "its crop lies outside the recorded screen"},
      {"no recording", nullptr, [] { std::remove(demoFilePath("Tiny", ".DMR").c_str()); },
       "its recording file cannot be opened"},
      {"a recording cut short", nullptr, [] { ::truncate(demoFilePath("Tiny", ".DMR").c_str(), 60); },
       "its recording has no readable record at byte 0"},
  };
  for (const auto& c : cases) {
    DemoFixture fx = tinyDemo(3);
    if (c.change) c.change(fx);
    write(fx);
    if (c.damage) c.damage();
    std::string why;
    EXPECT_EQ(open(&why), 0) << c.what;
    EXPECT_EQ(why.rfind(c.why, 0), 0u) << c.what << ": " << why;
    EXPECT_EQ(gFrameCount, 0) << c.what;
    EXPECT_EQ(gHeaderCount, 0) << c.what;
  }
}

TEST_F(DemoOpening, ADemoWithoutFramesOpensButRefusesWhatNeedsFrames) {
  write(tinyDemo(0));
  pal_InitWinBuf(0, HOME_W, HOME_H);
  int32_t ev[4] = {PAL_EV_START, HOME_W, HOME_H, 0};
  char name[PAL_NAME_LEN] = "";
  EXPECT_EQ(demoScreenHandler(ev, name), PAL_SHOW);
  testing::internal::CaptureStderr();
  for (const char* button : {"Present the Demo", "Edit Demo", "HTML5"}) {
    int32_t press[4] = {PAL_EV_PRESS, 0, 0, 0};
    std::snprintf(name, sizeof name, "%s", button);
    EXPECT_EQ(demoScreenHandler(press, name), PAL_NOTHING);
  }
  const std::string alerts = testing::internal::GetCapturedStderr();
  std::string want;
  for (int i = 0; i < 3; ++i) want += "ALERT 1 No Frames | The demo 'Tiny' has no frames to present, edit or share.\n";
  EXPECT_EQ(alerts, want);
  int32_t back[4] = {PAL_EV_PRESS, 0, 0, 0};
  std::snprintf(name, sizeof name, "%s", "<< Back to Home ");
  EXPECT_EQ(demoScreenHandler(back, name), PAL_CLOSE);
  EXPECT_EQ(back[0], STATE_HOME);
}

}  // namespace

// The choose-demo screen of "Paste" pages through every demo of the
// current demo's size, 14 a page, and leaves the others out.
TEST_F(Shell, ChooseDemoListsEverySameSizeDemoPageByPage) {
  const struct {
    int sameSize, pages;
  } cases[] = {{3, 1}, {14, 1}, {15, 2}, {29, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sameSize);
    pal_DeleteDirectory(demosFolderPath().c_str(), 2);
    ::mkdir(demosFolderPath().c_str(), 0777);
    std::set<std::string> want;
    for (int i = 0; i < c.sameSize; ++i) {
      const std::string name = "Demo " + std::to_string(i);
      ASSERT_TRUE(writeDemoFolder(dir.path(), name, tinyDemo(1)));
      want.insert(name);
    }
    DemoFixture other = tinyDemo(1);
    other.crop[2] = 5;
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Wider", other));
    current("Demo 0");
    pal_InitWinBuf(0, HOME_W, HOME_H);
    int32_t event[4] = {PAL_EV_START, 0, 0, 0};
    char name[PAL_NAME_LEN] = "";
    std::set<std::string> shown;
    int pages = 0;
    for (std::string next = "start"; !next.empty(); ++pages) {
      std::snprintf(name, sizeof name, "%s", next.c_str());
      EXPECT_EQ(pasteChooseHandler(event, name), PAL_SHOW);
      event[0] = PAL_EV_PRESS;
      next.clear();
      for (int i = 0; i < PAL_CLICKABLE_CAP; ++i) {
        if (gpal_ClickableRectList[i][0] == PAL_FREE_CLICKABLE) continue;
        const std::string rect = gpal_ClickableRectNames[i];
        if (rect[0] == '&') {
          EXPECT_TRUE(shown.insert(rect.substr(1)).second) << rect;
        }
        if (rect[0] == ':' && rect[1] == 'A' + pages + 1) next = rect;
      }
    }
    EXPECT_EQ(shown, want);
    EXPECT_EQ(pages, c.pages);
  }
}
