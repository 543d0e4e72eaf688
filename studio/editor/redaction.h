// redaction.h: a rectangle of the recorded screen painted over for good in
// a range of frames. Every record of the range gets the box's colour inside
// the rectangle, so none of them keeps an original pixel there; the record
// of the range's first frame, and the record after the range, are grown to
// hold the rectangle where they do not, so the first frame shows the box
// whatever the records before it carry and the frames after the range keep
// their pictures. The recording is rewritten through recording_rewrite.h,
// which leaves no copy of the old recording once it is done. No window calls.
#pragma once

#include "studio/editor/recording_rewrite.h"

#include <cstdint>
#include <string>

constexpr int64_t REDACT_TO_END = INT64_MAX;  // the range runs to the recording's last record

struct Redaction {
  int32_t rect[4] = {0, 0, 0, 0};  // x, y, width, height in recorded-screen pixels
  int64_t from = 0, to = REDACT_TO_END;  // frame numbers (records), hidden frames included
  uint32_t colour = 0x000000;      // 0xRRGGBB
};

// Fills the part of box (x, y, width, height) that lies in area with
// colour, in pixels: area's rows of 3 bytes (blue, green, red). Both
// rectangles are in the same pixels.
void paintBox(unsigned char* pixels, const int32_t area[4], const int32_t box[4], uint32_t colour);

// The recorded screen's size from the first record of the current demo's
// recording; false when it cannot be read.
bool recordedScreenSize(int64_t* W, int64_t* H);
// Empty when r's rectangle lies inside the current demo's recorded screen
// and is at least a pixel each way; else why not.
std::string checkRedactRect(const Redaction& r);

struct RedactJob : RecordingJob {
  Redaction r;
};
// The job for r on the current demo (loop thread).
RedactJob redactJobOf(const Redaction& r);
// The worker's part: writes NAME.DMR.new with the box painted into every
// record of r.from .. r.to and moves job->frames' image offsets with it.
// Answers a stop request between records. REWRITE_DONE, or REWRITE_FAILED /
// REWRITE_STOPPED with NAME.DMR.new removed; commitRewrite does the rest.
int writeRedactedRecording(RedactJob* job);
// Both parts in turn on the current demo; why gets job.why.
int runRedaction(const Redaction& r, std::string* why);
