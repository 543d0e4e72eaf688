// demo_match.cpp: the four instruction matchers and the mouse guide.
#include "demo/demo_match.h"

#include "pal/pal.h"

#include <chrono>
#include <thread>

namespace {

// The instruction at position p of the shown frame's list, or null at its end.
const InstrRec* listEntry(int p) {
  if (p < 0 || p >= DEMO_INSTR_LIST_LEN) return nullptr;
  const int32_t index = gCurrInstrList[p];
  if (index < 0 || index >= gInstrCount) return nullptr;
  return &gInstrData[index];
}

// A target of exactly -1 leads to the frame after the shown one.
int32_t resolved(const InstrRec& in) { return in.target == -1 ? gCurrShownFrame + 1 : in.target; }

void fire(const InstrRec& in, MatchResult* r) { *r = {1, resolved(in)}; }

// The first instruction of type whose rectangle holds the event's point fires.
void matchClick(const int32_t event[4], int32_t type, MatchResult* result) {
  *result = {0, 0};
  int32_t x, y;
  demoWindowToRecorded(event[1], event[2], &x, &y);
  for (int p = 0; const InstrRec* in = listEntry(p); ++p)
    if (in->type == type && demoRectHolds(*in, x, y)) return fire(*in, result);
}

}  // namespace

void demoWindowToRecorded(int32_t wx, int32_t wy, int32_t* x, int32_t* y) {
  const int32_t scale = gDemoScale > 0 ? gDemoScale : 1000;
  *x = static_cast<int32_t>(int64_t{wx} * 1000 / scale) + gCropSize[0];
  *y = static_cast<int32_t>(int64_t{wy} * 1000 / scale) + gCropSize[1];
}

void demoCheckMatchingLeftClickInstruction(const int32_t event[4], MatchResult* result) {
  matchClick(event, INSTR_LEFT, result);
}

void demoCheckMatchingRightClickInstruction(const int32_t event[4], MatchResult* result) {
  matchClick(event, INSTR_RIGHT, result);
}

void demoCheckMatchingMouseMoveInstruction(const int32_t event[4], MatchResult* result) {
  *result = {0, 0};
  int32_t x, y;
  demoWindowToRecorded(event[1], event[2], &x, &y);
  for (int p = 0; const InstrRec* in = listEntry(p); ++p) {
    const bool inside = demoRectHolds(*in, x, y);
    if ((in->type == INSTR_MOVE_IN && inside) || (in->type == INSTR_MOVE_OUT && !inside)) return fire(*in, result);
  }
}

void demoCheckMatchingKeyboardInstruction(const int32_t event[4], MatchResult* result) {
  *result = {0, 0};
  const int32_t character = event[1], modifier = event[2], code = event[3];
  const InstrRec* anyKey = nullptr;
  for (int p = 0; const InstrRec* in = listEntry(p); ++p) {
    if (in->type != INSTR_KEY) continue;
    if (in->v[0] != 0 && in->v[0] == code) return fire(*in, result);
    if (in->v[0] == 0) anyKey = in;  // the last one in the list is remembered
  }
  switch (code) {
    case VK_TAB: *result = {2, DEMO_NAV_TAB}; return;
    case VK_ESCAPE: *result = {2, DEMO_NAV_ESC}; return;
    case VK_HOME: *result = {2, DEMO_NAV_HOME}; return;
    case VK_LEFT:
      if (modifier == PAL_MOD_SHIFT) {
        *result = {2, DEMO_NAV_HOME};
      } else if (gHistoryStack[0] != gCurrShownFrame) {
        *result = {1, gHistoryStack[0]};
        demoPopHistory(1);
      } else {
        *result = {1, gHistoryStack[1]};
        demoPopHistory(2);
      }
      return;
    case VK_RIGHT: {
      const InstrRec* first = listEntry(0);
      // A frame without instructions steps on as a default target would.
      *result = {1, first ? resolved(*first) : gCurrShownFrame + 1};
      return;
    }
    case VK_F1:
    case VK_F4:
    case VK_F5: *result = {2, code}; return;
    default: break;
  }
  if (anyKey != nullptr && character >= 1) fire(*anyKey, result);
}

int32_t demoGlideStep(int32_t position, int32_t target, bool* near) {
  const int32_t d = target - position;
  int32_t step = d / 5;
  if (d >= 1 && d <= 4) step += 1;
  if (d >= -4 && d <= -1) step -= 1;
  *near = d >= -4 && d <= 4 && d != 0;
  return position + step;
}

int32_t demoSmoothMouseMoveToDefaultLoc() {
  const InstrRec* first = listEntry(0);
  if (first == nullptr || (first->type != INSTR_LEFT && first->type != INSTR_MOVE_IN && first->type != INSTR_RIGHT &&
                           first->type != INSTR_UP))
    return -1;
  int32_t window[4];
  pal_GetPalWindowRect(window);
  const int32_t cx = (first->v[0] + first->v[2]) / 2, cy = (first->v[1] + first->v[3]) / 2;
  int32_t tx = window[0] + gEdSizes[1] + 1 + static_cast<int32_t>(int64_t{cx - gCropSize[0]} * gDemoScale / 1000);
  int32_t ty = window[1] + gEdSizes[2] + static_cast<int32_t>(int64_t{cy - gCropSize[1]} * gDemoScale / 1000);
  if (gEdSizes[1] >= 1) ty += pal_GetWindowBorderThickness(1);
  int32_t at[2];
  pal_GetOrSetCursorPos(0, at);
  int delayMs = 40;
  while (at[0] != tx || at[1] != ty) {
    bool nearX, nearY;
    at[0] = demoGlideStep(at[0], tx, &nearX);
    at[1] = demoGlideStep(at[1], ty, &nearY);
    if (nearX || nearY) delayMs = 15;  // and 15 ms for the rest of the glide
    // Move the pointer again and again until the step's time has passed.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
    do {
      pal_GetOrSetCursorPos('S', at);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < until);
  }
  for (int p = 0; const InstrRec* in = listEntry(p); ++p)
    if (in->type == INSTR_MOVE_IN && demoRectHolds(*in, cx, cy))
      return demoResolveTarget(*in);
  return -1;
}
