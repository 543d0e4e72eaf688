// editor_state.cpp: the editor's shared state.
#include "studio/editor/editor_state.h"

#include "studio/capture/demo_files.h"

#include "demo/demo_model.h"

int32_t gEditorFrame = 0;
int32_t gEditCount = 0;
int32_t gEditorTab = 1;

std::string editorRecordingPath() { return demoFilePath(gCurrDemoName, ".DMR"); }

int32_t frameIndexOfNumber(int64_t n) {
  for (int32_t f = 0; f < gFrameCount; ++f)
    if (gFrameData[f].frameId == n) return f;
  return -1;
}

int listLength() {
  int n = 0;
  while (n < DEMO_INSTR_LIST_LEN - 1 && gCurrInstrList[n] != -1) ++n;
  return n;
}
