// The recorder's records against hand-made screens: the change rectangle,
// partial records and whole screens with the falling threshold, key
// frames, a recording that decodes to the last screen, and a write that
// fails on a full disk leaving only whole records.
#include "studio/capture/capture_recorder.h"

#include "demo/demo_frames.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

namespace {

constexpr int32_t kW = 25, kH = 10;

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

}  // namespace
