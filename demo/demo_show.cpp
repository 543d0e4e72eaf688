// demo_show.cpp: showing a frame from the frame source, and loading it as a
// presenting run does.
#include "demo/demo_show.h"

#include "demo/demo_model.h"
#include "demo/demo_overlays.h"
#include "pag/pag.h"
#include "pal/pal.h"

#include <cstdio>

const FrameSource* gFrameSource = nullptr;

namespace {

constexpr int kFrameBuffer = 1;

// Type of frame's first instruction, or 0 when it has none. Builds the list.
int32_t firstTypeOf(int32_t frame) {
  demoLoadFrameInstructionsToMemory(frame);
  return gCurrInstrList[0] >= 0 ? gInstrData[gCurrInstrList[0]].type : 0;
}

void drawStatusLine(int32_t frame) {
  char text[DEMO_TEXT_LEN + 80];  // room for a frame name of the authoring program
  gFrameSource->status(frame, text, sizeof text);
  pag_FillGradientRoundedRect(kFrameBuffer, 5, 2, pal_GetTextWidth(text, 2) + 20, 22, 0x515655, 0x000000);
  pag_DrawTextOnBuff(kFrameBuffer, 10, 2, text, 2, 0xFFFFFF);
}

// A frame left by its timer is no step to return to, nor is the click frame
// that follows a mouse-over frame.
bool belongsInHistory(int32_t frame, int32_t firstType) {
  if (firstType == INSTR_TIMER) return false;
  if (firstType == INSTR_LEFT && frame >= 1) {
    const bool afterMouseOver = firstTypeOf(frame - 1) == INSTR_MOVE_IN;
    demoLoadFrameInstructionsToMemory(frame);
    if (afterMouseOver) return false;
  }
  return true;
}

}  // namespace

bool showDemoFrame(int32_t frame, const int32_t* destination, int editMode) {
  if (gFrameSource == nullptr || !gFrameSource->decode(frame)) return false;
  demoLoadFrameInstructionsToMemory(frame);
  if (gFrameSource->overlaysAllowed()) {
    if (gPlayerFlags.redBoxMode == 1) demoDrawRedInstructionBoxes(editMode);
    if (gPlayerFlags.noteMode == 1) demoDrawSpeakerNotes(frame);
  }
  if (gPlayerFlags.statusMode == 1) drawStatusLine(frame);
  if (destination != nullptr)
    pal_ScaleBufferOntoMainBuffer(kFrameBuffer, destination[0], destination[1], destination[2], destination[3]);
  else
    pal_ScaleBufferOntoMainBuffer(kFrameBuffer, 0, 0, gpal_ImageBuffSize[0][0], gpal_ImageBuffSize[0][1]);
  return true;
}

void loadDemoFrame(int32_t frame, const int32_t* destination) {
  if (frame < 0 || frame >= gFrameCount) {
    std::printf("BadFrameRequest:%d ", frame);
    std::fflush(stdout);
    return;
  }
  if (!showDemoFrame(frame, destination, 0)) return;
  pal_DisableTimer(DEMO_FRAME_TIMER);
  for (int p = 0; p < DEMO_INSTR_LIST_LEN && gCurrInstrList[p] >= 0; ++p) {
    const InstrRec& in = gInstrData[gCurrInstrList[p]];
    if (in.type == INSTR_TIMER) pal_SetTimer(DEMO_FRAME_TIMER, in.v[0], 0);  // a later one replaces it
  }
  gCurrShownFrame = frame;
  const int32_t firstType = gCurrInstrList[0] >= 0 ? gInstrData[gCurrInstrList[0]].type : 0;
  if (belongsInHistory(frame, firstType)) demoPushHistory(frame);
}

bool demoWaitingText(const InstrRec& in, char* out, int cap) {
  const auto size = static_cast<size_t>(cap);
  const char* wait = nullptr;
  switch (in.type) {
    case INSTR_KEY:
      if (in.v[0] != 0) {
        std::snprintf(out, size, "Waiting for Key Press: %ld", static_cast<long>(in.v[0]));
        return true;
      }
      wait = "Any Key Press";
      break;
    case INSTR_TIMER: std::snprintf(out, size, "Waiting %.2f Seconds", in.v[0] / 1000.0); return true;
    case INSTR_LEFT: wait = "Click"; break;
    case INSTR_MOVE_IN: wait = "Mouseover"; break;
    case INSTR_RIGHT: wait = "RightClick"; break;
    case INSTR_UP: wait = "UpClick"; break;
    case INSTR_MOVE_OUT: wait = "Mouse Out"; break;
    default: out[0] = '\0'; return false;
  }
  std::snprintf(out, size, "Waiting for %s", wait);
  return true;
}
