// The Debian package as a user gets it: unpacked with dpkg-deb into a root
// of the test's own, its contents and desktop entry checked, and its
// launcher started under Xvfb for a user whose home folder is the test's:
// the home screen lists the sample demo from the user's new library, and
// the unpacked program folder is left exactly as it came.
#include "tests/support/runtime.h"
#include "tests/support/studio_session.h"
#include "tests/support/xsession.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The 900 x 600 home and demo windows, centred on the 1280 x 800 screen.
constexpr int kX = 190, kY = 100;

bool executable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0 && fs::is_regular_file(path); }

// Every entry below folder with its size and modification time.
std::map<std::string, std::string> snapshot(const std::string& folder) {
  std::map<std::string, std::string> out;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
    struct stat st;
    ::lstat(e.path().c_str(), &st);
    out[fs::relative(e.path(), folder).string()] =
        std::to_string(st.st_size) + "@" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
  }
  return out;
}

// The value of key in a desktop entry's text.
std::string entryValue(const std::string& entry, const std::string& key) {
  const size_t at = entry.find("\n" + key + "=");
  if (at == std::string::npos) return {};
  const size_t from = at + key.size() + 2;
  return entry.substr(from, entry.find('\n', from) - from);
}

class DebianPackage : public testing::Test {
 protected:
  void SetUp() override {
    std::string arch = runCommand("dpkg --print-architecture").out;
    ASSERT_FALSE(arch.empty());
    arch.pop_back();
    deb_ = std::string(PICTOMIRA_TEST_PACKAGES) + "/pictomira_" PICTOMIRA_VERSION_TEXT "_" + arch + ".deb";
    ASSERT_TRUE(fs::is_regular_file(deb_)) << deb_;
    ASSERT_EQ(runCommand("dpkg-deb -x '" + deb_ + "' '" + root_.path() + "'").status, 0);
  }
  std::string lib(const std::string& name) const { return root_.file("usr/lib/pictomira/" + name); }

  std::string deb_;
  TempDir root_, home_;
};

TEST_F(DebianPackage, HoldsTheProgramFolderLauncherEntryAndIconAndNamesItsDependencies) {
  std::vector<std::string> programs = {"usr/bin/pictomira", "usr/lib/pictomira/Pictomira",
                                       "usr/lib/pictomira/Pictomira_Presenter", "usr/lib/pictomira/unwrapper",
                                       "usr/lib/pictomira/zPictomiraSystemFiles/ZPL",
                                       "usr/lib/pictomira/zPictomiraSystemFiles/UWL"};
  for (const char* windows : {"ZPW", "UWW"})  // when the build cross-built them
    if (fs::exists(std::string(PICTOMIRA_SYSTEM_FILES) + "/" + windows))
      programs.push_back(std::string("usr/lib/pictomira/zPictomiraSystemFiles/") + windows);
  for (const std::string& p : programs) EXPECT_TRUE(executable(root_.file(p))) << p;
  for (const char* f : {"GBA", "GBH"})
    EXPECT_EQ(slurp(lib("zPictomiraSystemFiles/") + f), slurp(std::string(PICTOMIRA_SYSTEM_FILES) + "/" + f)) << f;
  EXPECT_GT(fs::file_size(lib("Demos/Jotter Sample/Jotter Sample.DMR")), 0u);

  const std::string entryFile = root_.file("usr/share/applications/pictomira.desktop");
  const CommandResult valid = runCommand("desktop-file-validate '" + entryFile + "'");
  EXPECT_EQ(valid.status, 0);
  EXPECT_EQ(valid.out, "");
  const std::string entry = "\n" + slurp(entryFile);
  EXPECT_TRUE(executable(root_.file("usr/bin/" + entryValue(entry, "Exec"))));
  EXPECT_TRUE(fs::is_regular_file(root_.file("usr/share/icons/hicolor/scalable/apps/" + entryValue(entry, "Icon") + ".svg")));

  // dpkg-shlibdeps found the linked libraries; the font and the OCR data are named.
  const std::string depends = runCommand("dpkg-deb -f '" + deb_ + "' Depends").out;
  for (const char* needed : {"libc6", "libx11-6", "libfontconfig1", "fonts-open-sans", "tesseract-ocr-eng"})
    EXPECT_NE(depends.find(needed), std::string::npos) << needed << " not in " << depends;
}

// The launcher on a first run: a user whose documents folder (xdg-user-dirs)
// does not exist yet gets a library there with the sample demo in it, which
// the home screen lists; a user without one gets it in the home folder, and
// a link to the launcher starts the same program.
TEST_F(DebianPackage, FirstRunMakesTheUsersLibraryWithTheSampleAndLeavesTheProgramFolderAlone) {
  const std::map<std::string, std::string> before = snapshot(root_.file("usr"));
  fs::create_directories(home_.file(".config"));
  std::FILE* dirs = std::fopen(home_.file(".config/user-dirs.dirs").c_str(), "w");
  ASSERT_NE(dirs, nullptr);
  std::fputs("XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", dirs);
  std::fclose(dirs);

  XServer server;
  ASSERT_TRUE(server.ok());
  XInput input;
  Child app({root_.file("usr/bin/pictomira")},
            {"PICTOMIRA_ALERTS=stderr", "HOME=" + home_.path(), "XDG_CONFIG_HOME=" + home_.file(".config")});
  bool shown = false;
  for (int waited = 0; waited < 10000 && !shown; waited += 100, sleepMs(100))
    shown = windowTitles().find("Pictomira (v" PICTOMIRA_VERSION_TEXT ")\n") != std::string::npos;
  ASSERT_TRUE(shown) << windowTitles();
  ASSERT_TRUE(input.waitForPixel(kX + 154, kY + 336, 0xFFFFFF, 5000));  // "New Demo..."
  input.move(kX + 300, kY + 365 + 12);
  sleepMs(40);
  input.click(kX + 300, kY + 365 + 12);  // the list's first row
  bool opened = false;
  for (int waited = 0; waited < 5000 && !opened; waited += 100, sleepMs(100))
    opened = windowTitles().find("Jotter Sample - Pictomira\n") != std::string::npos;
  EXPECT_TRUE(opened) << windowTitles();
  const std::string title = opened ? "Jotter Sample - Pictomira" : "Pictomira (v" PICTOMIRA_VERSION_TEXT ")";
  const unsigned long window = input.findWindow(title);
  ASSERT_NE(window, 0ul);
  input.requestClose(window);
  const int status = app.wait(10000);
  if (status != 0) app.report();
  EXPECT_EQ(status, 0);

  const std::string library = home_.file("Dokumente/Pictomira/");
  for (const char* ext : {".DMD", ".DMR", ".DMW"})
    EXPECT_EQ(slurp(library + "Demos/Jotter Sample/Jotter Sample" + ext),
              slurp(lib("Demos/Jotter Sample/Jotter Sample") + ext)) << ext;
  EXPECT_FALSE(fs::exists(library + ".Demos.seed"));
  EXPECT_FALSE(fs::exists(home_.file("Pictomira")));

  // Without a documents folder of its own the library is ~/Pictomira; a
  // command runs on the same folders, through a link to the launcher.
  TempDir other;
  fs::create_symlink(root_.file("usr/bin/pictomira"), other.file("pictomira"));
  const CommandResult listed = runCommand("env -u DISPLAY -u XDG_CONFIG_HOME HOME='" + other.path() + "' '" +
                                          other.file("pictomira") + "' --list 2>&1");
  EXPECT_EQ(listed.status, 0) << listed.out;
  EXPECT_EQ(listed.out, "");
  EXPECT_TRUE(fs::is_directory(other.file("Pictomira")));

  EXPECT_EQ(snapshot(root_.file("usr")), before);
}

}  // namespace
