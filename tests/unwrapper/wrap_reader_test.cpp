// The wrapped-file reader and the unwrapper's outputs: the wrap start,
// values and name, the row-delta expansion, placements, every refusal (the
// alert a child process ends with, and what it leaves behind), the files
// makeSingleFilePackage writes, the progress and final screens, and the
// examiner on wrapped files.
#include "pal/pal.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/wrap_builder.h"
#include "unwrapper/unwrapper.h"
#include "unwrapper/wrap_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = WrapBytes;

Bytes bytesOf(const std::string& path) {
  const std::string s = slurp(path);
  return Bytes(s.begin(), s.end());
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The names in folder, sorted.
std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Pixels of 0xRRGGBB colours as blue, green, red bytes.
Bytes px(std::initializer_list<uint32_t> colours) {
  Bytes out;
  for (uint32_t c : colours)
    for (int shift : {0, 8, 16}) out.push_back(static_cast<unsigned char>(c >> shift));
  return out;
}

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The alert line a refusal prints, as a death-test pattern.
std::string alertLine(const std::string& title, const std::string& text) {
  std::string line = "ALERT 1 " + title + " | " + text;
  std::string pattern;
  for (char c : line) {
    if (std::strchr(".[]()*+?{}|^$\\", c) != nullptr) pattern += '\\';
    pattern += c;
  }
  return pattern + "\n";
}

constexpr uint32_t A = 0x102030, B = 0x405060, C = 0x708090, D = 0xA0B0C0, E = 0xC0D0E0;

class WrapReader : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    wrapped = dir.file("wrapped");
    out = dir.file("out");
    gWrapSource = wrapped.c_str();
    gWrapStart = 0;
    gCurrProgress = 0;
  }
  void TearDown() override { gWrapSource = "/proc/self/exe"; }
  // Writes the wrapped file and reads its start and frame size as the unwrapper does.
  void open(const WrapParts& parts) {
    ASSERT_TRUE(writeBytes(wrapped, buildWrapped(parts)));
    setWrapStart();
    gCropSize[2] = static_cast<int32_t>(parts.width);
    gCropSize[3] = static_cast<int32_t>(parts.height);
  }
  // A wrapped file whose piece 2 is stream, rows width pixels wide.
  WrapParts pool(int32_t width, const Bytes& stream) {
    WrapParts parts;
    parts.pieces = {{1, 2, 3}, {4, 5}, stream, {6}};
    parts.width = static_cast<uint32_t>(width);
    parts.height = 5;
    return parts;
  }

  TempDir dir;
  std::string wrapped, out;
};

TEST_F(WrapReader, FindsTheStartBehindStrayMarkerBytes) {
  const std::vector<Bytes> programs = {{}, {0}, {7, 0}, {0, 0, 0}, {0, 1, 2, 3, 0}, {0, 1, 2, 9, 0, 1}};
  for (const Bytes& program : programs) {
    WrapParts parts;
    parts.program = program;
    parts.pieces = {{1}};
    open(parts);
    EXPECT_EQ(gWrapStart, static_cast<int64_t>(program.size()) + 99) << program.size() << " program bytes";
  }
}

TEST_F(WrapReader, ReadsValuesBigEndian) {
  WrapParts parts;
  parts.pieces = {{0xA1, 0xA2, 0xA3, 0xA4, 0xB1, 0xB2, 0xB3, 0xB4, 0xC1}, {}, {}, {}, {}, {}, {}, {}, {}, {}};
  parts.width = 3999;
  parts.height = 0x01020304;
  parts.sizeOverrides = {{5, 0xFFFFFFFF}, {17, 0x00ABCDEF}};
  open(parts);
  const struct {
    int n;
    int64_t value;
  } cases[] = {{0, 9}, {1, 0}, {5, 0xFFFFFFFF}, {14, 3999}, {15, 0x01020304}, {16, 0}, {17, 0xABCDEF},
               {18, 0xA1A2A3A4}, {19, 0xB1B2B3B4}};
  for (const auto& c : cases) EXPECT_EQ(getLongLongValue(c.n), c.value) << "value " << c.n;
}

TEST_F(WrapReader, ReadsTheNameAfterTheLastEndMark) {
  const std::vector<std::string> names = {"N", "Flow Demo", "D\xE9mo", std::string(98, 'x')};
  for (const std::string& name : names) {
    WrapParts parts;
    parts.pieces = {{255, 255, 9}};  // end-mark bytes inside a piece are no end mark
    parts.name = name;
    open(parts);
    char buffer[WRAP_NAME_BUF];
    std::memset(buffer, '?', sizeof buffer);
    getTrailingString(buffer);
    EXPECT_EQ(std::string(buffer), name);
  }
}

// ---- Expansion ---------------------------------------------------------------------

struct ExpandCase {
  const char* what;
  int32_t width;
  Bytes stream;
  Bytes rows;
  size_t cut = 0;  // bytes taken off the stream's end
};

TEST_F(WrapReader, ExpandsRecordsAgainstTheirReferenceRows) {
  const std::vector<ExpandCase> cases = {
      {"exactly one row of bytes is row 0 alone", 3, px({A, B, C}), px({A, B, C})},
      {"an all-zero mask repeats the previous row", 3,
       join({px({A, B, C}), wrapRecord(0, {0x40}, px({D})), wrapRecord(1, {0x00}, {})}),
       px({A, B, C, A, D, C, A, D, C})},
      {"a reference to row 0 at row 5 reads row 0 back and leaves rows 1 to 4", 2,
       join({px({A, B}), wrapRecord(0, {0x80}, px({C})), wrapRecord(1, {0x80}, px({D})),
             wrapRecord(2, {0x40}, px({E})), wrapRecord(3, {0x80}, px({B})), wrapRecord(0, {0x40}, px({C}))}),
       px({A, B, C, B, D, B, D, E, B, E, A, C})},
      {"mask bit 0 of byte 0 is pixel 7, bit 7 of byte 1 pixel 8", 9,
       join({px({A, A, A, A, A, A, A, A, A}), wrapRecord(0, {0x01, 0x00}, px({B})),
             wrapRecord(1, {0x00, 0x80}, px({C}))}),
       join({px({A, A, A, A, A, A, A, A, A}), px({A, A, A, A, A, A, A, B, A}), px({A, A, A, A, A, A, A, B, C})})},
      {"changed pixels take the values in ascending order", 4,
       join({px({A, A, A, A}), wrapRecord(0, {0xB0}, px({B, C, D}))}), px({A, A, A, A, B, A, C, D})},
      {"a record cut short by the end of the piece is not written", 2,
       join({px({A, B}), wrapRecord(0, {0xC0}, px({C, D}))}), px({A, B}), 1},
      {"a record header cut short is not written", 2, join({px({A, B}), wrapRecord(0, {0xC0}, {})}), px({A, B}), 2},
  };
  for (ExpandCase c : cases) {
    c.stream.resize(c.stream.size() - c.cut);
    std::remove(out.c_str());
    open(pool(c.width, c.stream));
    placeWrappedFile(WRAP_PIECE_POOL, out.c_str(), WRAP_CREATE_EXPANDED);
    EXPECT_EQ(bytesOf(out), c.rows) << c.what;
    EXPECT_EQ(gCurrProgress.load(), 94) << c.what;
  }
}

// Rows of width pixels with repeats and scattered changes, lopsided enough
// that a wrong reference or a wrong pixel shows.
Bytes testPool(int32_t width, int rows) {
  Bytes pool;
  for (int k = 0; k < rows; ++k) {
    const int source = k == 3 ? 1 : k == 7 ? 0 : k;  // rows 3 and 7 repeat earlier rows
    for (int32_t p = 0; p < width; ++p) {
      const bool changed = source > 0 && (p * 7 + source * 3) % 5 == 0;
      const uint32_t colour = changed ? static_cast<uint32_t>(source * 0x010203 + p) : static_cast<uint32_t>(p * 0x0101);
      const Bytes one = px({colour});
      pool.insert(pool.end(), one.begin(), one.end());
    }
  }
  return pool;
}

TEST_F(WrapReader, CompressedPoolsOfEveryWidthExpandToTheirRows) {
  for (int32_t width : {1, 7, 8, 9, 3999}) {
    const Bytes rows = testPool(width, 12);
    std::remove(out.c_str());
    open(pool(width, compressPool(rows, width)));
    placeWrappedFile(WRAP_PIECE_POOL, out.c_str(), WRAP_CREATE_EXPANDED);
    EXPECT_EQ(bytesOf(out), rows) << "width " << width;
  }
}

TEST_F(WrapReader, AnAppendedExpansionReadsReferencesFromItsOwnRows) {
  ASSERT_TRUE(writeBytes(out, {'K', 'E', 'E', 'P'}));
  open(pool(2, join({px({A, B}), wrapRecord(0, {0x80}, px({C})), wrapRecord(0, {0x40}, px({D}))})));
  placeWrappedFile(WRAP_PIECE_POOL, out.c_str(), WRAP_APPEND_EXPANDED);
  EXPECT_EQ(bytesOf(out), join({{'K', 'E', 'E', 'P'}, px({A, B, C, B, A, D})}));
}

// ---- Placement -----------------------------------------------------------------------

TEST_F(WrapReader, PlacesPiecesByStyle) {
  WrapParts parts;
  parts.pieces = {{1, 2, 3}, {4, 5}, {}, {6, 7, 8, 9}};
  open(parts);
  placeWrappedFile(3, out.c_str(), WRAP_APPEND_RAW);  // created when missing
  EXPECT_EQ(bytesOf(out), Bytes({6, 7, 8, 9}));
  placeWrappedFile(0, out.c_str(), WRAP_APPEND_PIECE);
  EXPECT_EQ(bytesOf(out), Bytes({6, 7, 8, 9, 1, 2, 3}));
  EXPECT_EQ(gCurrProgress.load(), 100);
  placeWrappedFile(1, out.c_str(), WRAP_CREATE_RAW);
  EXPECT_EQ(bytesOf(out), Bytes({4, 5}));
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"out", "wrapped"}));  // no temporary file left
}

TEST_F(WrapReader, CopiesInChunksWithProgress) {
  Bytes big(250000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i * 31 + i / 977);
  WrapParts parts;
  parts.pieces = {big};
  open(parts);
  placeWrappedFile(0, out.c_str(), WRAP_CREATE_RAW);
  EXPECT_EQ(bytesOf(out), big);
  EXPECT_EQ(gCurrProgress.load(), 100);
}

TEST_F(WrapReader, ANewFileReplacesALinkWithoutFollowingIt) {
  const std::string target = dir.file("target");
  ASSERT_TRUE(writeBytes(target, {'T'}));
  ASSERT_EQ(::symlink(target.c_str(), out.c_str()), 0);
  WrapParts parts;
  parts.pieces = {{1, 2}};
  open(parts);
  placeWrappedFile(0, out.c_str(), WRAP_CREATE_RAW);
  struct stat st;
  ASSERT_EQ(::lstat(out.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(bytesOf(out), Bytes({1, 2}));
  EXPECT_EQ(bytesOf(target), Bytes({'T'}));
}

// ---- Refusals --------------------------------------------------------------------------

// A wrapped file the unwrapper must refuse: the operation, the alert it
// ends with, and what must be left at the output path afterwards.
struct Refusal {
  const char* what;
  Bytes file;
  std::function<void(const std::string& out)> act;
  const char* title;
  const char* text;
  Bytes outputBefore = {};  // an output that exists before (empty: none)
  bool outputIsTheCallers = false;  // copyBytes and expandBytes write to the caller's file
};

Bytes wrappedFile(const std::function<void(WrapParts&)>& change) {
  WrapParts parts;
  parts.pieces = {{1, 2, 3}, {4, 5}, join({px({A, B}), wrapRecord(0, {0x80}, px({C}))}), {6, 7, 8}, {9, 9}};
  parts.width = 2;
  parts.height = 2;
  change(parts);
  return buildWrapped(parts);
}

Bytes withPool(int32_t width, const Bytes& stream) {
  return wrappedFile([&](WrapParts& p) {
    p.width = static_cast<uint32_t>(width);
    p.pieces[2] = stream;
  });
}

Bytes withName(const std::string& name) {
  return wrappedFile([&](WrapParts& p) { p.name = name; });
}

// The row width (value 14) written in a file built by wrappedFile.
int32_t widthIn(const Bytes& file) {
  const size_t at = 4 + 99 + 10 + 4 * 14;
  return file.size() < at + 4 ? 0 : static_cast<int32_t>(file[at] << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3]);
}

void trailingName(const std::string&) {
  char buffer[WRAP_NAME_BUF];
  getTrailingString(buffer);
}
void expandPool(const std::string& out) { placeWrappedFile(WRAP_PIECE_POOL, out.c_str(), WRAP_CREATE_EXPANDED); }
void appendPool(const std::string& out) { placeWrappedFile(WRAP_PIECE_POOL, out.c_str(), WRAP_APPEND_EXPANDED); }
void copyFlow(const std::string& out) { placeWrappedFile(WRAP_PIECE_FLOW, out.c_str(), WRAP_CREATE_RAW); }
void appendFlow(const std::string& out) { placeWrappedFile(WRAP_PIECE_FLOW, out.c_str(), WRAP_APPEND_PIECE); }
std::function<void(const std::string&)> value(int n) {
  return [n](const std::string&) { getLongLongValue(n); };
}
std::function<void(const std::string&)> place(int piece, int style) {
  return [piece, style](const std::string& out) { placeWrappedFile(piece, out.c_str(), style); };
}
// Calls copy or expand for more bytes than the file holds after the position.
std::function<void(const std::string&)> shortRead(bool expand) {
  return [expand](const std::string& out) {
    const int in = ::open(gWrapSource, O_RDONLY);
    ::lseek(in, -4, SEEK_END);
    const int o = ::open(out.c_str(), O_RDWR | O_CREAT, 0644);
    if (expand) expandBytes(in, o, 400);
    else copyBytes(in, o, 400);
  };
}

TEST_F(WrapReader, RefusesEveryFaultWithItsAlertAndLeavesNoOutput) {
  Bytes badMagic = wrappedFile([](WrapParts&) {});
  badMagic[4 + 99 + 3] = 'X';
  Bytes noMarker = wrappedFile([](WrapParts&) {});
  noMarker[4 + 98] = 99;
  const char* kBad = "Bad File Format";
  const std::vector<Refusal> cases = {
      {"no marker", noMarker, nullptr, "Unwrap Fail", "Unwrap Error WS-02"},
      {"no end mark", wrappedFile([](WrapParts& p) { p.endMark = false; }), trailingName, kBad, "Unwrap Error 006t"},
      {"an empty name", withName(""), trailingName, kBad, "Unwrap Error 006t"},
      {"a name with /", withName("a/b"), trailingName, kBad, "Unwrap Error 006t"},
      {"a name with \\", withName("a\\b"), trailingName, kBad, "Unwrap Error 006t"},
      {"a name of ..", withName(".."), trailingName, kBad, "Unwrap Error 006t"},
      {"a name holding ..", withName("a..b"), trailingName, kBad, "Unwrap Error 006t"},
      {"a name of .", withName("."), trailingName, kBad, "Unwrap Error 006t"},
      {"a name with a control character", withName("a\x01" "b"), trailingName, kBad, "Unwrap Error 006t"},
      {"a name with a line feed", withName("a\nb"), trailingName, kBad, "Unwrap Error 006t"},
      {"a name with DEL", withName("a\x7F"), trailingName, kBad, "Unwrap Error 006t"},
      {"a name with NUL", withName(std::string("a\0b", 3)), trailingName, kBad, "Unwrap Error 006t"},
      {"a bad magic for a value", badMagic, value(14), kBad, "Unwrap Error 006g"},
      {"a bad magic for the name", badMagic, trailingName, kBad, "Unwrap Error 006t"},
      {"a bad magic for a piece", badMagic, copyFlow, kBad, "Unwrap Error 006"},
      {"value number -1", wrappedFile([](WrapParts&) {}), value(-1), "ValNumber Too Low", "getVal Error 002"},
      {"value number 20", wrappedFile([](WrapParts&) {}), value(20), "ValeNumber Too High", "getVal Error 004"},
      {"piece -1", wrappedFile([](WrapParts&) {}), place(-1, 1), "PlaceNumber Too Low", "Unwrap Error 002"},
      {"piece 10", wrappedFile([](WrapParts&) {}), place(10, 1), "PlaceNumber Too High", "Unwrap Error 002"},
      {"style -1", wrappedFile([](WrapParts&) {}), place(0, -1), "Placement Style is Too Low", "Unwrap Error 002"},
      {"style 5", wrappedFile([](WrapParts&) {}), place(0, 5), "Placement Style is Too High", "Unwrap Error 002"},
      {"an absent piece", wrappedFile([](WrapParts&) {}), place(6, 1), "No File to Unwrap", "Unwrap Error 010"},
      {"width 0", withPool(0, px({A})), expandPool, kBad, "Unwrap Error 006"},
      {"width 4000", withPool(4000, Bytes(12000, 1)), expandPool, kBad, "Unwrap Error 006"},
      {"a pool smaller than row 0", withPool(3, px({A, B})), expandPool, kBad, "Unwrap Error 006"},
      {"a mask bit beyond the width", withPool(2, join({px({A, B}), wrapRecord(0, {0x20}, px({C}))})), expandPool,
       kBad, "Unwrap Error 006"},
      {"a mask bit beyond the width in the second mask byte",
       withPool(9, join({Bytes(27, 1), wrapRecord(0, {0x00, 0x40}, px({C}))})), expandPool, kBad, "Unwrap Error 006"},
      {"a row referring to itself", withPool(2, join({px({A, B}), wrapRecord(1, {0x00}, {})})), expandPool, kBad,
       "Unwrap Error 006"},
      {"a row referring to a later row",
       withPool(2, join({px({A, B}), wrapRecord(0, {0x00}, {}), wrapRecord(7, {0x00}, {})})), expandPool, kBad,
       "Unwrap Error 006"},
      {"a piece past the end of the file", wrappedFile([](WrapParts& p) { p.sizeOverrides = {{3, 100000}}; }),
       copyFlow, kBad, "Unwrap Error 006"},
      {"a piece running into the end mark", wrappedFile([](WrapParts& p) { p.sizeOverrides = {{4, 3}}; }),
       place(4, 1), kBad, "Unwrap Error 006"},
      {"a bad row appended to an existing file", withPool(2, join({px({A, B}), wrapRecord(4, {0x00}, {})})),
       appendPool, kBad, "Unwrap Error 006", {'K', 'E', 'E', 'P'}},
      {"a bad row appended to a new file", withPool(2, join({px({A, B}), wrapRecord(4, {0x00}, {})})), appendPool,
       kBad, "Unwrap Error 006"},
      {"a bad row where an older output stands", withPool(2, join({px({A, B}), wrapRecord(4, {0x00}, {})})),
       expandPool, kBad, "Unwrap Error 006", {'O', 'L', 'D'}},
      {"a short read while copying", wrappedFile([](WrapParts&) {}), shortRead(false), kBad, "Unwrap Error 006", {},
       true},
      {"a short read while expanding", wrappedFile([](WrapParts&) {}), shortRead(true), kBad, "Unwrap Error 006", {},
       true},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(out.c_str());
    if (!c.outputBefore.empty()) {
      ASSERT_TRUE(writeBytes(out, c.outputBefore));
    }
    ASSERT_TRUE(writeBytes(wrapped, c.file));
    gCropSize[2] = widthIn(c.file);
    EXPECT_EXIT(
        {
          setWrapStart();
          if (c.act) c.act(out);
        },
        testing::ExitedWithCode(0), alertLine(c.title, c.text));
    if (c.outputIsTheCallers) continue;
    if (c.outputBefore.empty()) EXPECT_FALSE(exists(out));
    else EXPECT_EQ(bytesOf(out), c.outputBefore);
    EXPECT_EQ(entries(dir.path()).size(), c.outputBefore.empty() ? 1u : 2u) << "a temporary file was left";
  }
}

TEST_F(WrapReader, RefusesAnUnreadableProgramFileAndAnOutputLink) {
  gWrapSource = "/nonexistent/wrapped";
  EXPECT_EXIT(setWrapStart(), testing::ExitedWithCode(0), alertLine("Unwrap Fail", "Unwrap Error WS-01"));
  gWrapSource = wrapped.c_str();
  const std::string target = dir.file("target");
  ASSERT_TRUE(writeBytes(target, {'T'}));
  ASSERT_EQ(::symlink(target.c_str(), out.c_str()), 0);
  ASSERT_TRUE(writeBytes(wrapped, wrappedFile([](WrapParts&) {})));
  EXPECT_EXIT(
      {
        setWrapStart();
        appendFlow(out);
      },
      testing::ExitedWithCode(0), alertLine("Unwrap Fail", "Unwrap Error 016"));
  EXPECT_EQ(bytesOf(target), Bytes({'T'}));
  EXPECT_EXIT(
      {
        setWrapStart();
        copyFlow(dir.file("no-folder/out"));
      },
      testing::ExitedWithCode(0), alertLine("Unwrap Fail", "Unwrap Error 014"));
}

// ---- The unwrapper's outputs ---------------------------------------------------------------

PackageFixture smallDemo() {
  PackageFixture fx;
  fx.width = 9;
  fx.height = 4;
  fx.frames.resize(3);
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int i = 0; i < 27; ++i) bgr[i] = static_cast<unsigned char>(i == f * 3 + y ? 200 : 10 * y + i % 3);
  };
  return fx;
}

class UnwrapOutputs : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    wrapped = dir.file("Share Me");
    gWrapSource = wrapped.c_str();
    std::snprintf(gpal_ExePath, PAL_PATH_LEN, "%s", wrapped.c_str());
    previousMask = ::umask(022);
    package = buildPackage(smallDemo());
    presenter = {0x7F, 'E', 'L', 'F', 0, 1, 2, 0};
    gPMPonlyFlag = 0;
  }
  void TearDown() override {
    ::umask(previousMask);
    gWrapSource = "/proc/self/exe";
    gPMPonlyFlag = 0;
  }
  void write(const std::string& name, const Bytes& pool = {}) {
    WrapParts parts;
    parts.pieces = packagePieces(package, 9);
    if (!pool.empty()) parts.pieces[2] = pool;
    parts.pieces.push_back(presenter);
    parts.width = 9;
    parts.height = 4;
    parts.name = name;
    ASSERT_TRUE(writeBytes(wrapped, buildWrapped(parts)));
  }
  // What the worker does before writing.
  static void unwrap() {
    setWrapStart();
    getTrailingString(gPackageName);
    gCropSize[2] = static_cast<int32_t>(getLongLongValue(WRAP_VAL_WIDTH));
    makeSingleFilePackage();
  }
  mode_t modeOf(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
  }

  TempDir dir;
  std::string wrapped;
  mode_t previousMask = 022;
  Bytes package, presenter;
};

TEST_F(UnwrapOutputs, WritesAnExecutablePresenterWithItsPackageAttached) {
  write("Flow Demo");
  unwrap();
  EXPECT_EQ(bytesOf(dir.file("Flow Demo")), join({presenter, packageMarker(), package}));
  EXPECT_EQ(modeOf(dir.file("Flow Demo")), S_IFREG | 0755u);
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"Flow Demo", "Share Me"}));
  EXPECT_EQ(std::string(gPackageFullPath), dir.file("Flow Demo"));
}

TEST_F(UnwrapOutputs, PackageOnlyModeWritesThePackageFileAlone) {
  write("Flow Demo");
  gPMPonlyFlag = 1;
  unwrap();
  EXPECT_EQ(bytesOf(dir.file("Flow Demo.PMP")), package);
  EXPECT_EQ(modeOf(dir.file("Flow Demo.PMP")), S_IFREG | 0644u);
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"Flow Demo.PMP", "Share Me"}));
}

TEST_F(UnwrapOutputs, ReplacesAnOldOutputOrALinkWithoutFollowingIt) {
  TempDir elsewhere;
  const std::string target = elsewhere.file("target");
  ASSERT_TRUE(writeBytes(target, {'T'}));
  ASSERT_EQ(::symlink(target.c_str(), dir.file("Linked").c_str()), 0);
  ASSERT_TRUE(writeBytes(dir.file("Old"), {'O', 'L', 'D'}));
  for (const char* name : {"Linked", "Old"}) {
    write(name);
    unwrap();
    EXPECT_EQ(modeOf(dir.file(name)), S_IFREG | 0755u) << name;
    EXPECT_EQ(bytesOf(dir.file(name)), join({presenter, packageMarker(), package})) << name;
  }
  EXPECT_EQ(bytesOf(target), Bytes({'T'}));
}

TEST_F(UnwrapOutputs, AFaultLeavesNothingUnderTheFinalNameAndNoTemporaryFile) {
  ASSERT_TRUE(writeBytes(dir.file("Kept"), {'O', 'L', 'D'}));
  Bytes pool = packagePieces(package, 9)[2];
  pool.insert(pool.end(), {0, 0, 99, 0, 0});  // one more record, referring to a later row
  for (int only : {0, 1}) {
    write(only ? "Fresh" : "Kept", pool);  // an older Kept stands; Fresh.PMP would be new
    gPMPonlyFlag = only;
    EXPECT_EXIT(unwrap(), testing::ExitedWithCode(0), alertLine("Bad File Format", "Unwrap Error 006"));
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"Kept", "Share Me"}));
    EXPECT_EQ(bytesOf(dir.file("Kept")), Bytes({'O', 'L', 'D'}));
  }
}

// ---- Screens ------------------------------------------------------------------------------------

class UnwrapScreen : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    pal_InitWinBuf(0, UNWRAP_W, UNWRAP_H);
    gPMPonlyFlag = 0;
    std::snprintf(gPackageName, sizeof gPackageName, "%s", "Flow Demo");
    std::snprintf(gPackageFullPath, sizeof gPackageFullPath, "%s", "/home/ann/Downloads/Flow Demo");
  }
  void TearDown() override { gPMPonlyFlag = 0; }
  // The leftmost and rightmost white columns between rows top and bottom, or -1.
  std::pair<int, int> whiteSpan(int top, int bottom) {
    int left = -1, right = -1;
    for (int y = top; y <= bottom; ++y)
      for (int x = 0; x < UNWRAP_W; ++x)
        if (pixelColour(0, x, y) == 0xFFFFFF) {
          left = left < 0 ? x : std::min(left, x);
          right = std::max(right, x);
        }
    return {left, right};
  }
};

TEST_F(UnwrapScreen, BackgroundRowsAreTruncatedFromFloatingPoint) {
  const struct {
    int32_t row, height;
    uint32_t colour;
  } cases[] = {{0, 250, 0x3D455C}, {1, 250, 0x3C445B}, {125, 250, 0x323A4D}, {249, 250, 0x282F3E}};
  for (const auto& c : cases) EXPECT_EQ(unwrapBackgroundAt(c.row, c.height), c.colour) << "row " << c.row;
}

TEST_F(UnwrapScreen, ProgressBarFillsItsShareOfTheTrack) {
  const struct {
    int percent;
    int lastFilled;  // -1: nothing filled
  } cases[] = {{0, -1}, {1, 42 + 6 - 1}, {50, 42 + 308 - 1}, {100, 42 + 616 - 1}};
  for (const auto& c : cases) {
    gCurrProgress = c.percent;
    drawUnwrapScreen();
    EXPECT_EQ(pixelColour(0, 40, 200), 0xFFFFFFu);
    EXPECT_EQ(pixelColour(0, 659, 200), 0xFFFFFFu);
    EXPECT_EQ(pixelColour(0, 41, 200), 0x282F3Eu);
    if (c.lastFilled >= 0) {
      EXPECT_EQ(pixelColour(0, c.lastFilled, 200), 0xDADF11u) << c.percent;
    }
    EXPECT_EQ(pixelColour(0, std::max(42, c.lastFilled + 1), 200), 0x282F3Eu) << c.percent;
    EXPECT_EQ(pixelColour(0, 5, 30), unwrapBackgroundAt(30, UNWRAP_H));
  }
}

TEST_F(UnwrapScreen, TextsSayWhatIsBuiltAndWhereItIs) {
  gCurrProgress = 0;
  drawUnwrapScreen();
  const auto demo = whiteSpan(70, 110);
  gPMPonlyFlag = 1;
  drawUnwrapScreen();
  const auto pmp = whiteSpan(70, 110);
  EXPECT_GT(demo.first, 200);
  EXPECT_NEAR(demo.first + demo.second, UNWRAP_W, 4);  // centred
  EXPECT_LT(pmp.first, demo.first);                     // "Building the PMP file..." is wider
  EXPECT_EQ(whiteSpan(111, 150).first, -1);
  gPMPonlyFlag = 0;
  drawFinalScreen();
  const auto ready = whiteSpan(70, 105);
  EXPECT_NEAR(ready.first + ready.second, UNWRAP_W, 4);
  EXPECT_NE(whiteSpan(110, 150).first, -1);  // "in 'ann/Downloads'"
  gPMPonlyFlag = 1;
  drawFinalScreen();
  EXPECT_LT(whiteSpan(70, 105).first, ready.first);  // "'Flow Demo.PMP' is ready to run"
}

TEST_F(UnwrapScreen, TheFinalScreenMarksOneOkButton) {
  drawFinalScreen();
  drawFinalScreen();  // every tick repaints it
  char name[PAL_NAME_LEN] = "";
  EXPECT_GE(pal_FindClickableRectAtLocation(name, 350, 232), 0);
  EXPECT_STREQ(name, "OK");
  EXPECT_EQ(gpal_ClickableRectList[1][0], PAL_FREE_CLICKABLE);
  EXPECT_EQ(pixelColour(0, 322, 220), 0xFFFFFFu);  // the button's face
  EXPECT_EQ(pal_FindClickableRectAtLocation(name, 319, 232), -1);
}

TEST(UnwrapPaths, OutputFolderAndShownFolders) {
  const struct {
    const char *program, *folder;
  } folders[] = {{"/a/b/prog", "/a/b/"}, {"/a/./prog", "/a/"}, {"/prog", "/"}, {"prog", ""}, {"", ""}};
  for (const auto& c : folders) EXPECT_EQ(unwrapOutputFolder(c.program), c.folder) << c.program;
  const struct {
    const char *full, *shown;
  } shown[] = {{"/Users/demo/Desktop/N.app", "demo/Desktop"},
               {"/home/ann/Downloads/Flow Demo", "ann/Downloads"},
               {"/tmp/N", "/tmp"},
               {"C:\\Users\\demo\\Desktop\\N", "demo\\Desktop"},
               {"N", ""}};
  for (const auto& c : shown) EXPECT_EQ(unwrapShownFolder(c.full), c.shown) << c.full;
}

// ---- The examiner on wrapped files ---------------------------------------------------------------

CommandResult examine(const std::string& args) { return runCommand(std::string(PICTOMIRA_EXAMINE_BIN) + " " + args); }

TEST(WrapExaminer, SaysWhetherTheRebuiltPackageIsSound) {
  TempDir dir;
  const Bytes package = buildPackage(smallDemo());
  auto wrappedWith = [&](const std::function<void(WrapParts&)>& change) {
    WrapParts parts;
    parts.program = {0x7F, 'E', 'L', 'F'};
    parts.pieces = packagePieces(package, 9);
    parts.pieces.push_back({1, 2, 3});
    parts.width = 9;
    parts.height = 4;
    parts.name = "Flow Demo";
    change(parts);
    return buildWrapped(parts);
  };
  Bytes badTables = package;
  badTables[10 + 8 * 18 + 3] = 9;  // nine frames, whose line tables are not there
  const struct {
    const char* what;
    Bytes file;
    int status;
    const char* says;
  } cases[] = {
      {"a sound file", wrappedWith([](WrapParts&) {}), 0, "end mark at byte"},
      {"a row referring to a later row",
       wrappedWith([](WrapParts& p) { p.pieces[2].insert(p.pieces[2].end(), {0, 0, 99, 0, 0}); }), 1,
       "DAMAGED: piece 2 (line pool, compressed): a row refers to itself or to a later row"},
      {"a gap before the end mark", wrappedWith([](WrapParts& p) { p.pieces[4].push_back(0); p.sizeOverrides = {{4, 3}}; }),
       1, "but the end mark stands at byte"},
      {"a Presenter holding the marker", wrappedWith([](WrapParts& p) { p.pieces[4] = packageMarker(); }), 1,
       "the Presenter program holds the marker at its byte 0"},
      {"a bad name", wrappedWith([](WrapParts& p) { p.name = "../x"; }), 1, "DAMAGED: the package name"},
      {"a damaged package inside", wrappedWith([&](WrapParts& p) { p.pieces[0] = packagePieces(badTables, 9)[0]; }), 1,
       "DAMAGED"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(writeBytes(dir.file("Share Me"), c.file));
    const CommandResult r = examine("'" + dir.file("Share Me") + "'");
    EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.what << "\n" << r.out;
    EXPECT_NE(r.out.find("Wrapped file"), std::string::npos) << c.what;
  }
  const CommandResult sound = examine("--kind wrap '" + dir.file("Share Me") + "'");
  EXPECT_NE(sound.out.find("package name \"Flow Demo\""), std::string::npos) << sound.out;
}

}  // namespace
