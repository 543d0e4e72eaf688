// The Demo Guide of a demo written by the demo fixture, and the branding
// blocks the build draws for the Presenter ("GBA") and the web page ("GBH").
#include "studio/publishing/web_export.h"

#include "demo/demo_model.h"
#include "studio/capture/demo_files.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

InstrRec instr(int32_t type, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  return InstrRec{0, -1, type, {a, b, c, d}};
}

size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.insert(e.path().filename().string());
  return {names.begin(), names.end()};
}

// Six frames, three of them steps: a click frame with markup in its note,
// a wait with a note (no step), a mouse-over frame and its click frame
// sharing a note (one step), a frame without a note, and a last step.
DemoFixture tourDemo() {
  DemoFixture fx;
  fx.corners = 1;
  fx.frames = {
      {"", "Open the <b>File</b> menu", -999, -999, {instr('L', 2, 2, 20, 12)}},
      {"", "Wait for it", -999, -999, {instr('T', 500)}},
      {"", "Point at Save", -999, -999, {instr('M', 4, 14, 30, 24)}},
      {"", "Point at Save", -999, -999, {instr('L', 4, 14, 30, 24)}},
      {"", "", -999, -999, {instr('L', 1, 1, 9, 9)}},
      {"", "Done\nwell done", -999, -999, {instr('K', 13), instr('L', 30, 30, 50, 40)}},
  };
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int32_t x = 0; x < 64; ++x, bgr += 3) bgr[0] = bgr[1] = bgr[2] = static_cast<unsigned char>(f * 30 + x + y);
  };
  return fx;
}

class DemoGuide : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    std::memcpy(savedFolder_, gProgramFolder, sizeof savedFolder_);
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", "Tour");
    const DemoFixture fx = tourDemo();
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Tour", fx));
    std::copy(fx.crop, fx.crop + 4, gCropSize);
  }
  void TearDown() override {
    resetRuntime();
    std::memcpy(gProgramFolder, savedFolder_, sizeof savedFolder_);
  }

  TempDir dir;
  char savedFolder_[sizeof gProgramFolder];
};

TEST_F(DemoGuide, WritesTheTitlePageAndOneSectionPerStep) {
  publishing::Failure why;
  std::vector<std::string> warnings;
  ASSERT_EQ(writeDemoGuide({"Tour Guide", "Read me\nfirst"}, &why, &warnings), 1) << why.text();
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(gExportProgress, 1000);
  EXPECT_EQ(guidePagePath("Tour Guide"), dir.path() + "/Demo_Guides/Tour Guide/Tour Guide.html");
  EXPECT_EQ(namesIn(dir.path() + "/Demo_Guides/Tour Guide"), std::vector<std::string>{"Tour Guide.html"});
  const std::string page = slurp(guidePagePath("Tour Guide"));
  EXPECT_EQ(page.rfind("<!DOCTYPE HTML>\r\n", 0), 0u);
  const std::string end = "</BODY>\r\n</HTML>\r\n";
  EXPECT_EQ(page.substr(page.size() - end.size()), end);
  EXPECT_NE(page.find("<TITLE>Tour Guide - Pictomira Demo Guide</TITLE>"), std::string::npos);
  EXPECT_NE(page.find("img { width: 64px; }"), std::string::npos);
  EXPECT_NE(page.find("<CENTER><H3>Read me<BR>first</H3></CENTER>"), std::string::npos);
  EXPECT_EQ(occurrences(page, "<H3 style=\"page-break-before:always;\">Step "), 3u);
  EXPECT_EQ(occurrences(page, "<IMG SRC=\"data:image/png;base64,"), 3u);
  EXPECT_NE(page.find("Step 1</H3>\r\nOpen the &lt;b&gt;File&lt;/b&gt; menu<BR><BR>\r\n"), std::string::npos);
  EXPECT_NE(page.find("Step 2</H3>\r\nPoint at Save<BR><BR>\r\n"), std::string::npos);
  EXPECT_NE(page.find("Step 3</H3>\r\nDone<BR>well done<BR><BR>\r\n"), std::string::npos);
  EXPECT_EQ(page.find("Wait for it"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
}

// A refusal, also one midway through the steps, leaves the guide handed
// out before byte for byte and nothing else in its folder.
TEST_F(DemoGuide, RefusalsKeepTheGuideHandedOut) {
  publishing::Failure why;
  ASSERT_EQ(writeDemoGuide({"Tour Guide", "First"}, &why, nullptr), 1) << why.text();
  const std::string page = guidePagePath("Tour Guide"), handedOut = slurp(page);
  const std::string guides = dir.path() + "/Demo_Guides/";
  const std::string temporary = guides + "Tour Guide/.Tour Guide.html.partial";
  const std::string recording = demoFilePath("Tour", ".DMR"), whole = slurp(recording);
  enum Damage { kNone, kCutBeforeLastStep, kNoRecording, kBlockedPage };
  struct Case {
    const char* what;
    std::string name;
    Damage damage;
    std::string says;
  } const cases[] = {
      {"a name breaking the name rules", "Tour/Guide", kNone, "not usable"},
      {"a name of 50 characters", std::string(50, 'g'), kNone, "at most 49"},
      {"a recording that ends before the last step", "Tour Guide", kCutBeforeLastStep, "The picture of frame 5"},
      {"an unreadable recording", "Tour Guide", kNoRecording, "recording"},
      {"a page file that cannot be made", "Tour Guide", kBlockedPage, "Unexpected PG2-002 - '" + page + "' - "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(writeBytes(recording, std::vector<unsigned char>(whole.begin(), whole.end())));
    if (c.damage == kCutBeforeLastStep) {
      ASSERT_EQ(::truncate(recording.c_str(), gFrameData[5].imageRefB), 0);
    }
    if (c.damage == kNoRecording) std::remove(recording.c_str());
    if (c.damage == kBlockedPage) std::filesystem::create_directories(temporary + "/inside");
    EXPECT_EQ(writeDemoGuide({c.name, "Second"}, &why, nullptr), -1);
    EXPECT_EQ(why.title, "Export Fail");
    EXPECT_NE(why.text().find(c.says), std::string::npos) << why.text();
    std::filesystem::remove_all(temporary);
    EXPECT_TRUE(slurp(page) == handedOut);
    EXPECT_EQ(namesIn(guides + "Tour Guide"), std::vector<std::string>{"Tour Guide.html"});
    if (c.name != "Tour Guide") {
      EXPECT_TRUE(namesIn(guides + c.name).empty());
    }
  }
}

// ---- Branding blocks -----------------------------------------------------------------------

uint32_t be32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

// Pixel (x, y) of a block's 900 x 600 picture (stored bottom row first, blue, green, red) as 0xRRGGBB.
uint32_t picturePixel(const std::string& block, int x, int y) {
  const size_t at = 180 + (static_cast<size_t>(599 - y) * 900 + x) * 3;
  return static_cast<uint32_t>(static_cast<unsigned char>(block[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(block[at + 1])) << 8 |
         static_cast<unsigned char>(block[at]);
}

TEST(BrandingFiles, BothBlocksHaveTheBrandingLayout) {
  struct Case {
    const char* file;
    uint32_t value29;       // the Presenter's window title; the web page has none
    uint32_t rule, foot;    // the rule under the title area at (450, 132), the foot at (450, 560)
  } const cases[] = {
      {"GBA", 1, 0x3D4D68, 0},
      {"GBH", 0, 0x2F5A62, 0x35B7A4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string block = slurp(std::string(PICTOMIRA_SYSTEM_FILES) + "/" + c.file);
    ASSERT_EQ(block.size(), 1620181u);
    EXPECT_EQ(block.substr(0, 4), "gBa2");
    const uint32_t values[][2] = {{4, 450}, {9, 150}, {14, 0x101722}, {19, 0xF2F4F8}, {29, c.value29}};
    for (const auto& v : values) EXPECT_EQ(be32(block, 4 + 4 * v[0]), v[1]) << "value " << v[0];
    EXPECT_EQ(picturePixel(block, 450, 132), c.rule);
    if (c.foot != 0) {
      EXPECT_EQ(picturePixel(block, 450, 560), c.foot);
    }
  }
}

}  // namespace
