// Package locating and reading: set file, attached package, magic, header
// values, texts, branding, flow data, and malformed packages.
#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "pal/pal.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Escapes text so that a death test matches it literally.
std::string literal(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::strchr("\\^$.|?*+()[]{}", c)) out += '\\';
    out += c;
  }
  return out;
}

std::string alertPattern(const std::string& title, const std::string& text) {
  return literal("ALERT 1 " + title + " | " + text);
}

void lopsidedRow(int32_t f, int32_t y, unsigned char* bgr, int32_t width) {
  for (int32_t x = 0; x < width; ++x) {
    bgr[x * 3] = static_cast<unsigned char>(10 * x + f);
    bgr[x * 3 + 1] = static_cast<unsigned char>(40 * y);
    bgr[x * 3 + 2] = static_cast<unsigned char>(200 - f * 50);
  }
}

PackageFixture threeFrames() {
  PackageFixture fx;
  fx.frames.resize(3);
  fx.frames[0].name = "Start";
  fx.frames[0].note = "Click in a red box";
  fx.frames[0].instrs = {InstrRec{0, -1, 'L', {1, 1, 4, 3}}, InstrRec{0, 2, 'K', {13, 0, 0, 0}}};
  fx.frames[1].noteX = 12;
  fx.frames[1].noteY = 0;
  fx.frames[1].instrs = {InstrRec{0, 2, 'T', {1500, 0, 0, 0}}};
  fx.frames[2].name = "End";
  fx.frames[2].note = "Two\r\nlines";
  fx.homeFrame = 1;
  fx.redBoxMode = 2;
  fx.noteMode = 1;
  fx.windowMode = 1;
  fx.row = [w = fx.width](int32_t f, int32_t y, unsigned char* bgr) { lopsidedRow(f, y, bgr, w); };
  return fx;
}

class Package : public testing::Test {
 protected:
  void SetUp() override { resetRuntime(); }
  void TearDown() override { resetRuntime(); }

  // Writes the package as a stand-alone file with a set file naming it.
  void writeStandAlone(const std::vector<unsigned char>& bytes, const std::string& setLine = ">Demo.PMP\n") {
    ASSERT_TRUE(writeBytes(dir.file("Demo.PMP"), bytes));
    ASSERT_TRUE(writeBytes(dir.file("PMP_set.txt"), std::vector<unsigned char>(setLine.begin(), setLine.end())));
    std::snprintf(gPathToFiles, PKG_PATH_LEN, "%s/", dir.path().c_str());
  }
  // Writes the package behind the marker at the end of a program file.
  void writeAttached(const std::vector<unsigned char>& bytes, std::vector<unsigned char> program) {
    const std::vector<unsigned char> marker = packageMarker();
    program.insert(program.end(), marker.begin(), marker.end());
    program.insert(program.end(), bytes.begin(), bytes.end());
    ASSERT_TRUE(writeBytes(dir.file("Presenter"), program));
    std::snprintf(gPathToFiles, PKG_PATH_LEN, "%s/", dir.path().c_str());
    std::snprintf(gpal_ExePath, PAL_PATH_LEN, "%s", dir.file("Presenter").c_str());
  }
  void load() {
    setDemoParams();
    loadMetaData();
  }
  std::string text(int64_t index) {
    char out[DEMO_TEXT_LEN];
    return demoGetTextValue(static_cast<int32_t>(index), out) == 0 ? out : "<none>";
  }

  TempDir dir;
};

TEST_F(Package, StandAloneHeaderAndFlowReachTheModel) {
  writeStandAlone(buildPackage(threeFrames()));
  load();
  EXPECT_EQ(gDemoFilePath, dir.file("Demo.PMP"));
  EXPECT_EQ(gDemoPackageOffsetBytes[PKG_OFF_START], 0);
  EXPECT_EQ(gDemoPackageVals[PKG_VAL_SKIP_SPLASH], 0);
  EXPECT_STREQ(gDemoPackageStrings.title, "Fixture Demo");
  EXPECT_STREQ(gDemoPackageStrings.description, "A demo made by the tests");
  EXPECT_EQ(gDemoPackageVals[PKG_VAL_DATE], 918550);
  EXPECT_EQ(gDemoPackageVals[PKG_VAL_HOME_FRAME], 1);
  EXPECT_EQ(gFrameCount, 3);
  EXPECT_EQ(gCropSize[0], 0);
  EXPECT_EQ(gCropSize[2], 6);
  EXPECT_EQ(gCropSize[3], 5);
  EXPECT_EQ(gPlayerFlags.statusMode, -1);
  EXPECT_EQ(gPlayerFlags.windowMode, 1);
  EXPECT_EQ(gPlayerFlags.redBoxMode, 2);
  EXPECT_EQ(gPlayerFlags.noteMode, 1);
  EXPECT_EQ(gDemoPackageLineCount, 15);  // every row of the three frames differs

  EXPECT_EQ(text(gFrameData[0].nameText), "Start");
  EXPECT_EQ(text(gFrameData[0].noteText), "Click in a red box");
  EXPECT_EQ(text(gFrameData[1].nameText), "");
  EXPECT_EQ(text(gFrameData[2].noteText), "Two\r\nlines");
  EXPECT_EQ(gFrameData[0].noteX, DEMO_NO_POSITION);
  EXPECT_EQ(gFrameData[1].noteX, 12);
  EXPECT_EQ(gFrameData[1].noteY, 0);
  EXPECT_EQ(gFrameData[1].frameId, 0);

  ASSERT_EQ(gInstrCount, 3);
  const InstrRec& l = gInstrData[0];
  EXPECT_EQ(l.frame, 0);
  EXPECT_EQ(l.target, 1);  // the writer makes default targets explicit
  EXPECT_EQ(l.type, 'L');
  EXPECT_EQ(l.v[2], 4);
  EXPECT_EQ(gInstrData[1].type, 'K');
  EXPECT_EQ(gInstrData[1].v[0], 13);
  EXPECT_EQ(gInstrData[2].frame, 1);
  EXPECT_EQ(gInstrData[2].v[0], 1500);
}

TEST_F(Package, BrandingValuesAndBoundedTexts) {
  PackageFixture fx = threeFrames();
  uint32_t values[44] = {};
  for (int i = 0; i < 44; ++i) values[i] = 1000u * i + 7;
  values[14] = 0xFFEEDDCC;
  fx.branding = fixtureBranding(values, 0x010203, 5);
  fx.title = std::string(6000, 'T');  // longer than the title buffer
  writeStandAlone(buildPackage(fx));
  load();
  EXPECT_EQ(std::strlen(gDemoPackageStrings.title), size_t{PKG_TITLE_LEN - 1});
  const int64_t brand = gDemoPackageOffsetBytes[PKG_OFF_BRANDING];
  EXPECT_EQ(getBrandingVal(gDemoFilePath, brand, 4), 4007u);
  EXPECT_EQ(getBrandingVal(gDemoFilePath, brand, 14), 0xFFEEDDCCu);
  EXPECT_EQ(getBrandingVal(gDemoFilePath, brand, 43), 43007u);
  EXPECT_EQ(getPkgValue(gDemoFilePath, 0, PKG_E_SIZE, 1), 5);
  char small[4];
  EXPECT_EQ(getPkgValue(gDemoFilePath, 0, PKG_E_DESCRIPTION, 0, small, sizeof small), 3);
  EXPECT_STREQ(small, "A d");
}

TEST_F(Package, AttachedAndStandAloneFormsReadIdentically) {
  const std::vector<unsigned char> bytes = buildPackage(threeFrames());
  writeStandAlone(bytes);
  load();
  std::vector<FrameRec> frames(gFrameData, gFrameData + gFrameCount);
  std::vector<InstrRec> instrs(gInstrData, gInstrData + gInstrCount);
  pal_InitWinBuf(1, 6, 5);
  pkgFrameToBuff(2);
  std::vector<uint32_t> pixels;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) pixels.push_back(pixelColour(1, x, y));

  resetRuntime();
  std::remove(dir.file("PMP_set.txt").c_str());
  // A program whose bytes hold broken beginnings of the marker before the real one.
  std::vector<unsigned char> program = {0x7F, 'E', 'L', 'F', 0, 1, 2, 3, 9, 0, 0, 1, 2, 0, 1};
  program.resize(5000, 0x90);
  writeAttached(bytes, program);
  load();
  EXPECT_EQ(gDemoFilePath, dir.file("Presenter"));
  EXPECT_EQ(gDemoPackageOffsetBytes[PKG_OFF_START], 5000 + 99);
  ASSERT_EQ(gFrameCount, static_cast<int32_t>(frames.size()));
  ASSERT_EQ(gInstrCount, static_cast<int32_t>(instrs.size()));
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(gFrameData[i].nameText, frames[i].nameText);
    EXPECT_EQ(gFrameData[i].noteX, frames[i].noteX);
  }
  EXPECT_EQ(std::memcmp(gInstrData, instrs.data(), instrs.size() * sizeof(InstrRec)), 0);
  pal_InitWinBuf(1, 6, 5);
  pkgFrameToBuff(2);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(pixelColour(1, x, y), pixels[y * 6 + x]);
}

TEST_F(Package, MarkerAfterAStrayZeroIsFound) {
  std::vector<unsigned char> file = {5, 0};
  const std::vector<unsigned char> marker = packageMarker();
  file.insert(file.end(), marker.begin(), marker.end());
  file.push_back('P');
  ASSERT_TRUE(writeBytes(dir.file("prog"), file));
  EXPECT_EQ(demoFindAttachedPackage(dir.file("prog").c_str()), 2 + 99);
  // A marker broken off at 50 and started again is found at its second start.
  std::vector<unsigned char> broken(marker.begin(), marker.begin() + 50);
  broken.push_back(7);
  broken.insert(broken.end(), marker.begin(), marker.end());
  ASSERT_TRUE(writeBytes(dir.file("prog2"), broken));
  EXPECT_EQ(demoFindAttachedPackage(dir.file("prog2").c_str()), 51 + 99);
  ASSERT_TRUE(writeBytes(dir.file("none"), std::vector<unsigned char>(marker.begin(), marker.end() - 1)));
  EXPECT_EQ(demoFindAttachedPackage(dir.file("none").c_str()), 0);
  EXPECT_EQ(demoFindAttachedPackage(dir.file("missing").c_str()), -1);
}

TEST_F(Package, SetFileCaretSkipsTheSplashAndPathEndsAtControlBytes) {
  writeStandAlone(buildPackage(threeFrames()), "^>Demo.PMP\r\nignored");
  load();
  EXPECT_EQ(gDemoPackageVals[PKG_VAL_SKIP_SPLASH], 1);
  EXPECT_EQ(gFrameCount, 3);
  char path[PKG_PATH_LEN];
  int32_t skip = -1;
  const std::string line = ">sub/D\xC3\xA9mo.PMP\x0Fignored";  // letters stay in the path; a control byte ends it
  ASSERT_TRUE(writeBytes(dir.file("PMP_set.txt"), std::vector<unsigned char>(line.begin(), line.end())));
  EXPECT_EQ(demoReadSetFile(gPathToFiles, path, &skip), 1);
  EXPECT_EQ(std::string(path), dir.path() + "/sub/D\xC3\xA9mo.PMP");
  EXPECT_EQ(skip, 0);
}

TEST_F(Package, ZeroFramesLoadWithoutReadingPastTheFirstSeparator) {
  PackageFixture fx = threeFrames();
  fx.frames.clear();
  std::vector<unsigned char> bytes = buildPackage(fx);
  bytes.push_back('x');  // garbage after the flow's 254 is never read
  writeStandAlone(bytes);
  load();
  EXPECT_EQ(gFrameCount, 0);
  EXPECT_EQ(gInstrCount, 0);
}

TEST_F(Package, NameLengthsAndNotePositions) {
  PackageFixture fx = threeFrames();
  fx.frames[0].name = std::string(998, 'n');
  fx.frames[1].name = std::string(999, 'm');
  fx.frames[2].name = std::string(6000, 'o');
  fx.frames[2].noteX = -999;
  fx.frames[2].noteY = 0;
  std::vector<unsigned char> bytes = buildPackage(fx);
  writeStandAlone(bytes);
  load();
  EXPECT_EQ(text(gFrameData[0].nameText), std::string(998, 'n'));
  EXPECT_EQ(gFrameData[1].nameText, -1);
  EXPECT_EQ(gFrameData[2].nameText, -1);
  EXPECT_EQ(text(gFrameData[2].noteText), "Two\r\nlines");  // reading went on past the long name
}

TEST_F(Package, NegativeNumbersCarryTheirSign) {
  PackageFixture fx = threeFrames();
  fx.frames[1].noteX = -999;  // default placement, written 99999
  std::vector<unsigned char> bytes = buildPackage(fx);
  // Rewrite frame 1's noteY "00000" as "-0999".
  const std::vector<unsigned char> flow = buildFlowData(fx);
  const size_t flowAt = bytes.size() - flow.size();
  const std::string frame1 = std::string(1, '\xfe') + std::string(1, '\xfe') + "9999900000";
  const std::string all(flow.begin(), flow.end());
  const size_t at = all.find(frame1);
  ASSERT_NE(at, std::string::npos);
  std::memcpy(&bytes[flowAt + at + 7], "-0999", 5);
  writeStandAlone(bytes);
  load();
  EXPECT_EQ(gFrameData[1].noteX, DEMO_NO_POSITION);
  EXPECT_EQ(gFrameData[1].noteY, -999);
}

TEST_F(Package, EmptyNameAndNoteAreTwoSeparators) {
  PackageFixture fx = threeFrames();
  fx.frames.resize(1);
  fx.frames[0] = FixtureFrame{};
  const std::vector<unsigned char> flow = buildFlowData(fx);
  ASSERT_GE(flow.size(), 3u);
  EXPECT_EQ(flow[0], 254);
  EXPECT_EQ(flow[1], 254);
  EXPECT_EQ(flow[2], 254);
  EXPECT_EQ(std::string(flow.begin() + 3, flow.begin() + 18), "999999999900000");
}

TEST_F(Package, RealPackageDirectoryFigures) {
  // 83 frames of 1282 x 722 with 20,264 distinct rows, 240 bytes of texts,
  // a branding block with one further byte, and 4,881 bytes of flow data.
  PackageFixture fx;
  fx.width = 1282;
  fx.height = 722;
  fx.title = std::string(40, 't');
  fx.description = std::string(200, 'd');
  fx.redBoxMode = 2;
  fx.noteMode = 2;
  fx.frames.resize(83);
  for (int f = 0; f < 83; ++f) {
    fx.frames[f].name = std::string(f < 66 ? 10 : 9, 'a' + f % 26);
    fx.frames[f].instrs = {InstrRec{0, -1, 'T', {500, 0, 0, 0}}};
  }
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    std::memset(bgr, 0, 1282 * 3);
    const uint32_t id = static_cast<uint32_t>(f * 722 + y) % 20264;
    bgr[0] = id & 0xFF;
    bgr[1] = (id >> 8) & 0xFF;
    bgr[3844] = (id >> 16) & 0xFF;
  };
  PackageDirectory d;
  const std::vector<unsigned char> bytes = buildPackage(fx, &d);
  EXPECT_EQ(d.a[0], 30u);
  EXPECT_EQ(d.b[0], 1620661u);
  EXPECT_EQ(d.a[1], 1620671u);
  EXPECT_EQ(d.b[1], 179778u);
  EXPECT_EQ(d.a[2], 1800449u);
  EXPECT_EQ(d.b[2], 77935344u);
  EXPECT_EQ(d.a[3], 79735793u);
  EXPECT_EQ(d.b[3], 4881u);
  EXPECT_EQ(d.a[26], 490u);
  EXPECT_EQ(d.b[26], 1620181u);
  EXPECT_EQ(bytes.size(), 79740674u);

  writeStandAlone(bytes);
  load();
  EXPECT_EQ(gFrameCount, 83);
  EXPECT_EQ(gDemoPackageLineCount, 20264);
  EXPECT_EQ(gInstrCount, 83);
  EXPECT_EQ(gInstrData[82].target, 83);  // the last frame's default target is the frame count
  pal_InitWinBuf(1, 1282, 722);
  pkgFrameToBuff(82);
  const uint32_t id = (82 * 722 + 721) % 20264;
  EXPECT_EQ(pixelColour(1, 0, 721), ((id >> 8) & 0xFF) << 8 | (id & 0xFF));
  EXPECT_EQ(pixelColour(1, 1281, 721), (id >> 16) & 0xFF);
}

TEST_F(Package, ReadThroughRaisesTheFlag) {
  writeStandAlone(buildPackage(threeFrames()));
  setDemoParams();
  gBaseTimestamp = 0;
  readWholePackage();
  EXPECT_EQ(gBaseTimestamp.load(), 1);
}

// ---- Packages that cannot be presented ------------------------------------

class BadPackage : public Package {
 protected:
  std::vector<unsigned char> good() { return buildPackage(threeFrames()); }
  size_t flowAt(const std::vector<unsigned char>& bytes) { return bytes.size() - buildFlowData(threeFrames()).size(); }
  void expectCorrupt(const std::vector<unsigned char>& bytes, const std::string& title) {
    writeStandAlone(bytes);
    EXPECT_EXIT(load(), testing::ExitedWithCode(1),
                alertPattern(title, "Could not read package: " + dir.file("Demo.PMP")));
  }
};

TEST_F(BadPackage, MagicDiffersInAnyOfNineBytes) {
  for (int i = 0; i < 9; ++i) {
    std::vector<unsigned char> bytes = good();
    bytes[i] ^= 0x20;
    writeStandAlone(bytes);
    EXPECT_EXIT(load(), testing::ExitedWithCode(1),
                alertPattern("Fatal", "Bad Package format in '" + dir.file("Demo.PMP") + "'"))
        << "byte " << i;
  }
  std::vector<unsigned char> bytes = good();
  bytes[9] = '!';  // the tenth byte is not compared
  writeStandAlone(bytes);
  load();
  EXPECT_EQ(gFrameCount, 3);
}

TEST_F(BadPackage, ProgramWithoutAttachmentReadsItsOwnStartAsMagic) {
  ASSERT_TRUE(writeBytes(dir.file("Presenter"), {0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0}));
  std::snprintf(gPathToFiles, PKG_PATH_LEN, "%s/", dir.path().c_str());
  std::snprintf(gpal_ExePath, PAL_PATH_LEN, "%s", dir.file("Presenter").c_str());
  EXPECT_EXIT(setDemoParams(), testing::ExitedWithCode(1),
              alertPattern("Fatal", "Bad Package format in '" + dir.file("Presenter") + "'"));
  std::snprintf(gpal_ExePath, PAL_PATH_LEN, "%s", dir.file("gone").c_str());
  EXPECT_EXIT(setDemoParams(), testing::ExitedWithCode(1),
              alertPattern("Fatal", "Pictomira Presenter cannot find an attached Package"));
}

TEST_F(BadPackage, SetFileNamingNothingUsable) {
  writeStandAlone(good(), ">Other.PMP\n");
  EXPECT_EXIT(setDemoParams(), testing::ExitedWithCode(1),
              alertPattern("Fatal", "Pictomira Presenter cannot find a Package at '" + dir.file("Other.PMP") + "'"));
  writeStandAlone(good(), "^Demo.PMP\n");  // no ">": no path at all
  EXPECT_EXIT(setDemoParams(), testing::ExitedWithCode(1),
              alertPattern("Fatal", "Pictomira Presenter cannot find a Package at ''"));
}

TEST_F(BadPackage, FlowSeparatorsMissing) {
  std::vector<unsigned char> bytes = good();
  const size_t at = flowAt(bytes);
  bytes[at] = 'x';
  expectCorrupt(bytes, "Fatal Err010");

  bytes = good();
  // Frame 0: "Start" 254 "Click in a red box" 254, three numbers, then its 254.
  const size_t afterNumbers = at + 1 + 6 + 19 + 15;
  ASSERT_EQ(bytes[afterNumbers], 254);
  bytes[afterNumbers] = '0';
  expectCorrupt(bytes, "Fatal Err013");

  bytes = good();
  const size_t afterInstr = afterNumbers + 1 + 30;
  ASSERT_EQ(bytes[afterInstr], 254);
  bytes[afterInstr] = '1';
  expectCorrupt(bytes, "Fatal Err015");
}

TEST_F(BadPackage, FieldsCutShortByTheEndOfTheFile) {
  const std::vector<unsigned char> full = good();
  const size_t at = flowAt(full);
  const size_t cuts[][2] = {{at + 3, 13},    // inside the first name
                            {at + 30, 13},   // inside the first frame's numbers
                            {at + 50, 15},   // inside an instruction
                            {full.size() - 1, 13}};  // the last frame's instruction count separator
  for (const auto& cut : cuts) {
    std::vector<unsigned char> bytes(full.begin(), full.begin() + static_cast<long>(cut[0]));
    expectCorrupt(bytes, cut[1] == 13 ? "Fatal Err013" : "Fatal Err015");
  }
}

TEST_F(BadPackage, CountsThatLie) {
  std::vector<unsigned char> bytes = good();
  bytes[10 + 8 * 18 + 3] = 4;  // four frames, flow data for three
  expectCorrupt(bytes, "Fatal Err013");

  bytes = good();
  bytes[10 + 8 * 18 + 1] = 2;  // 131,075 frames: more than the table holds
  expectCorrupt(bytes, "Fatal Err011");

  bytes = good();
  const size_t count = flowAt(bytes) + 1 + 6 + 19 + 10;  // frame 0's instruction count
  std::memcpy(&bytes[count], "00499", 5);
  expectCorrupt(bytes, "Fatal Err013");

  bytes = good();
  std::memcpy(&bytes[count], "-0001", 5);
  expectCorrupt(bytes, "Fatal Err013");
}

TEST_F(BadPackage, HeaderPromisesMoreThanTheFileHolds) {
  std::vector<unsigned char> bytes = good();
  bytes[10 + 8 * 19 + 3] = 0;  // width 0 with frames present
  expectCorrupt(bytes, "Fatal Err011");

  bytes = good();
  bytes[10 + 8 * 19 + 1] = 0x10;  // width beyond 99,999
  expectCorrupt(bytes, "Fatal Err011");

  bytes = good();
  bytes[10 + 8 * 1 + 1] = 0x7F;  // line tables beyond the flow data
  expectCorrupt(bytes, "Fatal Err011");

  bytes = good();
  bytes[10 + 8 * 16 + 5] = 0x7F;  // description running past the end of the file
  expectCorrupt(bytes, "Fatal Err011");

  bytes = good();
  bytes.resize(120);  // cut inside the directory
  expectCorrupt(bytes, "Fatal Err011");

  bytes = good();
  bytes.resize(flowAt(bytes) - 10);  // cut inside the pool: the flow data is gone
  expectCorrupt(bytes, "Fatal Err010");
}

TEST_F(BadPackage, PackageVanishesBeforeItIsRead) {
  writeStandAlone(good());
  setDemoParams();
  std::remove(gDemoFilePath);
  EXPECT_EXIT(loadMetaData(), testing::ExitedWithCode(1), alertPattern("Exiting...", "Unexpected Err PKGread008"));
  EXPECT_EXIT(readWholePackage(), testing::ExitedWithCode(1),
              alertPattern("Fatal ErrRWP002", "Could not read package: " + dir.file("Demo.PMP")));
  EXPECT_EXIT(getBrandingVal(gDemoFilePath, 0, 1), testing::ExitedWithCode(1),
              alertPattern("Fatal Err GBV 2", "Could not read package: " + dir.file("Demo.PMP")));
}

}  // namespace
