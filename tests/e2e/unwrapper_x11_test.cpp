// The unwrapper under Xvfb: wrapped files made in the test from the system
// files UWL and ZPL and a package of the fixture builder (its line pool
// compressed by the test's own compressor); the window, the files written
// beside the wrapped file, and the written Presenter presenting the package,
// judged by its pixels.
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/wrap_builder.h"
#include "tests/support/xsession.h"

#include <dirent.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = WrapBytes;

const std::string kSystemFiles = PICTOMIRA_SYSTEM_FILES;
constexpr int kW = 640, kH = 400;
// The unwrapper's 700 x 250 window, the splash and the presenting window,
// each centred on the 1280 x 800 screen.
constexpr int kUX = (1280 - 700) / 2, kUY = (800 - 250) / 2;
constexpr int kSplashX = (1280 - 900) / 2, kSplashY = (800 - 600) / 2;
constexpr int kX = (1280 - kW) / 2, kY = (800 - kH) / 2;

Bytes bytesOf(const std::string& path) {
  const std::string s = slurp(path);
  return Bytes(s.begin(), s.end());
}

std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Frame f: a flat colour, a white diagonal that moves with the frame and a
// left band that changes every 40 rows, so that every row is its own and
// most differ from row 0 or from the row before in a few pixels only.
uint32_t colourAt(int f, int x, int y) {
  if (x == (y * 3 + f * 50) % kW) return 0xFFFFFF;
  if (x < 12) return static_cast<uint32_t>(0x200000 * (y / 40 % 4) + 0x30 + f);
  return static_cast<uint32_t>((40 + f * 30) << 16 | (90 + f * 10) << 8 | (200 - f * 20));
}

PackageFixture demo() {
  PackageFixture fx;
  fx.width = kW;
  fx.height = kH;
  fx.title = "Unwrapped";
  fx.frames.resize(3);
  for (int f = 0; f < 3; ++f) fx.frames[f].instrs = {InstrRec{0, f + 1, 'K', {0, 0, 0, 0}}};
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < kW; ++x) {
      const uint32_t c = colourAt(f, x, y);
      bgr[x * 3] = c & 0xFF;
      bgr[x * 3 + 1] = (c >> 8) & 0xFF;
      bgr[x * 3 + 2] = (c >> 16) & 0xFF;
    }
  };
  return fx;
}

// The background's rows 5 and 200 of 250: 61 - 21 x 5 / 250 and so on, truncated.
constexpr uint32_t kBackgroundRow5 = 0x3C445B;
constexpr uint32_t kBackgroundRow200 = 0x2C3344;

class Unwrapper : public testing::Test {
 protected:
  void SetUp() override {
    server = std::make_unique<XServer>();
    ASSERT_TRUE(server->ok());
    input = std::make_unique<XInput>();
    package = buildPackage(demo());
    presenter = bytesOf(kSystemFiles + "/ZPL");
    ASSERT_FALSE(presenter.empty());
  }
  void TearDown() override {
    app.reset();
    input.reset();
    server.reset();
  }
  // Writes the wrapped file "Share Me" for the package name.
  void wrap(const std::string& name) {
    WrapParts parts;
    parts.program = bytesOf(kSystemFiles + "/UWL");
    ASSERT_FALSE(parts.program.empty());
    parts.pieces = packagePieces(package, kW);
    parts.pieces.push_back(presenter);
    parts.width = kW;
    parts.height = kH;
    parts.name = name;
    ASSERT_TRUE(writeBytes(dir.file("Share Me"), buildWrapped(parts)));
    ASSERT_EQ(::chmod(dir.file("Share Me").c_str(), 0755), 0);
  }
  // Starts a shipped program as on a recipient's machine: no library path
  // of the build's (an empty folder), so only the system's libraries load.
  void start(const std::vector<std::string>& argv) {
    app = std::make_unique<Child>(argv, std::vector<std::string>{"PICTOMIRA_ALERTS=stderr",
                                                                 "LD_LIBRARY_PATH=" + noLibraries.path()});
  }
  // Waits for the final screen's "OK", presses it and expects a normal end.
  void finishWithOk() {
    ASSERT_TRUE(input->waitForPixel(kUX + 322, kUY + 220, 0xFFFFFF, 15000)) << "no final screen";
    EXPECT_EQ(input->pixel(kUX + 5, kUY + 5), kBackgroundRow5);
    EXPECT_EQ(input->pixel(kUX + 45, kUY + 200), kBackgroundRow200);  // no progress bar any more
    input->click(kUX + 350, kUY + 232);
    EXPECT_EQ(app->wait(5000), 0);
  }
  // True when frame 0 of the package is on the screen at the presenting window.
  bool showsFrame0(int ms) {
    if (!input->waitForPixel(kX + 300, kY + 100, 0xFFFFFF, ms)) return false;  // the diagonal at row 100
    const int points[][2] = {{301, 100}, {5, 50}, {5, 130}, {639, 399}, {597, 399}, {200, 10}, {30, 10}};
    bool all = true;
    for (const auto& p : points) {
      const uint32_t want = colourAt(0, p[0], p[1]), got = input->pixel(kX + p[0], kY + p[1]);
      EXPECT_EQ(got, want) << "pixel " << p[0] << "," << p[1];
      all = all && got == want;
    }
    return all;
  }

  TempDir dir, noLibraries;
  Bytes package, presenter;
  std::unique_ptr<XServer> server;
  std::unique_ptr<XInput> input;
  std::unique_ptr<Child> app;
};

TEST_F(Unwrapper, WritesAPresenterThatPresentsItsAttachedPackage) {
  wrap("Flow Demo");
  start({dir.file("Share Me")});
  ASSERT_TRUE(app->waitFor("Pictomira is Creating the Demo - please wait...", 10000));
  ASSERT_TRUE(input->waitForPixel(kUX + 322, kUY + 220, 0xFFFFFF, 15000)) << "no final screen";
  EXPECT_NE(input->findWindow("Building 'Flow Demo' - Pictomira"), 0u);
  finishWithOk();
  const std::vector<std::string> said = app->drain(500);
  EXPECT_NE(std::find(said.begin(), said.end(), "'Flow Demo' is ready to present"), said.end());
  EXPECT_NE(std::find(said.begin(), said.end(), "This window is no longer needed and can be closed."), said.end());

  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"Flow Demo", "Share Me"}));
  Bytes expected = presenter;
  const Bytes marker = packageMarker();
  expected.insert(expected.end(), marker.begin(), marker.end());
  expected.insert(expected.end(), package.begin(), package.end());
  EXPECT_TRUE(bytesOf(dir.file("Flow Demo")) == expected) << "the Presenter and its package";
  struct stat st;
  ASSERT_EQ(::stat(dir.file("Flow Demo").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u);

  start({dir.file("Flow Demo")});
  ASSERT_TRUE(input->waitForPixel(kSplashX + 372, kSplashY + 360, 0xFFFFFF, 10000)) << "no Present Demo button";
  input->click(kSplashX + 450, kSplashY + 374);
  EXPECT_TRUE(showsFrame0(5000));
}

TEST_F(Unwrapper, PackageOnlyModeWritesAPackageThatAPlainPresenterPresents) {
  wrap("Flow Demo");
  start({dir.file("Share Me"), "package"});
  finishWithOk();
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"Flow Demo.PMP", "Share Me"}));
  EXPECT_TRUE(bytesOf(dir.file("Flow Demo.PMP")) == package);

  ASSERT_TRUE(writeBytes(dir.file("Presenter"), presenter));
  ASSERT_EQ(::chmod(dir.file("Presenter").c_str(), 0755), 0);
  const std::string setLine = "^>Flow Demo.PMP\n";  // "^": straight to the frames
  ASSERT_TRUE(writeBytes(dir.file("PMP_set.txt"), Bytes(setLine.begin(), setLine.end())));
  start({dir.file("Presenter")});
  EXPECT_TRUE(showsFrame0(10000));
}

TEST_F(Unwrapper, RefusesANameWithASeparatorAndWritesNothing) {
  wrap("../Flow Demo");
  start({dir.file("Share Me")});
  EXPECT_TRUE(app->waitFor("ALERT 1 Bad File Format | Unwrap Error 006t", 10000));
  EXPECT_EQ(app->wait(5000), 0);
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"Share Me"}));
}

// True when the ELF file has a symbol table section.
bool hasSymbolTable(const Bytes& file) {
  if (file.size() < sizeof(Elf64_Ehdr)) return false;
  Elf64_Ehdr h;
  std::memcpy(&h, file.data(), sizeof h);
  for (int i = 0; i < h.e_shnum; ++i) {
    const size_t at = h.e_shoff + static_cast<size_t>(i) * h.e_shentsize;
    if (at + sizeof(Elf64_Shdr) > file.size()) return false;
    Elf64_Shdr s;
    std::memcpy(&s, &file[at], sizeof s);
    if (s.sh_type == SHT_SYMTAB) return true;
  }
  return false;
}

// The libraries the ELF file names in its dynamic section (DT_NEEDED).
std::vector<std::string> neededLibraries(const Bytes& file) {
  std::vector<std::string> names;
  Elf64_Ehdr h;
  if (file.size() < sizeof h) return names;
  std::memcpy(&h, file.data(), sizeof h);
  auto section = [&](size_t i, Elf64_Shdr* s) {
    const size_t at = h.e_shoff + i * h.e_shentsize;
    if (i >= h.e_shnum || at + sizeof *s > file.size()) return false;
    std::memcpy(s, &file[at], sizeof *s);
    return s->sh_offset + s->sh_size <= file.size();
  };
  Elf64_Shdr dyn, str;
  for (size_t i = 0; i < h.e_shnum; ++i) {
    if (!section(i, &dyn) || dyn.sh_type != SHT_DYNAMIC || !section(dyn.sh_link, &str)) continue;
    for (size_t at = dyn.sh_offset; at + sizeof(Elf64_Dyn) <= dyn.sh_offset + dyn.sh_size; at += sizeof(Elf64_Dyn)) {
      Elf64_Dyn d;
      std::memcpy(&d, &file[at], sizeof d);
      if (d.d_tag == DT_NEEDED && d.d_un.d_val < str.sh_size)
        names.emplace_back(reinterpret_cast<const char*>(&file[str.sh_offset + d.d_un.d_val]));
    }
  }
  return names;
}

// What every X11 desktop has: the C library, the X client libraries, and
// fontconfig with what it loads.
bool onEveryDesktop(const std::string& library) {
  static const char* const kAllowed[] = {
      "ld-linux-x86-64", "libc",       "libm",       "libpthread", "libdl",     "librt",   "libX11",
      "libXext",         "libXrandr",  "libXtst",    "libXi",      "libXcursor", "libXfixes", "libXrender",
      "libxcb",          "libXau",     "libXdmcp",   "libfontconfig", "libfreetype", "libexpat", "libz",
      "libpng16",        "libbrotlidec", "libbrotlicommon"};
  const std::string stem = library.substr(0, library.find(".so"));
  for (const char* allowed : kAllowed)
    if (stem == allowed || (std::strcmp(allowed, "libxcb") == 0 && stem.rfind("libxcb-", 0) == 0)) return true;
  return false;
}

TEST(UnwrapperSystemFiles, AreStrippedHoldNoMarkerAndNeedOnlyWhatEveryDesktopHas) {
  const Bytes marker = packageMarker();
  for (const char* name : {"UWL", "ZPL"}) {
    const Bytes file = bytesOf(kSystemFiles + "/" + name);
    ASSERT_GT(file.size(), 100000u) << name;
    EXPECT_EQ(std::search(file.begin(), file.end(), marker.begin(), marker.end()), file.end())
        << name << " holds the bytes 0, 1, ... 98";
    EXPECT_FALSE(hasSymbolTable(file)) << name << " is not stripped";
    const std::vector<std::string> needed = neededLibraries(file);
    EXPECT_NE(std::find(needed.begin(), needed.end(), "libX11.so.6"), needed.end()) << name << ": no dynamic section read";
    for (const std::string& library : needed) EXPECT_TRUE(onEveryDesktop(library)) << name << " needs " << library;
  }
}

}  // namespace
