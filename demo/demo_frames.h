// demo_frames.h: frame pixels from a package (line tables into a pool of
// distinct rows) and from a recording file (a full-screen key record
// followed by patch records), decoded into an image buffer or caller memory.
// Pixels on disk are blue, green, red.
#pragma once

#include <cstdint>

// Result codes of the recording-file decoders beyond the fixed ones:
// a record line with fewer than nine fields, a rectangle outside the
// recorded screen, a screen size out of range or pixels cut short by the
// end of the file; and a crop rectangle that does not lie in the screen.
constexpr int64_t REC_ERR_BAD_RECORD = -8;
constexpr int64_t REC_ERR_CROP_OUTSIDE = -9;

// Longest record line read, line feed included.
constexpr int REC_LINE_LIMIT = 295;

// Decodes package frame `frame` into image buffer 1 (pixels outside the
// buffer are skipped). Ends the program with an alert when the package
// cannot be opened, or when a row names a line beyond the pool or the file
// ends early. Frames outside 0 .. gFrameCount - 1 draw nothing.
void pkgFrameToBuff(int32_t frame);

// Field n of a record line (comma separated; field 0 before the first
// comma), converted as a decimal 64-bit integer; -1 when the line has fewer
// than n commas.
int64_t getLinePosValue(const char* line, int n);

// Rebuilds the frame whose records lie between offsets start and end of
// the recording file and stores gCropSize's rectangle into image buffer
// `buffer` (exactly crop width x crop height). Returns the offset of the
// last key record after start and not after end (start when none), or:
// -1 buffer size differs, -2 negative offset, -3 end before start, -4 file
// cannot be opened, -5 nothing at end, -6 no key record at start, -7 file
// position lost, -8 or -9 as above. The buffer is untouched on failure.
int64_t demoRecFrameCroppedToPALbuff(const char* path, int64_t start, int64_t end, int buffer);

// The same rebuild for the crop rectangle rect (left, top, width, height)
// into caller memory: step 3 or 4 bytes a pixel, rows of width * 4 bytes
// for step 4 and width * 3 otherwise; order 1 writes blue, green, red,
// other orders red, green, blue; a fourth byte is left untouched. A null
// destination only computes the offset. Errors: -1 negative end, -2 end
// before start, -3 cannot open, -4 nothing at end, -5 no key record at
// start, -7 position lost, -8 or -9 as above.
int64_t demoRecframeCroppedToMembuff(const char* path, int64_t start, int64_t end, const int32_t rect[4],
                                     unsigned char* destination, int step, int order);
