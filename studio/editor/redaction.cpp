// redaction.cpp: the box painted into the records of a range (see redaction.h).
#include "studio/editor/redaction.h"

#include "studio/capture/demo_files.h"
#include "studio/capture/frame_cursor.h"
#include "studio/editor/editor_state.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pal/pal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

void paintBox(unsigned char* pixels, const int32_t area[4], const int32_t box[4], uint32_t colour) {
  const int64_t x0 = std::max<int64_t>(area[0], box[0]), y0 = std::max<int64_t>(area[1], box[1]);
  const int64_t x1 = std::min<int64_t>(int64_t{area[0]} + area[2], int64_t{box[0]} + box[2]);
  const int64_t y1 = std::min<int64_t>(int64_t{area[1]} + area[3], int64_t{box[1]} + box[3]);
  if (x1 <= x0 || y1 <= y0) return;
  const unsigned char bgr[3] = {static_cast<unsigned char>(colour), static_cast<unsigned char>(colour >> 8),
                                static_cast<unsigned char>(colour >> 16)};
  for (int64_t y = y0; y < y1; ++y) {
    unsigned char* p = pixels + ((y - area[1]) * area[2] + (x0 - area[0])) * 3;
    for (int64_t x = x0; x < x1; ++x, p += 3) std::memcpy(p, bgr, 3);
  }
}

bool recordedScreenSize(int64_t* W, int64_t* H) {
  std::FILE* f = std::fopen(editorRecordingPath().c_str(), "rb");
  if (f == nullptr) return false;
  RecordLine r{};
  const bool ok = recReadRecord(f, 0, &r, nullptr) >= 0;
  std::fclose(f);
  *W = r.W;
  *H = r.H;
  return ok;
}

std::string checkRedactRect(const Redaction& r) {
  int64_t W = 0, H = 0;
  if (!recordedScreenSize(&W, &H)) return "the demo's recording cannot be read";
  const int32_t* b = r.rect;
  char text[160];
  std::snprintf(text, sizeof text, "the rectangle %d,%d,%d,%d is not inside the recorded %lldx%lld screen", b[0], b[1],
                b[2], b[3], static_cast<long long>(W), static_cast<long long>(H));
  if (b[0] < 0 || b[1] < 0 || b[2] < 1 || b[3] < 1 || b[0] + int64_t{b[2]} > W || b[1] + int64_t{b[3]} > H)
    return text;
  return {};
}

RedactJob redactJobOf(const Redaction& r) {
  RedactJob job;
  job.r = r;
  takeCurrentDemo(&job);
  return job;
}

namespace {

// The record at index i grown to the bounding box of its rectangle and the
// box, holding the picture there after it (from the old recording), unless
// it already holds the box. False when that picture cannot be rebuilt.
bool expansionOf(const std::string& dmr, const std::vector<RecordEntry>& records, size_t i, const int32_t box[4],
                 RecordExpansion* out) {
  const RecordEntry& e = records[i];
  const int32_t edges[4] = {box[0], box[1], box[0] + box[2] - 1, box[1] + box[3] - 1};
  const RecordLine line{e.mouseX, e.mouseY, e.W, e.H, e.x, e.y, e.w, e.h, e.time, e.click};
  if (recordHolds(line, edges)) return true;
  int64_t key = -1;
  for (size_t k = 0; k <= i; ++k)
    if (records[k].key) key = records[k].offset;
  if (key < 0) return false;
  const int64_t x0 = std::min<int64_t>(e.x, box[0]), y0 = std::min<int64_t>(e.y, box[1]);
  const int64_t x1 = std::max<int64_t>(e.x + e.w, int64_t{box[0]} + box[2]);
  const int64_t y1 = std::max<int64_t>(e.y + e.h, int64_t{box[1]} + box[3]);
  const int32_t rect[4] = {static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
                           static_cast<int32_t>(y1 - y0)};
  out->picture.assign(static_cast<size_t>(rect[2]) * rect[3] * 3, 0);
  if (demoRecframeCroppedToMembuff(dmr.c_str(), key, e.offset, rect, out->picture.data(), 3, 1) < 0) return false;
  std::copy(rect, rect + 4, out->rect);
  out->at = e.offset;
  return true;
}

}  // namespace

int writeRedactedRecording(RedactJob* job) {
  gRewriteProgress = 0;
  const std::string dmr = recordingOf(*job), made = newRecordingOf(*job);
  auto fail = [&](const std::string& text) { return workerFailed(job, text); };
  auto crashed = [&]() { return workerInterrupted(job); };
  SeamAction act = rewriteSeam(RewriteStep::Expand);
  if (act == SeamAction::Crash) return crashed();
  if (act == SeamAction::Fail) return fail("the recording could not be read");
  const std::vector<RecordEntry> records = indexRecording(dmr.c_str());
  if (records.empty()) return fail("the demo's recording cannot be read");
  const Redaction& r = job->r;
  const int64_t last = static_cast<int64_t>(records.size()) - 1;
  if (r.from < 0 || r.from > last || r.to < r.from)
    return fail("frame " + std::to_string(r.from) + " is not in the demo's recording");
  const int64_t to = std::min(r.to, last);
  RecordExpansion expand[2];
  if (!expansionOf(dmr, records, static_cast<size_t>(r.from), r.rect, &expand[0]) ||
      (to < last && !expansionOf(dmr, records, static_cast<size_t>(to + 1), r.rect, &expand[1])))
    return fail("the demo's recording cannot be decoded");
  act = rewriteSeam(RewriteStep::WritePixels);
  if (act == SeamAction::Crash) return crashed();
  const RecordPaint paint = [&](int64_t number, const int32_t rect[4], unsigned char* pixels) {
    if (number >= r.from && number <= to) paintBox(pixels, rect, r.rect, r.colour);
  };
  if (act == SeamAction::Fail || !copyRecording(dmr, made, expand, paint, 999))
    return fail("the new recording could not be written");
  moveImageOffsets(&job->frames, expand);
  if (pal_StopRequested()) return fail("stopped");
  return REWRITE_DONE;
}

int runRedaction(const Redaction& r, std::string* why) {
  RedactJob job = redactJobOf(r);
  int result = writeRedactedRecording(&job);
  if (result == REWRITE_DONE) result = commitRewrite(&job);
  *why = job.why;
  gRewriteProgress = 1000;
  return result;
}
