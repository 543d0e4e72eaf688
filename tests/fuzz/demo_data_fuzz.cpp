// demo_data_fuzz.cpp: a demo data file read into the model, then every
// frame's instructions gathered as the Presenter and the editor do.
#include "demo/demo_model.h"
#include "studio/capture/demo_files.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file("data");
  demoInitDatastores();
  std::string why;
  if (demoDataRead(file.set(data, size), &why) != 1) return 0;
  char text[DEMO_TEXT_LEN];
  for (int32_t f = 0; f < gFrameCount && f < 256; ++f) {
    demoLoadFrameInstructionsToMemory(f);
    demoGetTextValue(static_cast<int32_t>(gFrameData[f].nameText), text);
    demoGetTextValue(static_cast<int32_t>(gFrameData[f].noteText), text);
  }
  return 0;
}
