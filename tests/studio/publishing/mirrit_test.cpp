// The Mirrit text output: line numbers in base 80, instruction lines,
// notes, and both files written for demos built by the demo fixture after
// the package preparation.
#include "studio/publishing/mirrit.h"

#include "studio/publishing/interrupted_exports.h"
#include "studio/publishing/package_writer.h"

#include "demo/demo_model.h"
#include "pal/pal.h"
#include "studio/capture/demo_files.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

InstrRec instr(int32_t target, int32_t type, int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  return InstrRec{0, target, type, {a, b, c, d}};
}

TEST(Mirrit, LineNumbersAreFourBase80Digits) {
  const struct {
    uint32_t n;
    const char* text;
  } cases[] = {{0, "++++"},      {1, "+++,"},       {80, "++,+"},      {79, "+++z"},
               {6400, "+,++"},   {512000, ",+++"},  {299998, "+Ypy"}};
  for (const auto& c : cases) EXPECT_EQ(mirritLineNumber(c.n), c.text) << c.n;
}

TEST(Mirrit, InstructionLines) {
  const int32_t crop[2] = {3, 2};
  const struct {
    InstrRec in;
    const char* line;
  } cases[] = {
      {instr(-1, 'T', 500), "  \">\" Timer 500"},
      {instr(2, 'K', 13), "  \"000020\" KeyDown 13"},
      {instr(0, 'L', 5, 4, 9, 8), "  \"000000\" LeftClick 2,2,6,6"},
      {instr(12345, 'R', 3, 2, 3, 2), "  \"123450\" RightClick 0,0,0,0"},
      {instr(-1, 'U', 1, 1, 4, 4), "  \">\" UpClick -2,-1,1,2"},
      {instr(1, 'M', 3, 2, 11, 8), "  \"000010\" MouseOver 0,0,8,6"},
      {instr(1, 'E', 2, 1, 4, 3), "  \"000010\" ExitRect -1,-1,1,1"},
      {instr(1, 'Z', 1), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(mirritInstructionLine(c.in, crop), c.line) << c.line;
}

TEST(Mirrit, NotesGetCarriageReturnsAndLoseTrailingControls) {
  const struct {
    const char* note;
    const char* written;
  } cases[] = {{"a\nb", "a\r\nb"},          {"a\r\nb", "a\r\nb"},   {"\nx", "\r\nx"},
               {"ab\r\n\x0e\t\n", "ab"},     {"ab \n", "ab "},       {"\x0f", "\x0f"},
               {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(mirritNoteText(c.note), c.written) << c.note;
}

// ---- Both files -------------------------------------------------------------------

constexpr const char* kHeader =
    "\r\nSplashText\r\n030\r\n040 Mirrit Demo converted from Pictomira\r\n030\r\nEndSplashText\r\n\r\n"
    "WindowText \"Mirrit Demo Simulation\"\r\nxWindowIconSm 006,008,023\r\n\r\nWindowRoundingStyle=1\r\n"
    "xCoverTaskBarOk\r\nScreenFill=0\r\n\r\nHelpOn\r\nxNotesOff\r\n\r\nxNotesFont \"Trebuchet MS\"\r\n"
    "xNotesFontSize=20\r\n\r\nxNotesBackColor=C8FFC8\r\nxNotesTextColor=202020\r\n\r\nHomeFrame \"000000\"\r\n"
    "TitleBarHeight 30\r\nCloseRightEdge 30\r\n\r\n\r\n\r\n";

// Row kind k of a screen: pixel x is (10k + x, 50, 100 + k).
void fillRow(int32_t w, int k, unsigned char* bgr) {
  for (int32_t x = 0; x < w; ++x) {
    bgr[3 * x] = static_cast<unsigned char>(10 * k + x);
    bgr[3 * x + 1] = 50;
    bgr[3 * x + 2] = static_cast<unsigned char>(100 + k);
  }
}

std::string rowOf(int k, int32_t left, int32_t w) {
  std::vector<unsigned char> row(static_cast<size_t>(left + w) * 3);
  fillRow(left + w, k, row.data());
  return std::string(row.begin() + left * 3, row.end());
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.insert(e.path().filename().string());
  return {names.begin(), names.end()};
}

class MirritFiles : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    std::memcpy(savedFolder_, gProgramFolder, sizeof savedFolder_);
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", "Alpha");
    gPackageCancel = 0;
  }
  void TearDown() override {
    resetRuntime();
    std::memcpy(gProgramFolder, savedFolder_, sizeof savedFolder_);
  }
  // Writes the demo, loads it and runs the preparation.
  void prepare(const DemoFixture& fx) {
    resetRuntime();
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Alpha", fx));
    std::copy(fx.crop, fx.crop + 4, gCropSize);
    publishing::Failure why;
    ASSERT_EQ(preparePackage(&why), 1) << why.text();
  }
  std::string file(const char* name) { return demoFolderPath("Alpha") + "/" + name; }
  std::vector<std::string> outputsAndPieces() {
    std::vector<std::string> out;
    for (const std::string& n : namesIn(demoFolderPath("Alpha")))
      if (n.find(".DM") == std::string::npos) out.push_back(n);
    return out;
  }

  TempDir dir;
  char savedFolder_[sizeof gProgramFolder];
};

// Three frames on an 8 x 5 screen cropped to 5 x 3 at (1, 1): frame 1
// changes the crop's last row, frame 2 is reached by nothing and goes.
DemoFixture smallDemo() {
  DemoFixture fx;
  fx.screenW = 8;
  fx.screenH = 5;
  const int32_t crop[4] = {1, 1, 5, 3};
  std::copy(crop, crop + 4, fx.crop);
  fx.frames = {
      {"First", "a\nb\r\nc\n\n", -999, -999, {instr(-1, 'L', 2, 2, 4, 3), instr(0, 'K', 13)}},
      {"", "", -999, -999, {instr(0, 'T', 500)}},
      {"Lost", "never", -999, -999, {instr(0, 'T', 100)}},
  };
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    const int k = f == 2 ? 4 : (f == 1 && y == 3) ? 3 : std::max(0, y - 1);
    fillRow(8, k, bgr);
  };
  return fx;
}

TEST_F(MirritFiles, SmallDemoGivesBothFiles) {
  prepare(smallDemo());
  ASSERT_EQ(gFrameCount, 2);
  // An earlier output is replaced.
  ASSERT_TRUE(writeBytes(file("DemoFlow.txt"), {'o', 'l', 'd'}));
  MirritFailure failure;
  ASSERT_EQ(writeMirrit(&failure), 1) << failure.code << ": " << failure.why;
  EXPECT_EQ(gMirritProgress, 1000);
  const std::string flow = std::string(kHeader) +
                           "~000000\r\n$+++++++,+++-\r\n"
                           "  \">\" LeftClick 1,1,3,2\r\n"
                           "  \"000000\" KeyDown 13\r\n"
                           "#\r\na\r\nb\r\nc\r\n"
                           "~000010\r\n$+++++++,+++.\r\n"
                           "  \"000000\" Timer 500\r\n"
                           "#\r\nEnd of Demo\r\n# -99\r\n";
  EXPECT_EQ(slurp(file("DemoFlow.txt")), flow);
  EXPECT_EQ(slurp(file("DemoStack.bws")),
            std::string("\x00\x05", 2) + rowOf(0, 1, 5) + rowOf(1, 1, 5) + rowOf(2, 1, 5) + rowOf(3, 1, 5));
  EXPECT_EQ(outputsAndPieces(), (std::vector<std::string>{"DemoFlow.txt", "DemoStack.bws"}));
}

TEST_F(MirritFiles, StackStartsWithTheWidth) {
  const struct {
    int32_t w;
    int rows;
    const char* first;
  } cases[] = {{1282, 40, "\x05\x02"}, {7, 2, "\x00\x07"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.w);
    DemoFixture fx;
    fx.screenW = c.w;
    fx.screenH = c.rows;
    const int32_t crop[4] = {0, 0, c.w, c.rows};
    std::copy(crop, crop + 4, fx.crop);
    fx.frames = {{"", "", -999, -999, {instr(-1, 'T', 500)}}, {"", "", -999, -999, {}}};
    const int32_t w = c.w;
    fx.row = [w](int32_t f, int32_t y, unsigned char* bgr) { fillRow(w, y + f * 3, bgr); };
    prepare(fx);
    MirritFailure failure;
    ASSERT_EQ(writeMirrit(&failure), 1) << failure.code << ": " << failure.why;
    std::string stack(c.first, 2);
    std::set<int> seen;
    for (int f = 0; f < 2; ++f)
      for (int y = 0; y < c.rows; ++y)
        if (seen.insert(y + f * 3).second) stack += rowOf(y + f * 3, 0, c.w);
    const std::string got = slurp(file("DemoStack.bws"));
    EXPECT_EQ(got.size(), stack.size());
    EXPECT_TRUE(got == stack);
    EXPECT_NE(slurp(file("DemoFlow.txt")).find("\r\n  \">\" Timer 500\r\n"), std::string::npos);
  }
}

// A failure names its step and leaves the pair written before as it was:
// both new files take their places or neither does (a folder where the
// stack file goes stops both).
TEST_F(MirritFiles, FailuresNameTheStepAndKeepThePairWrittenBefore) {
  const struct {
    const char* what;
    const char* blocker;  // made a folder, so it cannot be opened as a file
    const char* removed;  // removed before writing
    const char* code;
  } cases[] = {
      {"flow file", ".DemoFlow.txt.partial", nullptr, "NoRead MWF-002"},
      {"line tables", nullptr, "tmpLinesDat.tmp", "NoRead MWF-004"},
      {"stack file", ".DemoStack.bws.partial", nullptr, "NoRead MWF-012"},
      {"line pool", nullptr, "tmpStackDat.tmp", "NoRead MWF-014"},
      {"a folder in the stack file's place", "DemoStack.bws", nullptr, "NoRead MWF-012"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    prepare(smallDemo());
    const bool stackIsFolder = std::string(c.blocker ? c.blocker : "") == "DemoStack.bws";
    ASSERT_TRUE(writeBytes(file("DemoFlow.txt"), {'o', 'l', 'd', 'F'}));
    if (!stackIsFolder) {
      ASSERT_TRUE(writeBytes(file("DemoStack.bws"), {'o', 'l', 'd', 'S'}));
    }
    if (c.blocker != nullptr) {
      ASSERT_EQ(::mkdir(file(c.blocker).c_str(), 0777), 0);
    } else {
      ASSERT_EQ(std::remove(file(c.removed).c_str()), 0);
    }
    MirritFailure failure;
    EXPECT_EQ(writeMirrit(&failure), -1);
    EXPECT_EQ(failure.code, c.code);
    EXPECT_NE(failure.why.find(c.blocker != nullptr ? c.blocker : c.removed), std::string::npos) << failure.why;
    EXPECT_EQ(slurp(file("DemoFlow.txt")), "oldF");
    if (stackIsFolder) {
      EXPECT_TRUE(std::filesystem::is_directory(file("DemoStack.bws")));
    } else {
      EXPECT_EQ(slurp(file("DemoStack.bws")), "oldS");
    }
    if (c.blocker != nullptr) ::rmdir(file(c.blocker).c_str());
    std::remove(file("DemoStack.bws").c_str());
    EXPECT_EQ(outputsAndPieces(), std::vector<std::string>{"DemoFlow.txt"});
    std::remove(file("DemoFlow.txt").c_str());
  }
}

// At start-up the unfinished files of publishing that the program did not
// live to finish go, a Mirrit pair caught halfway into place is rolled
// back, and everything else (finished outputs, an author's files) stays.
TEST_F(MirritFiles, StartUpRemovesWhatInterruptedPublishingLeft) {
  prepare(smallDemo());  // leaves the pieces, as a preparation the program did not outlive
  const std::string demo = demoFolderPath("Alpha") + "/";
  const std::string packages = dir.path() + "/Demo_Packages/", guides = dir.path() + "/Demo_Guides/";
  // The new flow file was in place, the new stack file not yet: the earlier pair is aside.
  ASSERT_TRUE(writeBytes(demo + "DemoFlow.txt", {'n', 'e', 'w'}));
  ASSERT_TRUE(writeBytes(demo + ".DemoFlow.txt.previous", {'o', 'l', 'd', 'F'}));
  ASSERT_TRUE(writeBytes(demo + ".DemoStack.bws.previous", {'o', 'l', 'd', 'S'}));
  ASSERT_TRUE(writeBytes(demo + ".DemoStack.bws.partial", {'n'}));
  ASSERT_TRUE(writeBytes(demo + "notes.txt", {'a'}));
  std::filesystem::create_directories(packages + "Only Partial");
  std::filesystem::create_directories(packages + "Kept");
  std::filesystem::create_directories(guides + "Guide");
  ASSERT_TRUE(writeBytes(packages + "Only Partial/.Only Partial Linux.partial", {'x'}));
  ASSERT_TRUE(writeBytes(packages + "Kept/.Kept.html.partial", {'x'}));
  ASSERT_TRUE(writeBytes(packages + "Kept/Kept MacOSX", {'m'}));
  ASSERT_TRUE(writeBytes(packages + "Kept/.Other.partial", {'a'}));
  ASSERT_TRUE(writeBytes(guides + "Guide/.Guide.html.partial", {'x'}));
  ASSERT_TRUE(writeBytes(guides + "Guide/Guide.html", {'g'}));
  // A Markdown guide cut short: its page and pictures' folder unfinished, the old pictures aside.
  std::filesystem::create_directories(guides + "Guide/.Guide_files.partial");
  std::filesystem::create_directories(guides + "Guide/.Guide_files.old.partial");
  ASSERT_TRUE(writeBytes(guides + "Guide/.Guide_files.partial/step-1.png", {'n'}));
  ASSERT_TRUE(writeBytes(guides + "Guide/.Guide_files.old.partial/step-1.png", {'o'}));
  ASSERT_TRUE(writeBytes(guides + "Guide/.Guide.md.partial", {'x'}));

  removeInterruptedExports();
  EXPECT_EQ(outputsAndPieces(), (std::vector<std::string>{"DemoFlow.txt", "DemoStack.bws", "notes.txt"}));
  EXPECT_EQ(slurp(demo + "DemoFlow.txt"), "oldF");
  EXPECT_EQ(slurp(demo + "DemoStack.bws"), "oldS");
  EXPECT_EQ(namesIn(packages), std::vector<std::string>{"Kept"});
  EXPECT_EQ(namesIn(packages + "Kept"), (std::vector<std::string>{".Other.partial", "Kept MacOSX"}));
  EXPECT_EQ(namesIn(guides + "Guide"), (std::vector<std::string>{"Guide.html", "Guide_files"}));
  EXPECT_EQ(slurp(guides + "Guide/Guide_files/step-1.png"), "o");
}

}  // namespace
