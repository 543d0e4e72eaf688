// wrapped_file_fuzz.cpp: a wrapped file read as the unwrapper reads it:
// the wrap start behind the marker, the value table, the name after the end
// mark, then the package's pieces placed as in package-only mode (the line
// pool expanded row by row). A damaged file ends with the unwrapper's
// alert, observed here. (The examiner's alert-free reader of the same
// files is fuzzed through examine_fuzz.)
#include "tests/fuzz/fuzz_support.h"
#include "unwrapper/wrap_reader.h"

#include <algorithm>
#include <climits>

namespace {

void throwingSink(const char*, const char*) { throw fuzz::FatalAlertSeen{}; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file("wrapped");
  static const std::string output = fuzz::scratchFolder() + "/unwrapped.PMP";
  gWrapSource = file.set(data, size);
  wrapSetFailureSink(throwingSink);
  try {
    setWrapStart();
    int64_t pieces = 0;
    for (int n = 0; n < WRAP_VALUE_NUMBERS; ++n) {
      const int64_t v = getLongLongValue(n);
      if (n < WRAP_PIECE_PRESENTER) pieces += v;
    }
    char name[WRAP_NAME_BUF];
    getTrailingString(name);
    gCropSize[0] = gCropSize[1] = 0;
    gCropSize[2] = static_cast<int32_t>(std::min<int64_t>(getLongLongValue(WRAP_VAL_WIDTH), INT32_MAX));
    gCropSize[3] = static_cast<int32_t>(std::min<int64_t>(getLongLongValue(WRAP_VAL_HEIGHT), INT32_MAX));
    // Pieces too large for a fuzzing run are skipped; the reader's checks
    // above have already been made.
    if (pieces > (int64_t{1} << 24)) return 0;
    placeWrappedFile(WRAP_PIECE_HEAD, output.c_str(), WRAP_CREATE_RAW);
    placeWrappedFile(WRAP_PIECE_LINE_TABLES, output.c_str(), WRAP_APPEND_RAW);
    placeWrappedFile(WRAP_PIECE_POOL, output.c_str(), WRAP_APPEND_EXPANDED);
    placeWrappedFile(WRAP_PIECE_FLOW, output.c_str(), WRAP_APPEND_RAW);
  } catch (const fuzz::FatalAlertSeen&) {
  }
  wrapAbandonOutputs();
  wrapReopenOutputs();
  return 0;
}
