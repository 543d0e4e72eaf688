// The line pool: distinct rows in order of first occurrence, and the
// row-delta encoding compared byte for byte with a plain, literal encoder.
#include "studio/publishing/line_pool.h"

#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using Row = std::vector<unsigned char>;

// ---- The plain reference encoder ------------------------------------------------

bool pixelDiffers(const Row& a, const Row& b, size_t x) {
  return a[3 * x] != b[3 * x] || a[3 * x + 1] != b[3 * x + 1] || a[3 * x + 2] != b[3 * x + 2];
}

int differingPixels(const Row& a, const Row& b) {
  int n = 0;
  for (size_t x = 0; x < a.size() / 3; ++x) n += pixelDiffers(a, b, x);
  return n;
}

// Small Size as described: previous row; then rows 0 .. min(h, r-1) - 1;
// then max(next untried, r - h) .. r - 1; strictly fewer wins; stop at <= 1.
int referenceChoice(const std::vector<Row>& rows, int r, int h, int choice) {
  int best = r - 1;
  if (choice == LINE_POOL_FAST) return best;
  int bestCount = differingPixels(rows[r], rows[best]);
  bool done = bestCount <= 1;
  int next = 0;
  const auto tryRow = [&](int c) {
    const int n = differingPixels(rows[r], rows[c]);
    if (n < bestCount) {
      best = c;
      bestCount = n;
    }
    done = bestCount <= 1;
  };
  for (int c = 0; c < std::min(h, r - 1) && !done; ++c) {
    tryRow(c);
    next = c + 1;
  }
  for (int c = std::max(next, r - h); c <= r - 1 && !done; ++c) tryRow(c);
  return best;
}

Row referenceEncode(const std::vector<Row>& rows, int h, int choice) {
  Row out(rows[0]);
  const int w = static_cast<int>(rows[0].size() / 3);
  for (int r = 1; r < static_cast<int>(rows.size()); ++r) {
    const int ref = referenceChoice(rows, r, h, choice);
    out.push_back(static_cast<unsigned char>(ref >> 16));
    out.push_back(static_cast<unsigned char>(ref >> 8));
    out.push_back(static_cast<unsigned char>(ref));
    Row mask((w + 7) / 8, 0), values;
    for (int x = 0; x < w; ++x) {
      if (!pixelDiffers(rows[r], rows[ref], static_cast<size_t>(x))) continue;
      mask[x / 8] |= static_cast<unsigned char>(128 >> (x % 8));
      values.insert(values.end(), rows[r].begin() + 3 * x, rows[r].begin() + 3 * x + 3);
    }
    out.insert(out.end(), mask.begin(), mask.end());
    out.insert(out.end(), values.begin(), values.end());
  }
  return out;
}

// ---- Pools ---------------------------------------------------------------------------

enum Kind { RANDOM, REPEATED, ONE_PIXEL, MIXED };

// Rows of width w: fresh rows from a two-value palette (so rows differ in
// many but not all pixels), copies of a few rows, or earlier rows with one
// or a few pixels changed.
std::vector<Row> makePool(Kind kind, int w, int rows, unsigned seed) {
  std::mt19937 rng(seed);
  const auto fresh = [&] {
    Row row(static_cast<size_t>(w) * 3);
    for (auto& b : row) b = static_cast<unsigned char>(rng() % 2 * 200);
    return row;
  };
  std::vector<Row> pool{fresh()};
  while (static_cast<int>(pool.size()) < rows) {
    const int pick = kind == MIXED ? static_cast<int>(rng() % 3) : kind;
    if (pick == RANDOM) {
      pool.push_back(fresh());
    } else if (pick == REPEATED) {
      pool.push_back(pool[rng() % std::min<size_t>(pool.size(), 4)]);
    } else {
      Row row = pool[rng() % pool.size()];
      const int changes = 1 + static_cast<int>(rng() % (kind == ONE_PIXEL ? 1 : 4));
      for (int k = 0; k < changes; ++k) row[3 * (rng() % w) + rng() % 3] ^= 0x55;
      pool.push_back(row);
    }
  }
  return pool;
}

Row flatten(const std::vector<Row>& rows) {
  Row out;
  for (const Row& r : rows) out.insert(out.end(), r.begin(), r.end());
  return out;
}

TEST(LinePoolEncoder, MatchesThePlainEncoderByteForByte) {
  struct Case {
    Kind kind;
    int width, rows, height;
  };
  const Case cases[] = {
      {RANDOM, 7, 60, 5},    {REPEATED, 8, 60, 4},  {ONE_PIXEL, 9, 80, 6},  {MIXED, 1, 90, 3},
      {MIXED, 7, 120, 10},   {MIXED, 8, 120, 1},    {MIXED, 9, 150, 7},     {MIXED, 16, 200, 12},
      {MIXED, 9, 40, 100},   {ONE_PIXEL, 3999, 25, 6}, {MIXED, 3999, 30, 4}, {RANDOM, 1, 2, 1},
  };
  TempDir dir;
  unsigned seed = 1;
  for (const Case& c : cases) {
    const std::vector<Row> rows = makePool(c.kind, c.width, c.rows, seed++);
    const Row plain = flatten(rows);
    ASSERT_TRUE(writeBytes(dir.file("plain"), plain));
    for (const int choice : {LINE_POOL_SMALL, LINE_POOL_FAST}) {
      SCOPED_TRACE("kind " + std::to_string(c.kind) + ", width " + std::to_string(c.width) + ", choice " +
                   std::to_string(choice));
      const Row expected = referenceEncode(rows, c.height, choice);
      EXPECT_EQ(linePoolEncode(plain.data(), c.rows, c.width, c.height, choice), expected);
      std::atomic<int> progress{0};
      std::string why;
      ASSERT_EQ(linePoolEncodeFile(dir.file("plain"), dir.file("coded"), c.width, c.height, choice, &progress, &why), 1)
          << why;
      const std::string coded = slurp(dir.file("coded"));
      EXPECT_TRUE(coded == std::string(expected.begin(), expected.end()));
      EXPECT_EQ(progress, 1000);
    }
  }
}

TEST(LinePoolEncoder, HandMadePoolGivesTheExpectedStream) {
  // Width 9: two mask bytes. Rows: A, A, A with its last pixel changed, B
  // (every pixel different), A again.
  Row a(27), b(27, 0xEE);
  for (int i = 0; i < 27; ++i) a[i] = static_cast<unsigned char>(i + 1);
  Row aLast = a;
  aLast[24] = 0x90;
  const Row pool = flatten({a, a, aLast, b, a});
  Row common(a);
  common.insert(common.end(), {0, 0, 0, 0x00, 0x00});                    // row 1: same as row 0
  common.insert(common.end(), {0, 0, 1, 0x00, 0x80, 0x90, 26, 27});     // row 2: pixel 8 against row 1
  Row fast = common, small = common;
  fast.insert(fast.end(), {0, 0, 2, 0xFF, 0x80});                        // row 3: all nine pixels
  fast.insert(fast.end(), 27, 0xEE);
  fast.insert(fast.end(), {0, 0, 3, 0xFF, 0x80});                        // row 4: back to A, all nine again
  fast.insert(fast.end(), a.begin(), a.end());
  small.insert(small.end(), fast.begin() + static_cast<long>(common.size()),
               fast.begin() + static_cast<long>(common.size()) + 5 + 27);  // row 3: nothing better than row 2
  small.insert(small.end(), {0, 0, 0, 0x00, 0x00});                      // row 4: row 0 of the first frame
  EXPECT_EQ(linePoolEncode(pool.data(), 5, 9, 2, LINE_POOL_FAST), fast);
  EXPECT_EQ(linePoolEncode(pool.data(), 5, 9, 2, LINE_POOL_SMALL), small);

  // Width 7: the last pixel is bit 1 of the only mask byte.
  Row c(21, 5), cLast = c;
  cLast[18] = 6;
  const Row pool7 = flatten({c, cLast});
  Row expected7(c);
  expected7.insert(expected7.end(), {0, 0, 0, 0x02, 6, 5, 5});
  EXPECT_EQ(linePoolEncode(pool7.data(), 2, 7, 1, LINE_POOL_SMALL), expected7);
}

TEST(LinePoolEncoder, FileThatIsNotWholeRowsIsRefused) {
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("plain"), Row(28, 1)));
  struct Case {
    std::string in;
    int width;
    const char* says;
  } const cases[] = {{dir.file("plain"), 9, "not whole rows"},
                     {dir.file("none"), 9, "cannot be opened"},
                     {dir.file("plain"), 4000, "3,999"},
                     {dir.file("plain"), 0, "3,999"}};
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(linePoolEncodeFile(c.in, dir.file("coded"), c.width, 3, LINE_POOL_SMALL, nullptr, &why), -1);
    EXPECT_NE(why.find(c.says), std::string::npos) << why;
    EXPECT_FALSE(std::filesystem::exists(dir.file("coded"))) << c.says;
  }
}

// ---- Distinct rows -----------------------------------------------------------------

TEST(LinePoolRows, NumbersRowsByFirstOccurrenceInMemoryAndReadBack) {
  const std::vector<Row> rows = makePool(MIXED, 9, 300, 77);
  for (const int64_t memory : {int64_t{0}, int64_t{27 * 10}, LINE_POOL_MEMORY}) {
    SCOPED_TRACE(memory);
    TempDir dir;
    LinePool pool(memory);
    ASSERT_TRUE(pool.create(dir.file("pool"), 9));
    std::vector<Row> distinct;
    int64_t previous = -1;
    for (size_t i = 0; i < rows.size(); ++i) {
      const auto at = std::find(distinct.begin(), distinct.end(), rows[i]);
      const int64_t expected = at - distinct.begin();
      if (at == distinct.end()) distinct.push_back(rows[i]);
      // A hint that is wrong, right or unknown never changes the answer.
      const int64_t hint = i % 3 == 0 ? previous : (i % 3 == 1 ? expected : -1);
      ASSERT_EQ(pool.lineOf(rows[i].data(), hint), expected) << i;
      previous = expected;
    }
    EXPECT_EQ(pool.count(), static_cast<int64_t>(distinct.size()));
    ASSERT_TRUE(pool.close(false));
    EXPECT_TRUE(slurp(dir.file("pool")) == std::string(reinterpret_cast<const char*>(flatten(distinct).data()),
                                                       distinct.size() * 27));
  }
}

TEST(LinePoolRows, RefusesTheRowAfter299999ButStillFindsOldOnes) {
  TempDir dir;
  LinePool pool;
  ASSERT_TRUE(pool.create(dir.file("pool"), 1));
  unsigned char row[3];
  for (int64_t n = 0; n < LINE_POOL_MAX_ROWS; ++n) {
    row[0] = static_cast<unsigned char>(n >> 16);
    row[1] = static_cast<unsigned char>(n >> 8);
    row[2] = static_cast<unsigned char>(n);
    ASSERT_EQ(pool.lineOf(row, n - 1), n);
  }
  const unsigned char fresh[3] = {0xFF, 0xFF, 0xFF}, old[3] = {0, 0, 7};
  EXPECT_EQ(pool.lineOf(fresh, -1), -1);
  EXPECT_EQ(pool.lineOf(old, -1), 7);
  ASSERT_TRUE(pool.close(false));
  EXPECT_EQ(static_cast<int64_t>(slurp(dir.file("pool")).size()), LINE_POOL_MAX_ROWS * 3);
}

}  // namespace
