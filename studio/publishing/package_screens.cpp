// package_screens.cpp: "Simulation" on the demo screen: the package dialog
// (name, notes, red boxes and notes, the package type) while the
// preparation runs in the background, then the packaging screen with its
// progress and the result. The work itself is the package writer's, on
// workers that stop, leaving nothing unfinished, when the program ends.
#include "studio/publishing/package_screens.h"
#include "studio/publishing/show_folder.h"
#include "studio/publishing/package_writer.h"

#include "studio/capture/demo_files.h"
#include "studio/kit/screen_kit.h"
#include "studio/kit/studio_states.h"

#include "pag/pag.h"
#include "pal/pal.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kTimer = 1;
constexpr int kTimerMs = 200;

// The folders "OK" made for the package, as bits.
constexpr int kMadeTop = 1, kMadeNamed = 2;

PackageSettings gSettings;
bool gOkAccepted = false;
bool gCancelling = false;            // "Cancel" waits for the preparation to stop
std::atomic<int> gPrepareResult{0};  // 0 running, 1 done, 2 cancelled or stopped, -1 failed
std::atomic<int> gPackageResult{0};  // 0 running, 1 done, 2 stopped, -1 failed
std::atomic<int> gMadeFolders{0};    // set after gSettings.name, which the workers then read
publishing::Failure gPrepareWhy, gPackageWhy;
std::string gWritten;


// The folders "OK" made, removed again while they are empty: a package the
// program ended before writing leaves no trace of itself.
void removeUnusedFolders() {
  const int made = gMadeFolders.exchange(0);
  if ((made & kMadeNamed) != 0) publishing::removeIfEmpty(packageFolderPath(gSettings.name));
  if ((made & kMadeTop) != 0) publishing::removeIfEmpty(libraryFolderPath() + "Demo_Packages");
}

// The workers. Each publishes its result last, after tidying up.
void prepareWorker() {
  const int r = preparePackage(&gPrepareWhy);
  if (r != 1) removeUnusedFolders();
  gPrepareResult = r == 1 ? 1 : r == 0 ? 2 : -1;
}

void packageWorker() {
  const int r = writePackages(gSettings, &gPackageWhy);
  if (r != 1) removeUnusedFolders();
  gPackageResult = r == 1 ? 1 : r == 0 ? 2 : -1;
}

int64_t packagingTenths() {
  const int64_t q = gPackageProgress.load();
  switch (gPackagePhase.load()) {
    case 1: return q * 940 / 1000;
    case 2: return 940 + q * 10 / 1000;
    case 3: return 950 + q * 10 / 1000;
    case 4: return 960 + q * 20 / 1000;
    case 5: return 980 + q * 20 / 1000;
    default: return 0;
  }
}

void prepareBand() {
  char text[120];
  if (gPrepareResult.load() == 1)
    std::snprintf(text, sizeof text, "Package Prep (step 1 of 2) is Complete");
  else
    std::snprintf(text, sizeof text, "Package Prep (step 1 of 2) - %.1f %% complete", packagePrepareTenths() / 10.0);
  studioProgressBand(text);
}

// The systems whose files this packaging writes, and those it skips.
std::string targetsLine(std::string* written) {
  std::string writes, skips;
  for (const WrapTarget& t : wrapTargets()) {
    const std::string name = std::strcmp(t.system, "MacOSX") == 0 ? "Mac OSX" : t.system;
    if (t.possible) {
      writes += (writes.empty() ? "" : ", ") + name;
    } else {
      skips += (skips.empty() ? "" : ", ") + name + " (no '" + t.missing + "')";
    }
  }
  if (written != nullptr) *written = writes;
  std::string line = "Writes: " + (writes.empty() ? std::string("nothing") : writes);
  if (!skips.empty()) line += ".  Skipped: " + skips;
  return line;
}

void drawCheck() {
  pag_FillRect(0, 628, 287, 16, 16, 0xFFFFFF);
  if (gSettings.redBoxes) {
    pag_DrawTrianglePointer(0, 632, 298, 4, 1, "D", 0x222222);
    pag_DrawTrianglePointer(0, 638, 300, 6, 1, "D", 0x222222);
  }
}

void drawChoices() {
  const int32_t ys[] = {355, 380};
  for (int i = 0; i < 2; ++i) {
    pag_FillRect(0, 378, ys[i], 12, 12, 0xFFFFFF);
    if (gSettings.type == (i == 0 ? PACKAGE_SMALL : PACKAGE_FAST)) pag_FillRect(0, 380, ys[i] + 2, 8, 8, 0x444444);
  }
}

void drawDialog() {
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Truncated);
  pag_DrawTextOnBuff(0, 165, 60, "Package Name:", STUDIO_FONT_LARGE, STUDIO_WHITE);
  pal_MarkTextEditRect("PackageNameEditBox", 310, 64, 420, 18, gCurrDemoName, 49, 0xFFFFFF);
  pag_DrawTextOnBuff(0, 165, 118, "Splash Screen Notes:", STUDIO_FONT_LARGE, STUDIO_WHITE);
  pal_MarkTextEditRect("PackageNotesEditBox", 165, 145, 570, 72, nullptr, 49, 0xFFFFFF);
  pag_DrawTextOnBuff(0, 235, 280, "Enable Red Help Boxes and Speaker Notes:", STUDIO_FONT_LARGE, STUDIO_WHITE);
  pal_MarkClickableRect("ToggleRS", 628, 287, 16, 16);
  drawCheck();
  pag_DrawTextOnBuff(0, 235, 355 - 8, "Package Type:", STUDIO_FONT_LARGE, STUDIO_WHITE);
  pag_DrawTextOnBuff(0, 395, 347, "Small Size (takes longer to build)", STUDIO_FONT_LARGE, STUDIO_WHITE);
  pal_MarkClickableRect("PackSmall", 376, 347, 330, 24);
  pag_DrawTextOnBuff(0, 395, 372, "Fast Build (larger package size)", STUDIO_FONT_LARGE, STUDIO_WHITE);
  pal_MarkClickableRect("PackFast", 376, 372, 330, 24);
  drawChoices();
  studioCentredText(targetsLine(nullptr).c_str(), studioWinW() / 2, 415, STUDIO_FONT, 0xCCCCCC);
  studioButton("OK", 420, 450, 60, 25);
  studioButton("Cancel", 420, 573, 60, 25);
  prepareBand();
}

void drawWaiting(const char* heading) {
  pal_UnmarkAllClickableRects();
  pag_FlattenColorsToGrey(0, 0, 0, studioWinW(), studioWinH());
  char text[200];
  std::snprintf(text, sizeof text, heading, gSettings.name.c_str());
  studioCentredText(text, studioWinW() / 2, 160, STUDIO_FONT_LARGE, STUDIO_WHITE);
}

int startPackaging() {
  pal_SetNewEventHandler(packagingScreenHandler);
  return PAL_NOTHING;
}

int onOk() {
  char text[PAL_EDIT_TEXT_LEN];
  pal_GetMarkedTextEdit("PackageNameEditBox", text);
  if (validateDemoName(text, 1) != 1) {
    pal_MarkTextEditRect("PackageNameEditBox", 310, 64, 420, 18, "", 49, 0xFFFFFF);
    return PAL_SHOW;
  }
  gSettings.name = text;
  pal_GetMarkedTextEdit("PackageNotesEditBox", text);
  gSettings.notes = text;
  const int top = pal_FindOrCreateDirectory((libraryFolderPath() + "Demo_Packages").c_str());
  const int named = top == -1 ? -1 : pal_FindOrCreateDirectory(packageFolderPath(gSettings.name).c_str());
  gMadeFolders = (top == 1 ? kMadeTop : 0) | (named == 1 ? kMadeNamed : 0);
  if (named == -1) {
    removeUnusedFolders();
    pal_Alert(1, "Package Fail", "The folder for the package cannot be created in 'Demo_Packages'.");
    return PAL_NOTHING;
  }
  gOkAccepted = true;
  if (gPrepareResult.load() == 1) return startPackaging();
  drawWaiting("Packaging to '%s' in progress - please wait...");
  prepareBand();
  return PAL_SHOW;
}

int onPrepareTick() {
  const int result = gPrepareResult.load();
  if (gCancelling) {
    if (result == 0) return PAL_NOTHING;
    if (result == 1) removePackagePieces();  // finished before it saw the cancel
    return studioBackToDemoScreen();
  }
  if (result == -1) {
    pal_DisableAllTimers();
    pal_Alert(1, gPrepareWhy.title.c_str(), gPrepareWhy.text().c_str());
    return studioBackToDemoScreen();
  }
  if (result == 1 && gOkAccepted) return startPackaging();
  prepareBand();
  return PAL_SHOW;
}

}  // namespace

int64_t packagePrepareTenths() {
  const int64_t q = gPackageProgress.load();
  switch (gPackagePhase.load()) {
    case 1: return q * 10 / 1000;
    case 2: return 10 + q * 10 / 1000;
    case 3: return 20 + 980 * q / 1000;
    default: return 0;
  }
}

int packageDialogHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START: {
      pal_DisableAllTimers();
      char title[120];
      std::snprintf(title, sizeof title, "Packaging '%s' - Pictomira", gCurrDemoName);
      pal_SetWindowTitle(title);
      gSettings = PackageSettings{};
      gOkAccepted = false;
      gCancelling = false;
      gMadeFolders = 0;
      gPackagePhase = 0;
      gPackageProgress = 0;
      gPackageCancel = 0;
      gPrepareResult = 0;
      pal_BeginThread(prepareWorker);
      if (pal_SetTimer(kTimer, kTimerMs, 1) != 1)
        pal_FatalAlert("No Window", "Cannot Set Timer with no Window Avaliable");
      drawDialog();
      return PAL_SHOW;
    }
    case PAL_EV_TIMER: return event[1] == kTimer ? onPrepareTick() : PAL_NOTHING;
    case PAL_EV_CLOSED:
      // The program ends: a running preparation tidies up after itself, a
      // finished one leaves its pieces, which no packaging will use.
      if (gPrepareResult.load() == 1) {
        removePackagePieces();
        removeUnusedFolders();
      }
      return PAL_NOTHING;
    case PAL_EV_PRESS:
      if (gOkAccepted || gCancelling) return PAL_NOTHING;
      if (std::strcmp(name, "ToggleRS") == 0) {
        gSettings.redBoxes = !gSettings.redBoxes;
        drawCheck();
        return PAL_SHOW;
      }
      if (std::strcmp(name, "PackSmall") == 0 || std::strcmp(name, "PackFast") == 0) {
        gSettings.type = name[4] == 'S' ? PACKAGE_SMALL : PACKAGE_FAST;
        drawChoices();
        return PAL_SHOW;
      }
      if (std::strcmp(name, "OK") == 0) return onOk();
      if (std::strcmp(name, "Cancel") == 0) {
        // The preparation stops after its frame; the timer opens the demo
        // screen, which reads the model again, once it has.
        gPackageCancel = 1;
        gCancelling = true;
        return onPrepareTick();
      }
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

int packagingScreenHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START:
      studioPaintWholeBackground(Gradient::Truncated);
      drawWaiting("Packaging to '%s' in progress - please wait...");
      targetsLine(&gWritten);
      gPackageResult = 0;
      gPackagePhase = 0;
      gPackageProgress = 0;
      pal_BeginThread(packageWorker);
      if (pal_SetTimer(kTimer, kTimerMs, 1) != 1)
        pal_FatalAlert("No Window", "Cannot Set Timer with no Window Avaliable");
      studioProgressBand("Creating Package: 0.0 %");
      return PAL_SHOW;
    case PAL_EV_TIMER: {
      if (event[1] != kTimer) return PAL_NOTHING;
      const int result = gPackageResult.load();
      if (result == 0) {
        char text[80];
        std::snprintf(text, sizeof text, "Creating Package: %.1f %%", packagingTenths() / 10.0);
        studioProgressBand(text);
        return PAL_SHOW;
      }
      pal_DisableAllTimers();
      if (result != 1) {
        pal_Alert(1, gPackageWhy.title.c_str(), gPackageWhy.text().c_str());
        return studioBackToDemoScreen();
      }
      studioPaintWholeBackground(Gradient::Truncated);
      char text[300];
      std::snprintf(text, sizeof text, "Packages of '%s' for %s", gSettings.name.c_str(), gWritten.c_str());
      studioCentredText(text, studioWinW() / 2, 175, STUDIO_FONT_LARGE, STUDIO_WHITE);
      std::snprintf(text, sizeof text, "are available in 'Demo_Packages/%s'", gSettings.name.c_str());
      studioCentredText(text, studioWinW() / 2, 205, STUDIO_FONT_LARGE, STUDIO_WHITE);
      studioButton("OK", 430, 300, 40, 24);
      drawShowFolderButton(490, 300, 24);
      return PAL_SHOW;
    }
    case PAL_EV_PRESS:
      if (gPackageResult.load() != 1) return PAL_NOTHING;
      if (studioNamed(name, "Show Folder")) return onShowFolder(packageFolderPath(gSettings.name), 350);
      if (!studioNamed(name, "OK")) return PAL_NOTHING;
      {
        char title[40];
        std::snprintf(title, sizeof title, "Pictomira (v%d)", PICTOMIRA_VERSION);
        pal_SetWindowTitle(title);
      }
      event[0] = STATE_HOME;
      return PAL_CLOSE;
    default: return PAL_NOTHING;
  }
}
