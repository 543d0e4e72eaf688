// demo_model.cpp: the demo tables, the text datastore, instruction lists and
// the history stack.
#include "demo/demo_model.h"

#include <cstring>

FrameRec gFrameData[DEMO_FRAME_CAP];
int32_t gFrameCount;
InstrRec gInstrData[DEMO_INSTR_CAP];
int32_t gInstrCount;
char gTxtRecVals[DEMO_TEXT_RECS][DEMO_TEXT_LEN];
uint32_t gTxtRecData[DEMO_TEXT_RECS][2];
int32_t gHighestUsedTextRec;
int32_t gHeaderData[DEMO_HEADER_CAP];
int32_t gHeaderCount;

int32_t gCurrShownFrame;
int32_t gCurrInstrList[DEMO_INSTR_LIST_LEN] = {-1};
int32_t gEdSizes[9];
int32_t gHistoryStack[DEMO_HISTORY_LEN];
int32_t gCropSize[4];
int32_t gDemoScale = 1000;
PlayerFlags gPlayerFlags;

void demoInitDatastores() {
  std::memset(gTxtRecData, 0, sizeof gTxtRecData);
  gHighestUsedTextRec = DEMO_FIRST_TEXT_REC;
}

int32_t demoStoreNewTextValue(const char* text) {
  if (std::strlen(text) > DEMO_TEXT_MAX) return -1;
  for (int32_t i = DEMO_FIRST_TEXT_REC; i <= DEMO_LAST_NEW_TEXT_REC; ++i) {
    if (gTxtRecData[i][0] != 0) continue;
    gTxtRecData[i][0] = 1;
    if (i >= gHighestUsedTextRec) gHighestUsedTextRec = i + 1;
    std::strcpy(gTxtRecVals[i], text);
    return i;
  }
  return -2;
}

int32_t demoUpdateTextValue(int32_t index, const char* text) {
  if (std::strlen(text) >= DEMO_TEXT_MAX + 1) return -1;
  if (index < 0 || index >= DEMO_TEXT_RECS) return -1;
  std::strcpy(gTxtRecVals[index], text);
  return index;
}

int32_t demoGetTextValue(int32_t index, char* out) {
  out[0] = '\0';
  if (index < DEMO_FIRST_TEXT_REC || index > DEMO_TEXT_RECS) return -1;
  if (index == DEMO_TEXT_RECS || gTxtRecData[index][0] == 0) return -2;
  std::memcpy(out, gTxtRecVals[index], DEMO_TEXT_LEN);
  out[DEMO_TEXT_LEN - 1] = '\0';
  return 0;
}

void demoDeleteTextValue(int32_t index) {
  if (index < DEMO_FIRST_TEXT_REC || index >= DEMO_TEXT_RECS) return;
  gTxtRecData[index][0] = 0;
  gTxtRecData[index][1] = 0;
}

int32_t demoLoadFrameInstructionsToMemory(int32_t frame) {
  int32_t n = 0;
  for (int32_t i = 0; i < gInstrCount && n < DEMO_INSTR_LIST_LEN - 1; ++i) {
    if (gInstrData[i].frame == frame) gCurrInstrList[n++] = i;
  }
  gCurrInstrList[n] = -1;
  return n;
}

int32_t demoResolveTarget(const InstrRec& instr) { return instr.target == -1 ? instr.frame + 1 : instr.target; }

void demoPushHistory(int32_t frame) {
  std::memmove(&gHistoryStack[1], &gHistoryStack[0], sizeof(int32_t) * (DEMO_HISTORY_LEN - 1));
  gHistoryStack[0] = frame;
}

void demoPopHistory(int count) {
  if (count < 1 || count >= DEMO_HISTORY_LEN) return;
  std::memmove(&gHistoryStack[0], &gHistoryStack[count], sizeof(int32_t) * (DEMO_HISTORY_LEN - count));
}

bool demoRectHolds(const InstrRec& instr, int32_t x, int32_t y) {
  return instr.v[0] <= x && x <= instr.v[2] && instr.v[1] <= y && y <= instr.v[3];
}
