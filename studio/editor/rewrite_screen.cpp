// rewrite_screen.cpp: the progress screen of the recording's rewrites. The
// worker writes the new recording; this screen polls it, and once it has
// said it finished commits on the loop thread (the data file and the model
// are the loop thread's).
#include "studio/editor/rewrite_screen.h"

#include "studio/editor/editor_panels.h"
#include "studio/editor/editor_screens.h"
#include "studio/editor/editor_state.h"

#include "studio/kit/screen_kit.h"

#include "pag/pag.h"
#include "pal/pal.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

constexpr int kProgressTimer = 1;
constexpr int32_t kPanelX = 10, kPanelY = 70, kPanelW = 540, kPanelH = 250, kCentre = 280;

// gRun is set before the worker starts and read by it only through write;
// the loop thread touches it again once gFinished is set (after the result).
RewriteRun gRun;
std::atomic<int> gResult{REWRITE_FAILED};
std::atomic<bool> gFinished{false};

void worker() {
  gResult = gRun.write();
  gFinished.store(true, std::memory_order_release);
}

int poll() {
  pag_FillRect(0, kPanelX, kPanelY, kPanelW, kPanelH, 0x000000);  // the question's texts and buttons go
  char text[120];
  std::snprintf(text, sizeof text, "%s is working: %d %% complete...", gRun.working,
                std::clamp(gRewriteProgress.load(), 0, 999) / 10);
  rewritePanelText(text, 160);
  if (!gFinished.load(std::memory_order_acquire)) return PAL_SHOW;
  pal_DisableAllTimers();
  int result = gResult.load();
  if (result == REWRITE_DONE) result = commitRewrite(gRun.job);
  const std::string why = gRun.job->why, message = gRun.doneMessage;
  const std::string title = gRun.failTitle, prefix = gRun.failPrefix;
  if (gRun.release) gRun.release();
  gRun = RewriteRun{};
  if (result == REWRITE_AT_NEXT_START) pal_FatalAlert(title.c_str(), (prefix + why + ".").c_str());
  // Otherwise a failed rewrite rolled back: the demo's files are as they were.
  if (result != REWRITE_DONE) pal_Alert(1, title.c_str(), (prefix + why + ".  The demo was left unchanged.").c_str());
  pal_SetNewEventHandler(editorHandler);
  if (result != REWRITE_DONE || message.empty()) return PAL_NOTHING;
  editorMessage(message.c_str());
  return PAL_SHOW;
}

int progressHandler(int32_t event[4], char* /*name*/) {
  if (event[0] == PAL_EV_START || (event[0] == PAL_EV_TIMER && event[1] == kProgressTimer)) return poll();
  return PAL_NOTHING;
}

}  // namespace

void drawRewritePanel() {
  pag_FlattenColorsToGrey(0, 0, 0, studioWinW(), studioWinH());
  pag_FillRect(0, kPanelX, kPanelY, kPanelW, kPanelH, 0x000000);
}

void rewritePanelText(const char* text, int32_t y) { studioCentredText(text, kCentre, y, STUDIO_FONT, STUDIO_YELLOW); }

bool saveBeforeRewrite() {
  if (gEditCount > 0 && editorSave() != 1) return false;
  gEditCount = 0;
  return true;
}

int beginRewrite(RewriteRun run) {
  gRun = std::move(run);
  gRewriteProgress = 0;
  gResult = REWRITE_FAILED;
  gFinished = false;
  pal_BeginThread(worker);
  pal_SetTimer(kProgressTimer, 200, 1);
  pal_SetNewEventHandler(progressHandler);
  return PAL_NOTHING;
}
