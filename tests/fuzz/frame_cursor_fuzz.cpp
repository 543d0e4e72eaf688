// frame_cursor_fuzz.cpp: the abstraction's reader of a recording: the
// record index, then the cursor walked forward over every record and back
// to the first, for a crop chosen by the first bytes.
#include "studio/capture/frame_cursor.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file("recording");
  int32_t crop[4] = {0, 0, 1, 1};
  if (size >= 4) {
    crop[0] = data[0] % 64, crop[1] = data[1] % 64, crop[2] = data[2] % 128, crop[3] = data[3] % 128;
    data += 4, size -= 4;
  }
  const char* path = file.set(data, size);
  const std::vector<RecordEntry> records = indexRecording(path);
  for (size_t i = 1; i < records.size(); ++i)
    if (records[i].offset <= records[i - 1].offset) std::abort();
  FrameCursor cursor(path, crop);
  size_t key = 0;
  while (key < records.size() && !records[key].key) ++key;
  if (!cursor.ok() || key == records.size()) return 0;
  if (!cursor.seek(records[key].offset, records[key].offset)) return 0;
  cursor.checkpoint();
  int32_t region[4];
  for (size_t i = key + 1; i < records.size() && i < 256; ++i)
    if (!cursor.advanceNoting(records[i].offset, region)) break;
  const size_t last = std::min<size_t>(records.size(), 256) - 1;
  cursor.seek(records[key].offset, records[last].offset);
  return 0;
}
