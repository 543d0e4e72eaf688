// demo_run.cpp: the authoring program's presenting runs of the demo in
// memory, with frames rebuilt from the demo's recording: "Present the Demo"
// over a window of its own, and the test run in the editor's frame view.
// Both move through the demo as the Presenter does; neither changes it.
#include "studio/editor/editor_panels.h"
#include "studio/editor/editor_screens.h"
#include "studio/editor/editor_state.h"

#include "studio/capture/demo_files.h"
#include "studio/kit/screen_kit.h"
#include "studio/kit/studio_states.h"

#include "demo/demo_frames.h"
#include "demo/demo_match.h"
#include "demo/demo_model.h"
#include "demo/demo_show.h"
#include "pag/pag.h"
#include "pal/pal.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kFrameBuffer = 1;

const char* rebuildError(int64_t code) {
  switch (code) {
    case -1: return "the frame buffer is not the crop's size";
    case -2: return "a negative record offset";
    case -3: return "its record lies before its key record";
    case -4: return "the recording file cannot be opened";
    case -5: return "no record at the frame's offset";
    case -6: return "no key record to rebuild from";
    case -7: return "the recording file lost its position";
    case REC_ERR_BAD_RECORD: return "a damaged record";
    case REC_ERR_CROP_OUTSIDE: return "the crop lies outside the recorded screen";
    default: return "an unknown fault";
  }
}

// The frame's name, empty when it has none.
void frameName(int32_t frame, char out[DEMO_TEXT_LEN]) {
  out[0] = '\0';
  const int64_t record = gFrameData[frame].nameText;
  if (record >= DEMO_FIRST_TEXT_REC && record < DEMO_TEXT_RECS) demoGetTextValue(static_cast<int32_t>(record), out);
}

// A frame that cannot be rebuilt ends the program: showing the frame before
// it instead would send the author through a demo that is not on disk.
bool decodeRecordedFrame(int32_t frame) {
  if (frame < 0 || frame >= gFrameCount) return false;
  const FrameRec& fr = gFrameData[frame];
  const int64_t got =
      demoRecFrameCroppedToPALbuff(editorRecordingPath().c_str(), fr.imageRefA, fr.imageRefB, kFrameBuffer);
  if (got >= 0) return true;
  char name[DEMO_TEXT_LEN];
  frameName(frame, name);
  char text[DEMO_TEXT_LEN + 300];
  std::snprintf(text, sizeof text,
                "Frame %d ('%s') of the demo '%s' cannot be rebuilt from its recording: %s (error %lld).", frame, name,
                gCurrDemoName, rebuildError(got), static_cast<long long>(got));
  pal_FatalAlert("Fatal Error", text);
}

bool overlaysAlways() { return true; }

const FrameSource kRecordingSource = {decodeRecordedFrame, studioStatusText, overlaysAlways};

// ---- The runs -----------------------------------------------------------------------------

// Where a run shows its frames: the rectangle of slot 0 (null: all of it)
// and the window column of the frame's left edge, which window points are
// moved by before they are matched.
struct RunView {
  const int32_t* destination;
  int32_t left;
};

int32_t gTestRunView[4];
PlayerFlags gFlagsBeforeTestRun;

RunView presentView() { return {nullptr, 0}; }
RunView testRunView() { return {gTestRunView, EDITOR_VIEW_X}; }

void show(const RunView& view, int32_t frame) { loadDemoFrame(frame, view.destination); }

// The first frame whose number is the demo's home frame number, else frame 0.
int32_t homeFrame() {
  const int32_t f = gHeaderCount > 2 ? frameIndexOfNumber(gHeaderData[2]) : -1;
  return f >= 0 ? f : 0;
}

// The pointer glide measures from the window's outer top-left corner:
// gEdSizes[1] columns across (and then below the title bar) and gEdSizes[2]
// rows down. They are set for the glide alone, to the frame view's column
// in the test run and to the title bar's height in the presenting window;
// the matchers never read them, and they are 0 again afterwards.
int32_t glideToDefault(const RunView& view) {
  gEdSizes[1] = view.left;
  gEdSizes[2] = view.left >= 1 ? 0 : pal_GetWindowBorderThickness(1);
  const int32_t target = demoSmoothMouseMoveToDefaultLoc();
  gEdSizes[1] = gEdSizes[2] = 0;
  return target;
}

void startRun(int32_t frame, const RunView& view) {
  pal_DisableAllTimers();
  gEdSizes[1] = gEdSizes[2] = 0;
  useStudioFrameSource();
  for (int32_t& h : gHistoryStack) h = frame;
  gCurrShownFrame = frame;
  show(view, frame);
}

int onKeyboardMatch(const RunView& view, const MatchResult& m) {
  if (m.kind == 1) {
    show(view, m.value);
    return PAL_SHOW;
  }
  if (m.kind != 2) return PAL_NOTHING;
  switch (m.value) {
    case DEMO_NAV_TAB: {
      const int32_t target = glideToDefault(view);
      if (target < 0) return PAL_NOTHING;
      show(view, target);
      return PAL_SHOW;
    }
    case DEMO_NAV_HOME: show(view, homeFrame()); return PAL_SHOW;
    case DEMO_NAV_F1:
      gPlayerFlags.redBoxMode = gPlayerFlags.noteMode = gPlayerFlags.redBoxMode == 1 ? -1 : 1;
      break;
    case DEMO_NAV_F4: gPlayerFlags.noteMode = -gPlayerFlags.noteMode; break;
    case DEMO_NAV_F5: gPlayerFlags.redBoxMode = -gPlayerFlags.redBoxMode; break;
    default: return PAL_NOTHING;
  }
  show(view, gCurrShownFrame);
  return PAL_SHOW;
}

int onTimer(const RunView& view, const int32_t event[4]) {
  if (event[1] != DEMO_FRAME_TIMER) return PAL_NOTHING;
  for (int p = 0; p < DEMO_INSTR_LIST_LEN && gCurrInstrList[p] >= 0; ++p) {
    const InstrRec& in = gInstrData[gCurrInstrList[p]];
    if (in.type != INSTR_TIMER) continue;
    if (in.frame == gCurrShownFrame) show(view, demoResolveTarget(in));
    return PAL_SHOW;
  }
  return PAL_NOTHING;
}

// What both runs do with an event after their own: Esc and the window's
// closing are theirs.
int runEvent(const RunView& view, int32_t event[4]) {
  const int32_t at[4] = {event[0], event[1] - view.left, event[2], event[3]};
  MatchResult m{0, 0};
  switch (event[0]) {
    case PAL_EV_PRESS: demoCheckMatchingLeftClickInstruction(at, &m); break;
    case PAL_EV_RIGHT: demoCheckMatchingRightClickInstruction(at, &m); break;
    case PAL_EV_MOVE: demoCheckMatchingMouseMoveInstruction(at, &m); break;
    case PAL_EV_TIMER: return onTimer(view, event);
    case PAL_EV_KEY:
      if (event[2] == PAL_MOD_CONTROL && event[3] == 'T') {
        gPlayerFlags.statusMode = gPlayerFlags.statusMode == 1 ? -1 : 1;
        show(view, gCurrShownFrame);
        return PAL_SHOW;
      }
      demoCheckMatchingKeyboardInstruction(event, &m);
      return onKeyboardMatch(view, m);
    default: return PAL_NOTHING;
  }
  if (m.kind != 1) return PAL_NOTHING;
  show(view, m.value);
  return PAL_SHOW;
}

bool isEscape(const int32_t event[4]) { return event[0] == PAL_EV_KEY && event[3] == VK_ESCAPE; }

// Back to the editor with the display modes it had before the run.
void backToEditor() {
  pal_DisableTimer(DEMO_FRAME_TIMER);
  gPlayerFlags = gFlagsBeforeTestRun;
  pal_SetNewEventHandler(editorHandler);
}

// A click frame's first instruction is a left or right click.
bool isClickType(int32_t type) { return type == INSTR_LEFT || type == INSTR_RIGHT; }

}  // namespace

void useStudioFrameSource() {
  pal_InitWinBuf(kFrameBuffer, gCropSize[2], gCropSize[3]);
  gFrameSource = &kRecordingSource;
}

void studioStatusText(int32_t frame, char* out, int cap) {
  const auto size = static_cast<size_t>(cap);
  char name[DEMO_TEXT_LEN] = "";
  if (frame >= 0 && frame < gFrameCount) frameName(frame, name);
  const int32_t first = gCurrInstrList[0];
  const InstrRec* in = first >= 0 && first < gInstrCount ? &gInstrData[first] : nullptr;
  if (frame >= gFrameCount - 1) {
    std::snprintf(out, size, "Frame: '%d: %s' - End of Demo", frame, name);
    return;
  }
  char waiting[60];
  if (in != nullptr && demoWaitingText(*in, waiting, sizeof waiting)) {
    std::snprintf(out, size, "Frame: '%d: %s' - %s", frame, name, waiting);
    return;
  }
  // A frame without instructions is told by its number.
  const long long number = frame >= 0 ? static_cast<long long>(gFrameData[frame].frameId) : frame;
  std::snprintf(out, size, "Frame: '%lld: %s'", number, name);
}

int32_t testRunStartFrame(int32_t frame) {
  if (frame >= gFrameCount) frame = gFrameCount - 1;
  if (frame <= 0) return 0;
  // The first instruction of each frame before frame, in table order.
  std::vector<int32_t> firstType(static_cast<size_t>(frame), 0);
  for (int32_t i = 0; i < gInstrCount; ++i) {
    const int32_t f = gInstrData[i].frame;
    if (f >= 0 && f < frame && firstType[static_cast<size_t>(f)] == 0)
      firstType[static_cast<size_t>(f)] = gInstrData[i].type;
  }
  int32_t stepFirst = 0;
  for (int32_t f = frame - 1; f >= 0; --f) {
    if (isClickType(firstType[static_cast<size_t>(f)])) {
      stepFirst = f + 1;
      break;
    }
  }
  return stepFirst >= 1 ? stepFirst - 1 : 0;
}

int presentDemoHandler(int32_t event[4], char* /*name*/) {
  const RunView view = presentView();
  if (event[0] == PAL_EV_START) {
    pal_UnmarkAllClickableRects();
    startRun(0, view);
    return PAL_SHOW;
  }
  // Esc, or closing the window, goes back to the demo screen.
  if (isEscape(event) || event[0] == PAL_EV_CLOSED) {
    pal_DisableAllTimers();
    pal_DestroyWinBuff(kFrameBuffer);
    event[0] = STATE_DEMO;
    return PAL_CLOSE;
  }
  return runEvent(view, event);
}

int testRunHandler(int32_t event[4], char* name) {
  const RunView view = testRunView();
  switch (event[0]) {
    case PAL_EV_START:
      pal_UnmarkAllClickableRects();
      gFlagsBeforeTestRun = gPlayerFlags;
      pag_FlattenColorsToGrey(0, 0, 0, gpal_ImageBuffSize[0][0], gpal_ImageBuffSize[0][1]);
      studioButton("Stop Run", 290, 50, 90, 24);
      editorFrameViewRect(gTestRunView);
      startRun(testRunStartFrame(gEditorFrame), view);
      return PAL_SHOW;
    case PAL_EV_CLOSED:
      // The editor decides what closing its window means.
      backToEditor();
      return editorHandler(event, name);
    case PAL_EV_PRESS:
      if (std::strcmp(name, "Stop Run") == 0) {
        backToEditor();
        return PAL_NOTHING;
      }
      break;
    case PAL_EV_KEY:
      if (isEscape(event)) {
        backToEditor();
        return PAL_NOTHING;
      }
      break;
    default: break;
  }
  return runEvent(view, event);
}
