// web_fixture: writes a demo with a real recording into a folder, exports
// it as the HTML5 page and as the Demo Guide page, and puts beside them what
// the browser tests compare the pages with: every frame as the tree itself
// decodes it (raw RGB, crop width x crop height, rows from the top), the
// frame with its speaker note drawn, the frame with its red boxes drawn,
// and demo.json describing the frames and their instructions.
//
// Every frame shows a private patch of a colour found nowhere else, which
// the fixture redacts over the whole demo before anything is exported, so
// the pages are checked to show the box as the rebuilt frames do. With
// --unredacted the demo is written as recorded and nothing else is done
// (the command line's test redacts it itself).
//
// Usage: web_fixture FOLDER [--unredacted]
#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "demo/demo_overlays.h"
#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "studio/capture/demo_files.h"
#include "studio/capture/frame_cursor.h"
#include "studio/editor/redaction.h"
#include "studio/publishing/web_export.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kName = "Tour";
constexpr const char* kSplashNotes = "Walk the tour & see";
constexpr const char* kTitleNotes = "First line & <b>bold</b>\nSecond line, d\xE9j\xE0 vu";
constexpr int32_t kScreenW = 520, kScreenH = 340;
constexpr int32_t kCrop[4] = {24, 16, 480, 300};

// Rectangles in recorded-screen pixels: left, top, right, bottom.
struct Rect {
  int32_t l, t, r, b;
};
constexpr Rect kA{64, 40, 164, 100}, kB{300, 40, 400, 100}, kC{64, 140, 164, 200}, kD{300, 140, 400, 200};
constexpr Rect kU{420, 40, 480, 90};
// Smaller than a fingertip: the page has to offer a larger target on touch screens.
constexpr Rect kSmall{440, 24, 456, 36};
// Small patches that make the wait frames differ from the frame before.
constexpr Rect kPatch1{200, 230, 260, 240}, kPatch2{260, 230, 320, 240};
// The private patch, drawn over everything in every frame; the wait frames'
// partial records hold part of it. The box redacting it (x, y, width, height).
constexpr Rect kSecret{204, 233, 315, 238};
constexpr unsigned char kSecretBgr[3] = {0x07, 0xEE, 0x11};
constexpr int32_t kRedactBox[4] = {kSecret.l, kSecret.t, kSecret.r - kSecret.l + 1, kSecret.b - kSecret.t + 1};
constexpr uint32_t kRedactColour = 0x3366CC;

InstrRec rect(int32_t type, const Rect& r, int32_t target = -1) {
  return InstrRec{0, target, type, {r.l, r.t, r.r, r.b}};
}
InstrRec timer(int32_t ms) { return InstrRec{0, -1, 'T', {ms, 0, 0, 0}}; }
InstrRec key(int32_t code) { return InstrRec{0, -1, 'K', {code, 0, 0, 0}}; }

const std::string kScriptNote = "Type <script>alert(1)</script> & press OK";
const std::string kLongNote =
    "This note runs on and on without any line break at all so that the jump list has to cut it short "
    "and end it with three dots for the reader ok";

// The scene each frame shows (the wait frames add patches to the frame before).
int sceneOf(int32_t f) {
  if (f <= 2) return f;
  if (f <= 5) return 2;
  return f - 3;
}

bool inside(const Rect& r, int32_t x, int32_t y) { return x >= r.l && x <= r.r && y >= r.t && y <= r.b; }

void pixel(int32_t f, int32_t x, int32_t y, unsigned char* bgr) {
  const int s = sceneOf(f);
  bgr[0] = static_cast<unsigned char>(x * 3 + s * 41);
  bgr[1] = static_cast<unsigned char>(y * 2 + s * 17);
  bgr[2] = static_cast<unsigned char>(((x ^ y) & 0x3F) + s * 13);
  if (f >= 3 && f <= 5 && inside(kC, x, y)) {  // the highlighted menu entry
    bgr[0] = 200;
    bgr[1] = static_cast<unsigned char>(120 + (x - kC.l));
    bgr[2] = 40;
  }
  if (f >= 4 && f <= 5 && inside(kPatch1, x, y)) bgr[0] = bgr[1] = bgr[2] = 250;
  if (f == 5 && inside(kPatch2, x, y)) bgr[0] = bgr[1] = bgr[2] = 5;
  if (inside(kSecret, x, y)) std::memcpy(bgr, kSecretBgr, 3);
}

DemoFixture tourDemo() {
  DemoFixture fx;
  fx.screenW = kScreenW;
  fx.screenH = kScreenH;
  std::copy(kCrop, kCrop + 4, fx.crop);
  fx.keyEvery = 7;
  fx.frames = {
      {"Start", "Welcome to the tour & thanks", -999, -999, {rect('L', kA), rect('L', kSmall)}},  // 0
      {"Files", "Right-click the file", -999, -999, {rect('R', kB)}},                     // 1
      {"Menu", "Point at the menu", -999, -999, {rect('M', kC)}},                         // 2
      {"Menu open", "Point at the menu", -999, -999, {rect('L', kC), rect('E', kC, 2)}},  // 3
      {"Working", "", -999, -999, {timer(900)}},                                          // 4
      {"Working more", "Almost there", -999, -999, {timer(700)}},                         // 5
      {"Confirm", "Press Enter to continue", -999, -999, {key(13)}},                      // 6
      {"", kScriptNote, -999, -999, {rect('L', kD)}},                                     // 7
      {"", "Gr\xFC\xDF" "e, Stra\xDF" "e / 7&8 \x80", -999, -999, {rect('L', kA)}},         // 8: Windows-1252
      {"", kLongNote, -999, -999, {rect('L', kB), rect('U', kU)}},                        // 9
      {"", "Step ten", -999, -999, {rect('L', kC)}},                                      // 10
      {"", "Two lines\nsecond line here", -999, -999, {rect('L', kD)}},                   // 11
      {"", "Step twelve", -999, -999, {rect('L', kA)}},                                   // 12
      {"", "Step thirteen", -999, -999, {rect('L', kB)}},                                 // 13
      {"", "Step fourteen", -999, -999, {rect('L', kC)}},                                 // 14
      {"", "Step fifteen", -999, -999, {rect('L', kD)}},                                  // 15
      {"", "Step sixteen", -999, -999, {rect('L', kA)}},                                  // 16
      {"", "Step seventeen", -999, -999, {rect('L', kB)}},                                // 17
      {"End", "That is the whole tour", -999, -999, {}},                                  // 18
  };
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int32_t x = 0; x < kScreenW; ++x) pixel(f, x, y, bgr + 3 * x);
  };
  return fx;
}

// The texts are Windows-1252; demo.json is UTF-8.
std::string jsonString(const std::string& text) {
  const std::string s = pal_Cp1252ToUtf8(text);
  std::string out = "\"";
  for (const unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) { return writeBytes(path, bytes); }

// Buffer 1 (crop size) as raw RGB.
std::vector<unsigned char> bufferRGB() {
  std::vector<unsigned char> out(static_cast<size_t>(gCropSize[2]) * gCropSize[3] * 3);
  size_t at = 0;
  for (int32_t y = 0; y < gCropSize[3]; ++y)
    for (int32_t x = 0; x < gCropSize[2]; ++x) {
      int32_t rgb[3];
      pal_GetBufferPixelRGB(1, x, y, rgb);
      for (int k = 0; k < 3; ++k) out[at++] = static_cast<unsigned char>(rgb[k]);
    }
  return out;
}

bool decodeToBuffer(int32_t f) {
  const std::string rec = demoFilePath(kName, ".DMR");
  return demoRecFrameCroppedToPALbuff(rec.c_str(), gFrameData[f].imageRefA, gFrameData[f].imageRefB, 1) >= 0;
}

int fail(const std::string& what) {
  std::fprintf(stderr, "web_fixture: %s\n", what.c_str());
  return 1;
}

// The number of pixels of the private patch's colour in the records of the
// recording; -1 when it cannot be read.
int64_t secretPixels(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return -1;
  int64_t n = 0;
  std::vector<unsigned char> pixels;
  for (const RecordEntry& e : indexRecording(path.c_str())) {
    pixels.resize(static_cast<size_t>(e.w * e.h * 3));
    if (fseeko(f, e.pixels, SEEK_SET) != 0 || std::fread(pixels.data(), 1, pixels.size(), f) != pixels.size()) n = -1;
    for (size_t p = 0; n >= 0 && p < pixels.size(); p += 3) n += std::memcmp(&pixels[p], kSecretBgr, 3) == 0;
    if (n < 0) break;
  }
  std::fclose(f);
  return n;
}

// Redacts the private patch over the whole demo; empty, or what went wrong.
std::string redactSecret() {
  const std::string rec = demoFilePath(kName, ".DMR");
  if (secretPixels(rec) < kRedactBox[2] * kRedactBox[3]) return "the recording does not hold the private patch";
  Redaction r;
  std::copy(kRedactBox, kRedactBox + 4, r.rect);
  r.colour = kRedactColour;
  std::string why;
  if (runRedaction(r, &why) != REWRITE_DONE) return "the redaction failed: " + why;
  if (secretPixels(rec) != 0) return "a record still holds the private patch's colour";
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  const bool unredacted = argc == 3 && std::strcmp(argv[2], "--unredacted") == 0;
  if (argc != 2 && !unredacted) return fail("usage: web_fixture FOLDER [--unredacted]");
  std::error_code ec;
  const std::string folder = std::filesystem::absolute(argv[1], ec).string();
  std::filesystem::create_directories(folder + "/zPictomiraSystemFiles", ec);
  std::filesystem::create_directories(folder + "/expected", ec);
  resetRuntime();
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", folder.c_str());
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", kName);

  // The stand-in branding file: centre line x 450, title at y 150, dark blue background, white text.
  uint32_t values[44] = {};
  values[4] = 450;
  values[9] = 150;
  values[14] = 0x203040;
  values[19] = 0xFFFFFF;
  if (!writeFile(folder + "/zPictomiraSystemFiles/GBH", fixtureBranding(values, 0x604020, 0)))
    return fail("cannot write GBH");

  const DemoFixture fx = tourDemo();
  if (!writeDemoFolder(folder, kName, fx)) return fail("cannot write the demo folder");
  std::copy(fx.crop, fx.crop + 4, gCropSize);
  const int32_t w = gCropSize[2], h = gCropSize[3];
  if (unredacted) return 0;
  if (const std::string bad = redactSecret(); !bad.empty()) return fail(bad);

  // What the pages should show, before any writer touches the model.
  pal_InitWinBuf(1, w, h);
  std::string frames;
  for (int32_t f = 0; f < gFrameCount; ++f) {
    if (!decodeToBuffer(f)) return fail("cannot decode frame " + std::to_string(f));
    const std::string base = folder + "/expected/";
    const std::vector<unsigned char> plain = bufferRGB();
    // The box shows where the patch was: its top left and bottom right pixels, in red, green, blue.
    for (const size_t at : {static_cast<size_t>(kSecret.t - kCrop[1]) * w + (kSecret.l - kCrop[0]),
                            static_cast<size_t>(kSecret.b - kCrop[1]) * w + (kSecret.r - kCrop[0])})
      if (plain[at * 3] != 0x33 || plain[at * 3 + 1] != 0x66 || plain[at * 3 + 2] != 0xCC)
        return fail("frame " + std::to_string(f) + " does not show the redaction box");
    writeFile(base + "plain_" + std::to_string(f) + ".rgb", plain);

    gNoteRect[0] = gNoteRect[1] = gNoteRect[2] = gNoteRect[3] = 0;
    const bool hasNote = gFrameData[f].noteText >= DEMO_FIRST_TEXT_REC;
    std::vector<unsigned char> learn = plain;
    int32_t area[4] = {0, 0, 0, 0};  // the note's rectangle enlarged as the page does, clipped to the frame
    if (hasNote) {
      demoDrawSpeakerNotes(f);
      const std::vector<unsigned char> noted = bufferRGB();
      area[0] = std::max(0, gNoteRect[0] - 6);
      area[1] = std::max(0, gNoteRect[1] - 6);
      area[2] = std::min(w, gNoteRect[0] + gNoteRect[2] + 8);  // right, exclusive
      area[3] = std::min(h, gNoteRect[1] + gNoteRect[3] + 8);
      for (int32_t y = area[1]; y < area[3]; ++y)
        for (int32_t x = area[0]; x < area[2]; ++x)
          for (int k = 0; k < 3; ++k) {
            const size_t at = (static_cast<size_t>(y) * w + x) * 3 + k;
            learn[at] = noted[at];
          }
    }
    writeFile(base + "learn_" + std::to_string(f) + ".rgb", learn);

    if (!decodeToBuffer(f)) return fail("cannot decode frame " + std::to_string(f));
    demoLoadFrameInstructionsToMemory(f);
    demoDrawRedInstructionBoxes(0);
    writeFile(base + "guide_" + std::to_string(f) + ".rgb", bufferRGB());

    char note[DEMO_TEXT_LEN] = "";
    if (hasNote) demoGetTextValue(static_cast<int32_t>(gFrameData[f].noteText), note);
    std::string instrs;
    for (int32_t i = 0; i < gInstrCount; ++i) {
      const InstrRec& in = gInstrData[i];
      if (in.frame != f) continue;
      char buf[200];
      std::snprintf(buf, sizeof buf, "%s{\"type\": \"%c\", \"target\": %d, \"rawTarget\": %d, \"v\": [%d, %d, %d, %d]}",
                    instrs.empty() ? "" : ", ", static_cast<char>(in.type), demoResolveTarget(in), in.target,
                    in.v[0], in.v[1], in.v[2], in.v[3]);
      instrs += buf;
    }
    char head[300];
    std::snprintf(head, sizeof head, "%s\n  {\"index\": %d, \"hasNote\": %s, \"noteArea\": [%d, %d, %d, %d], ",
                  frames.empty() ? "" : ",", f, hasNote ? "true" : "false", area[0], area[1], area[2], area[3]);
    frames += head;
    frames += "\"note\": " + jsonString(note) + ", \"instrs\": [" + instrs + "]}";
  }

  // The guide first: the HTML5 export scrubs the model (nothing is unreachable here).
  WebExportSettings guide{kName, kTitleNotes};
  publishing::Failure why;
  std::vector<std::string> warnings;
  std::filesystem::create_directories(std::filesystem::path(guidePagePath(kName)).parent_path(), ec);
  if (writeDemoGuide(guide, &why, &warnings) != 1) return fail("writeDemoGuide: " + why.text());
  const int32_t framesBefore = gFrameCount;
  WebExportSettings page{kName, kSplashNotes};
  std::filesystem::create_directories(std::filesystem::path(html5PagePath(kName)).parent_path(), ec);
  if (writeHtml5Page(page, &why, &warnings) != 1) return fail("writeHtml5Page: " + why.text());
  if (gFrameCount != framesBefore) return fail("the scrub removed frames of a demo whose frames are all reachable");
  for (const std::string& warning : warnings) std::fprintf(stderr, "web_fixture: warning: %s\n", warning.c_str());

  std::string json = "{\n";
  json += "\"name\": " + jsonString(kName) + ",\n";
  json += "\"html5\": " + jsonString(html5PagePath(kName)) + ",\n";
  json += "\"guide\": " + jsonString(guidePagePath(kName)) + ",\n";
  json += "\"splashNotes\": " + jsonString(kSplashNotes) + ",\n";
  json += "\"titleNotes\": " + jsonString(kTitleNotes) + ",\n";
  char geometry[200];
  std::snprintf(geometry, sizeof geometry, "\"crop\": [%d, %d, %d, %d],\n\"width\": %d,\n\"height\": %d,\n",
                gCropSize[0], gCropSize[1], gCropSize[2], gCropSize[3], w, h);
  json += geometry;
  json += "\"frames\": [" + frames + "\n]\n}\n";
  if (!writeFile(folder + "/demo.json", std::vector<unsigned char>(json.begin(), json.end())))
    return fail("cannot write demo.json");
  std::printf("web_fixture: wrote %d frames into %s\n", gFrameCount, folder.c_str());
  return 0;
}
