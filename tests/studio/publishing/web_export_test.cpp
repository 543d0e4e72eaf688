// The web pages' shared helpers (Base64, author text, PNG data URIs), the
// rules of the HTML5 page (rectangle table, delta pictures, rounded corners,
// jump list) and whole HTML5 pages of demos written by the demo fixture.
#include "studio/publishing/web_export.h"

#include "studio/publishing/html5_page.h"
#include "studio/publishing/package_writer.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "demo/demo_overlays.h"
#include "pal/pal.h"
#include "studio/capture/demo_files.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <lodepng.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

// ---- Shared helpers ------------------------------------------------------------------------

TEST(WebText, Base64OfTheKnownVectors) {
  const std::pair<std::string, const char*> cases[] = {
      {"", ""},           {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {std::string("\xFF\xFE\x00", 3), "//4A"}};
  for (const auto& [in, out] : cases) {
    const Bytes b = bytesOf(in);
    EXPECT_EQ(base64Encode(b.data(), b.size()), out) << in;
  }
}

TEST(WebText, AuthorTextIsEscapedAndItsBytesBecomeUnicode) {
  const std::pair<std::string, std::string> cases[] = {
      {"Fish & <Chips>", "Fish &amp; &lt;Chips&gt;"},
      {"say \"hi\" 'there'", "say &quot;hi&quot; &#39;there&#39;"},
      {"one\r\ntwo\nthree", "one<BR>two<BR>three"},
      {"\x80 caf\xE9 \x9F \x81", "&#8364; caf&#233; &#376; &#65533;"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"tab\there\x01\x7F", "tab\there  "},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(htmlText(in), out) << in;
}

TEST(WebText, MarkdownTextStaysText) {
  const std::pair<std::string, std::string> cases[] = {
      {"See [x](http://y) & *z*", "See \\[x\\]\\(http\\:\\/\\/y\\) \\& \\*z\\*"},
      {"# one\r\n    - two\n\n1. three\n", "\\# one\\\n\\- two\\\n\\\n1\\. three"},
      {"<b>\x80 caf\xE9</b>", "\\<b\\>&#8364; caf&#233;\\<\\/b\\>"},
      {"tab\there\x01", "tab here "},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(markdownText(in), out) << in;
}

TEST(WebText, PngDataUriDecodesToThePixels) {
  const Bytes rgba = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 1, 2, 3, 255, 9, 8, 7, 6, 50, 60, 70, 255};
  const std::string uri = pngDataUri(rgba.data(), 3, 2);
  ASSERT_EQ(uri.rfind("data:image/png;base64,", 0), 0u);
  Bytes png, back;
  unsigned w = 0, h = 0;
  const std::string b64 = uri.substr(22);
  for (size_t i = 0; i < b64.size(); i += 4) {  // decode with the alphabet's positions
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    uint32_t v = 0;
    int n = 0;
    for (int k = 0; k < 4; ++k) {
      v <<= 6;
      if (b64[i + k] != '=') v |= static_cast<uint32_t>(kAlphabet.find(b64[i + k])), ++n;
    }
    for (int k = 0; k < n - 1; ++k) png.push_back(static_cast<unsigned char>(v >> (16 - 8 * k)));
  }
  ASSERT_EQ(lodepng::decode(back, w, h, png), 0u);
  EXPECT_EQ(w, 3u);
  EXPECT_EQ(h, 2u);
  EXPECT_EQ(back, rgba);
  EXPECT_EQ(pngDataUri(rgba.data(), 0, 2), "");
}

// ---- Rules of the page ---------------------------------------------------------------------

InstrRec instr(int32_t type, int32_t target, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  return InstrRec{0, target, type, {a, b, c, d}};
}

std::vector<Html5Rect> rectsOf(int32_t f, const std::vector<InstrRec>& instrs) {
  std::vector<int32_t> list;
  for (size_t i = 0; i < instrs.size(); ++i) {
    gInstrData[i] = instrs[i];
    list.push_back(static_cast<int32_t>(i));
  }
  gInstrCount = static_cast<int32_t>(instrs.size());
  return html5FrameRects(f, list.data(), static_cast<int32_t>(list.size()));
}

TEST(Html5Rules, RectangleTableSharesRectanglesAcrossTheFiveSlots) {
  resetRuntime();
  constexpr int32_t N = HTML5_NO_TARGET;
  const auto rects = rectsOf(4, {instr('T', 9, 100), instr('L', -1, 1, 2, 3, 4), instr('R', 7, 1, 2, 3, 4),
                                 instr('M', 8, 1, 2, 3, 4), instr('E', 2, 1, 2, 3, 4), instr('U', 0, 1, 2, 3, 4),
                                 instr('L', 6, 1, 2, 3, 4), instr('K', 3, 13), instr('L', 9, 5, 6, 7, 8)});
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(std::vector<int32_t>(rects[0].rect, rects[0].rect + 4), (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(std::vector<int32_t>(rects[0].target, rects[0].target + 5), (std::vector<int32_t>{5, 7, 8, 2, 0}));
  EXPECT_EQ(std::vector<int32_t>(rects[1].target, rects[1].target + 5), (std::vector<int32_t>{9, N, N, N, N}));
  std::vector<InstrRec> many;
  for (int32_t i = 0; i < 100; ++i) many.push_back(instr('L', 1, i, i, i + 5, i + 5));
  EXPECT_EQ(rectsOf(0, many).size(), 96u);
  EXPECT_TRUE(rectsOf(0, {instr('T', 1, 5), instr('K', 1, 0)}).empty());
}

TEST(Html5Rules, PictureIsRgbaWithDeltaAndCornersTransparent) {
  // 5 x 4 frames, blue, green, red; pixel p is (p, 2p, 3p); the previous frame differs at 6, 7 and 18.
  Bytes now(5 * 4 * 3), before;
  for (size_t p = 0; p < 20; ++p) now[3 * p] = p, now[3 * p + 1] = 2 * p, now[3 * p + 2] = 3 * p;
  before = now;
  for (size_t p : {6, 7, 18}) before[3 * p] ^= 0x80;
  const int32_t keep[4] = {3, 3, 4, 3};  // protects pixels 18 and 19 of row 3
  struct Case {
    const char* what;
    const Bytes* previous;
    const int32_t* keep;
    bool rounded;
    std::set<size_t> clear;
  };
  const Case cases[] = {
      {"plain", nullptr, nullptr, false, {}},
      {"delta", &before, nullptr, false, {0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 19}},
      {"delta with a kept note", &before, keep, false, {0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}},
      {"rounded", nullptr, nullptr, true, {0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 14, 15, 19}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes rgba;
    html5FramePicture(now.data(), c.previous ? c.previous->data() : nullptr, c.keep, 5, 4, c.rounded, &rgba);
    ASSERT_EQ(rgba.size(), 80u);
    for (size_t p = 0; p < 20; ++p) {
      const Bytes px(rgba.begin() + 4 * p, rgba.begin() + 4 * p + 4);
      const Bytes want = c.clear.count(p) ? Bytes{0, 0, 0, 0} : Bytes{now[3 * p + 2], now[3 * p + 1], now[3 * p], 255};
      EXPECT_EQ(px, want) << "pixel " << p;
    }
  }
}

TEST(Html5Rules, JumpListKeepsSixClickFramesOrTheMouseOversBefore) {
  std::vector<int32_t> twelve;
  for (int i = 0; i < 12; ++i) twelve.insert(twelve.end(), {'L', 'T'});
  const std::vector<int32_t> sparse = {'T', 'M', 'L', 0, 'L', 'K', 'E', 'L'};
  EXPECT_EQ(html5JumpPoints(twelve), (std::vector<int32_t>{0, 4, 8, 12, 16, 20}));
  EXPECT_EQ(html5JumpPoints(sparse), (std::vector<int32_t>{1, 4, 7}));
  EXPECT_TRUE(html5JumpPoints({'T', 'K'}).empty());
}

TEST(Html5Rules, JumpNoteIsTheFirstLineOrTheWholeNoteCutShort) {
  const std::string long150(150, 'a'), line99(99, 'b');
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"Open <File>", "Open &lt;File&gt;"},
      {"First line\nsecond", "First line"},
      {long150, std::string(149, 'a') + "..."},
      {line99, line99},
      {std::string(100, 'c'), std::string(99, 'c') + "..."},
      {std::string(120, 'd') + "\nend", std::string(120, 'd') + "<BR>en..."},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(html5JumpNote(in), out) << in;
}

// ---- Whole pages ---------------------------------------------------------------------------

constexpr int32_t kScreenW = 240, kScreenH = 90;
constexpr int32_t kCrop[4] = {4, 2, 220, 80};
constexpr int32_t kA[4] = {20, 10, 60, 30}, kB[4] = {100, 12, 110, 20};
const char* kName = "Tour Demo";

InstrRec on(int32_t type, const int32_t r[4], int32_t target = -1) {
  return instr(type, target, r[0], r[1], r[2], r[3]);
}

// Six frames: a click (and a right click) with markup in its note, a wait
// that changes a patch (a delta), a mouse-over and its click with an exit,
// two key waits, and the last frame with the default note.
DemoFixture tourDemo() {
  DemoFixture fx;
  fx.screenW = kScreenW;
  fx.screenH = kScreenH;
  std::copy(kCrop, kCrop + 4, fx.crop);
  fx.corners = 1;
  fx.frames = {
      {"Start", "Say <script>alert(1)</script> & go", -999, -999, {on('L', kA), on('R', kA, 3)}},
      {"", "", -999, -999, {instr('T', -1, 500)}},
      {"Menu", "", -999, -999, {on('M', kB, 3)}},
      {"Menu open", "", 30, 40, {on('L', kB), on('E', kB, 2)}},
      {"", "", -999, -999, {instr('K', -1, 13), instr('K', -1, 0)}},
      {"End", DEMO_DEFAULT_NOTE, -999, -999, {}},
  };
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int32_t x = 0; x < kScreenW; ++x, bgr += 3) {
      const bool patch = f >= 1 && x >= 50 && x < 70 && y >= 40 && y < 50;
      bgr[0] = static_cast<unsigned char>(patch ? 250 : x + (f >= 2 ? 40 * f : 0));
      bgr[1] = static_cast<unsigned char>(patch ? 10 : y * 2);
      bgr[2] = static_cast<unsigned char>((x ^ y) & 0x3F);
    }
  };
  return fx;
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.insert(e.path().filename().string());
  return {names.begin(), names.end()};
}

size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// The RGBA of the picture with the given id in page; empty when absent or not a PNG.
Bytes pictureOf(const std::string& page, const std::string& id, unsigned* w, unsigned* h) {
  static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const size_t tag = page.find("<IMG ID=\"" + id + "\" ");
  if (tag == std::string::npos) return {};
  const size_t from = page.find("base64,", tag) + 7, to = page.find('"', from);
  Bytes png, rgba;
  uint32_t acc = 0;
  int bits = 0;
  for (size_t i = from; i < to && page[i] != '='; ++i) {
    acc = (acc << 6) | static_cast<uint32_t>(kAlphabet.find(page[i]));
    if ((bits += 6) >= 8) png.push_back(static_cast<unsigned char>(acc >> (bits -= 8)));
  }
  if (lodepng::decode(rgba, *w, *h, png) != 0) return {};
  return rgba;
}

// Encodes only the splash.
std::string failButSplash(const unsigned char* rgba, int32_t w, int32_t h) {
  return w == 900 && h == 600 ? pngDataUri(rgba, w, h) : std::string();
}

class Html5Page : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    std::memcpy(savedFolder_, gProgramFolder, sizeof savedFolder_);
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", "Tour");
    ::mkdir(dir.file("zPictomiraSystemFiles").c_str(), 0777);
    uint32_t values[44] = {};
    values[4] = 450;
    values[9] = 150;
    values[14] = 0x003366;
    values[19] = 0xFFFFFF;
    putGbh(fixtureBranding(values, 0x604020, 0));
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Tour", tourDemo()));
    std::copy(kCrop, kCrop + 4, gCropSize);
  }
  void TearDown() override {
    gHtml5Encoder = pngDataUri;
    resetRuntime();
    std::memcpy(gProgramFolder, savedFolder_, sizeof savedFolder_);
  }
  void putGbh(const Bytes& bytes) { ASSERT_TRUE(writeBytes(dir.file("zPictomiraSystemFiles/GBH"), bytes)); }
  std::string folder() { return packageFolderPath(kName); }

  TempDir dir;
  char savedFolder_[sizeof gProgramFolder];
};

TEST_F(Html5Page, WritesTheDemoWithItsAreasPicturesAndEscapedNotes) {
  publishing::Failure why;
  std::vector<std::string> warnings;
  ASSERT_EQ(writeHtml5Page({kName, "Try it\nnow"}, &why, &warnings), 1) << why.text();
  EXPECT_EQ(gExportProgress, 1000);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(namesIn(folder()), std::vector<std::string>{"Tour Demo.html"});
  const std::string page = slurp(html5PagePath(kName));
  const char* expected[] = {
      "<!DOCTYPE HTML>\r\n<HTML lang=\"en\">\r\n<HEAD>\r\n<META CHARSET=\"UTF-8\">\r\n",
      "<TITLE>Tour Demo - Pictomira</TITLE>",
      "<BODY BGCOLOR=\"#003366\" LINK=\"#FFFFFF\"",
      "onload=\"doLoadDone()\"",
      "ID=\"loadWaitDiv\" style=\"position:absolute; left:350px; top:390px;",
      "ID=\"loadDoneDiv\" style=\"display:none; position:absolute; left:372px; top:390px;",
      "ID=\"settDiv\" style=\"display:none; position:absolute; opacity:0.85; background-color:#000000; z-index:199; "
      "left:40px; top:2px; width:226px; height:86px;\"",
      "doFrameJump('0')\">Beginning</A><BR>&nbsp;Say &lt;script&gt;alert(1)&lt;/script&gt; &amp; go</DIV>",
      "doFrameJump('2')\">Frame 2</A><BR>&nbsp;</DIV>",
      "ID=\"controlDiv\"", "ID=\"fnumDiv\"", "ID=\"rightArrow\"", "ID=\"hintButton\"", "ID=\"cDiv\"",
      "<CANVAS ID=\"mainCanvas\" width=\"220\" height=\"80\" style=\"position:absolute; left:43px; top:42px;\"",
      "aria-live=\"polite\"",
      "<DIV ID='C0_0' style=\"border:2px solid; border-color:inherit; z-index:99; cursor:pointer; "
      "position:absolute; left:59px; top:50px; width:39px; height:19px;\" onclick=\"loadFrame('x','1')\" "
      "oncontextmenu=\"loadFrame('x','3'); return false;\" tabindex=\"0\" role=\"button\" aria-label=\"Start\" "
      "><DIV class=\"tt\"",
      "<DIV ID='C2_0' style=\"border:2px solid; border-color:inherit; z-index:99; cursor:pointer; "
      "position:absolute; left:139px; top:52px; width:9px; height:7px;\" ontouchstart=\"loadFrame('x','4')\" "
      "onmouseenter=\"loadFrame('x','3')\" tabindex=\"0\" role=\"button\" aria-label=\"Menu\" ><DIV class=\"tt\" "
      "style=\"left:-17px; top:-18px; width:44px; height:44px;\"></DIV></DIV>",
      "onclick=\"loadFrame('x','4')\" onmouseleave=\"loadFrame('3','2')\"",
      "<DIV ID='C3_0' style=\"z-index:1; position:absolute; left:43px; top:42px; width:221px; height:81px;\" "
      "onmouseover=\"loadFrame('3','2')\" onclick=\"loadFrame('3','2')\"",
      "<IMG ID=\"P0\" data-h=\"h\" alt=\"Start\" SRC=\"data:image/png;base64,",
      "<IMG ID=\"P1\" data-timer=\"2,500\" data-d=\"0\" alt=\"Step 2\" SRC=\"data:image/png;base64,",
      "<IMG ID=\"P2\" data-h=\"h\" alt=\"Menu\" SRC=",
      "<IMG ID=\"P3\" alt=\"Menu open\" SRC=",
      "<IMG ID=\"P4\" data-k=\"13,5;0,5\" alt=\"Step 5\" SRC=",
      "\" alt=\"Speaker note\" SRC=\"data:image/png;base64,",
      "\" \\></IMG>\r\n<DIV ID=\"T0\">Say &lt;script&gt;alert(1)&lt;/script&gt; &amp; go</DIV>\r\n",
      "</DIV>\r\n</BODY>\r\n</HTML>\r\n",
  };
  for (const char* text : expected) EXPECT_NE(page.find(text), std::string::npos) << text;
  EXPECT_EQ(page.find("<script>alert"), std::string::npos);
  EXPECT_EQ(page.find("ID='C4'"), std::string::npos);  // key frames have no areas
  EXPECT_EQ(occurrences(page, "<DIV"), occurrences(page, "</DIV>"));
  EXPECT_EQ(occurrences(page, "\n"), occurrences(page, "\r\n"));
  EXPECT_EQ(occurrences(page, "<IMG ID=\"N"), 2u);     // frame 0 and the last frame

  unsigned w = 0, h = 0;
  const Bytes p0 = pictureOf(page, "P0", &w, &h), p1 = pictureOf(page, "P1", &w, &h);
  ASSERT_EQ(p0.size(), 220u * 80 * 4);
  ASSERT_EQ(p1.size(), p0.size());
  const auto px = [](const Bytes& b, int32_t x, int32_t y) {
    return Bytes(b.begin() + (y * 220 + x) * 4, b.begin() + (y * 220 + x) * 4 + 4);
  };
  EXPECT_EQ(px(p0, 0, 0), (Bytes{0, 0, 0, 0}));             // rounded corner
  EXPECT_EQ(px(p0, 4, 0)[3], 255);
  EXPECT_EQ(px(p1, 100, 10), (Bytes{0, 0, 0, 0}));          // as in frame 0
  EXPECT_EQ(px(p1, 50, 40), (Bytes{28, 10, 250, 255}));     // the patch (screen 54, 42)
  EXPECT_EQ(px(p1, 110, 70)[3], 255);                       // unchanged, but under frame 0's note
  // The note overlay is the note as the Presenter draws it, with its halo, placed where it lies.
  pal_InitWinBuf(1, 220, 80);
  ASSERT_GE(demoRecFrameCroppedToPALbuff(demoFilePath("Tour", ".DMR").c_str(), gFrameData[0].imageRefA,
                                         gFrameData[0].imageRefB, 1), 0);
  demoDrawSpeakerNotes(0);
  const int32_t x0 = std::max(0, gNoteRect[0] - 6), y0 = gNoteRect[1] - 6;
  const int32_t x1 = std::min(219, gNoteRect[0] + gNoteRect[2] + 7);
  const int32_t y1 = std::min(79, gNoteRect[1] + gNoteRect[3] + 7);
  const std::string place =
      "<IMG ID=\"N0\" data-x=\"" + std::to_string(x0) + "\" data-y=\"" + std::to_string(y0) + "\" ";

  EXPECT_NE(page.find(place), std::string::npos) << place;
  const Bytes n0 = pictureOf(page, "N0", &w, &h);
  ASSERT_EQ(w, static_cast<unsigned>(x1 - x0 + 1));
  ASSERT_EQ(h, static_cast<unsigned>(y1 - y0 + 1));
  int differ = 0;
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const uint32_t c = pixelColour(1, x, y);
      const size_t at = (static_cast<size_t>(y - y0) * w + (x - x0)) * 4;
      const Bytes want{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255};
      differ += Bytes(n0.begin() + at, n0.begin() + at + 4) != want;
    }
  EXPECT_EQ(differ, 0);
}

TEST_F(Html5Page, FramesThatCannotBeEncodedBecomeTransparentPlaceholders) {
  gHtml5Encoder = failButSplash;
  publishing::Failure why;
  std::vector<std::string> warnings;
  ASSERT_EQ(writeHtml5Page({kName, ""}, &why, &warnings), 1) << why.text();
  EXPECT_EQ(warnings.size(), 8u);  // six pictures and two notes
  EXPECT_NE(warnings[0].find("frame index 0"), std::string::npos) << warnings[0];
  const std::string page = slurp(html5PagePath(kName));
  unsigned w = 0, h = 0;
  const Bytes p3 = pictureOf(page, "P3", &w, &h);
  EXPECT_EQ(w, 220u);
  EXPECT_EQ(h, 80u);
  EXPECT_EQ(p3, Bytes(220u * 80 * 4, 0));
  EXPECT_EQ(occurrences(page, "<DIV"), occurrences(page, "</DIV>"));
}

// Every refusal comes back with its alert's title and the start of its
// text (the code, then the reason), and leaves the page handed out before
// byte for byte, also when it comes midway through the pictures.
TEST_F(Html5Page, RefusalsCarryTheirAlertAndKeepThePageHandedOut) {
  struct Case {
    const char* what;
    std::string name;
    Bytes gbh;  // empty: no GBH file
    const char* title;
    std::string text;          // what the alert's text begins with
    bool cutRecording = false;  // the recording ends before frame 4's picture
    bool blockTemporary = false;
  };
  uint32_t values[44] = {};
  const Bytes good = fixtureBranding(values, 0, 0);
  Bytes unsigned_ = good, shortGbh = good;
  unsigned_[0] = 'x';
  shortGbh.resize(1000);
  const std::string page = html5PagePath(kName), recording = demoFilePath("Tour", ".DMR");
  const std::string temporary = folder() + "." + kName + ".html.partial";
  const std::string whole = slurp(recording);
  const int64_t cut = gFrameData[4].imageRefB;
  const Case cases[] = {
      {"no GBH", kName, {}, "No GBH", "Missing Branding File - "},
      {"no signature", kName, unsigned_, "Bad GBH", "Bad Branding File - "},
      {"cut short", kName, shortGbh, "Bad GBH", "Bad Branding File - "},
      {"bad name", "Tour/Demo", good, "Export Fail", "The package name is not usable"},
      {"recording cut", kName, good, "Export Fail", "The picture of frame 4 cannot be read", true},
      {"page file blocked", kName, good, "Export Fail", "Unexpected PH2-002 - '" + page + "' - '", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(dir.file("zPictomiraSystemFiles/GBH").c_str());
    if (!c.gbh.empty()) putGbh(c.gbh);
    ASSERT_TRUE(writeBytes(recording, bytesOf(whole)));
    if (c.cutRecording) {
      ASSERT_EQ(::truncate(recording.c_str(), cut), 0);
    }
    std::filesystem::create_directories(folder());
    if (c.blockTemporary) std::filesystem::create_directories(temporary + "/inside");
    ASSERT_TRUE(writeBytes(page, bytesOf("the page handed out")));
    publishing::Failure why;
    EXPECT_EQ(writeHtml5Page({c.name, ""}, &why, nullptr), -1);
    EXPECT_EQ(why.title, c.title);
    EXPECT_EQ(why.text().rfind(c.text, 0), 0u) << why.text();
    EXPECT_EQ(slurp(page), "the page handed out");
    std::filesystem::remove_all(temporary);
    EXPECT_EQ(namesIn(folder()), std::vector<std::string>{"Tour Demo.html"});
  }
}

}  // namespace
