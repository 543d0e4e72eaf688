// presenter_present.cpp: showing frames and the presenting screen's events.
#include "demo/demo_frames.h"
#include "demo/demo_match.h"
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "demo/demo_show.h"
#include "pal/pal.h"
#include "presenter/presenter.h"

#include <cstdio>
#include <cstring>

namespace {

bool decodePackageFrame(int32_t frame) {
  pkgFrameToBuff(frame);  // a package that cannot be read ends the program
  return true;
}

// A package that skips the splash shows its frames bare.
bool packageOverlaysAllowed() { return gDemoPackageVals[PKG_VAL_SKIP_SPLASH] != 1; }

const FrameSource kPackageSource = {decodePackageFrame, presenterStatusText, packageOverlaysAllowed};

void reload() { loadDemoFrame(gCurrShownFrame, nullptr); }

int onKeyboardMatch(const MatchResult& m) {
  if (m.kind == 1) {
    loadDemoFrame(m.value, nullptr);
    return PAL_SHOW;
  }
  if (m.kind != 2) return PAL_NOTHING;
  switch (m.value) {
    case DEMO_NAV_TAB: {
      const int32_t target = demoSmoothMouseMoveToDefaultLoc();
      if (target < 0) return PAL_NOTHING;
      loadDemoFrame(target, nullptr);
      return PAL_SHOW;
    }
    case DEMO_NAV_ESC:
      pal_DestroyWinBuff(1);
      pal_EndProgram(0);
    case DEMO_NAV_HOME: {
      int32_t& home = gDemoPackageVals[PKG_VAL_HOME_FRAME];
      if (home < 0 || home >= gFrameCount) home = 0;  // for good
      loadDemoFrame(home, nullptr);
      return PAL_SHOW;
    }
    case DEMO_NAV_F1:
      if (gPlayerFlags.redBoxMode == 2) return PAL_NOTHING;
      gPlayerFlags.redBoxMode = gPlayerFlags.noteMode = gPlayerFlags.redBoxMode == 1 ? -1 : 1;
      reload();
      return PAL_SHOW;
    case DEMO_NAV_F4: gPlayerFlags.noteMode = -gPlayerFlags.noteMode; reload(); return PAL_SHOW;
    case DEMO_NAV_F5: gPlayerFlags.redBoxMode = -gPlayerFlags.redBoxMode; reload(); return PAL_SHOW;
    default: return PAL_NOTHING;
  }
}

int onTimer(const int32_t event[4]) {
  if (event[1] != PRESENT_FRAME_TIMER) return PAL_NOTHING;
  for (int p = 0; p < DEMO_INSTR_LIST_LEN && gCurrInstrList[p] >= 0; ++p) {
    const InstrRec& in = gInstrData[gCurrInstrList[p]];
    if (in.type != INSTR_TIMER) continue;
    if (in.frame == gCurrShownFrame) loadDemoFrame(demoResolveTarget(in), nullptr);
    return PAL_SHOW;
  }
  return PAL_NOTHING;
}

}  // namespace

void presenterStatusText(int32_t frame, char* out, int cap) {
  const int32_t first = gCurrInstrList[0];
  const InstrRec* in = first >= 0 && first < gInstrCount ? &gInstrData[first] : nullptr;
  if (frame >= gFrameCount - 1) {
    std::snprintf(out, static_cast<size_t>(cap), "Frame: '%d' - End of Demo", frame);
    return;
  }
  char waiting[60];
  if (in == nullptr || !demoWaitingText(*in, waiting, sizeof waiting)) {
    std::snprintf(out, static_cast<size_t>(cap), "Frame: %d", frame);
    return;
  }
  std::snprintf(out, static_cast<size_t>(cap), "Frame: '%d' - %s", frame, waiting);
}

int runDemoHandler(int32_t event[4], char* /*name*/) {
  MatchResult m{0, 0};
  switch (event[0]) {
    case PAL_EV_START:
      pal_UnmarkAllClickableRects();
      pal_DisableAllTimers();
      gEdSizes[1] = gEdSizes[2] = 0;
      gFrameSource = &kPackageSource;
      pal_InitWinBuf(1, gCropSize[2], gCropSize[3]);
      gCurrShownFrame = 0;
      std::memset(gHistoryStack, 0, sizeof gHistoryStack);
      loadDemoFrame(0, nullptr);
      return PAL_SHOW;
    case PAL_EV_PRESS: demoCheckMatchingLeftClickInstruction(event, &m); break;
    case PAL_EV_RIGHT: demoCheckMatchingRightClickInstruction(event, &m); break;
    case PAL_EV_MOVE: demoCheckMatchingMouseMoveInstruction(event, &m); break;
    case PAL_EV_TIMER: return onTimer(event);
    case PAL_EV_KEY:
      if (event[2] == PAL_MOD_CONTROL && event[3] == 'T') {
        gPlayerFlags.statusMode = -gPlayerFlags.statusMode;
        reload();
        return PAL_SHOW;
      }
      if (event[2] == PAL_MOD_CONTROL && event[3] == 'L') {
        pal_SetNewEventHandler(selfLoopHandler);
        return PAL_NOTHING;
      }
      demoCheckMatchingKeyboardInstruction(event, &m);
      return onKeyboardMatch(m);
    default: return PAL_NOTHING;
  }
  if (m.kind != 1) return PAL_NOTHING;
  loadDemoFrame(m.value, nullptr);
  return PAL_SHOW;
}
