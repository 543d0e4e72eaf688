// shell_main.cpp: the authoring program's start-up (folders, the first
// run's sample demos, the replay pair), the main state machine and the demo
// name check with its alerts.
#include "studio/abstraction/abstraction.h"
#include "studio/abstraction/abstraction_screens.h"
#include "studio/capture/capture_screens.h"
#include "studio/capture/demo_files.h"
#include "studio/capture/demo_paste.h"
#include "studio/capture/press_queries.h"
#include "studio/editor/bitmap_io.h"
#include "studio/editor/editor_screens.h"
#include "studio/editor/editor_state.h"
#include "studio/kit/screen_kit.h"
#include "studio/publishing/interrupted_exports.h"
#include "studio/shell/shell.h"

#include "demo/demo_model.h"
#include "pag/pag.h"
#include "pal/pal.h"
#include "pal/pal_accessibility.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

constexpr int kClosingLimitMs = 10000;

bool canRead(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

void ensureFolder(const std::string& path, const char* warning) {
  if (pal_FindOrCreateDirectory(path.c_str()) == -1) pal_Alert(1, "Warning", warning);
}

// A library of its own that has no "Demos" yet starts with a copy of the
// program folder's demos (the sample). The copy is made beside it and then
// renamed, so a copy cut short leaves no half demo and is made again at the
// next start; one that fails leaves the library without demos.
void seedLibrary() {
  namespace fs = std::filesystem;
  const fs::path samples = std::string(gProgramFolder) + "Demos";
  const fs::path demos = libraryFolderPath() + "Demos";
  std::error_code error;
  if (gLibraryFolder[0] == '\0' || fs::exists(demos, error) || !fs::is_directory(samples, error)) return;
  const fs::path seed = libraryFolderPath() + ".Demos.seed";
  fs::remove_all(seed, error);
  fs::copy(samples, seed, fs::copy_options::recursive, error);
  if (!error) fs::rename(seed, demos, error);
  if (error) fs::remove_all(seed, error);
}

// The editor on the demo the demo screen loaded, in a window at the work
// area's top-left corner sized for the crop.
int runEditor() {
  gEditorFrame = 0;
  gEditCount = 0;
  gEditorTab = 1;
  int32_t w, h, work[4];
  editorWindowSize(&w, &h);
  pal_GetAvailableScreenPixels(1, work);
  char title[120];
  std::snprintf(title, sizeof title, "Editing '%s' - Pictomira", gCurrDemoName);
  return pal_RunWindow(1, work[0], work[1], w, h, title, editorHandler);
}

// While the window closes with work in progress: a panel across the
// window says so and a bar shows how much of the wait's limit has passed.
void drawClosingNotice(int elapsed, int limit) {
  const int32_t w = gpal_ImageBuffSize[0][0], h = gpal_ImageBuffSize[0][1];
  const int32_t top = std::max(0, h / 2 - 45);
  pag_FillRect(0, 0, top, w, 90, STUDIO_PANEL);
  studioCentredText("Closing Pictomira", w / 2, top + 12, STUDIO_FONT, STUDIO_WHITE);
  studioCentredText("Stopping the work in progress and removing what it had not finished...", w / 2, top + 34,
                    STUDIO_FONT, STUDIO_YELLOW);
  const int32_t barW = std::min<int32_t>(400, w - 40);
  const int32_t barX = (w - barW) / 2;
  pag_FillRect(0, barX, top + 62, barW, 10, 0x444444);
  pag_FillRect(0, barX, top + 62, static_cast<int32_t>(int64_t{barW} * elapsed / std::max(1, limit)), 10, STUDIO_YELLOW);
  pal_UpdateWindowFromBuffer(nullptr);
}

// The window was closed: the workers are asked to stop and waited for, with
// the notice showing; one that does not answer in time is left behind and
// the program ends without running the exit handlers it might still need.
void endWithWorkers() {
  if (pal_WorkersRunning() == 0) return;
  if (pal_StopWorkers(kClosingLimitMs, drawClosingNotice)) return;
  std::fprintf(stderr, "Pictomira: work in progress did not stop within %d s; closing without it\n",
               kClosingLimitMs / 1000);
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(0);
}

}  // namespace

int checkZippedFolder(const char* path) {
  for (int64_t i = static_cast<int64_t>(std::strlen(path)) - 8; i >= 0; --i)
    if (strncasecmp(path + i, ".zip", 4) == 0) return 1;
  return 0;
}

void checkSystemFolders() {
  ensureFolder(std::string(gProgramFolder) + SYSTEM_FOLDER_NAME, "This Pictomira build appears to be incomplete (DirA).");
  if (makeLibraryFolder()) seedLibrary();
  ensureFolder(demosFolderPath(), "This Pictomira build appears to be incomplete (DirB).");
}

int replayCaptureIfPresent() {
  const std::string recording = libraryFolderPath() + "pmra.DMR";
  const std::string windows = libraryFolderPath() + "pmra.DMW";
  const std::string presses = libraryFolderPath() + "pmra.DMA";  // optional
  if (!canRead(recording) || !canRead(windows)) return STATE_HOME;
  // An earlier capture's side file must not pass for the pair's.
  for (const char* ext : {".DMR", ".DMW", ".DMA"}) std::remove(captureSlotPath(ext).c_str());
  pal_CopyOrAppendFile(recording.c_str(), captureSlotPath(".DMR").c_str(), 0, nullptr);
  pal_CopyOrAppendFile(windows.c_str(), captureSlotPath(".DMW").c_str(), 0, nullptr);
  if (canRead(presses)) pal_CopyOrAppendFile(presses.c_str(), captureSlotPath(".DMA").c_str(), 0, nullptr);
  return STATE_ABSTRACT;
}

int studioMain(const std::string& programFolder, const std::string& libraryFolder) {
  pal_InitPAL();
  pal_SetEndingHandler(endWithWorkers);
  gAccessibleQueries = {pal_AccessibleAtPoint, pal_AccessiblePopupsNow};  // capture names what each press landed on
  studioSetDemoScreen(demoScreenHandler);  // where the dialogs opened from it return
  std::string why;
  if (!setStudioFolders(programFolder, libraryFolder, &why))
    pal_FatalAlert("Folder Missing", ("Pictomira cannot start: " + why).c_str());
  if (gpal_PlatformFlag == 10 && checkZippedFolder(gProgramFolder) == 1) {
    pal_Alert(1, "Folder is Zipped", "Please Unzip the folder before running Pictomira.");
    return 0;
  }
  checkSystemFolders();
  recoverInterruptedRewrites();  // finishes or rolls back an import or a redaction cut short
  removeInterruptedPastes();    // hidden demos a paste or copy cut short left behind
  removeInterruptedExports();   // pieces and unfinished outputs of packaging or an export cut short
  char homeTitle[40];
  std::snprintf(homeTitle, sizeof homeTitle, "Pictomira (v%d)", PICTOMIRA_VERSION);
  int state = replayCaptureIfPresent();
  while (state >= 1) {
    switch (state) {
      case STATE_HOME: state = pal_RunWindow(1, -1, -1, HOME_W, HOME_H, homeTitle, homeScreenHandler); break;
      case STATE_DEMO:
        state = pal_RunWindow(1, -1, -1, HOME_W, HOME_H, "Ready to Abstract - Pictomira", demoScreenHandler);
        break;
      case STATE_CAPTURE:
        state = pal_RunWindow(1, -1, -1, CAPTURE_W, CAPTURE_H, "Ready to Capture - Pictomira", capturePrepHandler);
        break;
      case STATE_ABSTRACT:
        gRecordedW = -1;  // the crop is detected afresh
        state = pal_RunWindow(1, -1, -1, ABSTRACT_W, ABSTRACT_H, "Ready to Abstract - Pictomira", abstractionScreenHandler);
        break;
      case STATE_PRESENT: {
        // The demo screen left the demo loaded and gDemoScale fitted to the
        // work area: the borderless window (rounded top corners when the demo
        // asks for them) fits it whole.
        const auto w = static_cast<int32_t>(std::max<int64_t>(1, int64_t{gCropSize[2]} * gDemoScale / 1000));
        const auto h = static_cast<int32_t>(std::max<int64_t>(1, int64_t{gCropSize[3]} * gDemoScale / 1000));
        const int kind = gHeaderCount >= 4 && gHeaderData[3] >= 1 ? 16 : 15;
        char title[120];
        std::snprintf(title, sizeof title, "%s - Pictomira", gCurrDemoName);
        state = pal_RunWindow(kind, -1, -1, w, h, title, presentDemoHandler);
        break;
      }
      case STATE_EDITOR: state = runEditor(); break;
      default: state = STATE_HOME; break;
    }
  }
  return 0;
}
