// "Simulation" in the built authoring program under Xvfb: a demo written by
// the fixture builder packaged through the package dialog with real input;
// the Linux wrapped file of a redacted demo run from a fresh folder unpacks
// a Presenter that presents the demo, frames compared pixel for pixel with the demo's own
// decoded frames; the package-only mode's package presented by a plain
// Presenter; the Mac wrapped file read back by the examiner; the Windows
// wrapped file run under wine; the window closed while packaging and while
// the HTML5 page is written.
#include "studio/capture/demo_files.h"

#include "demo/demo_frames.h"
#include "pal/pal.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/studio_session.h"
#include "tests/support/wine_prefix.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kX = 190, kY = 100;  // the 900 x 600 home, demo and package windows
constexpr int kW = 640, kH = 400;  // the demo's crop
// The Presenter's windows on the 1280 x 800 screen: splash and presenting.
constexpr int kSplashX = (1280 - 900) / 2, kSplashY = (800 - 600) / 2;
constexpr int kPX = (1280 - kW) / 2, kPY = (800 - kH) / 2;
// The unwrapper's 700 x 250 window.
constexpr int kUX = (1280 - 700) / 2, kUY = (800 - 250) / 2;

// Three frames cropped out of an 800 x 600 screen, each a picture of its
// own (stripes that move), clicks on frames 0 and 1.
DemoFixture shareDemo() {
  DemoFixture fx;
  fx.screenW = 800;
  fx.screenH = 600;
  const int32_t crop[4] = {80, 100, kW, kH};
  std::copy(crop, crop + 4, fx.crop);
  fx.frames.resize(3);
  fx.frames[0] = {"Start", "Click the box", -999, -999, {InstrRec{0, -1, 'L', {100, 120, 200, 160}}}};
  fx.frames[1] = {"Next", "", -999, -999, {InstrRec{0, -1, 'L', {300, 200, 400, 260}}}};
  fx.frames[2] = {"End", "", -999, -999, {InstrRec{0, -1, 'T', {1000, 0, 0, 0}}}};
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < 800; ++x) {
      bgr[x * 3] = static_cast<unsigned char>((x + f * 40) & 0xF0);
      bgr[x * 3 + 1] = static_cast<unsigned char>(y / 3 + f * 60);
      bgr[x * 3 + 2] = static_cast<unsigned char>(((x / 16 + y / 16 + f) % 2) * 200);
    }
  };
  return fx;
}

// A demo whose packaging and HTML5 page take seconds: 60 frames of 640 x
// 400 pixels of noise, every row distinct, each frame a click to the next.
DemoFixture heavyDemo() {
  DemoFixture fx;
  fx.screenW = kW;
  fx.screenH = kH;
  const int32_t crop[4] = {0, 0, kW, kH};
  std::copy(crop, crop + 4, fx.crop);
  fx.frames.resize(60);
  for (auto& frame : fx.frames) frame.instrs = {InstrRec{0, -1, 'L', {100, 100, 200, 160}}};
  fx.frames.back().instrs.clear();
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    uint32_t h = static_cast<uint32_t>(f * 400 + y) * 2654435761u + 1;
    for (int x = 0; x < kW * 3; ++x) {
      h ^= h << 13;
      h ^= h >> 17;
      h ^= h << 5;
      bgr[x] = static_cast<unsigned char>(h);
    }
  };
  return fx;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool copyFile(const std::string& from, const std::string& to, mode_t mode) {
  const std::string bytes = slurp(from);
  return !bytes.empty() && writeBytes(to, std::vector<unsigned char>(bytes.begin(), bytes.end())) &&
         ::chmod(to.c_str(), mode) == 0;
}

class Publishing : public StudioSession {
 protected:
  void SetUp() override {
    StudioSession::SetUp();
    ASSERT_EQ(::mkdir(dir.file("zPictomiraSystemFiles").c_str(), 0755), 0);
    for (const char* f : {"GBA", "GBH", "UWL", "ZPL"})
      ASSERT_TRUE(copyFile(std::string(PICTOMIRA_SYSTEM_FILES) + "/" + f, system(f), 0755)) << f;
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Share Me", shareDemo()));
  }
  std::string system(const char* name) { return dir.file("zPictomiraSystemFiles/") + name; }
  // A file manager stand-in first on the program's PATH: it writes the folder it is given to opened.
  void fakeFileManager(const TempDir& bin) {
    const std::string script = "#!/bin/sh\nprintf %s \"$1\" > '" + bin.file("opened") + "'\n";
    ASSERT_TRUE(writeBytes(bin.file("xdg-open"), std::vector<unsigned char>(script.begin(), script.end())));
    ASSERT_EQ(::chmod(bin.file("xdg-open").c_str(), 0755), 0);
    env = {"PATH=" + bin.path() + ":" + std::getenv("PATH")};
  }
  // Presses a done screen's "Show Folder" and expects the stand-in to be given folder.
  void showsFolder(int x, int y, const TempDir& bin, const std::string& folder) {
    clickAt(kX + x, kY + y);
    for (int i = 0; i < 100 && slurp(bin.file("opened")).empty(); ++i) sleepMs(50);
    EXPECT_EQ(slurp(bin.file("opened")), folder);
  }
  std::string output(const char* suffix) { return dir.path() + "/Demo_Packages/Share Me/Share Me" + suffix; }

  // The demo's frame f as the recording holds it, blue, green, red.
  std::vector<unsigned char> recordedFrame(int f) {
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    EXPECT_EQ(demoDataRead(demoFilePath("Share Me", ".DMD")), 1);
    const int32_t crop[4] = {80, 100, kW, kH};
    std::vector<unsigned char> bgr(size_t{3} * kW * kH);
    EXPECT_GE(demoRecframeCroppedToMembuff(demoFilePath("Share Me", ".DMR").c_str(), gFrameData[f].imageRefA,
                                           gFrameData[f].imageRefB, crop, bgr.data(), 3, 1),
              0);
    return bgr;
  }
  // True once the presenting window shows frame f exactly as recorded.
  bool presents(int f, int ms = 5000) {
    const std::vector<unsigned char> want = recordedFrame(f);
    for (int waited = 0; waited < ms; waited += 100, sleepMs(100))
      if (input->grab(kPX, kPY, kW, kH) == want) return true;
    ADD_FAILURE() << "frame " << f << " is not shown as recorded";
    return false;
  }

  // Packages the demo through the demo screen's "Simulation" dialog.
  void package(bool fast, bool redBoxes, const std::function<void()>& atDone = nullptr) {
    openDemoScreen();
    clickAt(kX + 900 - 70, kY + 600 - 88 + 11);  // "Simulation"
    ASSERT_TRUE(titled("Packaging 'Share Me' - Pictomira"));
    ASSERT_TRUE(input->waitForPixel(kX + 424, kY + 450, 0xFFFFFF, 5000));  // "OK"
    if (fast) clickAt(kX + 450, kY + 382);                                  // "Fast Build"
    if (!redBoxes) clickAt(kX + 636, kY + 295);                             // the check box
    clickAt(kX + 450, kY + 462);                                            // "OK"
    ASSERT_TRUE(input->waitForPixel(kX + 434, kY + 300, 0xFFFFFF, 20000));  // the result's "OK"
    if (atDone) atDone();
    clickAt(kX + 450, kY + 312);
    ASSERT_TRUE(titled("Pictomira (v151)"));
  }
  // Starts the program and opens the demo screen of "Share Me".
  void openDemoScreen() {
    start();
    ASSERT_TRUE(titled("Pictomira (v151)"));
    ASSERT_TRUE(input->waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));
    clickAt(kX + 300, kY + 365 + 12);
    ASSERT_TRUE(titled("Share Me - Pictomira"));
    ASSERT_TRUE(input->waitForPixel(kX + 9, kY + 287, 0xFFFFFF, 5000));
  }
  // True once the file at path exists (polled every 20 ms for at most ms).
  bool appears(const std::string& path, int ms) {
    for (int waited = 0; waited < ms; waited += 20, sleepMs(20))
      if (exists(path)) return true;
    ADD_FAILURE() << path << " did not appear within " << ms << " ms";
    return false;
  }
  // Opens a worker's screen with begin and closes the window titled title
  // while the worker runs (it has made marker, a path in the program
  // folder): the program ends with status 0 at once, the program folder is
  // as it was, and the next start opens the demo with the folder unchanged.
  void closeWhileWorking(const std::string& title, const std::string& marker, const std::function<void()>& begin) {
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Share Me", heavyDemo()));
    openDemoScreen();
    const std::vector<std::string> before = listing();
    begin();
    ASSERT_TRUE(appears(dir.file(marker), 30000));
    sleepMs(300);
    ASSERT_TRUE(exists(dir.file(marker))) << "the work ended before the window was closed";
    closeAndExpectCleanEnd(title, 5000);
    EXPECT_EQ(listing(), before);  // nothing unfinished stays, and nothing was finished
    openDemoScreen();
    EXPECT_EQ(listing(), before);
  }
  // Writes a web page through the demo screen's "HTML5" or "Demo Guide" dialog.
  // Writes the page through its dialog's button at okX ("OK", or the guide's "Markdown" at 600).
  void exportPage(int buttonY, const std::string& title, int okX = 360, const std::function<void()>& atDone = nullptr) {
    openDemoScreen();
    clickAt(kX + 900 - 70, kY + buttonY);
    ASSERT_TRUE(titled(title));
    ASSERT_TRUE(input->waitForPixel(kX + okX + 4, kY + 540, 0xFFFFFF, 5000));
    clickAt(kX + okX + 30, kY + 552);
    ASSERT_TRUE(input->waitForPixel(kX + 424, kY + 530, 0xFFFFFF, 20000));  // the done screen's "OK"
    if (atDone) atDone();
    clickAt(kX + 450, kY + 542);
    ASSERT_TRUE(titled("Pictomira (v151)"));
  }
  // Runs a wrapped file (with arguments) in a fresh folder until its "OK" ends it.
  void unwrap(const TempDir& into, const std::vector<std::string>& args, const std::string& name = "Share Me") {
    const std::string program = into.file(name + " Linux");
    ASSERT_TRUE(copyFile(dir.path() + "/Demo_Packages/" + name + "/" + name + " Linux", program, 0755));
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    Child unwrapper(argv, {"PICTOMIRA_ALERTS=stderr"});
    ASSERT_TRUE(input->waitForPixel(kUX + 324, kUY + 220, 0xFFFFFF, 20000)) << "no final screen";
    input->move(kUX + 350, kUY + 232);
    sleepMs(40);
    input->click(kUX + 350, kUY + 232);
    EXPECT_EQ(unwrapper.wait(5000), 0);
  }
  // Runs a Presenter and presents from its splash screen.
  std::unique_ptr<Child> present(const std::string& program) {
    auto p = std::make_unique<Child>(std::vector<std::string>{program}, std::vector<std::string>{"PICTOMIRA_ALERTS=stderr"});
    EXPECT_TRUE(input->waitForPixel(kSplashX + 372, kSplashY + 360, 0xFFFFFF, 8000)) << "no Present Demo button";
    input->click(kSplashX + 450, kSplashY + 374);
    return p;
  }
};

// The demo is redacted first, so the frames presented must show its box.
TEST_F(Publishing, TheLinuxFileUnpacksAPresenterThatShowsTheRecordedFrames) {
  ASSERT_EQ(runCommand("{ env -u DISPLAY '" + dir.file("Pictomira") + "' --redact 'Share Me' 150,200,120,30 "
                       ">/dev/null 2>&1; }").status, 0);
  for (int f = 0; f < 3; ++f) {
    const std::vector<unsigned char> frame = recordedFrame(f);
    for (int y : {100, 129})
      for (int x : {70, 189}) {
        const unsigned char* p = &frame[3 * (y * kW + x)];
        ASSERT_EQ(p[0] + p[1] + p[2], 0) << "frame " << f << " at " << x << "," << y;
      }
  }
  package(true, false);
  EXPECT_TRUE(exists(output(" Linux")));
  EXPECT_FALSE(exists(output(" Windows.exe")));  // no Windows system files here
  EXPECT_FALSE(exists(output(" MacOSX")));
  EXPECT_FALSE(exists(dir.path() + "/Demos/Share Me/tmpStackDat.tmp"));  // the pieces are gone
  // The command line, with no display, writes the same file from the dialog's choices.
  const std::string fromDialog = slurp(output(" Linux"));
  ASSERT_EQ(runCommand("{ env -u DISPLAY '" + dir.file("Pictomira") + "' --publish simulation 'Share Me' --fast "
                       "--no-red-boxes >/dev/null 2>&1; }").status, 0);
  EXPECT_TRUE(slurp(output(" Linux")) == fromDialog);
  TempDir fresh;
  unwrap(fresh, {});
  ASSERT_TRUE(exists(fresh.file("Share Me")));
  auto presenter = present(fresh.file("Share Me"));
  ASSERT_TRUE(presents(0));
  input->click(kPX + 70, kPY + 40);  // inside frame 0's click box (boxes switched off)
  ASSERT_TRUE(presents(1));
}

// A note typed on a German keyboard in the speaker note editor arrives as
// typed ("/" is Shift + 7 there, dead keys and AltGr included), is stored as
// Windows-1252 bytes, and the Presenter of the Linux simulation shows it on
// one line; "Ł", outside the code page, gets the notice and changes nothing.
TEST_F(Publishing, ANoteTypedOnAGermanKeyboardReachesThePresenterOnOneLine) {
  const std::string note = "Grüße, Straße / 7&8", stored = "Gr\xFC\xDF" "e, Stra\xDF" "e / 7&8 \xEA@\x80";
  openDemoScreen();
  clickAt(kX + 900 - 450, kY + 600 - 58 + 11);  // "Edit Demo"
  ASSERT_TRUE(titled("Editing 'Share Me' - Pictomira"));
  ASSERT_TRUE(input->waitForPixel(189, 50, 0x767D98, 5000));  // the editor's panel
  constexpr int kW = 1040, kH = 710;                            // the editor for a 640 x 400 crop
  ASSERT_TRUE(input->setLayout("de"));
  ASSERT_TRUE(input->typeOnLayout("n"));  // the note editor, its box active
  ASSERT_TRUE(input->waitForPixel(kW - 5 - 630 + 5, kH - 174 + 100, 0xF4F899, 3000));  // below the old note
  input->key(XK_a, {XK_Control_L});  // the old note replaced
  ASSERT_TRUE(input->typeOnLayout(note));
  // A dead key before a letter, then AltGr's "@" (on Q) and "€" (on E).
  ASSERT_TRUE(input->pressOnLayout({XK_space, XK_dead_circumflex, XK_e, XK_at, XK_EuroSign}));
  ASSERT_EQ(std::system("xdotool type --delay 15 'Ł'"), 0);
  EXPECT_TRUE(app->waitFor("ALERT 0 Character Not Available | That character cannot be typed here", 3000));
  sleepMs(150);
  clickAt(kW - 5 - 315 - 10 - 30, kH - 174 + 147 + 12);  // "OK"
  clickAt(290 + 45, 50 + 12);                              // "Exit": unsaved edits, so the question
  ASSERT_TRUE(input->waitForPixel(410 + 4, 90, 0xFFFFFF, 3000));
  clickAt(410 + 70, 90 + 13);  // "Save and Exit"
  ASSERT_TRUE(titled("Share Me - Pictomira"));
  input->setLayout("us");
  const std::string data = slurp(dir.path() + "/Demos/Share Me/Share Me.DMD");
  EXPECT_NE(data.find(stored + '\0'), std::string::npos) << "the note is not stored as Windows-1252";

  // Shared under a name beyond ASCII: every file is named in UTF-8.
  for (const char* kind : {"simulation", "html5"})
    ASSERT_EQ(runCommand("{ env -u DISPLAY '" + dir.file("Pictomira") + "' --publish " + kind +
                         " 'Share Me' --package-name 'Café Démo' >/dev/null 2>&1; }").status, 0) << kind;
  const std::string page = slurp(dir.path() + "/Demo_Packages/Café Démo/Café Démo.html");
  EXPECT_NE(page.find("Gr&#252;&#223;e, Stra&#223;e / 7&amp;8 &#234;@&#8364;"), std::string::npos);
  EXPECT_NE(page.find("<TITLE>Caf&#233; D&#233;mo"), std::string::npos);
  TempDir fresh;
  unwrap(fresh, {}, "Café Démo");
  auto presenter = present(fresh.file("Café Démo"));
  // The note box of one line (18 + 2 rows) centred at the frame's bottom,
  // 8 rows above it, as wide as the whole text: judged down its left inside
  // column, left of the text.
  resetRuntime();
  const int boxW = pal_GetTextWidth(stored.c_str(), 2) + 10, x = kPX + (640 - boxW) / 2, bottom = kPY + 400 - 8 - 1;
  ASSERT_TRUE(input->waitForPixel(x + 2, bottom, 0xF4F899, 5000));
  EXPECT_EQ(input->pixel(x + 2, bottom - 19), 0xF4F899u);
  EXPECT_EQ(input->pixel(x + 2, bottom - 20), 0x000000u) << "the note has more than one line";
  EXPECT_EQ(input->pixel(x + boxW - 1, bottom), 0xF4F899u);
  EXPECT_EQ(input->pixel(x + boxW, bottom), 0x000000u);
}

TEST_F(Publishing, SmallSizePackageOnlyAndTheMacFileReadByTheExaminer) {
  for (const char* f : {"UWM", "ZPI", "ZPM"})
    ASSERT_TRUE(writeBytes(system(f), std::vector<unsigned char>(1000 + f[2], static_cast<unsigned char>(f[2]))));
  TempDir bin;
  fakeFileManager(bin);
  package(false, false, [&] { showsFolder(540, 312, bin, dir.path() + "/Demo_Packages/Share Me/"); });
  ASSERT_TRUE(exists(output(" MacOSX")));
  Child examiner({PICTOMIRA_EXAMINE_BIN, output(" MacOSX")});
  examiner.drain(3000);
  EXPECT_EQ(examiner.wait(10000), 0);

  TempDir fresh;
  unwrap(fresh, {"--package-only"});
  ASSERT_TRUE(exists(fresh.file("Share Me.PMP")));
  EXPECT_FALSE(exists(fresh.file("Share Me")));
  ASSERT_TRUE(copyFile(system("ZPL"), fresh.file("Pictomira_Presenter"), 0755));
  ASSERT_TRUE(writeBytes(fresh.file("PMP_set.txt"), {'>', 'S', 'h', 'a', 'r', 'e', ' ', 'M', 'e', '.', 'P', 'M', 'P', '\n'}));
  auto presenter = present(fresh.file("Pictomira_Presenter"));
  ASSERT_TRUE(presents(0));
}

// With the Windows system files, "Simulation" also writes "NAME Windows.exe".
// The examiner reads it as sound; under wine, in fresh folders, it unpacks
// "NAME.exe", which presents the demo, and in package-only mode NAME.PMP,
// byte for byte the package the examiner rebuilds, which the Linux
// Presenter presents too.
TEST_F(Publishing, TheWindowsFileUnpacksUnderWine) {
  // The program folder as built holds the Windows system files too; this test's folder gets them from it.
  for (const char* f : {"GBA", "GBH", "UWL", "ZPL", "UWW", "ZPW"})
    ASSERT_TRUE(exists(std::string(PICTOMIRA_SYSTEM_FILES) + "/" + f)) << f << " is not in the built program folder";
  for (const char* f : {"UWW", "ZPW"})
    ASSERT_TRUE(copyFile(std::string(PICTOMIRA_SYSTEM_FILES) + "/" + f, system(f), 0755)) << f;
  WinePrefix wine;
  ASSERT_TRUE(wine.make());
  package(true, false);
  ASSERT_TRUE(exists(output(" Windows.exe")));
  TempDir packageOnly, whole;
  Child examiner({PICTOMIRA_EXAMINE_BIN, "--save-package", packageOnly.file("rebuilt"), output(" Windows.exe")});
  examiner.drain(3000);
  EXPECT_EQ(examiner.wait(10000), 0);

  // The unwrapper's window (700 x 250, framed) ends on its "OK".
  const auto unwrap = [&](const TempDir& into, const std::vector<std::string>& args) {
    const std::string program = into.file("Share Me Windows.exe");
    ASSERT_TRUE(copyFile(output(" Windows.exe"), program, 0755));
    std::vector<std::string> argv{"wine", program};
    argv.insert(argv.end(), args.begin(), args.end());
    Child unwrapper(argv, wine.env());
    const int ux = wineFramedX(700), uy = wineFramedY(250);
    ASSERT_TRUE(input->waitForPixel(ux + 324, uy + 220, 0xFFFFFF, 30000)) << "no final screen";
    // Under load wine may still be drawing when the first click comes: a
    // second click on "OK" does no harm.
    int status = -1;
    for (int attempt = 0; attempt < 3 && status == -1; ++attempt) {
      input->move(ux + 350, uy + 232);
      sleepMs(40);
      input->click(ux + 350, uy + 232);
      status = unwrapper.wait(6000);
    }
    EXPECT_EQ(status, 0);
  };
  unwrap(packageOnly, {"--package-only"});
  ASSERT_TRUE(exists(packageOnly.file("Share Me.PMP")));
  EXPECT_FALSE(exists(packageOnly.file("Share Me.exe")));
  EXPECT_EQ(slurp(packageOnly.file("Share Me.PMP")), slurp(packageOnly.file("rebuilt")));
  ASSERT_TRUE(copyFile(system("ZPL"), packageOnly.file("Pictomira_Presenter"), 0755));
  ASSERT_TRUE(writeBytes(packageOnly.file("PMP_set.txt"), {'>', 'S', 'h', 'a', 'r', 'e', ' ', 'M', 'e', '.', 'P', 'M', 'P', '\n'}));
  {
    auto presenter = present(packageOnly.file("Pictomira_Presenter"));
    ASSERT_TRUE(presents(0));
  }

  unwrap(whole, {});
  ASSERT_TRUE(exists(whole.file("Share Me.exe")));
  Child presenter({"wine", whole.file("Share Me.exe")}, wine.env());
  ASSERT_TRUE(input->waitForPixel(wineFramedX(900) + 372, wineFramedY(600) + 360, 0xFFFFFF, 30000))
      << "no Present Demo button";
  // Under load wine may drop a click that comes while it still draws: the
  // click is repeated until frame 0's first pixel shows.
  const std::vector<unsigned char> first = recordedFrame(0);
  const uint32_t corner = static_cast<uint32_t>(first[2] << 16 | first[1] << 8 | first[0]);
  for (int attempt = 0; attempt < 4 && !input->waitForPixel(kPX, kPY, corner, attempt == 0 ? 0 : 5000); ++attempt) {
    input->move(wineFramedX(900) + 450, wineFramedY(600) + 374);
    sleepMs(40);
    input->click(wineFramedX(900) + 450, wineFramedY(600) + 374);
  }
  ASSERT_TRUE(presents(0));
  input->click(kPX + 70, kPY + 40);  // inside frame 0's click box (boxes switched off)
  ASSERT_TRUE(presents(1));
}

// Their done screens' "Show Folder" opens the folder in the file manager;
// without one, the screen says where the files are.
TEST_F(Publishing, HtmlPageAndDemoGuideFromTheirDialogs) {
  TempDir bin;
  fakeFileManager(bin);
  exportPage(600 - 58 + 11, "Exporting 'Share Me' as HTML5 - Pictomira", 360,
             [&] { showsFolder(550, 542, bin, dir.path() + "/Demo_Packages/Share Me"); });
  const std::string page = slurp(dir.path() + "/Demo_Packages/Share Me/Share Me.html");
  EXPECT_NE(page.find("ID=\"mainCanvas\""), std::string::npos);
  EXPECT_NE(page.find("Click the box"), std::string::npos);
  app->kill();
  app.reset();
  env = {"PATH=" + bin.path() + "/none"};
  exportPage(600 - 28 + 11, "Writing the Demo Guide of 'Share Me' - Pictomira", 360, [&] {
    EXPECT_FALSE(input->waitForPixel(kX + 450, kY + 496, 0xFFFFFF, 300));
    clickAt(kX + 550, kY + 542);  // "Show Folder", with no file manager to start
    bool said = false;
    for (int i = 0; i < 100 && !said; ++i, sleepMs(50))
      for (int x = 100; x < 800 && !said; ++x) said = input->pixel(kX + x, kY + 498) == 0xFFFFFF;
    EXPECT_TRUE(said) << "no text where the files are";
  });
  env.clear();
  const std::string guide = slurp(dir.path() + "/Demo_Guides/Share Me/Share Me.html");
  EXPECT_NE(guide.find("Share Me - Pictomira Demo Guide"), std::string::npos);
  EXPECT_NE(guide.find("data:image/png;base64,"), std::string::npos);
  app->kill();
  app.reset();
  exportPage(600 - 28 + 11, "Writing the Demo Guide of 'Share Me' - Pictomira", 600);
  const std::string md = slurp(dir.path() + "/Demo_Guides/Share Me/Share Me.md");
  EXPECT_EQ(md.rfind("# Share Me \\- Pictomira Demo Guide\n", 0), 0u) << md;
  EXPECT_NE(md.find("](Share%20Me_files/step-1.png)"), std::string::npos) << md;
}

// Closing the window while the packaging screen writes the package (its
// Small Size line pool) ends the program at once and leaves nothing.
TEST_F(Publishing, ClosingTheWindowWhilePackagingEndsCleanlyAndLeavesNothing) {
  closeWhileWorking("Packaging 'Share Me' - Pictomira", "Demos/Share Me/tmpStackCompr.tmp", [this] {
    clickAt(kX + 900 - 70, kY + 600 - 88 + 11);  // "Simulation"
    ASSERT_TRUE(titled("Packaging 'Share Me' - Pictomira"));
    ASSERT_TRUE(input->waitForPixel(kX + 424, kY + 450, 0xFFFFFF, 5000));  // "OK"
    clickAt(kX + 450, kY + 462);
  });
}

// The same while the HTML5 page's pictures are being written.
TEST_F(Publishing, ClosingTheWindowWhileExportingHtmlEndsCleanlyAndLeavesNothing) {
  closeWhileWorking("Exporting 'Share Me' as HTML5 - Pictomira", "Demo_Packages/Share Me/.Share Me.html.partial",
                    [this] {
                      clickAt(kX + 900 - 70, kY + 600 - 58 + 11);  // "HTML5"
                      ASSERT_TRUE(titled("Exporting 'Share Me' as HTML5 - Pictomira"));
                      ASSERT_TRUE(input->waitForPixel(kX + 364, kY + 540, 0xFFFFFF, 5000));  // "OK"
                      clickAt(kX + 390, kY + 552);
                    });
}

}  // namespace
