// The inspector program on sound and damaged files: it must say what is wrong.
#include "demo/demo_model.h"
#include "studio/capture/demo_files.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

CommandResult inspect(const std::string& args) { return runCommand(std::string(PICTOMIRA_EXAMINE_BIN) + " " + args); }

PackageFixture twoFrames() {
  PackageFixture fx;
  fx.frames.resize(2);
  fx.frames[0].name = "Begin";
  fx.frames[0].instrs = {InstrRec{0, -1, 'L', {1, 1, 3, 3}}};
  fx.frames[1].note = "Bye";
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int i = 0; i < 18; ++i) bgr[i] = static_cast<unsigned char>(f * 40 + y * 7 + i);
  };
  return fx;
}

class Inspector : public testing::Test {
 protected:
  void SetUp() override { resetRuntime(); }
  TempDir dir;
};

TEST_F(Inspector, SoundPackageIsListedFrameByFrame) {
  ASSERT_TRUE(writeBytes(dir.file("a.PMP"), buildPackage(twoFrames())));
  const CommandResult r = inspect(dir.file("a.PMP"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("stand-alone package starting at byte 0"), std::string::npos);
  EXPECT_NE(r.out.find("frame 0: name \"Begin\""), std::string::npos);
  EXPECT_NE(r.out.find("instruction 0: L -> 1 rectangle 1,1 - 3,3"), std::string::npos);
  EXPECT_NE(r.out.find("note \"Bye\""), std::string::npos);
}

TEST_F(Inspector, AttachedPackageIsFoundBehindItsMarker) {
  std::vector<unsigned char> file(1000, 0x90);
  const auto marker = packageMarker();
  file.insert(file.end(), marker.begin(), marker.end());
  const auto pkg = buildPackage(twoFrames());
  file.insert(file.end(), pkg.begin(), pkg.end());
  ASSERT_TRUE(writeBytes(dir.file("Presenter"), file));
  const CommandResult r = inspect("--kind package " + dir.file("Presenter"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("attached package starting at byte 1099"), std::string::npos);
}

TEST_F(Inspector, DamagedPackagesSayWhatTheyLackAndWhatThePresenterWouldShow) {
  std::vector<unsigned char> bytes = buildPackage(twoFrames());
  bytes.resize(bytes.size() - 2);  // the last note loses its end
  ASSERT_TRUE(writeBytes(dir.file("cut.PMP"), bytes));
  CommandResult r = inspect(dir.file("cut.PMP"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("DAMAGED: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("of frame 1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("the Presenter would say: Fatal Err013 / Could not read package: "), std::string::npos);

  bytes = buildPackage(twoFrames());
  const size_t lineTables = 250 + 12 + 24 + 1620181;  // texts, branding
  bytes[lineTables + (1 * 5 + 4) * 3 + 2] = 200;     // frame 1, row 4
  ASSERT_TRUE(writeBytes(dir.file("line.PMP"), bytes));
  r = inspect(dir.file("line.PMP"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("row 4 of frame 1 names line 200, but the pool holds 10 lines"), std::string::npos) << r.out;

  ASSERT_TRUE(writeBytes(dir.file("junk.PMP"), {'h', 'e', 'l', 'l', 'o'}));
  r = inspect(dir.file("junk.PMP"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Bad Package format in"), std::string::npos);
}

TEST_F(Inspector, DemoDataFilesSoundAndDamaged) {
  demoInitDatastores();
  gHeaderCount = 1;
  gHeaderData[0] = demoStoreNewTextValue("0,0,640,480\r\n");
  gFrameCount = 2;
  gFrameData[0] = FrameRec{demoStoreNewTextValue("One"), 0, 0, 0, -1, -999, -999};
  gFrameData[1] = FrameRec{-1, 1, 0, 4000, -1, 10, 20};
  gInstrCount = 1;
  gInstrData[0] = InstrRec{0, -1, 'T', {700, 0, 0, 0}};
  const std::string path = dir.file("Demo.DMD");
  ASSERT_EQ(demoDataWrite(path, 4), 1);
  CommandResult r = inspect(path);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("crop text \"0,0,640,480\\r\\n\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("instruction 0: T -> next after 700 ms"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("own record at 4000"), std::string::npos);

  std::FILE* f = std::fopen(path.c_str(), "ab");
  std::fputc('x', f);
  std::fclose(f);
  r = inspect(path);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("DAMAGED (result -2): bytes remain after the last text record"), std::string::npos);

  ASSERT_EQ(::truncate(path.c_str(), 40), 0);
  r = inspect(path);
  EXPECT_NE(r.out.find("the file ends inside frame record 1"), std::string::npos) << r.out;
}

TEST_F(Inspector, RecordingRecordsAndWhereTheyBreak) {
  const std::string path = dir.file("Demo.DMR");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::vector<unsigned char> key(2 * 2 * 3, 1), patch(3, 2);
  recWriteRecord(f, RecordLine{0, 0, 2, 2, 0, 0, 2, 2, 0, 0}, key.data());
  recWriteRecord(f, RecordLine{1, 1, 2, 2, 1, 1, 1, 1, 40, 1}, patch.data());
  std::fclose(f);
  CommandResult r = inspect(path);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("#1 at 35: patch 2x2 screen, rect 1,1 1x1, 40 ms, mouse 1,1, click"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("2 records, 1 key frames"), std::string::npos);
  ASSERT_EQ(::truncate(path.c_str(), 35 + 24), 0);
  r = inspect(path);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("record 1 at byte 35 has its pixels cut short"), std::string::npos) << r.out;
}

}  // namespace
