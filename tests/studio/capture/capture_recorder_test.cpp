// The recorder's records against hand-made screens: the change rectangle,
// partial records and whole screens with the falling threshold, key
// frames, a recording that decodes to the last screen, a write that fails
// on a full disk leaving only whole records and one a signal interrupts.
// The workers against screens and presses of the test's own: a press made
// before the first grab, a full recording and the program's end, each
// ending with its closing click, and the capture slot of an earlier
// capture that cannot be emptied.
#include "studio/capture/capture_recorder.h"

#include "demo/demo_frames.h"
#include "pal/pal.h"
#include "studio/capture/demo_files.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kW = 25, kH = 10;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::vector<unsigned char> screen(unsigned char seed, int32_t w = kW) {
  std::vector<unsigned char> s(size_t{3} * w * kH);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<unsigned char>(seed + i * 7);
  return s;
}

void paint(std::vector<unsigned char>& s, int32_t x, int32_t y, int32_t w, int32_t h, unsigned char v) {
  for (int32_t r = y; r < y + h; ++r)
    for (int32_t c = x; c < x + w; ++c)
      for (int k = 0; k < 3; ++k) s[(size_t{3} * kW * r) + 3 * c + k] = static_cast<unsigned char>(v + k);
}

TEST(CaptureChange, BoundingBoxOfTheBytesThatDiffer) {
  const std::vector<unsigned char> base = screen(1);
  struct Case {
    const char* what;
    std::vector<size_t> bytes;  // byte positions flipped
    bool changed;
    std::vector<int32_t> rect;
  };
  const size_t row = 3 * kW;
  const std::vector<Case> cases = {
      {"nothing", {}, false, {}},
      {"one byte of the last column", {row * 4 + 3 * (kW - 1) + 2}, true, {kW - 1, 4, 1, 1}},
      {"first byte of the screen", {0}, true, {0, 0, 1, 1}},
      {"two corners", {row * 2 + 3 * 5, row * 7 + 3 * 12 + 1}, true, {5, 2, 8, 6}},
      {"first and last byte", {0, row * kH - 1}, true, {0, 0, kW, kH}},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> other = base;
    for (size_t b : c.bytes) other[b] ^= 0x40;
    int32_t rect[4] = {-1, -1, -1, -1};
    EXPECT_EQ(captureChangedRect(base.data(), other.data(), kW, kH, rect), c.changed) << c.what;
    if (c.changed) {
      EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), c.rect) << c.what;
    }
  }
}

class CaptureRecords : public testing::Test {
 protected:
  void SetUp() override {
    path = dir.file("TempCapture.DMR");
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
    a = screen(3);
    b.assign(a.size(), 0);
  }
  void TearDown() override { ::close(fd); }
  // The next grab: the reference screen with a change painted in.
  void grab(CaptureRun& run, const std::vector<unsigned char>& shown) {
    std::copy(shown.begin(), shown.end(), run.grabBuffer());
  }
  // Decodes the recording up to the record at end into W x H pixels.
  std::vector<unsigned char> decoded(int64_t end, int32_t w = kW) {
    std::vector<unsigned char> out(size_t{3} * w * kH);
    const int32_t whole[4] = {0, 0, w, kH};
    EXPECT_GE(demoRecframeCroppedToMembuff(path.c_str(), 0, end, whole, out.data(), 3, 1), 0);
    return out;
  }
  // Offsets of the records of the file, and their lines.
  std::vector<std::pair<int64_t, std::string>> records() {
    std::vector<std::pair<int64_t, std::string>> out;
    const std::string bytes = slurp(path);
    for (size_t at = 0; at < bytes.size();) {
      const size_t eol = bytes.find("\r\n", at);
      const std::string line = bytes.substr(at, eol - at);
      out.push_back({static_cast<int64_t>(at), line});
      const int64_t w = getLinePosValue(line.c_str(), 7), h = getLinePosValue(line.c_str(), 8);
      at = eol + 2 + static_cast<size_t>(w * h * 3);
    }
    return out;
  }

  TempDir dir;
  std::string path;
  int fd = -1;
  std::vector<unsigned char> a, b;
};

TEST_F(CaptureRecords, KeyFramesPartialRecordsAndWholeScreensDecode) {
  CaptureRun run(fd, kW, kH, a.data(), b.data());
  ASSERT_TRUE(run.openingKeyFrame(0, 5, 6));
  std::vector<unsigned char> shown = a;
  grab(run, shown);
  EXPECT_EQ(run.recordChange(10, 5, 6), 0);  // nothing changed: nothing written
  paint(shown, kW - 1, 3, 1, 1, 200);         // one pixel of the last column
  grab(run, shown);
  EXPECT_EQ(run.recordChange(20, 7, 8), 1);
  ASSERT_TRUE(run.clickKeyFrame(30, 9, 9));
  paint(shown, 0, 0, 23, kH, 50);  // 92 % of the screen right after a key frame
  grab(run, shown);
  EXPECT_EQ(run.recordChange(40, 9, 9), 2);
  EXPECT_EQ(run.threshold(), 90);
  const auto recs = records();
  ASSERT_EQ(recs.size(), 4u);
  EXPECT_EQ(recs[0].second, "0,5,6,25,10,0,0,25,10,0,0");
  EXPECT_EQ(recs[1].second, "0,7,8,25,10,24,3,1,1,20,0");
  EXPECT_EQ(recs[2].second, "0,9,9,25,10,0,0,25,10,30,1");
  EXPECT_EQ(recs[3].second, "0,9,9,25,10,0,0,25,10,40,0");
  EXPECT_EQ(decoded(recs[1].first)[3 * (kW * 3 + kW - 1)], 200);
  EXPECT_EQ(decoded(recs[3].first), shown);
}

TEST_F(CaptureRecords, NoMoreThan91PartialRecordsFollowEachOther) {
  constexpr int32_t w = 100;  // wide enough that p x W / 100 reaches 0 only at p 0
  a = screen(3, w);
  b.assign(a.size(), 0);
  CaptureRun run(fd, w, kH, a.data(), b.data());
  ASSERT_TRUE(run.clickKeyFrame(0, 0, 0));
  std::vector<unsigned char> shown = a;
  std::vector<int> runs;  // partial records before each whole screen
  int partial = 0;
  for (int i = 0; i < 300; ++i) {
    shown[3 * ((i * 7) % (w * kH))] ^= 0x80;  // one pixel at a time
    grab(run, shown);
    const int got = run.recordChange(i, 0, 0);
    ASSERT_GE(got, 1);
    if (got == 1) {
      ++partial;
      continue;
    }
    runs.push_back(partial);
    partial = 0;
  }
  // 91 after the click's key frame, then 90 after each forced whole screen.
  EXPECT_EQ(runs, (std::vector<int>{91, 90, 90}));
  EXPECT_EQ(decoded(records().back().first, w), shown);
}

TEST_F(CaptureRecords, AFullDiskLeavesOnlyWholeRecords) {
  CaptureRun run(fd, kW, kH, a.data(), b.data());
  ASSERT_TRUE(run.openingKeyFrame(0, 1, 1));
  const off_t whole = ::lseek(fd, 0, SEEK_END);
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit before;
  getrlimit(RLIMIT_FSIZE, &before);
  struct rlimit limit = before;
  limit.rlim_cur = static_cast<rlim_t>(whole + 100);  // room for part of the next key frame
  setrlimit(RLIMIT_FSIZE, &limit);
  const bool written = run.clickKeyFrame(5, 1, 1);
  setrlimit(RLIMIT_FSIZE, &before);
  EXPECT_FALSE(written);
  EXPECT_EQ(::lseek(fd, 0, SEEK_END), whole);
  EXPECT_EQ(records().size(), 1u);
  EXPECT_EQ(decoded(0), a);
}

TEST_F(CaptureRecords, AWriteInterruptedByASignalIsTakenUp) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const std::string full(static_cast<size_t>(::fcntl(ends[1], F_GETPIPE_SZ)), 'x');
  ASSERT_EQ(::write(ends[1], full.data(), full.size()), static_cast<ssize_t>(full.size()));  // the next write waits
  struct sigaction quiet = {}, before;
  quiet.sa_handler = [](int) {};  // no SA_RESTART: a waiting write returns EINTR
  sigaction(SIGUSR1, &quiet, &before);
  const pthread_t writer = pthread_self();
  std::string read;
  std::thread reader([&] {
    for (int i = 0; i < 20; ++i, sleepMs(10)) pthread_kill(writer, SIGUSR1);
    char chunk[4096];
    for (ssize_t n; read.size() < full.size() + 780 && (n = ::read(ends[0], chunk, sizeof chunk)) > 0;)
      read.append(chunk, static_cast<size_t>(n));
  });
  CaptureRun run(ends[1], kW, kH, a.data(), b.data());
  EXPECT_TRUE(run.openingKeyFrame(0, 1, 1));
  ::close(ends[1]);
  reader.join();
  sigaction(SIGUSR1, &before, nullptr);
  ::close(ends[0]);
  EXPECT_EQ(read.substr(full.size()), "0,1,1,25,10,0,0,25,10,0,0\r\n" + std::string(a.begin(), a.end()));
}

// ---- The workers ------------------------------------------------------------------------

// The fake system the workers read: a screen that changes at every grab
// when asked, the buttons, and a press counter.
std::atomic<int> gGrabs{0}, gChanging{0}, gButtons{0}, gCounting{0}, gPresses{0}, gHoldMinimizing{0};
std::atomic<int> gPressWhileMinimizing{0};
int gCounterTag = 0;

void put(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

template <typename Done>
bool within(int ms, Done done) {
  for (int waited = 0; waited < ms && !done(); waited += 2) sleepMs(2);
  return done();
}

const CaptureSources kFakes = {
    [](unsigned char* to, int32_t w, int32_t h) {
      const int n = ++gGrabs;
      std::fill(to, to + size_t{3} * w * h, static_cast<unsigned char>(gChanging.load() ? n : 0));
      return 1;
    },
    [](int, int32_t at[2]) { at[0] = 7, at[1] = 8; },
    [](int32_t origin[2]) { origin[0] = origin[1] = 0; },
    [] { return gButtons.load(); },
    [](int32_t r[4]) { return r[0] = r[1] = r[2] = r[3] = 0; },
    [] {
      if (!gCounting.load()) return static_cast<pal_PressCounter*>(nullptr);
      if (gPressWhileMinimizing.load()) gPresses = 1;  // it arrives as the counter opens
      return reinterpret_cast<pal_PressCounter*>(&gCounterTag);
    },
    [](pal_PressCounter*, int waitMs) {
      sleepMs(std::min(waitMs, 2));
      return int64_t{gPresses.load()};
    },
    [](pal_PressCounter*) {},
    [](int) {
      // The window minimises: a press is made meanwhile (counted as the
      // counter opens, or held), and the watcher has seen it before the first grab.
      if (gPressWhileMinimizing.load()) {
        gButtons = gCounting.load() ? 0 : 1;
        within(1000, [] { return gClickState.load() == 1; });
        gButtons = 0;
      }
      within(8000, [] { return gHoldMinimizing.load() == 0; });
    },
};

class CaptureWorkers : public testing::Test {
 protected:
  void SetUp() override {
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    ASSERT_EQ(startCaptureSlot(), 1);
    gCaptureSlot.W = kW;
    gCaptureSlot.H = kH;
    gCaptureSlot.a.assign(size_t{3} * kW * kH, 0);
    gCaptureSlot.b = gCaptureSlot.a;
    saved = gCaptureSources;
    gCaptureSources = kFakes;
    gGrabs = gChanging = gButtons = gCounting = gPresses = gPressWhileMinimizing = gHoldMinimizing = 0;
  }
  void TearDown() override {
    gHoldMinimizing = 0;
    within(10000, [] { return gCaptureWorkers.load() == 0; });
    gCaptureSources = saved;
  }
  std::vector<RecordLine> records() {
    std::vector<RecordLine> out;
    std::FILE* f = std::fopen(captureSlotPath(".DMR").c_str(), "rb");
    if (f == nullptr) return out;
    RecordLine r{};
    for (int64_t at = 0, next; (next = recReadRecord(f, at, &r, nullptr)) > 0; at = next) out.push_back(r);
    std::fclose(f);
    return out;
  }
  static int clicks(const std::vector<RecordLine>& recs) {
    int n = 0;
    for (const RecordLine& r : recs) n += r.click == 1 ? 1 : 0;
    return n;
  }

  TempDir dir;
  CaptureSources saved{};
};

TEST_F(CaptureWorkers, APressMadeBeforeTheFirstGrabIsWritten) {
  for (const int counting : {0, 1}) {
    SCOPED_TRACE(counting ? "counted presses" : "polled buttons");
    std::remove(captureSlotPath(".DMR").c_str());
    gCounting = counting;
    gPresses = 0;
    gPressWhileMinimizing = 1;
    startCaptureWorkers();
    within(3000, [] { return gCaptureSteps.load() == 1; });
    ASSERT_TRUE(stopCaptureWorkers());
    const std::vector<RecordLine> recs = records();
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].click, 0);  // the run's opening key frame, then the press
    EXPECT_EQ(recs[1].click, 1);
  }
}

TEST_F(CaptureWorkers, AFullRecordingEndsWithItsClosingClick) {
  gChanging = 1;
  gCaptureRecords = CAPTURE_RECORD_CAP - 6;
  startCaptureWorkers();
  ASSERT_TRUE(within(5000, [] { return gCaptureFull.load() == 1; }));
  ASSERT_TRUE(stopCaptureWorkers());
  const std::vector<RecordLine> recs = records();
  ASSERT_EQ(recs.size(), 6u);
  EXPECT_EQ(gCaptureRecords.load(), CAPTURE_RECORD_CAP);
  EXPECT_EQ(recs.back().click, 1);
  EXPECT_EQ(clicks(recs), 1);
  startCaptureWorkers();  // "Capture More" on a full recording writes nothing
  ASSERT_TRUE(stopCaptureWorkers());
  EXPECT_EQ(records().size(), 6u);
}

TEST_F(CaptureWorkers, AWorkerThatDoesNotAnswerIsNotWaitedForForEver) {
  gHoldMinimizing = 1;  // the capture thread is held before its first grab
  startCaptureWorkers();
  EXPECT_FALSE(stopCaptureWorkers());
  gHoldMinimizing = 0;
  EXPECT_TRUE(stopCaptureWorkers());
  EXPECT_EQ(gCaptureActive.load(), 0);
}

TEST_F(CaptureWorkers, TheProgramsEndFinishesTheRunWithItsClosingClick) {
  // In a child of its own: the request to stop holds for the rest of a process.
  EXPECT_EXIT(
      {
        gChanging = 1;
        startCaptureWorkers();
        within(3000, [] { return gCaptureRecords.load() >= 3; });
        const bool stopped = pal_StopWorkers(5000, nullptr);
        const std::vector<RecordLine> recs = records();
        std::fprintf(stderr, "stopped %d, full %d, records %zu, clicks %d, last click %d\n", stopped,
                     gCaptureFull.load(), recs.size(), clicks(recs), recs.empty() ? -1 : int(recs.back().click));
        const bool byTheStop = gCaptureFull.load() == 0;  // not by filling the recording
        std::_Exit(stopped && byTheStop && recs.size() >= 3 && clicks(recs) == 1 && recs.back().click == 1 ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(CaptureSlotStart, AnEarlierCapturesFileThatStaysIsRefused) {
  struct Case {
    const char* what;
    const char* folder;  // a slot file made a folder with a file in it, which cannot be removed
    int want;
  };
  for (const Case& c : {Case{"plain old files", nullptr, 1}, Case{"recording in the way", "TempCapture.DMR", -2},
                        Case{"window file in the way", "TempCapture.DMW", -2}}) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    put(dir.file("TempCapture.DMR"), "old recording");
    put(dir.file("TempCapture.DMW"), "1,2,3,4\r\n");
    if (c.folder != nullptr) {
      std::remove(dir.file(c.folder).c_str());
      ASSERT_EQ(::mkdir(dir.file(c.folder).c_str(), 0777), 0);
      put(dir.file(std::string(c.folder) + "/kept"), "kept");
    }
    std::string reason;
    EXPECT_EQ(startCaptureSlot(&reason), c.want);
    if (c.want == 1) {
      struct stat st;
      EXPECT_NE(::stat(dir.file("TempCapture.DMR").c_str(), &st), 0);
      EXPECT_EQ(slurp(dir.file("TempCapture.DMW")), "");
      continue;
    }
    EXPECT_NE(reason.find(std::string(c.folder) + "' cannot be removed"), std::string::npos) << reason;
    EXPECT_EQ(slurp(dir.file(std::string(c.folder) + "/kept")), "kept");
  }
}

}  // namespace
