// The abstraction screens in the built authoring program under Xvfb: a
// replay pair beside the program starts the abstraction at once; the crop
// is confirmed or set by a real drag and the fine-tuning arrows, the demo
// is named, its files are created and the demo screen opens; a password
// field named by the side file is redacted. Judged by the window titles, the
// pixels of the buttons, the demo data file and the recording.
#include "studio/capture/demo_files.h"
#include "studio/capture/frame_cursor.h"
#include "studio/capture/press_objects.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "tests/support/capture_fixture.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/studio_session.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kScreenW = 640, kScreenH = 480;
constexpr int32_t kWindow[4] = {100, 100, 500, 400};  // the recorded application window: left, top, right, bottom
constexpr int kRow = 600 - 31;                        // the confirmation's buttons
constexpr uint32_t kButtonBorder = 0x515655;          // the top row of a button's border

struct Area {
  int32_t x, y, w, h;
  uint32_t colour, pressed;
};
// The recorded application: a panel with a text field and two buttons that
// light up once pressed, on a blue desktop.
constexpr Area kField = {120, 120, 100, 40, 0x808080, 0xF0F0F0};
constexpr Area kFirst = {150, 180, 100, 32, 0x2040A0, 0x80A0FF};
constexpr Area kSecond = {280, 240, 100, 32, 0x20A040, 0x80FFA0};

// A frame of the application with the areas up to `lit` shown lit.
CaptureFrame frameOf(int32_t time, int32_t x, int32_t y, int click, int lit) {
  CaptureFrame f;
  f.time = time;
  f.x = x;
  f.y = y;
  f.click = click;
  f.paint = [lit](CaptureScreen& s) {
    s.fill(0, 0, kScreenW, kScreenH, 0x336699);
    s.fill(kWindow[0], kWindow[1], kWindow[2] - kWindow[0], kWindow[3] - kWindow[1], 0xC0C0C0);
    const Area areas[] = {kField, kFirst, kSecond};
    for (int i = 0; i < 3; ++i)
      s.fill(areas[i].x, areas[i].y, areas[i].w, areas[i].h, i < lit ? areas[i].pressed : areas[i].colour);
  };
  return f;
}

// Writes the replay pair beside the program: a capture slot made by the
// fixture, renamed. The text field fills, each button lights up after its
// press, and the last press is the author's on "Pause Capture", outside
// the window.
bool writeReplayPair(const std::string& folder) {
  CaptureFixture fx;
  fx.W = kScreenW;
  fx.H = kScreenH;
  fx.frames = {frameOf(0, 450, 350, 0, 0),    frameOf(700, 450, 350, 0, 1),  frameOf(1400, 200, 195, 1, 1),
               frameOf(2100, 200, 195, 0, 2), frameOf(2800, 330, 255, 1, 2), frameOf(3500, 330, 255, 0, 3),
               frameOf(4200, 600, 450, 1, 3)};
  fx.windowLines = {{kWindow[0], kWindow[1], kWindow[2], kWindow[3]}};
  return writeCaptureSlot(folder, fx) &&
         std::rename((folder + "/TempCapture.DMR").c_str(), (folder + "/pmra.DMR").c_str()) == 0 &&
         std::rename((folder + "/TempCapture.DMW").c_str(), (folder + "/pmra.DMW").c_str()) == 0;
}

// The replay pair made long: after its first frame, nine runs of 9,000
// one-pixel records that change nothing, each ended by a copy of the first
// click's record, then the rest, later. The step building removes such
// frames one by one, moving the frames after each, which keeps its worker
// busy for many seconds.
bool writeLongReplayPair(const std::string& folder) {
  if (!writeReplayPair(folder)) return false;
  const std::string path = folder + "/pmra.DMR", bytes = slurp(path);
  const std::vector<RecordEntry> records = indexRecording(path.c_str());
  if (records.size() != 7) return false;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  // Record i again, at another time.
  auto copy = [&](size_t i, int64_t time) {
    const RecordEntry& r = records[i];
    const auto* pixels = reinterpret_cast<const unsigned char*>(bytes.data() + r.pixels);
    return recWriteRecord(f, RecordLine{r.mouseX, r.mouseY, r.W, r.H, r.x, r.y, r.w, r.h, time, r.click}, pixels);
  };
  const unsigned char desktop[3] = {0x99, 0x66, 0x33};  // the top-left pixel, as every frame shows it
  bool ok = copy(0, 0);
  for (int run = 0; run < 9 && ok; ++run) {
    for (int k = 0; k < 9000 && ok; ++k)
      ok = recWriteRecord(f, RecordLine{450, 350, kScreenW, kScreenH, 0, 0, 1, 1, run * 1000 + k / 100, 0}, desktop);
    ok = ok && copy(2, run * 1000 + 600);
  }
  for (size_t i = 1; i < records.size() && ok; ++i) ok = copy(i, 9000 + records[i].time);
  return std::fclose(f) == 0 && ok;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

class Abstraction : public testing::Test {
 protected:
  void SetUp() override {
    server = std::make_unique<XServer>();
    ASSERT_TRUE(server->ok());
    input = std::make_unique<XInput>();
    ASSERT_TRUE(installProgram(PICTOMIRA_STUDIO_BIN, dir, "Pictomira"));
    ASSERT_TRUE(writeReplayPair(dir.path()));
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  }
  void TearDown() override {
    if (HasFailure() && app) app->report();
    app.reset();
    input.reset();
    server.reset();
  }
  void start() {
    app = std::make_unique<Child>(std::vector<std::string>{dir.file("Pictomira")},
                                  std::vector<std::string>{"PICTOMIRA_ALERTS=stderr"});
  }
  // Waits for the window titled title and for the button whose top-left
  // corner is (bx, by) in it; the window's origin goes to ox, oy.
  bool button(const std::string& title, int bx, int by, int ms = 15000) {
    for (int waited = 0; waited < ms; waited += 30, sleepMs(30)) {
      const unsigned long w = input->findWindow(title);
      if (w == 0 || !input->viewable(w) || !input->origin(w, &ox, &oy)) continue;
      if (input->pixel(ox + bx + 4, oy + by - 1) == kButtonBorder && input->pixel(ox + bx + 4, oy + by) == 0xFFFFFF)
        return true;
    }
    ADD_FAILURE() << "no button at " << bx << "," << by << " in '" << title << "'";
    return false;
  }
  void click(int x, int y) {
    input->move(ox + x, oy + y);
    sleepMs(40);
    input->click(ox + x, oy + y);
    sleepMs(120);
  }
  // Names the demo on the naming screen and waits for its demo screen.
  void nameDemo(const std::string& name) {
    ASSERT_TRUE(button("Abstracting New Demo - Pictomira", 650, 226));
    click(480, 239);  // "NewNameEditBox"
    input->key(XK_a, {XK_Control_L});
    ASSERT_EQ(std::system(("xdotool type --delay 15 '" + name + "'").c_str()), 0);
    sleepMs(150);
    click(680, 239);  // "OK"
  }
  void expectDemoScreen(const std::string& name) {
    ASSERT_TRUE(button(name + " - Pictomira", 5, 287));  // "<< Back to Home "
    EXPECT_FALSE(exists(captureSlotPath(".DMR")));
    EXPECT_EQ(slurp(demoFilePath(name, ".DMR")), slurp(dir.file("pmra.DMR")));
    ASSERT_EQ(demoDataRead(demoFilePath(name, ".DMD")), 1);
  }
  std::string cropText() {
    char text[DEMO_TEXT_LEN] = "";
    if (gHeaderCount >= 1) demoGetTextValue(gHeaderData[0], text);
    return text;
  }
  // The frames whose click rectangles hold the point, in order.
  std::vector<int32_t> clicksAt(int32_t x, int32_t y) {
    std::vector<int32_t> frames;
    for (int32_t i = 0; i < gInstrCount; ++i)
      if (gInstrData[i].type == INSTR_LEFT && demoRectHolds(gInstrData[i], x, y)) frames.push_back(gInstrData[i].frame);
    return frames;
  }

  TempDir dir;
  std::unique_ptr<XServer> server;
  std::unique_ptr<XInput> input;
  std::unique_ptr<Child> app;
  int ox = 0, oy = 0;
};

TEST_F(Abstraction, AReplayPairIsAbstractedIntoANamedDemo) {
  ASSERT_EQ(::mkdir(dir.file("Demos").c_str(), 0777), 0);
  ASSERT_EQ(::mkdir(dir.file("Demos/Taken").c_str(), 0777), 0);  // a folder, though not a whole demo
  start();
  ASSERT_TRUE(button("Ready to Abstract - Pictomira", 280, kRow));
  // The preview is the crop 400 x 300 at 1.8 times, centred, 18 above the middle: the panel's grey.
  EXPECT_EQ(input->pixel(ox + 90 + 380 * 18 / 10, oy + 12 + 280 * 18 / 10), 0xC0C0C0u);
  click(360, kRow + 13);  // "The Crop is Correct"
  nameDemo("Taken");
  EXPECT_TRUE(app->waitFor("ALERT 1 Name has been used | A demo named 'Taken' already exists", 5000));
  nameDemo("First Demo");
  expectDemoScreen("First Demo");
  // The command line makes the same demo from the same pair, with no display.
  TempDir other;
  ASSERT_TRUE(writeReplayPair(other.path()));
  const CommandResult made = runCommand("{ env -u DISPLAY '" + dir.file("Pictomira") + "' --folder '" + other.path() +
                                        "' --abstract --name 'First Demo' 2>/dev/null; }");
  EXPECT_EQ(made.status, 0);
  EXPECT_EQ(made.out, other.file("Demos/First Demo/First Demo.DMD") + "\n");
  EXPECT_TRUE(slurp(other.file("Demos/First Demo/First Demo.DMD")) == slurp(demoFilePath("First Demo", ".DMD")));
  EXPECT_TRUE(slurp(other.file("Demos/First Demo/First Demo.DMR")) == slurp(dir.file("pmra.DMR")));
  EXPECT_EQ(cropText(), "100,100,400,300\r\n");
  const std::vector<int32_t> first = clicksAt(200, 195), second = clicksAt(330, 255);
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_LT(first[0], second[0]);
  EXPECT_TRUE(clicksAt(600, 450).empty());  // the press on "Pause Capture" is gone
  EXPECT_LT(second[0], gFrameCount);
}

// On a French keyboard the name arrives as typed, letters beyond ASCII
// included, and the demo's folder holds it in UTF-8.
// A replay pair whose side file says the first button press was on a
// password field: its step says "Type the password." and, with "Redact
// password fields" left checked, the field is painted over in the frames
// from that press to the next one, and only there.
TEST_F(Abstraction, APressOnAPasswordFieldIsCaptionedAndRedacted) {
  PressObject field;
  field.time = 1400;
  field.role = "password text";
  field.name = "Password";
  field.extents[0] = kFirst.x, field.extents[1] = kFirst.y, field.extents[2] = kFirst.w, field.extents[3] = kFirst.h;
  ASSERT_TRUE(appendPressLine(dir.file("pmra.DMA"), field));
  start();
  ASSERT_TRUE(button("Ready to Abstract - Pictomira", 280, kRow));
  click(360, kRow + 13);  // "The Crop is Correct"
  ASSERT_TRUE(button("Abstracting New Demo - Pictomira", 650, 226));
  ASSERT_TRUE(input->waitForPixel(ox + 330 + 2, oy + 300 + 5, 0x004444, 10000));  // "Redact password fields", checked
  nameDemo("Login");
  ASSERT_TRUE(button("Login - Pictomira", 5, 287));
  ASSERT_EQ(demoDataRead(demoFilePath("Login", ".DMD")), 1);
  const int32_t crop[4] = {100, 100, 400, 300};
  int redacted = 0;
  for (int32_t f = 0; f < gFrameCount; ++f) {
    std::vector<unsigned char> bgr(size_t{3} * crop[2] * crop[3]);
    ASSERT_GE(demoRecframeCroppedToMembuff(demoFilePath("Login", ".DMR").c_str(), gFrameData[f].imageRefA,
                                           gFrameData[f].imageRefB, crop, bgr.data(), 3, 1),
              0);
    const unsigned char* p = &bgr[3 * (size_t{96} * crop[2] + 100)];  // the field's middle, 200,196
    const bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
    // The records from the press (1400 ms, record 2) to the next press (2800 ms, record 4).
    const bool inRange = gFrameData[f].frameId >= 2 && gFrameData[f].frameId <= 4;
    EXPECT_EQ(black, inRange) << "frame " << f << " (record " << gFrameData[f].frameId << ")";
    redacted += black ? 1 : 0;
    if (gInstrData[f].type != INSTR_LEFT || !demoRectHolds(gInstrData[f], 200, 195)) continue;
    char note[DEMO_TEXT_LEN] = "";
    demoGetTextValue(static_cast<int32_t>(gFrameData[f].noteText), note);
    EXPECT_STREQ(note, "Type the password.");
  }
  EXPECT_GE(redacted, 1);
  EXPECT_TRUE(exists(demoFilePath("Login", ".DMA")));
}

TEST_F(Abstraction, AFrenchKeyboardTypesTheNameAndTheFolderIsUtf8) {
  start();
  ASSERT_TRUE(button("Ready to Abstract - Pictomira", 280, kRow));
  click(360, kRow + 13);  // "The Crop is Correct"
  ASSERT_TRUE(button("Abstracting New Demo - Pictomira", 650, 226));
  click(480, 239);  // "NewNameEditBox"
  input->key(XK_a, {XK_Control_L});
  ASSERT_TRUE(input->setLayout("fr"));
  ASSERT_TRUE(input->typeOnLayout("Café Démo"));  // é is a key of its own; m is where ; is on a US keyboard
  sleepMs(150);
  click(680, 239);  // "OK"
  ASSERT_TRUE(button("Café Démo - Pictomira", 5, 287));  // the title is UTF-8 too
  EXPECT_EQ(slurp(demoFilePath("Caf\xE9 D\xE9mo", ".DMR")), slurp(dir.file("pmra.DMR")));
  EXPECT_TRUE(exists(dir.file("Demos/Café Démo/Café Démo.DMD")));
  const CommandResult list = runCommand("{ env -u DISPLAY '" + dir.file("Pictomira") + "' --list 2>/dev/null; }");
  EXPECT_EQ(list.out.rfind("Café Démo\t", 0), 0u) << list.out;
  input->setLayout("us");
}

TEST_F(Abstraction, ADraggedAndFineTunedCropIsTheDemosCrop) {
  start();
  ASSERT_TRUE(button("Ready to Abstract - Pictomira", 460, kRow));
  click(530, kRow + 13);  // "Change the Crop"
  ASSERT_TRUE(button("Ready to Abstract - Pictomira", 470, 320));
  click(570, 333);  // "Change the Crop" on the question
  ASSERT_TRUE(button("Ready to Abstract - Pictomira", 385, 573));  // "Cancel": the manual crop screen
  // The 640 x 480 screen at 1.129 times from (89, 28); a real drag across it.
  const int64_t s = 1129;
  const int from[2] = {160, 90}, to[2] = {600, 450};
  auto screenAt = [&](int pos, int origin) { return static_cast<int32_t>((pos + 1 - origin) * 1000 / s); };
  input->move(ox + from[0], oy + from[1]);
  sleepMs(60);
  input->button(1, true);
  for (int k = 1; k <= 10; ++k) {
    input->move(ox + from[0] + (to[0] - from[0]) * k / 10, oy + from[1] + (to[1] - from[1]) * k / 10);
    sleepMs(30);
  }
  sleepMs(60);
  input->button(1, false);
  ASSERT_TRUE(button("Ready to Abstract - Pictomira", 365, 530));  // "Done": the fine-tuning screen
  int32_t crop[4] = {screenAt(from[0], 89), screenAt(from[1], 28), 0, 0};
  crop[2] = screenAt(to[0], 89) - crop[0];
  crop[3] = screenAt(to[1], 28) - crop[1];
  // Arrows: ul_D twice, ul_L once, lr_L three times, lr_U once.
  const struct {
    int x, y, times;
  } arrows[] = {{216, 423, 2}, {35, 241, 1}, {470, 241, 3}, {651, 60, 1}};
  for (const auto& a : arrows)
    for (int i = 0; i < a.times; ++i) click(a.x + 16, a.y + 16);
  crop[1] -= 2;
  crop[3] += 2;
  crop[0] += 1;
  crop[2] -= 1;
  crop[2] += 3;
  crop[3] += 1;
  click(400, 543);  // "Done": analysed again with this crop
  ASSERT_TRUE(button("Ready to Abstract - Pictomira", 280, kRow));
  click(360, kRow + 13);
  nameDemo("Second");
  expectDemoScreen("Second");
  char expected[80];
  std::snprintf(expected, sizeof expected, "%d,%d,%d,%d\r\n", crop[0], crop[1], crop[2], crop[3]);
  EXPECT_EQ(cropText(), expected);
  EXPECT_EQ(clicksAt(200, 195).size(), 1u);
}

// The abstraction screens in the whole program, closed while a worker runs.
class AbstractionClosed : public StudioSession {
 protected:
  static constexpr int kX = 190, kY = 100;  // the 900 x 600 window on the 1280 x 800 screen
  void confirmAndName(const std::string& name) {
    ASSERT_TRUE(titled("Ready to Abstract - Pictomira", 15000));
    ASSERT_TRUE(input->waitForPixel(kX + 284, kY + kRow, 0xFFFFFF, 15000));  // "The Crop is Correct"
    clickAt(kX + 360, kY + kRow + 13);
    ASSERT_TRUE(titled("Abstracting New Demo - Pictomira"));
    ASSERT_TRUE(input->waitForPixel(kX + 654, kY + 226, 0xFFFFFF, 5000));  // "OK"
    typeInto(kX + 480, kY + 239, name);
    clickAt(kX + 680, kY + 239);
  }
};

// The name is given while the steps are still being built; the window then
// closes. Nothing is left but the capture slot, which the next start
// abstracts again under the same name.
TEST_F(AbstractionClosed, ClosingWhileTheStepsAreBuiltKeepsTheCaptureAndTheName) {
  ASSERT_TRUE(writeLongReplayPair(dir.path()));
  const std::vector<std::string> before = listing();
  start();
  confirmAndName("Closed");
  sleepMs(300);
  const auto closing = std::chrono::steady_clock::now();
  closeAndExpectCleanEnd("Abstracting New Demo - Pictomira", 5000);
  EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(5));
  // What the start itself makes: the two folders and the capture slot copied from the replay pair.
  std::vector<std::string> expected = before;
  for (const char* made : {"Demos", "TempCapture.DMR", "TempCapture.DMW", "zPictomiraSystemFiles"})
    if (std::find(expected.begin(), expected.end(), made) == expected.end()) expected.push_back(made);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listing(), expected);
  EXPECT_TRUE(slurp(dir.file("TempCapture.DMR")) == slurp(dir.file("pmra.DMR")));
  EXPECT_TRUE(slurp(dir.file("TempCapture.DMW")) == slurp(dir.file("pmra.DMW")));
  // The next start, on a short replay pair: the same name is taken.
  ASSERT_TRUE(writeReplayPair(dir.path()));
  start();
  confirmAndName("Closed");
  EXPECT_TRUE(titled("Closed - Pictomira", 15000));
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  EXPECT_EQ(demoDataRead(demoFilePath("Closed", ".DMD")), 1);
}

}  // namespace
