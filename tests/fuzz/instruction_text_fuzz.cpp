// instruction_text_fuzz.cpp: the editor's Advanced text of a frame's
// instructions, checked line by line, and each parsed record formatted
// back into a line and parsed again to the same record.
#include "demo/demo_model.h"
#include "studio/editor/editor_state.h"
#include "studio/editor/instruction_text.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool model = [] {
    demoInitDatastores();
    gFrameCount = 20;
    for (int32_t f = 0; f < gFrameCount; ++f) gFrameData[f].frameId = f;
    gEditorFrame = 3;
    return true;
  }();
  if (!model) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  const AdvancedTextCheck check = checkAdvancedText(text.data());
  for (InstrRec record : check.records) {
    char line[INSTR_LINE_TEXT] = "";
    if (convertInstructionLine(&record, line, 1) != INSTR_OK) continue;
    InstrRec again{};
    if (convertInstructionLine(&again, line, 2) != INSTR_OK || std::memcmp(&again, &record, sizeof record) != 0)
      std::abort();
  }
  return 0;
}
