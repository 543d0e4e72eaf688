// recording_decoder_fuzz.cpp: both ways a recording's frame is rebuilt
// (into caller memory, and into an image buffer with gCropSize): the first
// bytes choose the records' range and the crop, the rest is the recording.
#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstring>
#include <vector>

namespace {

uint16_t take16(const uint8_t*& data, size_t& size) {
  uint16_t v = 0;
  if (size >= 2) {
    v = static_cast<uint16_t>(data[0] << 8 | data[1]);
    data += 2, size -= 2;
  }
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file("recording");
  const int64_t start = take16(data, size), end = take16(data, size);
  int32_t rect[4];
  for (int32_t& v : rect) v = take16(data, size) % 300;
  const char* path = file.set(data, size);
  std::vector<unsigned char> pixels(static_cast<size_t>(rect[2]) * rect[3] * 4 + 1);
  demoRecframeCroppedToMembuff(path, start, end, rect, pixels.data(), 3, 1);
  demoRecframeCroppedToMembuff(path, start, end, rect, pixels.data(), 4, 2);
  demoRecframeCroppedToMembuff(path, start, end, rect, nullptr, 3, 1);
  if (rect[2] > 0 && rect[3] > 0) {
    std::memcpy(gCropSize, rect, sizeof rect);
    pal_InitWinBuf(1, rect[2], rect[3]);
    demoRecFrameCroppedToPALbuff(path, start, end, 1);
  }
  return 0;
}
