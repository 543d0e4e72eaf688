// Bitmap export and import on recorded demos written by the fixture
// builder: the file bytes, the reader's checks, the change rectangle, the
// import into visible and hidden frames with and without rewriting records,
// and what a failure or an interruption at each step of the import leaves.
#include "studio/editor/bitmap_io.h"

#include "studio/capture/demo_files.h"
#include "studio/editor/editor_state.h"
#include "studio/editor/frame_commands.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void writeBytes(const std::string& path, const Bytes& b) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}
bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}
uint32_t le32(const Bytes& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}
void setLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// Frame f's screen: a gradient with a 4 x 4 block of its own at (4 + 6f, 10),
// so each later record holds only the rectangle around two blocks.
void blockRow(int32_t f, int32_t y, int32_t width, unsigned char* bgr) {
  for (int32_t x = 0; x < width; ++x) {
    unsigned char* p = bgr + x * 3;
    p[0] = static_cast<unsigned char>(x * 3);
    p[1] = static_cast<unsigned char>(y * 5);
    p[2] = 90;
    if (y >= 10 && y < 14 && x >= 4 + 6 * f && x < 8 + 6 * f) {
      p[0] = static_cast<unsigned char>(40 * f);
      p[1] = 250;
      p[2] = static_cast<unsigned char>(200 - 20 * f);
    }
  }
}

class BitmapIo : public testing::Test {
 protected:
  void SetUp() override { makeDemo(); }
  void TearDown() override { gRewriteSeam = nullptr; }

  void makeDemo() {
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    std::snprintf(gCurrDemoName, sizeof gCurrDemoName, "%s", kName);
    DemoFixture fx;
    fx.screenW = 64;
    fx.screenH = 48;
    const int32_t crop[4] = {2, 4, 56, 40};
    std::copy(crop, crop + 4, fx.crop);
    std::copy(crop, crop + 4, gCropSize);
    for (int f = 0; f < 8; ++f) fx.frames.push_back({"f" + std::to_string(f), "", -999, -999, {{0, -1, 'T', {100}}}});
    fx.row = [](int32_t f, int32_t y, unsigned char* bgr) { blockRow(f, y, 64, bgr); };
    const std::string folder = dir.path() + "/Demos/" + kName;
    for (const char* leftover : {".DMR.new", ".DMD.new", ".DMR.old", ".import"})
      std::remove((folder + "/" + kName + leftover).c_str());
    ASSERT_TRUE(writeDemoFolder(dir.path(), kName, fx));
  }
  std::string folder() const { return dir.path() + "/Demos/" + kName; }
  std::string dmr() const { return folder() + "/" + kName + ".DMR"; }
  std::string dmd() const { return folder() + "/" + kName + ".DMD"; }
  std::string bmp(int n) const { return exportedImagePath(kName, n); }
  std::vector<FrameRec> frames() const { return std::vector<FrameRec>(gFrameData, gFrameData + gFrameCount); }

  // Frame number n's picture as the recording holds it now (hidden or not).
  Bytes picture(int64_t n) {
    const int64_t at = findFrameRecord(dmr(), frames(), n);
    Bytes out;
    EXPECT_GE(at, 0) << n;
    if (at >= 0) {
      EXPECT_TRUE(decodeRecordPicture(dmr(), at, gCropSize, &out)) << n;
    }
    return out;
  }
  // A bitmap of frame n's picture with the crop pixels of rect (x0, y0, x1, y1) set to colour.
  void writeChangedBitmap(int64_t n, const int32_t rect[4], const unsigned char bgr[3]) {
    Bytes pic = picture(n);
    for (int32_t y = rect[1]; y <= rect[3]; ++y)
      for (int32_t x = rect[0]; x <= rect[2]; ++x) std::memcpy(&pic[(y * gCropSize[2] + x) * 3], bgr, 3);
    writeBytes(bmp(static_cast<int>(n)), bmpEncode(pic.data(), gCropSize[2], gCropSize[3]));
  }
  ImportBitmap readIn(int64_t from, int64_t to) {
    ImportBitmap in;
    Outcome out;
    EXPECT_TRUE(readImportBitmap(from, &in, &out)) << (out.noticeCount ? out.notices[0].text : "");
    in.to = to;
    return in;
  }
  // Every frame's offsets name records, and the data file reads back to the model.
  void expectReadable() {
    for (int32_t f = 0; f < gFrameCount; ++f) {
      std::FILE* file = std::fopen(dmr().c_str(), "rb");
      ASSERT_NE(file, nullptr);
      RecordLine r;
      EXPECT_GE(recReadRecord(file, gFrameData[f].imageRefA, &r, nullptr), 0) << f;
      EXPECT_GE(recReadRecord(file, gFrameData[f].imageRefB, &r, nullptr), 0) << f;
      std::fclose(file);
    }
    const std::vector<FrameRec> model = frames();
    ASSERT_EQ(demoDataRead(dmd()), 1);
    ASSERT_EQ(frames().size(), model.size());
    for (size_t i = 0; i < model.size(); ++i) {
      EXPECT_EQ(gFrameData[i].imageRefA, model[i].imageRefA);
      EXPECT_EQ(gFrameData[i].imageRefB, model[i].imageRefB);
    }
  }

  static constexpr const char* kName = "Touch";
  TempDir dir;
};

const unsigned char kInk[3] = {1, 2, 3};

TEST(BitmapBytes, WideFrameRowsArePaddedToFourBytes) {
  const int32_t w = 1022, h = 3;
  Bytes pic(w * h * 3);
  for (size_t i = 0; i < pic.size(); ++i) pic[i] = static_cast<unsigned char>(i * 7 + 1);
  const Bytes file = bmpEncode(pic.data(), w, h);
  ASSERT_EQ(file.size(), 54u + 3068u * h);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  const uint32_t header[][2] = {{2, 54 + 3068 * h}, {6, 0}, {10, 54}, {14, 40}, {18, w}, {22, h}, {30, 0},
                                {34, 3068 * h},     {38, 0}, {42, 0},  {46, 0},  {50, 0}};
  for (const auto& field : header) EXPECT_EQ(le32(file, field[0]), field[1]) << "offset " << field[0];
  EXPECT_EQ(file[26] | file[27] << 8, 1);
  EXPECT_EQ(file[28] | file[29] << 8, 24);
  for (int32_t row = 0; row < h; ++row) {
    const size_t at = 54 + static_cast<size_t>(row) * 3068;
    const int32_t y = h - 1 - row;  // bottom row first
    EXPECT_EQ(0, std::memcmp(&file[at], &pic[y * w * 3], 3066)) << row;
    EXPECT_EQ(file[at + 3066], 0);
    EXPECT_EQ(file[at + 3067], 0);
  }
  Bytes back;
  ASSERT_EQ(bmpDecode(file.data(), file.size(), w, h, &back), BmpCheck::Ok);
  EXPECT_EQ(back, pic);
}

TEST(BitmapBytes, ReaderChecksTheFileBeforeTrustingIt) {
  const int32_t w = 5, h = 3;
  Bytes pic(w * h * 3);
  for (size_t i = 0; i < pic.size(); ++i) pic[i] = static_cast<unsigned char>(i + 10);
  const Bytes good = bmpEncode(pic.data(), w, h);
  // The same picture behind a 108-byte information header: rows from offset 122,
  // whatever the data-offset field says.
  Bytes v4(good.begin(), good.begin() + 54);
  v4.insert(v4.end(), 68, 0);
  v4.insert(v4.end(), good.begin() + 54, good.end());
  setLe32(v4, 14, 108);
  struct Case {
    const char* what;
    Bytes file;
    int32_t w, h;
    BmpCheck result;
  };
  auto edited = [&](size_t at, uint32_t v) {
    Bytes b = good;
    setLe32(b, at, v);
    return b;
  };
  const Case cases[] = {
      {"40-byte header", good, w, h, BmpCheck::Ok},
      {"108-byte header", v4, w, h, BmpCheck::Ok},
      {"empty", Bytes{}, w, h, BmpCheck::Corrupted},
      {"cut inside the header", Bytes(good.begin(), good.begin() + 30), w, h, BmpCheck::Corrupted},
      {"cut inside the rows", Bytes(good.begin(), good.end() - 1), w, h, BmpCheck::Corrupted},
      {"108 header cut short", Bytes(v4.begin(), v4.begin() + 100), w, h, BmpCheck::Corrupted},
      {"information header 12", edited(14, 12), w, h, BmpCheck::Corrupted},
      {"information header 296", edited(14, 296), w, h, BmpCheck::Corrupted},
      {"32 bits a pixel", edited(28, 32), w, h, BmpCheck::Corrupted},
      {"wrong width", good, w + 1, h, BmpCheck::WrongSize},
      {"wrong height", good, w, h - 1, BmpCheck::WrongSize},
      {"rows stored top-down", edited(22, static_cast<uint32_t>(-h)), w, h, BmpCheck::WrongSize},
  };
  for (const Case& c : cases) {
    Bytes back;
    EXPECT_EQ(bmpDecode(c.file.data(), c.file.size(), c.w, c.h, &back), c.result) << c.what;
    if (c.result == BmpCheck::Ok) {
      EXPECT_EQ(back, pic) << c.what;
    }
  }
}

// The crafted regression inputs of the fuzz harness, read through the same reader:
// each file's name says what the reader must make of it (for a 4 x 2 frame).
TEST(BitmapBytes, RegressionInputsOfTheFuzzHarness) {
  DIR* d = ::opendir(BITMAP_CORPUS_DIR);
  ASSERT_NE(d, nullptr);
  int seen = 0;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name[0] == '.') continue;
    const Bytes file = bytesOf(std::string(BITMAP_CORPUS_DIR) + "/" + name);
    Bytes back;
    const BmpCheck got = bmpDecode(file.data(), file.size(), 4, 2, &back);
    const BmpCheck want = name.rfind("ok_", 0) == 0     ? BmpCheck::Ok
                          : name.rfind("size_", 0) == 0 ? BmpCheck::WrongSize
                                                        : BmpCheck::Corrupted;
    EXPECT_EQ(got, want) << name;
    ++seen;
  }
  ::closedir(d);
  EXPECT_GE(seen, 4);
}

TEST(BitmapBytes, ChangeRectangleBoundsEveryDifference) {
  const int32_t w = 6, h = 4;
  Bytes a(w * h * 3, 9), b = a;
  EXPECT_TRUE(changeRect(a.data(), b.data(), w, h).empty());
  b[(1 * w + 4) * 3 + 2] = 0;
  b[(3 * w + 2) * 3] = 0;
  const ChangeRect r = changeRect(a.data(), b.data(), w, h);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.top, 1);
  EXPECT_EQ(r.right, 4);
  EXPECT_EQ(r.bottom, 3);
}

TEST_F(BitmapIo, ExportWritesTheCurrentFrameAndReadsBackAsNoDifference) {
  std::string path;
  ASSERT_TRUE(exportFrameBitmap(3, &path));
  EXPECT_EQ(path, bmp(3));
  EXPECT_FALSE(exists(path + ".part"));
  const Bytes file = bytesOf(path);
  ASSERT_EQ(file.size(), 54u + (3u * 56 + 0) * 40);
  Bytes back;
  ASSERT_EQ(bmpDecode(file.data(), file.size(), 56, 40, &back), BmpCheck::Ok);
  EXPECT_EQ(back, picture(3));

  struct Case {
    const char *from, *to, *title, *text;
  };
  writeBytes(bmp(5), bmpEncode(back.data(), 55, 40));
  const Case cases[] = {
      {"3", "", "No difference", "'3.bmp' already matches frame 3"},
      {"", "", "No 'From Frame#'", "Please Enter a frame number in 'From frame#'"},
      {"9", "", "Bad 'From Frame#'", "'From frame#' must be a visible frame"},
      {"3", "x", "Bad 'To Frame#'", "'To frame#' must be a visible frame"},
      {"3", "2", "Bad Frame#s", "'To frame#' must be equal to or greater than 'From frame#'"},
      {"4", "", "No import file found", "Could not find 'Demos/Touch/4.bmp'"},
      {"5", "6", "Bad import file size", "'5.bmp' is the wrong size - it must be 56 wide and 40 tall"},
  };
  for (const Case& c : cases) {
    Outcome out;
    int64_t from = 0, to = 0;
    ImportBitmap in;
    const bool ok = readImportRange(c.from, c.to, &out, &from, &to) && readImportBitmap(from, &in, &out);
    EXPECT_FALSE(ok) << c.from;
    ASSERT_EQ(out.noticeCount, 1) << c.from;
    EXPECT_EQ(out.notices[0].title, c.title);
    EXPECT_EQ(out.notices[0].text, c.text);
  }
}

TEST_F(BitmapIo, WideCropExportIsPaddedOnDisk) {
  std::snprintf(gCurrDemoName, sizeof gCurrDemoName, "Wide");
  DemoFixture fx;
  fx.screenW = 1024;
  fx.screenH = 4;
  const int32_t crop[4] = {1, 0, 1022, 3};
  std::copy(crop, crop + 4, fx.crop);
  std::copy(crop, crop + 4, gCropSize);
  fx.frames = {{"a", "", -999, -999, {{0, -1, 'T', {100}}}}};
  fx.row = [](int32_t, int32_t y, unsigned char* bgr) {
    for (int32_t x = 0; x < 1024 * 3; ++x) bgr[x] = static_cast<unsigned char>(x + y);
  };
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Wide", fx));
  std::string path;
  ASSERT_TRUE(exportFrameBitmap(0, &path));
  const Bytes file = bytesOf(path);
  ASSERT_EQ(file.size(), 54u + 3068u * 3);
  EXPECT_EQ(le32(file, 34), 3068u * 3);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(file[54 + row * 3068 + 3066], 0);
    EXPECT_EQ(file[54 + row * 3068 + 3067], 0);
    EXPECT_EQ(file[54 + row * 3068], static_cast<unsigned char>(3 + (2 - row)));  // column 1 of row 2 - row
  }
}

TEST_F(BitmapIo, SingleFrameImportHeldByItsRecordsRewritesOnlyChangedPixels) {
  // Frame 0 is the key record; record 1 holds screen x 4..13, y 10..13, so a
  // change at screen (6..7, 11) is held by both and needs no rewriting.
  const int32_t rect[4] = {6 - 2, 11 - 4, 7 - 2, 11 - 4};
  writeChangedBitmap(0, rect, kInk);
  const Bytes before = bytesOf(dmr());
  std::vector<Bytes> pictures;
  for (int n = 0; n < 8; ++n) pictures.push_back(picture(n));
  std::string why;
  ASSERT_EQ(runImport(readIn(0, 0), &why), 1) << why;
  const Bytes after = bytesOf(dmr());
  ASSERT_EQ(after.size(), before.size());
  size_t changed = 0;
  for (size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
  EXPECT_EQ(changed, 6u);  // two pixels of three bytes, each different in every byte
  Bytes want = pictures[0];
  for (int x = rect[0]; x <= rect[2]; ++x) std::memcpy(&want[(rect[1] * 56 + x) * 3], kInk, 3);
  EXPECT_EQ(picture(0), want);
  for (int n = 1; n < 8; ++n) EXPECT_EQ(picture(n), pictures[n]) << n;
  expectReadable();
}

TEST_F(BitmapIo, ImportExpandsRecordsAndLaterFramesKeepTheirPictures) {
  // Record 2 holds only screen x 10..19, y 10..13: a change at (40..42, 30..31)
  // makes it and record 3 whole-crop records.
  const int32_t rect[4] = {40 - 2, 30 - 4, 42 - 2, 31 - 4};
  writeChangedBitmap(2, rect, kInk);
  const int64_t sizeBefore = static_cast<int64_t>(bytesOf(dmr()).size());
  std::vector<Bytes> pictures;
  for (int n = 0; n < 8; ++n) pictures.push_back(picture(n));
  const std::vector<FrameRec> old = frames();
  std::string why;
  ASSERT_EQ(runImport(readIn(2, 2), &why), 1) << why;
  // Records 2 and 3 hold 10 x 4 and 10 x 4 pixels before, 56 x 40 after.
  const int64_t growth = 2 * (56 * 40 - 10 * 4) * 3;
  const int64_t lineGrowth = static_cast<int64_t>(bytesOf(dmr()).size()) - sizeBefore - growth;
  EXPECT_GE(lineGrowth, -8);  // the rectangles' digits
  EXPECT_LE(lineGrowth, 8);
  Bytes want = pictures[2];
  for (int y = rect[1]; y <= rect[3]; ++y)
    for (int x = rect[0]; x <= rect[2]; ++x) std::memcpy(&want[(y * 56 + x) * 3], kInk, 3);
  EXPECT_EQ(picture(2), want);
  for (int n = 0; n < 8; ++n)
    if (n != 2) {
      EXPECT_EQ(picture(n), pictures[n]) << n;
    }
  EXPECT_EQ(gFrameData[2].imageRefB, old[2].imageRefB);
  for (int f = 3; f < 8; ++f) EXPECT_GT(gFrameData[f].imageRefB, old[f].imageRefB) << f;
  EXPECT_EQ(gFrameData[7].imageRefB - old[7].imageRefB, static_cast<int64_t>(bytesOf(dmr()).size()) - sizeBefore);
  expectReadable();
  // The decoder of the model's offsets agrees.
  for (int f = 0; f < 8; ++f) {
    Bytes shown(56 * 40 * 3);
    ASSERT_GE(demoRecframeCroppedToMembuff(dmr().c_str(), gFrameData[f].imageRefA, gFrameData[f].imageRefB,
                                           gCropSize, shown.data(), 3, 1),
              0);
    EXPECT_EQ(shown, f == 2 ? want : pictures[f]) << f;
  }
}

TEST_F(BitmapIo, RangeImportChangesHiddenFramesToo) {
  ASSERT_FALSE(hideRange("3", "4").refused);
  const int32_t rect[4] = {30, 25, 33, 27};  // background in every frame
  writeChangedBitmap(2, rect, kInk);
  std::vector<Bytes> pictures;
  for (int n = 0; n < 8; ++n) pictures.push_back(picture(n));
  std::string why;
  ImportBitmap in = readIn(2, 5);
  ASSERT_EQ(runImport(in, &why), 1) << why;
  for (int n = 0; n < 8; ++n) {
    Bytes want = pictures[n];
    if (n >= 2 && n <= 5)
      for (int y = rect[1]; y <= rect[3]; ++y)
        for (int x = rect[0]; x <= rect[2]; ++x) std::memcpy(&want[(y * 56 + x) * 3], kInk, 3);
    EXPECT_EQ(picture(n), want) << n;
  }
  expectReadable();
  // Shown again, the hidden frames carry the imported pixels.
  ASSERT_EQ(showRange("3", "4", dmr()).count, 2);
  const int32_t f3 = frameIndexOfNumber(3);
  ASSERT_GE(f3, 0);
  Bytes shown(56 * 40 * 3);
  ASSERT_GE(demoRecframeCroppedToMembuff(dmr().c_str(), gFrameData[f3].imageRefA, gFrameData[f3].imageRefB, gCropSize,
                                         shown.data(), 3, 1),
            0);
  EXPECT_EQ(0, std::memcmp(&shown[(rect[1] * 56 + rect[0]) * 3], kInk, 3));
}

std::vector<std::string> entriesOf(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A failure or an interruption at each step, and an interruption at each
// step of the rollback that follows a failure, with and without hard links:
// after the start-up recovery the demo's files are as before or, once the
// journal said "commit" for good, as a completed import, and the folder holds
// exactly the files it held before.
TEST_F(BitmapIo, FailureOrInterruptionAtEachStepLeavesTheDemoWhole) {
  const int32_t rect[4] = {40 - 2, 30 - 4, 42 - 2, 31 - 4};  // needs expansion
  writeChangedBitmap(2, rect, kInk);
  const Bytes dmrBefore = bytesOf(dmr()), dmdBefore = bytesOf(dmd());
  const std::vector<std::string> entries = entriesOf(folder());
  std::string why;
  ASSERT_EQ(runImport(readIn(2, 2), &why), 1) << why;
  const Bytes dmrDone = bytesOf(dmr()), dmdDone = bytesOf(dmd());
  ASSERT_NE(dmrDone, dmrBefore);

  using S = RewriteStep;
  using A = SeamAction;
  struct Case {
    S fail, crash;      // Count: none
    A rollbackJournal;  // what writing "rollback" does
    int result, mended;
    bool finished;
  };
  std::vector<Case> cases;
  for (int s = 0; s <= static_cast<int>(S::RenameData); ++s) {
    const S step = static_cast<S>(s);
    cases.push_back({step, S::Count, A::Go, 0, 0, false});
    cases.push_back({S::Count, step, A::Go, 0, step == S::Expand ? 0 : 1, step > S::Journal});
  }
  for (S failed : {S::Backup, S::RenameRecording, S::RenameData}) {
    for (S crash : {S::RollbackJournal, S::RollbackRestore, S::RollbackRemove})
      cases.push_back({failed, crash, A::Go, 0, 1, crash == S::RollbackJournal});
    cases.push_back({failed, S::Count, A::Fail, 1, 0, true});  // no "rollback": finished instead
  }
  static const Case kNone{S::Count, S::Count, A::Go, 0, 0, false};
  static const Case* current;
  gRewriteSeam = [](S s) {
    if (s == current->fail) return A::Fail;
    if (s == current->crash) return A::Crash;
    return s == S::RollbackJournal ? current->rollbackJournal : A::Go;
  };
  for (bool links : {true, false}) {
    gRewriteLink = links ? ::link : [](const char*, const char*) {
      errno = EPERM;
      return -1;
    };
    for (const Case& c : cases) {
      current = &c;
      const std::string label = std::string(links ? "links" : "no links") + ", fail " +
                                std::to_string(static_cast<int>(c.fail)) + ", crash " +
                                std::to_string(static_cast<int>(c.crash));
      makeDemo();
      writeChangedBitmap(2, rect, kInk);
      const std::vector<FrameRec> model = frames();
      EXPECT_EQ(runImport(readIn(2, 2), &why), c.result) << label;
      if (c.crash == S::Count && c.result == 0) {
        for (size_t i = 0; i < model.size(); ++i) EXPECT_EQ(gFrameData[i].imageRefB, model[i].imageRefB) << label;
      }
      current = &kNone;  // the next start runs without the seam
      EXPECT_EQ(recoverInterruptedRewrites(), c.mended) << label;
      EXPECT_TRUE(bytesOf(dmr()) == (c.finished ? dmrDone : dmrBefore)) << label;
      EXPECT_TRUE(bytesOf(dmd()) == (c.finished ? dmdDone : dmdBefore)) << label;
      EXPECT_EQ(entriesOf(folder()), entries) << label;
      ASSERT_EQ(demoDataRead(dmd()), 1) << label;
      for (int32_t f = 0; f < gFrameCount; ++f) {
        Bytes shown(56 * 40 * 3);
        EXPECT_GE(demoRecframeCroppedToMembuff(dmr().c_str(), gFrameData[f].imageRefA, gFrameData[f].imageRefB,
                                               gCropSize, shown.data(), 3, 1),
                  0)
            << label << " frame " << f;
      }
    }
  }
  gRewriteSeam = nullptr;
  gRewriteLink = ::link;
  EXPECT_EQ(recoverInterruptedRewrites(), 0);  // nothing left to mend
}

// The pieces a writer cut short leaves (a journal or data file not yet
// renamed, an exported bitmap) are removed at start-up.
TEST_F(BitmapIo, StartUpRemovesTemporaryFilesOfCutShortWriters) {
  const std::vector<std::string> entries = entriesOf(folder());
  const Bytes dmrBefore = bytesOf(dmr());
  for (const std::string& piece : {std::string(kName) + ".import.part", std::string(kName) + ".DMD.new.saving",
                                   std::string("3.bmp.part")}) {
    writeBytes(folder() + "/" + piece, Bytes{'c', 'o', 'm'});
    EXPECT_EQ(recoverInterruptedRewrites(), 1) << piece;
    EXPECT_EQ(entriesOf(folder()), entries) << piece;
  }
  EXPECT_EQ(bytesOf(dmr()), dmrBefore);
}

// The worker's part touches neither the model nor the demo's own files:
// only after commitImport do the model and the files change.
TEST_F(BitmapIo, WorkerPartLeavesModelAndFilesToTheCommit) {
  ASSERT_FALSE(hideRange("3", "4").refused);
  const int32_t rect[4] = {40 - 2, 30 - 4, 42 - 2, 31 - 4};
  writeChangedBitmap(2, rect, kInk);
  const Bytes dmrBefore = bytesOf(dmr()), dmdBefore = bytesOf(dmd());
  const std::vector<FrameRec> model = frames();
  ImportJob job = importJobOf(readIn(2, 6));
  ASSERT_EQ(writeImportedRecording(&job), REWRITE_DONE) << job.why;
  EXPECT_LT(gRewriteProgress.load(), 1000);
  for (size_t i = 0; i < model.size(); ++i) EXPECT_EQ(gFrameData[i].imageRefB, model[i].imageRefB) << i;
  EXPECT_EQ(bytesOf(dmr()), dmrBefore);
  EXPECT_EQ(bytesOf(dmd()), dmdBefore);
  EXPECT_GT(job.frames.back().imageRefB, model.back().imageRefB);
  ASSERT_EQ(commitRewrite(&job), REWRITE_DONE) << job.why;
  for (size_t i = 0; i < model.size(); ++i) EXPECT_EQ(gFrameData[i].imageRefB, job.frames[i].imageRefB) << i;
  EXPECT_NE(bytesOf(dmr()), dmrBefore);
  expectReadable();
}

}  // namespace
