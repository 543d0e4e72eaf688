// The demo working folder: paths, recording, window and demo data files,
// the demo library's operations and the exchange files.
#include "studio/capture/demo_files.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pal/pal.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

void put(const std::string& path, const std::string& text) {
  ASSERT_TRUE(writeBytes(path, std::vector<unsigned char>(text.begin(), text.end())));
}

// Saves the current demo while files may grow to `bytes` at most, as on a
// disk that fills up during the save.
void saveWithFullDisk(rlim_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit;
  limit.rlim_cur = limit.rlim_max = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
  saveOrLoadDemoData(1);
}

class DemoFiles : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    gHeaderCount = 0;
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    ::mkdir(demosFolderPath().c_str(), 0777);
    std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", "Alpha");
  }
  void TearDown() override { resetRuntime(); }

  // A small model whose fields exercise every width and sign.
  void buildModel() {
    gHeaderCount = 4;
    gHeaderData[0] = demoStoreNewTextValue("0,0,640,480\r\n");
    gHeaderData[1] = 0;
    gHeaderData[2] = -1;  // stored as 16777215
    gHeaderData[3] = 1;
    gFrameCount = 3;
    gFrameData[0] = FrameRec{demoStoreNewTextValue("Start, here"), 0, 0, 0, demoStoreNewTextValue("Line one\r\ntwo"),
                             -999, -999};
    gFrameData[1] = FrameRec{-1, 7, 0, 1099511627000, 9, 120, -40};
    gFrameData[2] = FrameRec{demoStoreNewTextValue("End"), 8388607, 5000000000, 5000000100, 4, 0, 8388608};
    gInstrCount = 3;
    gInstrData[0] = InstrRec{0, -1, 'L', {10, 20, 30, 40}};
    gInstrData[1] = InstrRec{1, 2, 'T', {1500, 0, 0, 0}};
    gInstrData[2] = InstrRec{2, 0, 'E', {-5, -8388607, 8388608, 0}};
    gTxtRecData[10][1] = 4242;  // the second bookkeeping word travels unchanged
  }
  struct Snapshot {
    std::vector<int32_t> headers;
    std::vector<FrameRec> frames;
    std::vector<InstrRec> instrs;
    std::vector<std::string> texts;
    std::vector<uint32_t> words;
    int32_t limit;
  };
  Snapshot snapshot() {
    Snapshot s;
    s.headers.assign(gHeaderData, gHeaderData + gHeaderCount);
    s.frames.assign(gFrameData, gFrameData + gFrameCount);
    s.instrs.assign(gInstrData, gInstrData + gInstrCount);
    for (int t = DEMO_FIRST_TEXT_REC; t < gHighestUsedTextRec; ++t) {
      s.texts.push_back(gTxtRecVals[t]);
      s.words.push_back(gTxtRecData[t][0]);
      s.words.push_back(gTxtRecData[t][1]);
    }
    s.limit = gHighestUsedTextRec;
    return s;
  }
  void clearModel() {
    gHeaderCount = 0;
    gFrameCount = 0;
    gInstrCount = 0;
    std::memset(gFrameData, 0, sizeof(FrameRec) * 8);
    std::memset(gInstrData, 0, sizeof(InstrRec) * 8);
    std::memset(gTxtRecVals, 0, sizeof(gTxtRecVals[0]) * 20);
    demoInitDatastores();
  }
  void makeDemoFolder(const std::string& name, bool dmr = true, bool dmw = true, bool dmd = true) {
    ::mkdir(demoFolderPath(name).c_str(), 0777);
    if (dmr) put(demoFilePath(name, ".DMR"), "r");
    if (dmw) put(demoFilePath(name, ".DMW"), "w");
    if (dmd) put(demoFilePath(name, ".DMD"), "d");
  }
  void setTime(const std::string& name, time_t t) {
    const struct timeval tv[2] = {{t, 0}, {t, 0}};
    ::utimes(demoFilePath(name, ".DMD").c_str(), tv);
  }

  TempDir dir;
};

TEST_F(DemoFiles, PathsFollowTheFolderLayout) {
  const std::string p = dir.path() + "/";
  EXPECT_EQ(demosFolderPath(), p + "Demos/");
  EXPECT_EQ(demoFolderPath("Alpha"), p + "Demos/Alpha");
  EXPECT_EQ(demoFilePath("Alpha", ".DMD"), p + "Demos/Alpha/Alpha.DMD");
  EXPECT_EQ(captureSlotPath(".DMR"), p + "TempCapture.DMR");
  EXPECT_EQ(exchangeFramePath("B"), p + "Demos/B/tmpFrameData.txt");
  EXPECT_EQ(exchangeInstrPath("B"), p + "Demos/B/tmpInstrData.txt");
  EXPECT_EQ(exportedImagePath("B", 12), p + "Demos/B/12.bmp");
}

// ---- Demo data file --------------------------------------------------------------------

TEST_F(DemoFiles, DataFileRoundTripsTheModel) {
  buildModel();
  ::mkdir(demoFolderPath("Alpha").c_str(), 0777);
  ASSERT_EQ(saveOrLoadDemoData(1), 1);
  const Snapshot before = snapshot();
  clearModel();
  ASSERT_EQ(saveOrLoadDemoData(2), 1);
  const Snapshot after = snapshot();
  EXPECT_EQ(after.limit, before.limit);
  EXPECT_EQ(after.texts, before.texts);
  EXPECT_EQ(after.words, before.words);
  ASSERT_EQ(after.headers.size(), 4u);
  EXPECT_EQ(after.headers[2], 16777215);  // header values read back unsigned
  ASSERT_EQ(after.frames.size(), 3u);
  EXPECT_EQ(after.frames[0].noteX, -999);
  EXPECT_EQ(after.frames[1].nameText, 16777215);  // -1 is stored in 24 bits
  EXPECT_EQ(after.frames[1].imageRefB, 1099511627000);
  EXPECT_EQ(after.frames[1].noteY, -40);
  EXPECT_EQ(after.frames[2].imageRefA, 5000000000);
  EXPECT_EQ(after.frames[2].noteY, 8388608);  // the one value above 2^23 that stays positive
  ASSERT_EQ(after.instrs.size(), 3u);
  EXPECT_EQ(after.instrs[0].target, -1);
  EXPECT_EQ(std::memcmp(&after.instrs[2], &before.instrs[2], sizeof(InstrRec)), 0);
  EXPECT_EQ(saveOrLoadDemoData(7), 1);  // other modes do nothing
}

TEST_F(DemoFiles, DataFileBytesAreBigEndianFieldsInOrder) {
  gHeaderCount = 1;
  gHeaderData[0] = 0x010203;
  gFrameCount = 1;
  gFrameData[0] = FrameRec{9, 0x0A0B0C, 0x0102030405, 0x0607080900, -2, -999, 5};
  gInstrCount = 1;
  gInstrData[0] = InstrRec{0, -1, 'K', {13, 0, 0, 0}};
  ASSERT_EQ(demoStoreNewTextValue("Hi"), 9);
  const std::string path = dir.file("t.DMD");
  ASSERT_EQ(demoDataWrite(path, 4), 1);
  const std::string b = slurp(path);
  ASSERT_EQ(b.size(), 2u + 3 + 3 + 3 + 25 + 3 + 21 + 3 + 1005);
  const std::string head("\xFF\x04\x00\x00\x01\x01\x02\x03\x00\x00\x01", 11);
  EXPECT_EQ(b.substr(0, 11), head);
  const std::string frame("\x00\x00\x09\x0A\x0B\x0C\x01\x02\x03\x04\x05\x06\x07\x08\x09\x00\xFF\xFF\xFE\xFF\xFC\x19\x00\x00\x05", 25);
  EXPECT_EQ(b.substr(11, 25), frame);
  const std::string instr("\x00\x00\x01\x00\x00\x00\xFF\xFF\xFF\x00\x00\x4B\x00\x00\x0D\x00\x00\x00\x00\x00\x00\x00\x00\x00", 24);
  EXPECT_EQ(b.substr(36, 24), instr);  // count, then seven S24 fields
  EXPECT_EQ(b.substr(60, 3), std::string("\x00\x00\x0A", 3));  // text limit
  EXPECT_EQ(b.substr(63, 6), std::string("\x00\x00\x01\x00\x00\x00", 6));
  EXPECT_EQ(b.substr(69, 3), std::string("Hi\0", 3));
}

TEST_F(DemoFiles, VersionZeroFilesHaveFourByteOffsets) {
  buildModel();
  gFrameData[1].imageRefB = 4000000000;
  gFrameData[2].imageRefA = 123;
  gFrameData[2].imageRefB = 456;
  const std::string path = dir.file("old.DMD");
  ASSERT_EQ(demoDataWrite(path, 0), 1);
  const std::string b = slurp(path);
  EXPECT_EQ(b[0], '\0');  // no marker: the header count comes first
  const Snapshot before = snapshot();
  clearModel();
  ASSERT_EQ(demoDataRead(path), 1);
  EXPECT_EQ(gFrameCount, 3);
  EXPECT_EQ(gFrameData[1].imageRefB, 4000000000);
  EXPECT_EQ(gFrameData[2].imageRefB, 456);
  EXPECT_EQ(snapshot().texts, before.texts);
}

TEST_F(DemoFiles, DataFileFailures) {
  buildModel();
  const std::string path = dir.file("x.DMD");
  ASSERT_EQ(demoDataWrite(path, 4), 1);
  const std::string good = slurp(path);
  ASSERT_GT(good.size(), 4000u);
  EXPECT_EQ(demoDataRead(dir.file("missing.DMD")), DMD_CANNOT_OPEN);
  put(path, good + "!");
  EXPECT_EQ(demoDataRead(path), DMD_TRAILING_BYTES);
  for (size_t cut : {size_t{0}, size_t{1}, size_t{7}, size_t{40}, good.size() - 500, good.size() - 1}) {
    put(path, good.substr(0, cut));
    EXPECT_EQ(demoDataRead(path), DMD_DAMAGED) << "cut at " << cut;
  }
  std::string bad = good;
  bad[1] = 5;  // unknown version
  put(path, bad);
  EXPECT_EQ(demoDataRead(path), DMD_DAMAGED);
}

TEST_F(DemoFiles, CountsBeyondTheTablesAreRefused) {
  gHeaderCount = 0;
  gFrameCount = 0;
  gInstrCount = 0;
  const std::string path = dir.file("c.DMD");
  ASSERT_EQ(demoDataWrite(path, 4), 1);
  const std::string good = slurp(path);  // FF 04, headers 0, frames 0, instructions 0, limit 9
  ASSERT_EQ(good.size(), 14u);
  auto withCount = [&](size_t at, uint32_t n) {
    std::string b = good;
    b[at] = static_cast<char>(n >> 16);
    b[at + 1] = static_cast<char>(n >> 8);
    b[at + 2] = static_cast<char>(n);
    put(path, b);
    return demoDataRead(path);
  };
  EXPECT_EQ(withCount(2, 10), DMD_DAMAGED);                  // header values: 9 at most
  EXPECT_EQ(withCount(5, DEMO_FRAME_CAP + 1), DMD_DAMAGED);  // frames
  EXPECT_EQ(withCount(8, DEMO_INSTR_CAP + 1), DMD_DAMAGED);  // instructions
  EXPECT_EQ(withCount(11, DEMO_TEXT_RECS + 1), DMD_DAMAGED); // text limit
  EXPECT_EQ(withCount(11, 3), DMD_DAMAGED);
  EXPECT_EQ(withCount(11, 9), 1);
}

TEST_F(DemoFiles, FailedSaveLeavesThePreviousFileIntact) {
  buildModel();
  ::mkdir(demoFolderPath("Alpha").c_str(), 0777);
  ASSERT_EQ(saveOrLoadDemoData(1), 1);
  const std::string saved = slurp(demoFilePath("Alpha", ".DMD"));
  // Make the model much bigger, then let the disk "fill up" halfway through the save.
  for (int i = 0; i < 3000; ++i) demoStoreNewTextValue(std::string(900, 'x').c_str());
  EXPECT_EXIT(saveWithFullDisk(200000), testing::ExitedWithCode(1), "ALERT 1 Exiting\\.\\.\\. \\| Unexpected SFAM002 - '.*Alpha\\.DMD'");
  EXPECT_EQ(slurp(demoFilePath("Alpha", ".DMD")), saved);
  clearModel();
  EXPECT_EQ(saveOrLoadDemoData(2), 1);
  EXPECT_EQ(gFrameCount, 3);
  DIR* d = ::opendir(demoFolderPath("Alpha").c_str());
  int entries = 0;
  while (dirent* e = ::readdir(d)) entries += e->d_name[0] != '.';
  ::closedir(d);
  EXPECT_EQ(entries, 1);  // no temporary file left behind
}

TEST_F(DemoFiles, UnwritableDataFileIsFatal) {
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", "NoFolder");
  EXPECT_EXIT(saveOrLoadDemoData(1), testing::ExitedWithCode(1), "Unexpected SFAM002 - '.*NoFolder\\.DMD'");
}

// ---- Recording and window files -----------------------------------------------------------

TEST_F(DemoFiles, RecordingRecordsRoundTripAndDecode) {
  const std::string path = dir.file("r.DMR");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::vector<unsigned char> key(4 * 3 * 3, 0x11), patch(2 * 1 * 3, 0xEE);
  ASSERT_TRUE(recWriteRecord(f, RecordLine{5, 6, 4, 3, 0, 0, 4, 3, 0, 0}, key.data()));
  ASSERT_TRUE(recWriteRecord(f, RecordLine{7, 8, 4, 3, 1, 2, 2, 1, 250, 1}, patch.data()));
  std::fclose(f);
  EXPECT_EQ(slurp(path).substr(0, 24), "0,5,6,4,3,0,0,4,3,0,0\r\n\x11");

  f = std::fopen(path.c_str(), "rb");
  RecordLine r;
  std::vector<unsigned char> px;
  const int64_t second = recReadRecord(f, 0, &r, &px);
  EXPECT_EQ(second, 23 + 36);
  EXPECT_EQ(px, key);
  const int64_t end = recReadRecord(f, second, &r, nullptr);
  EXPECT_EQ(r.time, 250);
  EXPECT_EQ(r.click, 1);
  EXPECT_EQ(r.mouseX, 7);
  EXPECT_EQ(recReadRecord(f, end, &r, nullptr), -1);
  std::fclose(f);

  // The frame decoder reads what the writer wrote.
  gCropSize[0] = 1;
  gCropSize[1] = 1;
  gCropSize[2] = 3;
  gCropSize[3] = 2;
  pal_InitWinBuf(1, 3, 2);
  EXPECT_EQ(demoRecFrameCroppedToPALbuff(path.c_str(), 0, second, 1), 0);
  EXPECT_EQ(pixelColour(1, 0, 1), 0xEEEEEEu);
  EXPECT_EQ(pixelColour(1, 0, 0), 0x111111u);
}

TEST_F(DemoFiles, DamagedRecordsAreReported) {
  const std::string path = dir.file("bad.DMR");
  put(path, "0,1,2,4,3,3,0,2,1,0,0\r\nxxxxxx");  // rectangle sticks out of the 4-pixel screen
  std::FILE* f = std::fopen(path.c_str(), "rb");
  RecordLine r;
  EXPECT_EQ(recReadRecord(f, 0, &r, nullptr), -2);
  std::fclose(f);
  put(path, "0,1,2,4,3,0,0,4,3\r\n");  // nine fields only
  f = std::fopen(path.c_str(), "rb");
  EXPECT_EQ(recReadRecord(f, 0, &r, nullptr), -2);
  std::fclose(f);
  put(path, "0,1,2,4,3,0,0,2,1,0,0\r\nxxxx");  // pixels cut short
  f = std::fopen(path.c_str(), "rb");
  std::vector<unsigned char> px;
  EXPECT_EQ(recReadRecord(f, 0, &r, nullptr), -3);
  EXPECT_EQ(recReadRecord(f, 0, &r, &px), -3);
  std::fclose(f);
}

TEST_F(DemoFiles, WindowFileLines) {
  const std::string path = dir.file("w.DMW");
  const int32_t a[4] = {10, 20, 300, 400}, b[4] = {-8, -8, 1288, 808};
  ASSERT_TRUE(winAppendRect(path, a));
  ASSERT_TRUE(winAppendRect(path, b));
  EXPECT_EQ(slurp(path), "10,20,300,400\r\n-8,-8,1288,808\r\n");
  std::vector<std::array<int32_t, 4>> rects;
  ASSERT_TRUE(winReadRects(path, &rects));
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[1][0], -8);
  EXPECT_EQ(rects[1][3], 808);
  EXPECT_FALSE(winReadRects(dir.file("none"), &rects));
}

// ---- Demo library -----------------------------------------------------------------------------

TEST_F(DemoFiles, ListHoldsCompleteDemosNewestFirst) {
  makeDemoFolder("Old");
  makeDemoFolder("New");
  makeDemoFolder("Middle");
  makeDemoFolder("NoWindow", true, false, true);
  makeDemoFolder("NoData", true, true, false);
  makeDemoFolder("NoRecording", false, true, true);
  setTime("Old", 1000000000);
  setTime("Middle", 1500000000);
  setTime("New", 1700000000);
  setTime("NoWindow", 1800000000);
  std::vector<DemoListEntry> e(DEMO_LIST_CAP);
  ASSERT_EQ(listDemos(e.data()), 3);
  EXPECT_STREQ(e[0].name, "New");
  EXPECT_STREQ(e[1].name, "Middle");
  EXPECT_STREQ(e[2].name, "Old");
  char expected[32];
  const time_t t = 1000000000;
  struct tm local;
  localtime_r(&t, &local);
  std::strftime(expected, sizeof expected, "%d-%b-%Y", &local);
  EXPECT_STREQ(e[2].date, expected);
}

TEST_F(DemoFiles, ListStopsAtNinetySixInDirectoryOrder) {
  for (int i = 0; i < 100; ++i) {
    const std::string name = "Demo" + std::to_string(i);
    makeDemoFolder(name);
    setTime(name, 1600000000 + i * 60);
  }
  std::vector<std::string> order;
  DIR* d = ::opendir(demosFolderPath().c_str());
  while (dirent* e = ::readdir(d))
    if (e->d_name[0] != '.') order.push_back(e->d_name);
  ::closedir(d);
  std::vector<DemoListEntry> e(DEMO_LIST_CAP);
  ASSERT_EQ(listDemos(e.data()), 96);
  for (int i = 96; i < 100; ++i)
    for (int k = 0; k < 96; ++k) EXPECT_NE(order[i], e[k].name);
  for (int k = 1; k < 96; ++k) {  // newest first
    EXPECT_GT(std::stoi(std::string(e[k - 1].name).substr(4)), std::stoi(std::string(e[k].name).substr(4)));
  }
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.file("nowhere").c_str());
  EXPECT_EQ(listDemos(e.data()), 0);
}

TEST_F(DemoFiles, CreateDemoFolderMovesTheCaptureSlot) {
  buildModel();
  std::string recording = "0,1,1,2,1,0,0,2,1,0,0\r\n" + std::string(6, 'p');
  put(captureSlotPath(".DMR"), recording);
  put(captureSlotPath(".DMW"), "1,2,3,4\r\n");
  put(captureSlotPath(".DMA"), "1,push button,1,2,3,4,OK\r\n");
  gCreateFilesProgress = 0;
  createDemoFolder();
  EXPECT_EQ(gCreateFilesProgress.load(), 1000);
  EXPECT_EQ(slurp(demoFilePath("Alpha", ".DMR")), recording);  // moved byte for byte
  EXPECT_EQ(slurp(demoFilePath("Alpha", ".DMW")), "1,2,3,4\r\n");
  EXPECT_EQ(slurp(demoFilePath("Alpha", ".DMA")), "1,push button,1,2,3,4,OK\r\n");
  EXPECT_FALSE(std::ifstream(captureSlotPath(".DMR")).good());
  EXPECT_FALSE(std::ifstream(captureSlotPath(".DMA")).good());
  // A capture without a side file makes a whole demo too.
  put(captureSlotPath(".DMR"), recording);
  put(captureSlotPath(".DMW"), "1,2,3,4\r\n");
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", "Plain");
  createDemoFolder();
  EXPECT_EQ(gCreateFilesProgress.load(), 1000);
  EXPECT_FALSE(std::ifstream(demoFilePath("Plain", ".DMA")).good());
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", "Alpha");
  clearModel();
  EXPECT_EQ(saveOrLoadDemoData(2), 1);
  EXPECT_EQ(gFrameCount, 3);
  std::vector<DemoListEntry> e(DEMO_LIST_CAP);
  EXPECT_EQ(listDemos(e.data()), 2);
  // A second demo of the same name would overwrite it: refused, nothing moved.
  put(captureSlotPath(".DMR"), "again");
  EXPECT_EXIT(createDemoFolder(), testing::ExitedWithCode(1),
              "ALERT 1 Fatal Error \\| Unexpected DPDF-002 0 on '.*Demos/Alpha'");
  EXPECT_EQ(slurp(captureSlotPath(".DMR")), "again");
}

TEST_F(DemoFiles, CopyDemoFilesCopiesEveryFile) {
  makeDemoFolder("Alpha");
  put(demoFilePath("Alpha", ".DMR"), std::string(300000, 'R'));
  put(demoFilePath("Alpha", ".DMA"), "1,r,1,2,3,4,n\r\n");
  ::mkdir(demoFolderPath("Beta").c_str(), 0777);
  gCopyFilesPercent = 0;
  copyDemoFiles("Beta");
  EXPECT_EQ(gCopyFilesPercent.load(), 100);
  for (const char* ext : {".DMR", ".DMW", ".DMD", ".DMA"}) EXPECT_EQ(slurp(demoFilePath("Beta", ext)), slurp(demoFilePath("Alpha", ext)));
}

// ---- Exchange files and combined demos ------------------------------------------------------------

TEST_F(DemoFiles, ExchangeFilesCarryShiftedFramesAndInstructions) {
  buildModel();
  ::mkdir(demoFolderPath("Second").c_str(), 0777);
  ASSERT_EQ(writeExchangeFiles("Second", 100, 5000, 10), 1);
  const std::string frames = slurp(exchangeFramePath("Second"));
  EXPECT_EQ(frames.substr(0, frames.find("\r\n")), "Start  here,100,5000,5000,13,-999,-999");
  EXPECT_EQ(slurp(exchangeInstrPath("Second")).substr(0, 24), "10,-1,76,10,20,30,40\r\n11");

  // The first demo has two frames; the second demo's frames follow them.
  clearModel();
  gFrameCount = 2;
  gInstrCount = 1;
  gInstrData[0] = InstrRec{0, 1, 'T', {100, 0, 0, 0}};
  ASSERT_EQ(readExchangeFiles("Second"), 1);
  ASSERT_EQ(gFrameCount, 5);
  char text[DEMO_TEXT_LEN];
  ASSERT_EQ(demoGetTextValue(static_cast<int32_t>(gFrameData[2].nameText), text), 0);
  EXPECT_STREQ(text, "Start  here");
  ASSERT_EQ(demoGetTextValue(static_cast<int32_t>(gFrameData[2].noteText), text), 0);
  EXPECT_STREQ(text, "Line one\r\ntwo");  // the note's line break survives
  EXPECT_EQ(gFrameData[3].frameId, 107);
  EXPECT_EQ(gFrameData[3].imageRefB, 1099511632000);
  EXPECT_EQ(gFrameData[3].noteY, -40);
  ASSERT_EQ(gInstrCount, 4);
  EXPECT_EQ(gInstrData[1].frame, 10);
  EXPECT_EQ(gInstrData[1].target, -1);  // negative targets unchanged
  EXPECT_EQ(gInstrData[2].target, 12);
  EXPECT_EQ(gInstrData[3].v[1], -8388607);
}

TEST_F(DemoFiles, DamagedExchangeFilesAreRefused) {
  ::mkdir(demoFolderPath("S").c_str(), 0777);
  EXPECT_EQ(readExchangeFiles("S"), -1);
  put(exchangeFramePath("S"), "name,1,2,3,50,0,0\r\nshort\r\n");  // note shorter than its length
  put(exchangeInstrPath("S"), "");
  EXPECT_EQ(readExchangeFiles("S"), -2);
  put(exchangeFramePath("S"), "name,1,2,3\r\n\r\n");
  EXPECT_EQ(readExchangeFiles("S"), -2);
  put(exchangeFramePath("S"), "");
  put(exchangeInstrPath("S"), "1,2,3\r\n");
  EXPECT_EQ(readExchangeFiles("S"), -2);
}

TEST_F(DemoFiles, CombinedDemoDataWritesTheModelAndNineWindowLines) {
  buildModel();
  writeCombinedDemoData("Joined", 640, 480);
  EXPECT_STREQ(gCurrDemoName, "Joined");
  std::string window;
  for (int i = 0; i < 9; ++i) window += "0,0,640,480\r\n";
  EXPECT_EQ(slurp(demoFilePath("Joined", ".DMW")), window);
  clearModel();
  EXPECT_EQ(saveOrLoadDemoData(2), 1);
  EXPECT_EQ(gFrameCount, 3);
  EXPECT_EXIT(writeCombinedDemoData("no/such/place", 1, 1), testing::ExitedWithCode(1),
              "ALERT 1 Exiting\\.\\.\\. \\| Unexpected wcd003");
}

}  // namespace
