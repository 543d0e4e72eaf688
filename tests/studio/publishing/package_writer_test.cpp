// The unreachable-frame scrub, and preparation and packaging of demos
// written by the demo fixture: the Linux wrapped file is taken apart, its
// package rebuilt and read back through the Presenter's reader.
#include "studio/publishing/package_writer.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "pal/pal.h"
#include "studio/capture/demo_files.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstring>
#include <ctime>
#include <functional>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

// ---- Scrub --------------------------------------------------------------------------

struct ScrubCase {
  const char* what;
  int frames;
  int32_t homeId;                              // header value 2; frame i has frameId 100 + i
  std::vector<std::array<int32_t, 2>> instrs;  // owning frame, target (types alternate T, L)
  std::vector<int64_t> keptIds;
  std::vector<std::array<int32_t, 2>> after;
  int zeroIdAt = -1;                           // a frame whose frameId is 0
};

void buildScrubModel(const ScrubCase& c) {
  resetRuntime();
  gHeaderCount = 3;
  gHeaderData[2] = c.homeId;
  gFrameCount = c.frames;
  for (int f = 0; f < c.frames; ++f) gFrameData[f] = FrameRec{-1, f == c.zeroIdAt ? 0 : 100 + f, 0, 0, -1, -999, -999};
  gInstrCount = static_cast<int32_t>(c.instrs.size());
  for (int i = 0; i < gInstrCount; ++i)
    gInstrData[i] = InstrRec{c.instrs[i][0], c.instrs[i][1], i % 2 ? 'L' : 'T', {i, 0, 0, 0}};
}

TEST(Scrub, KeepsWhatInstructionsReachAndRenumbers) {
  const ScrubCase cases[] = {
      {"a reachable chain is kept", 4, 0, {{0, -1}, {1, 2}, {2, 3}}, {100, 101, 102, 103}, {{0, -1}, {1, 2}, {2, 3}}},
      {"an unreachable chain goes", 5, 0, {{0, -1}, {1, 1}, {2, -1}, {3, 4}}, {100, 101}, {{0, -1}, {1, 1}}},
      {"the home frame is a root", 5, 103, {{3, -1}, {2, 0}}, {100, 103, 104}, {{1, -1}}},
      {"header value 0 names no home", 3, 0, {{2, -1}}, {100}, {}, 2},
      {"one frame stays", 1, 0, {{0, 5000}, {0, -1}}, {100}, {{0, 5000}, {0, -1}}},
      {"frame 5 of 10 goes",
       10,
       0,
       {{0, -1}, {1, -1}, {2, -1}, {3, -1}, {4, 6}, {5, 6}, {6, -1}, {7, 9}, {7, 8}, {8, -1}, {-3, 5}},
       {100, 101, 102, 103, 104, 106, 107, 108, 109},
       {{0, -1}, {1, -1}, {2, -1}, {3, -1}, {4, 5}, {5, -1}, {6, 8}, {6, 7}, {7, -1}, {-3, 4}}},
      {"damaged targets lead nowhere", 4, 0, {{0, 5000}, {0, -7}, {0, 1}, {2, 3}, {9000, 2}}, {100, 101},
       {{0, 4998}, {0, -7}, {0, 1}, {8998, 1}}},
  };
  for (const ScrubCase& c : cases) {
    SCOPED_TRACE(c.what);
    buildScrubModel(c);
    scrubUnreachableFrames();
    std::vector<int64_t> ids;
    for (int f = 0; f < gFrameCount; ++f) ids.push_back(gFrameData[f].frameId);
    EXPECT_EQ(ids, c.keptIds);
    std::vector<std::array<int32_t, 2>> after;
    for (int i = 0; i < gInstrCount; ++i) after.push_back({gInstrData[i].frame, gInstrData[i].target});
    EXPECT_EQ(after, c.after);
    EXPECT_EQ(gPackageProgress, 1000);
  }
}

TEST(Scrub, FreesTheTextsOfRemovedFramesExceptSharedNotes) {
  resetRuntime();
  const int32_t shared = demoStoreNewTextValue("shared note"), lostName = demoStoreNewTextValue("lost");
  const int32_t ownNote = demoStoreNewTextValue("own note"), keptName = demoStoreNewTextValue("kept");
  gFrameCount = 3;
  gFrameData[0] = FrameRec{keptName, 0, 0, 0, shared, -999, -999};
  gFrameData[1] = FrameRec{lostName, 1, 0, 0, ownNote, -999, -999};
  gFrameData[2] = FrameRec{-1, 2, 0, 0, shared, -999, -999};
  gInstrCount = 0;
  testing::internal::CaptureStdout();
  scrubUnreachableFrames();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ScrubUnreachBefore: 3 \nScrubUnreachAfter: 1 \n");
  char text[DEMO_TEXT_LEN];
  EXPECT_EQ(demoGetTextValue(shared, text), 0);
  EXPECT_EQ(demoGetTextValue(keptName, text), 0);
  EXPECT_EQ(demoGetTextValue(lostName, text), -2);
  EXPECT_EQ(demoGetTextValue(ownNote, text), -2);
}

// ---- Taking a wrapped file apart ----------------------------------------------------------

struct Wrapped {
  std::string program, name;
  uint32_t values[18] = {};
  std::vector<std::string> pieces;
};

uint32_t be32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

// Splits a wrapped file at its marker; false when it is not well formed.
bool unwrap(const std::string& file, Wrapped* w) {
  size_t start = 0;
  for (int expected = 0; start < file.size() && expected < 99; ++start) {
    const auto b = static_cast<unsigned char>(file[start]);
    expected = b == expected ? expected + 1 : (b == 0 ? 1 : 0);
  }
  if (start + 82 > file.size() || file.compare(start, 10, "PMwrap_v01") != 0) return false;
  w->program = file.substr(0, start - 99);
  size_t at = start + 82;
  for (int i = 0; i < 18; ++i) w->values[i] = be32(file, start + 10 + 4 * i);
  for (int i = 0; i < 10; ++i) {
    if (at + w->values[i] > file.size()) return false;
    w->pieces.push_back(file.substr(at, w->values[i]));
    at += w->values[i];
  }
  if (at >= file.size() || static_cast<unsigned char>(file[at]) != 255) return false;
  w->name = file.substr(at + 1);
  return true;
}

// Expands a row-delta coded line pool of rows of width pixels.
std::string expand(const std::string& coded, size_t width) {
  const size_t row = width * 3, mask = (width + 7) / 8;
  std::string out = coded.substr(0, row);
  for (size_t at = row; at < coded.size();) {
    if (at + 3 + mask > coded.size()) return "cut short";
    const size_t ref = be32(std::string(1, '\0') + coded.substr(at, 3), 0);
    if (ref >= out.size() / row) return "reference ahead";
    std::string next = out.substr(ref * row, row);
    size_t value = at + 3 + mask;
    for (size_t x = 0; x < width; ++x) {
      if (!(static_cast<unsigned char>(coded[at + 3 + x / 8]) & (128 >> (x % 8)))) continue;
      if (value + 3 > coded.size()) return "values cut short";
      next.replace(x * 3, 3, coded, value, 3);
      value += 3;
    }
    out += next;
    at = value;
  }
  return out;
}

// ---- Preparation and packaging ------------------------------------------------------------

constexpr int32_t kScreenW = 24, kScreenH = 14;
constexpr int32_t kCrop[4] = {3, 2, 9, 7};

// Pixel (x, y) of screen f, blue, green, red: rows repeat every third line,
// frame 2 is redder, frame 4 repeats frame 3, frame 5 is frame 0 with the
// crop's last pixel changed.
void screenPixel(int32_t f, int32_t x, int32_t y, unsigned char* bgr) {
  const int32_t base = f == 4 ? 3 : (f == 5 ? 0 : f);
  bgr[0] = static_cast<unsigned char>(7 * x + 30 * (y % 3));
  bgr[1] = static_cast<unsigned char>(11 * (y % 3) + 40 * (base % 2));
  bgr[2] = static_cast<unsigned char>(5 * x + (base == 2 ? 90 : 0));
  if (f == 5 && x == kCrop[0] + kCrop[2] - 1 && y == kCrop[1] + kCrop[3] - 1) bgr[2] = 255;
}

InstrRec instr(int32_t target, int32_t type, int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  return InstrRec{0, target, type, {a, b, c, d}};
}

// Six frames; frame 2 is unreachable; the home frame is frame 4 (index 3 once frame 2 is gone).
DemoFixture sampleDemo() {
  DemoFixture fx;
  fx.screenW = kScreenW;
  fx.screenH = kScreenH;
  std::copy(kCrop, kCrop + 4, fx.crop);
  fx.homeFrameId = 4;
  fx.corners = 1;
  fx.keyEvery = 3;
  fx.frames = {
      {"Start", "Click OK", -999, -999, {instr(-1, 'L', 5, 4, 9, 8)}},
      {"Second\xFEhalf", "", 4, -3, {instr(3, 'T', -5)}},
      {"Lost", "Never shown", -999, -999, {instr(-1, 'T', 100)}},
      {"", "", -999, -999, {instr(-1, 'K', 13), instr(0, 'U', 6, 7, 8, 9)}},
      {"", "", -999, -999, {instr(5, 'M', 3, 2, 11, 8), instr(3, 'E', 2, 1, 4, 3)}},
      {"", "", -999, -999, {instr(-1, 'T', 250)}},
  };
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int32_t x = 0; x < kScreenW; ++x) screenPixel(f, x, y, bgr + 3 * x);
  };
  return fx;
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.insert(e.path().filename().string());
  return {names.begin(), names.end()};
}

std::string textOf(int64_t index) {
  char out[DEMO_TEXT_LEN] = "";
  return demoGetTextValue(static_cast<int32_t>(index), out) == 0 ? out : "(none)";
}

// Lets files grow to `bytes` at most while it lives, as on a disk that fills up.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  struct rlimit old_;
  void (*oldHandler_)(int);
};

class PackageWriter : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    std::memcpy(savedFolder_, gProgramFolder, sizeof savedFolder_);
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", "Alpha");
    gPackageCancel = 0;
    ::mkdir(dir.file("zPictomiraSystemFiles").c_str(), 0777);
    putSystemFiles();
  }
  void TearDown() override {
    resetRuntime();
    std::memcpy(gProgramFolder, savedFolder_, sizeof savedFolder_);
  }
  void putSystemFiles() {
    uint32_t values[44] = {};
    values[4] = 450;
    putSystemFile("GBA", fixtureBranding(values, 0x336699, 1));
    putSystemFile("UWL", {'U', 'W', 'L', '\n'});
    putSystemFile("ZPL", std::vector<unsigned char>(300000, 'z'));
    putSystemFile("UWW", {'U', 'W', 'W'});  // without ZPW: no Windows file
  }
  void putSystemFile(const std::string& name, const std::vector<unsigned char>& bytes) {
    ASSERT_TRUE(writeBytes(dir.file("zPictomiraSystemFiles/" + name), bytes));
  }
  void loadDemo(const DemoFixture& fx) {
    resetRuntime();
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Alpha", fx));
    std::copy(fx.crop, fx.crop + 4, gCropSize);
  }
  std::string output(const std::string& name) { return packageFolderPath(name) + name + " Linux"; }
  std::vector<std::string> pieces() {
    std::vector<std::string> found;
    for (const std::string& n : namesIn(demoFolderPath("Alpha")))
      if (n.rfind("tmp", 0) == 0) found.push_back(n);
    return found;
  }

  TempDir dir;
  char savedFolder_[sizeof gProgramFolder];
};

TEST_F(PackageWriter, LinuxFileCarriesThePackageOfTheScrubbedDemo) {
  const DemoFixture fx = sampleDemo();
  for (const int type : {PACKAGE_SMALL, PACKAGE_FAST}) {
    SCOPED_TRACE(type);
    loadDemo(fx);
    publishing::Failure why;
    ASSERT_EQ(preparePackage(&why), 1) << why.text();
    EXPECT_EQ(gPackagePhase, 3);
    EXPECT_EQ(gPackageProgress, 1000);
    const std::vector<WrapTarget> targets = wrapTargets();
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_TRUE(targets[0].possible);
    EXPECT_EQ(targets[1].missing, "UWM");
    EXPECT_EQ(targets[2].missing, "ZPW");
    PackageSettings settings{"Alpha Pack", "Try it", false, type};
    ASSERT_EQ(writePackages(settings, &why), 1) << why.text();
    EXPECT_EQ(gPackagePhase, 5);
    EXPECT_EQ(gPackageProgress, 1000);
    EXPECT_EQ(namesIn(packageFolderPath("Alpha Pack")), std::vector<std::string>{"Alpha Pack Linux"});
    EXPECT_TRUE(pieces().empty());
    struct stat st;
    ASSERT_EQ(::stat(output("Alpha Pack").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IXUSR, 0u);

    Wrapped w;
    ASSERT_TRUE(unwrap(slurp(output("Alpha Pack")), &w));
    EXPECT_EQ(w.program, "UWL\n");
    EXPECT_EQ(w.name, "Alpha Pack");
    EXPECT_EQ(w.pieces[4], std::string(300000, 'z'));
    EXPECT_EQ(w.values[5], 0u);
    EXPECT_EQ(w.values[14], 9u);
    EXPECT_EQ(w.values[15], 7u);
    const std::string pool = expand(w.pieces[2], 9);
    const std::string bytes = w.pieces[0] + w.pieces[1] + pool + w.pieces[3];
    ASSERT_TRUE(writeBytes(dir.file("P.PMP"), std::vector<unsigned char>(bytes.begin(), bytes.end())));

    // Rows are numbered in the order they first occur, each stored once.
    std::set<std::string> distinct;
    uint32_t nextNew = 0;
    for (size_t at = 0; at < w.pieces[1].size(); at += 3) {
      const uint32_t line = be32(std::string(1, '\0') + w.pieces[1].substr(at, 3), 0);
      ASSERT_LE(line, nextNew);
      nextNew += line == nextNew;
      distinct.insert(pool.substr(line * 27, 27));
    }
    EXPECT_EQ(pool.size(), nextNew * 27u);
    EXPECT_EQ(distinct.size(), nextNew);
    // Directory entries the Presenter does not check.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int date = (local.tm_year - 100) * 65536 + (local.tm_mon + 1) * 256 + local.tm_mday;
    EXPECT_EQ(be32(bytes, 10 + 8 * 12), static_cast<uint32_t>(date));
    EXPECT_EQ(be32(bytes, 10 + 8 * 20 + 4), 30u);
    EXPECT_EQ(be32(bytes, 10 + 8 * 22), 1u);
    EXPECT_EQ(be32(bytes, 10 + 8 * 2 + 4), pool.size());

    resetRuntime();
    PkgProblem problem;
    ASSERT_TRUE(demoReadPackage(dir.file("P.PMP").c_str(), 0, &problem)) << problem.detail;
    std::snprintf(gDemoFilePath, PKG_PATH_LEN, "%s", dir.file("P.PMP").c_str());
    EXPECT_STREQ(gDemoPackageStrings.title, "Alpha Pack");
    EXPECT_STREQ(gDemoPackageStrings.description, "Try it");
    EXPECT_EQ(gPlayerFlags.redBoxMode, 2);
    EXPECT_EQ(gPlayerFlags.noteMode, 2);
    EXPECT_EQ(gPlayerFlags.windowMode, 1);
    ASSERT_EQ(gFrameCount, 5);
    EXPECT_EQ(gDemoPackageVals[PKG_VAL_HOME_FRAME], 3);
    const char* names[] = {"Start", "Second half", "", "", ""};
    const char* notes[] = {"Click OK", "", "", "", ""};
    for (int f = 0; f < 5; ++f) {
      EXPECT_EQ(textOf(gFrameData[f].nameText), names[f]) << f;
      EXPECT_EQ(textOf(gFrameData[f].noteText), notes[f]) << f;
    }
    EXPECT_EQ(gFrameData[1].noteX, 4);
    EXPECT_EQ(gFrameData[1].noteY, -3);
    EXPECT_EQ(gFrameData[2].noteX, -999);
    // Rectangles relative to the crop; first values of the others, negative as 0; -1 as the next frame.
    const std::vector<std::array<int32_t, 7>> expected = {
        {0, 1, 'L', 2, 2, 6, 6},   {1, 2, 'T', 0, 0, 0, 0},  {2, 3, 'K', 13, 0, 0, 0}, {2, 0, 'U', 6, 0, 0, 0},
        {3, 4, 'M', 0, 0, 8, 6}, {3, 2, 'E', -1, -1, 1, 1}, {4, 5, 'T', 250, 0, 0, 0}};
    std::vector<std::array<int32_t, 7>> read;
    for (int i = 0; i < gInstrCount; ++i) {
      const InstrRec& in = gInstrData[i];
      read.push_back({in.frame, in.target, in.type, in.v[0], in.v[1], in.v[2], in.v[3]});
    }
    EXPECT_EQ(read, expected);
    const int32_t original[] = {0, 1, 3, 4, 5};
    pal_InitWinBuf(1, 9, 7);
    for (int f = 0; f < 5; ++f) {
      pkgFrameToBuff(f);
      for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 9; ++x) {
          unsigned char bgr[3];
          screenPixel(original[f], x + kCrop[0], y + kCrop[1], bgr);
          ASSERT_EQ(pixelColour(1, x, y), static_cast<uint32_t>(bgr[2] << 16 | bgr[1] << 8 | bgr[0]))
              << "frame " << f << " at " << x << "," << y;
        }
    }
  }
}

TEST_F(PackageWriter, MissingSystemFilesAreNamed) {
  struct Case {
    std::vector<const char*> remove;
    std::vector<const char*> says;
  } const cases[] = {
      {{"GBA"}, {"Missing Branding File - ", "zPictomiraSystemFiles/GBA' is missing"}},
      {{"ZPL"}, {"ZPL (Linux)", "UWM (MacOSX)", "ZPW (Windows)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says[0]);
    putSystemFiles();
    loadDemo(sampleDemo());
    for (const char* name : c.remove) std::remove(dir.file(std::string("zPictomiraSystemFiles/") + name).c_str());
    publishing::Failure why;
    ASSERT_EQ(preparePackage(&why), 1) << why.text();
    EXPECT_EQ(writePackages(PackageSettings{"Alpha Pack", "", true, PACKAGE_FAST}, &why), -1);
    for (const char* text : c.says) EXPECT_NE(why.text().find(text), std::string::npos) << why.text();
    EXPECT_TRUE(namesIn(packageFolderPath("Alpha Pack")).empty());
    EXPECT_TRUE(pieces().empty());
  }
}

TEST_F(PackageWriter, FailedWriteLeavesTheEarlierFileAsItWas) {
  loadDemo(sampleDemo());
  publishing::Failure why;
  ASSERT_EQ(preparePackage(&why), 1) << why.text();
  ASSERT_EQ(writePackages(PackageSettings{"Alpha Pack", "", true, PACKAGE_SMALL}, &why), 1) << why.text();
  const std::string earlier = slurp(output("Alpha Pack"));
  loadDemo(sampleDemo());
  ASSERT_EQ(preparePackage(&why), 1) << why.text();
  {
    // The header piece (1.6 MB) fits; the wrapped file (1.9 MB) does not.
    FileSizeLimit limit(1700000);
    EXPECT_EQ(writePackages(PackageSettings{"Alpha Pack", "Changed", true, PACKAGE_SMALL}, &why), -1);
  }
  EXPECT_NE(why.text().find("Alpha Pack Linux"), std::string::npos) << why.text();
  EXPECT_EQ(namesIn(packageFolderPath("Alpha Pack")), std::vector<std::string>{"Alpha Pack Linux"});
  EXPECT_TRUE(slurp(output("Alpha Pack")) == earlier);
  EXPECT_TRUE(pieces().empty());
}

TEST_F(PackageWriter, PreparationRefusesWhatAPackageCannotHold) {
  struct Case {
    const char* says;
    void (*change)();
  } const cases[] = {
      {"3,999 pixels", [] { gCropSize[2] = 4000; }},
      {"note's x position is 100000", [] { gFrameData[0].noteX = 100000; }},
      {"frame 5, the target of instruction 1 is 123455", [] { gInstrData[7].target = 123456; }},  // after the scrub
      {"value 1 of instruction 1 is -20003", [] { gInstrData[0].v[0] = -20000; }},
      {"498", [] {
         for (int i = 0; i < 499; ++i) gInstrData[gInstrCount++] = InstrRec{0, 0, 'K', {65, 0, 0, 0}};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    loadDemo(sampleDemo());
    c.change();
    publishing::Failure why;
    EXPECT_EQ(preparePackage(&why), -1);
    EXPECT_NE(why.text().find(c.says), std::string::npos) << why.text();
    EXPECT_TRUE(pieces().empty());
  }
}

// Each failure comes back with its alert's title and the code its text
// begins with, the reason after it; no piece and no unfinished file stays.
TEST_F(PackageWriter, FailuresCarryTheirAlertsTitleAndCode) {
  struct Case {
    const char* blocked;  // made a folder holding a file, so it cannot be written
    bool packaging;       // blocked after the preparation, before packaging
    const char* title;
    const char* code;
    std::function<void()> change = [] {};
  };
  const std::string gba = dir.file("zPictomiraSystemFiles/GBA");
  const Case cases[] = {
      {"tmpFlowDat.tmp", false, "Package Fail", "PKG Error F002"},
      {"tmpStackDat.tmp", false, "Package Fail", "PKG Error 002"},
      {"tmpLinesDat.tmp", false, "Package Fail", "PKG Error 002b"},
      {nullptr, true, "No GBA", "Missing Branding File", [&] { std::remove(gba.c_str()); }},
      {nullptr, true, "Bad GBA", "Bad Branding File", [&] { ::truncate(gba.c_str(), 1000); }},
      {nullptr, true, "Package Fail", "Unexpected Err PKG006lp",
       [&] { std::remove((demoFolderPath("Alpha") + "/tmpFlowDat.tmp").c_str()); }},
      {"tmpStackCompr.tmp", true, "Compress Package Fail", "Compr PKG Error 004"},
      {"tmpHeadDat.tmp", true, "Package Fail", "Unexpected Err PKG008"},
      {"../../Demo_Packages/Alpha Pack/.Alpha Pack Linux.partial", true, "WrapperWriteFail", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.title) + " " + c.code);
    putSystemFiles();
    loadDemo(sampleDemo());
    const std::string blocked = c.blocked == nullptr ? "" : demoFolderPath("Alpha") + "/" + c.blocked;
    const auto block = [&] { std::filesystem::create_directories(blocked + "/inside"); };
    publishing::Failure why;
    if (!c.packaging) {
      block();
      EXPECT_EQ(preparePackage(&why), -1);
    } else {
      ASSERT_EQ(preparePackage(&why), 1) << why.text();
      if (!blocked.empty()) block();
      c.change();
      EXPECT_EQ(writePackages(PackageSettings{"Alpha Pack", "", true, PACKAGE_SMALL}, &why), -1);
    }
    EXPECT_EQ(why.title, c.title);
    EXPECT_EQ(why.code, c.code);
    EXPECT_EQ(why.text().rfind(c.code, 0), 0u) << why.text();
    EXPECT_GT(why.why.size(), 10u) << why.text();
    if (!blocked.empty()) std::filesystem::remove_all(blocked);
    EXPECT_TRUE(pieces().empty());
    EXPECT_TRUE(namesIn(packageFolderPath("Alpha Pack")).empty());
  }
}

TEST_F(PackageWriter, CancelStopsTheRowPassAndClearsTheFlag) {
  loadDemo(sampleDemo());
  gPackageCancel = 1;
  publishing::Failure why;
  EXPECT_EQ(preparePackage(&why), 0);
  EXPECT_EQ(gPackageCancel, 0);
  EXPECT_EQ(gPackagePhase, 3);
  EXPECT_TRUE(pieces().empty());
}

}  // namespace
