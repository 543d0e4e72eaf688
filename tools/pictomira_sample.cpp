// pictomira_sample: writes the bundled sample, a short demo of a made-up
// note-taking application ("Jotter") drawn with the tree's own primitives:
// a click on a menu, a mouse-over pair on a menu item, a typed key, Enter,
// and a timer. Usage:
//   pictomira_sample FOLDER [BRANDING_FILE]
//     writes the package FOLDER/Sample.PMP and FOLDER/PMP_set.txt naming it;
//   pictomira_sample --demo PROGRAM_FOLDER
//     writes the same steps as the authoring program's demo
//     PROGRAM_FOLDER/Demos/Jotter Sample/, recorded on a 1024 x 768 screen
//     with the Jotter window at 112, 104.
#include "demo/demo_model.h"
#include "pag/pag.h"
#include "pal/pal.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kW = 800, kH = 560;
constexpr int kSlot = 1;

enum Step { kMain, kMenuOpen, kSaveLit, kDialog, kTyped, kSaving, kSaved, kSteps };

// Menu geometry shared by the drawing and the instructions.
constexpr int kMenuY = 32, kMenuH = 24;
constexpr int kFileX = 8, kFileW = 48;
constexpr int kItemX = 8, kItemW = 160, kItemH = 26, kItemsY = kMenuY + kMenuH;
constexpr int kDialogX = 220, kDialogY = 170, kDialogW = 360, kDialogH = 190;
constexpr int kFieldX = kDialogX + 20, kFieldY = kDialogY + 80, kFieldW = 320, kFieldH = 28;

void drawWindow(const char* body, const char* status) {
  pag_FillRect(kSlot, 0, 0, kW, kH, 0xF3F3F0);
  pag_FillGradientRect(kSlot, 0, 0, kW, kMenuY, 0x3A6EA5, 0x24507F);
  pag_DrawTextOnBuff(kSlot, 12, 7, "Jotter - notes.txt", 2, 0xFFFFFF);
  pag_FillRect(kSlot, 0, kMenuY, kW, kMenuH, 0xE4E4E0);
  const char* menus[] = {"File", "Edit", "View", "Help"};
  for (int i = 0; i < 4; ++i) pag_DrawTextOnBuff(kSlot, kFileX + 8 + i * 56, kMenuY + 3, menus[i], 1, 0x202020);
  pag_FillRect(kSlot, 16, 72, kW - 32, kH - 120, 0xFFFFFF);
  pag_DrawRectOutline(kSlot, 16, 72, kW - 32, kH - 120, 0, 0xA0A0A0);
  pag_DrawTextOnBuff(kSlot, 28, 84, body, 2, 0x303030);
  pag_FillRect(kSlot, 0, kH - 30, kW, 30, 0xE4E4E0);
  pag_DrawTextOnBuff(kSlot, 12, kH - 24, status, 1, 0x404040);
}

void drawMenu(bool saveLit) {
  pag_FillRect(kSlot, kFileX, kMenuY, kFileW, kMenuH, 0xC8D8EC);
  pag_DrawTextOnBuff(kSlot, kFileX + 8, kMenuY + 3, "File", 1, 0x202020);
  pag_FillRect(kSlot, kItemX, kItemsY, kItemW, kItemH * 3, 0xFAFAFA);
  pag_DrawRectOutline(kSlot, kItemX, kItemsY, kItemW, kItemH * 3, 0, 0x909090);
  const char* items[] = {"New", "Open...", "Save"};
  for (int i = 0; i < 3; ++i) {
    const bool lit = saveLit && i == 2;
    if (lit) pag_FillRect(kSlot, kItemX + 1, kItemsY + 1 + i * kItemH, kItemW - 1, kItemH - 1, 0x3A6EA5);
    pag_DrawTextOnBuff(kSlot, kItemX + 12, kItemsY + 4 + i * kItemH, items[i], 1, lit ? 0xFFFFFF : 0x202020);
  }
}

void drawDialog(const char* name, bool saving) {
  pag_FlattenColorsToGrey(kSlot, 0, 0, kW, kH);
  pag_FillGradientRoundedRect(kSlot, kDialogX, kDialogY, kDialogW, kDialogH, 0xFFFFFF, 0xDDE3EA);
  pag_DrawRectOutline(kSlot, kDialogX, kDialogY, kDialogW, kDialogH, 0, 0x506070);
  pag_DrawTextOnBuff(kSlot, kDialogX + 20, kDialogY + 20, saving ? "Saving..." : "Save As", 3, 0x203040);
  pag_DrawTextOnBuff(kSlot, kFieldX, kFieldY - 22, "File name:", 1, 0x404040);
  pag_FillRect(kSlot, kFieldX, kFieldY, kFieldW, kFieldH, 0xFFFFFF);
  pag_DrawRectOutline(kSlot, kFieldX, kFieldY, kFieldW, kFieldH, 0, 0x7080A0);
  pag_DrawTextOnBuff(kSlot, kFieldX + 6, kFieldY + 5, name, 2, 0x101010);
  if (saving) {
    pag_FillRect(kSlot, kFieldX, kFieldY + 50, kFieldW, 14, 0xC0C8D0);
    pag_FillRect(kSlot, kFieldX, kFieldY + 50, kFieldW * 2 / 3, 14, 0x3A6EA5);
  }
}

void drawStep(int step) {
  const char* body = "Meeting notes: ship the beta on Friday.";
  drawWindow(body, step == kSaved ? "Saved report.txt" : "Ready");
  if (step == kMenuOpen || step == kSaveLit) drawMenu(step == kSaveLit);
  if (step == kDialog) drawDialog("", false);
  if (step == kTyped) drawDialog("report", false);
  if (step == kSaving) drawDialog("report", true);
}

InstrRec rect(char type, int32_t target, int32_t l, int32_t t, int32_t r, int32_t b) {
  return InstrRec{0, target, type, {l, t, r, b}};
}

std::vector<FixtureFrame> flow() {
  const int32_t saveTop = kItemsY + 2 * kItemH;
  std::vector<FixtureFrame> f(kSteps);
  f[kMain] = {"Jotter", "Click the File menu", -999, -999, {rect('L', -1, kFileX, kMenuY, kFileX + kFileW, kMenuY + kMenuH)}};
  f[kMenuOpen] = {"File menu", "Point at Save", -999, -999,
                  {rect('M', kSaveLit, kItemX, saveTop, kItemX + kItemW, saveTop + kItemH)}};
  f[kSaveLit] = {"Save highlighted", "Click Save", -999, -999,
                 {rect('L', kDialog, kItemX, saveTop, kItemX + kItemW, saveTop + kItemH),
                  rect('E', kMenuOpen, kItemX, saveTop, kItemX + kItemW, saveTop + kItemH)}};
  f[kDialog] = {"Save As", "Type a name for the file", 420, 120, {InstrRec{0, -1, 'K', {0, 0, 0, 0}}}};
  f[kTyped] = {"Name typed", "Press Enter to save", 420, 120, {InstrRec{0, -1, 'K', {13, 0, 0, 0}}}};
  f[kSaving] = {"Saving", "", -999, -999, {InstrRec{0, -1, 'T', {1500, 0, 0, 0}}}};
  f[kSaved] = {"Saved", "Click in a red box", -999, -999, {}};
  return f;
}

// Draws every step through image buffer kSlot: kSteps frames of kW x kH
// pixels, blue, green, red.
std::vector<std::vector<unsigned char>> drawSteps() {
  pal_InitPAL();
  pal_InitWinBuf(kSlot, kW, kH);
  std::vector<std::vector<unsigned char>> frames(kSteps, std::vector<unsigned char>(size_t{kW} * kH * 3));
  for (int s = 0; s < kSteps; ++s) {
    drawStep(s);
    for (int i = 0; i < kW * kH; ++i) {
      const unsigned char* p = gpal_ImageBuffBits[kSlot] + i * 4;
      frames[s][i * 3] = p[PAL_BLUE];
      frames[s][i * 3 + 1] = p[PAL_GREEN];
      frames[s][i * 3 + 2] = p[PAL_RED];
    }
  }
  return frames;
}

int writeSamplePackage(const std::string& folder, const char* brandingPath) {
  ::mkdir(folder.c_str(), 0755);
  const std::vector<std::vector<unsigned char>> frames = drawSteps();
  PackageFixture fx;
  fx.width = kW;
  fx.height = kH;
  fx.title = "Saving a note in Jotter";
  fx.description = "A short tour of Jotter's File menu.\nClick, point and type as the red boxes show.";
  fx.frames = flow();
  if (brandingPath != nullptr) {
    std::FILE* b = std::fopen(brandingPath, "rb");
    if (b == nullptr) {
      std::fprintf(stderr, "Could not read the branding block %s\n", brandingPath);
      return 1;
    }
    for (int c; (c = std::fgetc(b)) != EOF;) fx.branding.push_back(static_cast<unsigned char>(c));
    std::fclose(b);
  }
  const time_t now = std::time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  fx.date = static_cast<uint32_t>((local.tm_year + 1900 - 2000) * 65536 + (local.tm_mon + 1) * 256 + local.tm_mday);
  fx.row = [&](int32_t f, int32_t y, unsigned char* bgr) {
    std::memcpy(bgr, &frames[f][static_cast<size_t>(y) * kW * 3], size_t{kW} * 3);
  };
  const std::string pkg = folder + "/Sample.PMP";
  const std::string set = ">Sample.PMP\n";
  if (!writeBytes(pkg, buildPackage(fx)) ||
      !writeBytes(folder + "/PMP_set.txt", std::vector<unsigned char>(set.begin(), set.end()))) {
    std::fprintf(stderr, "Could not write the sample package into %s\n", folder.c_str());
    return 1;
  }
  std::printf("Sample package written: %s (%d frames of %d x %d)\n", pkg.c_str(), kSteps, kW, kH);
  return 0;
}

// The screen the sample demo was recorded on, and where the window sat.
constexpr int32_t kScreenW = 1024, kScreenH = 768;
constexpr int32_t kWinLeft = 112, kWinTop = 104;
constexpr uint32_t kDesktop = 0x2E5D7A;
const char* const kDemoName = "Jotter Sample";

// The package's frames with notes and rectangles moved from window pixels
// to recorded-screen pixels, as the authoring program stores them.
std::vector<DemoFixtureFrame> demoFlow() {
  std::vector<DemoFixtureFrame> out;
  for (const FixtureFrame& f : flow()) {
    DemoFixtureFrame d{f.name, f.note, f.noteX, f.noteY, f.instrs};
    if (d.noteX != DEMO_NO_POSITION) d.noteX += kWinLeft;
    if (d.noteY != DEMO_NO_POSITION) d.noteY += kWinTop;
    for (InstrRec& in : d.instrs) {
      if (in.type == INSTR_TIMER || in.type == INSTR_KEY) continue;
      in.v[0] += kWinLeft;
      in.v[1] += kWinTop;
      in.v[2] += kWinLeft;
      in.v[3] += kWinTop;
    }
    out.push_back(d);
  }
  return out;
}

int writeSampleDemo(const std::string& programFolder) {
  const std::vector<std::vector<unsigned char>> frames = drawSteps();
  DemoFixture fx;
  fx.screenW = kScreenW;
  fx.screenH = kScreenH;
  fx.crop[0] = kWinLeft;
  fx.crop[1] = kWinTop;
  fx.crop[2] = kW;
  fx.crop[3] = kH;
  fx.homeFrameId = 0;
  fx.corners = 0;
  fx.frames = demoFlow();
  fx.row = [&](int32_t f, int32_t y, unsigned char* bgr) {
    for (int32_t x = 0; x < kScreenW; ++x) {
      bgr[x * 3] = kDesktop & 0xFF;
      bgr[x * 3 + 1] = (kDesktop >> 8) & 0xFF;
      bgr[x * 3 + 2] = (kDesktop >> 16) & 0xFF;
    }
    if (y >= kWinTop && y < kWinTop + kH)
      std::memcpy(bgr + kWinLeft * 3, &frames[f][static_cast<size_t>(y - kWinTop) * kW * 3], size_t{kW} * 3);
  };
  if (!writeDemoFolder(programFolder, kDemoName, fx)) {
    std::fprintf(stderr, "Could not write the sample demo into %s\n", programFolder.c_str());
    return 1;
  }
  std::string folder = programFolder;
  if (folder.empty() || folder.back() != '/') folder += '/';
  std::printf("Sample demo written: %sDemos/%s (%d frames, %d x %d window on a %d x %d screen)\n", folder.c_str(),
              kDemoName, kSteps, kW, kH, kScreenW, kScreenH);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--demo") == 0) return writeSampleDemo(argv[2]);
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s FOLDER [BRANDING_FILE]\n       %s --demo PROGRAM_FOLDER\n", argv[0], argv[0]);
    return 2;
  }
  return writeSamplePackage(argv[1], argc == 3 ? argv[2] : nullptr);
}
