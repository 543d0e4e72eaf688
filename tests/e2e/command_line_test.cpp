// The authoring program's command line, run as built with no X display:
// usage errors, bad input, the library's list and every kind of publishing
// on the browser fixture's demo, whose pages must be the ones the workers
// write in the fixture (and the browser tests accept).
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Outcome {
  int status;
  std::string out, err;
};

// Runs the program in folder with args (shell words) and DISPLAY unset.
Outcome pictomira(const TempDir& scratch, const std::string& args) {
  const std::string out = scratch.file("stdout"), err = scratch.file("stderr");
  const CommandResult r = runCommand("{ env -u DISPLAY timeout 60 '" PICTOMIRA_STUDIO_BIN "' " + args + " >'" + out +
                                     "' 2>'" + err + "'; }");
  return {r.status, slurp(out), slurp(err)};
}

size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

bool isFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

class CommandLine : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(runCommand("'" PICTOMIRA_WEB_FIXTURE "' '" + dir_.path() + "' >/dev/null 2>&1").status, 0);
    for (const char* f : {"UWL", "ZPL", "GBA"})
      std::filesystem::copy_file(std::string(PICTOMIRA_SYSTEM_FILES) + "/" + f,
                                 dir_.file("zPictomiraSystemFiles/") + f);
  }
  std::string folder() const { return "--folder '" + dir_.path() + "' "; }

  TempDir dir_, scratch_;
};

TEST_F(CommandLine, UsageErrorsAndBadInputEndWithTheirStatusAndOneReason) {
  struct Case {
    std::string args;
    int status;
    const char* said;  // in standard error
  };
  std::filesystem::create_directories(dir_.file("Plain"));
  const Case cases[] = {
      {"--frobnicate", 2, "unknown argument '--frobnicate'"},
      {folder() + "--fast", 2, "no command given"},
      {"--library", 2, "'--library' needs a folder"},
      {"--list --version", 2, "give one command only"},
      {"--folder", 2, "'--folder' needs a folder"},
      {"--publish html5", 2, "'--publish' needs a KIND and a DEMO"},
      {"--publish pdf Tour", 2, "unknown KIND 'pdf'"},
      {"--publish html5 Tour --fast", 2, "belong to '--publish simulation'"},
      {"--publish guide Tour --no-notes", 2, "belong to '--publish simulation'"},
      {"--publish simulation Tour --small --fast", 2, "exclude each other"},
      {"--publish mirrit Tour --notes x", 2, "belong to '--publish simulation', 'html5', 'guide' or 'markdown'"},
      {"--publish html5 Tour --package-name", 2, "'--package-name' needs a name"},
      {"--multipath", 2, "'--multipath' needs a DEMO"},
      {"--list --name x", 2, "'--name' and '--crop' belong to '--abstract'"},
      {"--abstract --crop 1,2,3", 2, "'1,2,3' is not a crop X,Y,W,H"},
      {folder() + "--abstract --name 'a:b'", 1, "'a:b' cannot be the demo's name"},
      {folder() + "--abstract", 1, "there is no capture to abstract"},
      {folder() + "--multipath 'No Such'", 1, "there is no demo 'No Such'"},
      {"--folder '" + dir_.file("nowhere") + "' --list", 1, "is not a folder"},
      {folder() + "--publish html5 'No Such'", 1, "there is no demo 'No Such'"},
      {folder() + "--publish html5 'a/b'", 1, "'a/b' is not a demo name"},
      {folder() + "--publish html5 Plain", 1, "there is no demo 'Plain'"},
      {folder() + "--publish html5 Tour --package-name 'x*y'", 1, "'x*y' cannot be the package name"},
      {folder() + "--publish guide Tour --notes '" + std::string(50, 'n') + "'", 1, "longer than 49 characters"},
      {"--redact Tour", 2, "'--redact' needs a DEMO and X,Y,W,H"},
      {"--redact Tour 1,2,3", 2, "'1,2,3' is not a rectangle X,Y,W,H"},
      {"--redact Tour 1,1,2,2 --colour red", 2, "'red' is not a colour RRGGBB"},
      {"--list --frames 1-2", 2, "'--frames' and '--colour' belong to '--redact'"},
      {folder() + "--redact 'No Such' 1,1,2,2", 1, "there is no demo 'No Such'"},
      {folder() + "--redact Tour 500,0,30,10", 1, "the rectangle 500,0,30,10 is not inside the recorded 520x340 screen"},
      {folder() + "--redact Tour 1,1,2,0", 1, "is not inside the recorded"},
      {folder() + "--redact Tour 1,1,2,2 --frames 5-2", 1, "'To frame#' must be equal to or greater"},
      {folder() + "--redact Tour 1,1,2,2 --frames x", 1, "Please Enter a frame number in 'From frame#'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome r = pictomira(scratch_, c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("Pictomira: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("Try 'Pictomira --help'") != std::string::npos, c.status == 2) << r.err;
  }
  // An output folder that cannot be made: the pages' top folder is a file.
  std::filesystem::remove_all(dir_.file("Demo_Packages"));
  ASSERT_TRUE(std::filesystem::copy_file(dir_.file("zPictomiraSystemFiles/UWL"), dir_.file("Demo_Packages")));
  const Outcome r = pictomira(scratch_, folder() + "--publish html5 Tour");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the folder for the page cannot be created in 'Demo_Packages'"), std::string::npos) << r.err;
}

TEST_F(CommandLine, ListsAndPublishesEveryKindWithoutADisplay) {
  Outcome r = pictomira(scratch_, "--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Usage: Pictomira", 0), 0u) << r.out;
  r = pictomira(scratch_, "--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Pictomira ", 0), 0u) << r.out;

  r = pictomira(scratch_, folder() + "--list");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Tour\t19\t480x300\t", 0), 0u) << r.out;
  EXPECT_EQ(r.out.back(), '\n');

  // The pages are the fixture's own, written by the workers in-process.
  const std::string page = dir_.file("Demo_Packages/Tour/Tour.html"), guide = dir_.file("Demo_Guides/Tour/Tour.html");
  const std::string fixturePage = slurp(page), fixtureGuide = slurp(guide);
  ASSERT_FALSE(fixturePage.empty());
  std::filesystem::remove(page);
  std::filesystem::remove(guide);
  r = pictomira(scratch_, folder() + "--publish html5 Tour --notes 'Walk the tour & see'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, page + "\n");
  EXPECT_TRUE(slurp(page) == fixturePage);
  EXPECT_NE(r.err.find("Writing the HTML5 page: 100%\n"), std::string::npos) << r.err;
  // Arguments in UTF-8 reach the page as the fixture's Windows-1252 notes.
  r = pictomira(scratch_,
                folder() + "--publish guide Tour --notes \"$(printf 'First line & <b>bold</b>\\nSecond line, déjà vu')\"");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, guide + "\n");
  EXPECT_TRUE(slurp(guide) == fixtureGuide);

  // The Markdown guide, read by a CommonMark parser: a heading and a picture
  // that exists for every step, and the author's texts stay text.
  r = pictomira(scratch_, folder() + "--publish markdown Tour --notes 'See [this](http://x) & <b>that</b>'");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string md = dir_.file("Demo_Guides/Tour/Tour.md");
  EXPECT_EQ(r.out, md + "\n");
  const CommandResult html = runCommand("cmark '" + md + "'");
  ASSERT_EQ(html.status, 0);
  const int steps = static_cast<int>(countOf(fixtureGuide, "<H3 style"));  // the HTML guide's steps
  ASSERT_GT(steps, 2);
  EXPECT_EQ(countOf(html.out, "<h2>"), static_cast<size_t>(steps));
  EXPECT_EQ(countOf(html.out, "<img "), static_cast<size_t>(steps));
  for (int n = 1; n <= steps; ++n) {
    const std::string src = "Tour_files/step-" + std::to_string(n) + ".png";
    EXPECT_NE(html.out.find("<h2>Step " + std::to_string(n) + "</h2>"), std::string::npos);
    EXPECT_NE(html.out.find("<img src=\"" + src + "\""), std::string::npos) << src;
    EXPECT_TRUE(isFile(dir_.file("Demo_Guides/Tour/" + src))) << src;
  }
  EXPECT_NE(html.out.find("See [this](http://x) &amp; &lt;b&gt;that&lt;/b&gt;"), std::string::npos) << html.out;
  for (const char* markup : {"<a ", "<b>", "<em>", "<script", "<code>"}) EXPECT_EQ(html.out.find(markup), std::string::npos) << markup;

  r = pictomira(scratch_, folder() + "--publish simulation Tour --package-name 'Tour Kit' --fast");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string linux = dir_.file("Demo_Packages/Tour Kit/Tour Kit Linux");
  EXPECT_EQ(r.out, linux + "\n");
  EXPECT_TRUE(isFile(linux));

  r = pictomira(scratch_, folder() + "--multipath Tour");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, dir_.file("Demos/Tour/Tour.DMD") + "\n");
  EXPECT_NE(r.err.find("MultiPath added "), std::string::npos) << r.err;

  r = pictomira(scratch_, folder() + "--publish mirrit Tour");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string flow = dir_.file("Demos/Tour/DemoFlow.txt"), stack = dir_.file("Demos/Tour/DemoStack.bws");
  EXPECT_EQ(r.out, flow + "\n" + stack + "\n");
  EXPECT_TRUE(isFile(flow) && isFile(stack));
}

// A library of its own: the demos are listed and published from it and the
// outputs land in it (made, folders above it too, when missing), while the
// system files come from the program folder, which nothing is written into.
TEST_F(CommandLine, ALibraryFolderHoldsTheDemosAndOutputsAndTheProgramFolderTheSystemFiles) {
  TempDir program;
  std::filesystem::rename(dir_.file("zPictomiraSystemFiles"), program.file("zPictomiraSystemFiles"));
  const std::string both = "--folder '" + program.path() + "' --library '" + dir_.path() + "' ";
  Outcome r = pictomira(scratch_, both + "--list");
  EXPECT_EQ(r.out.rfind("Tour\t19\t", 0), 0u) << r.out << r.err;
  r = pictomira(scratch_, both + "--publish simulation Tour --fast");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, dir_.file("Demo_Packages/Tour/Tour Linux") + "\n");
  r = pictomira(scratch_, both + "--publish guide Tour");
  EXPECT_EQ(r.out, dir_.file("Demo_Guides/Tour/Tour.html") + "\n") << r.err;
  r = pictomira(scratch_, "--folder '" + program.path() + "' --library '" + scratch_.file("a/b") + "' --list");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::is_directory(scratch_.file("a/b")));
  r = pictomira(scratch_, "--folder '" + dir_.path() + "' --library '" + program.path() + "' --publish html5 Tour");
  EXPECT_NE(r.err.find("there is no demo 'Tour'"), std::string::npos) << r.err;
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(program.path())) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"zPictomiraSystemFiles"});
}

// The fixture's demo as recorded, redacted from the command line, is the
// demo the fixture redacts in-process: the same recording and data file,
// and so the same pages, which the browser tests check show the box.
TEST_F(CommandLine, RedactGivesTheFixturesRedactedDemoAndItsPages) {
  TempDir raw;
  ASSERT_EQ(runCommand("'" PICTOMIRA_WEB_FIXTURE "' '" + raw.path() + "' --unredacted >/dev/null 2>&1").status, 0);
  const std::string rec = raw.file("Demos/Tour/Tour.DMR");
  ASSERT_FALSE(slurp(rec) == slurp(dir_.file("Demos/Tour/Tour.DMR")));
  Outcome r = pictomira(scratch_, "--folder '" + raw.path() + "' --redact Tour 204,233,112,6 --colour 3366cc");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, rec + "\n");
  EXPECT_NE(r.err.find("Redacting: 100%\n"), std::string::npos) << r.err;
  EXPECT_TRUE(slurp(rec) == slurp(dir_.file("Demos/Tour/Tour.DMR")));
  EXPECT_TRUE(slurp(raw.file("Demos/Tour/Tour.DMD")) == slurp(dir_.file("Demos/Tour/Tour.DMD")));
  for (const char* left : {"Tour.DMR.old", "Tour.DMR.new", "Tour.import"})
    EXPECT_FALSE(isFile(raw.file("Demos/Tour/") + left)) << left;
  r = pictomira(scratch_, "--folder '" + raw.path() + "' --publish html5 Tour --notes 'Walk the tour & see'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(slurp(raw.file("Demo_Packages/Tour/Tour.html")) == slurp(dir_.file("Demo_Packages/Tour/Tour.html")));
}

}  // namespace
