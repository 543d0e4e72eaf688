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
// comma), converted as a decimal 64-bit integer up to its first non-digit;
// -1 when the line has fewer than n commas or the number does not fit 64
// bits. Record lines are read with parseRecordLine, which checks each field.
int64_t getLinePosValue(const char* line, int n);

// Field n of a comma separated line as a decimal number in lo .. hi:
// optional blanks, an optional sign, digits, optional blanks, then a comma
// or the line's end. False when the field is missing, is not such a
// number, or lies outside lo .. hi; a value is never saturated.
bool lineField(const char* line, int n, int64_t lo, int64_t hi, int64_t* out);

// Largest recorded screen: sides up to 65,535, 2^28 pixels in all.
constexpr int64_t REC_MAX_SIDE = 65535;
constexpr int64_t REC_MAX_PIXELS = int64_t{1} << 28;

// The numbers of a record line "0,mouseX,mouseY,W,H,x,y,w,h,time,click".
struct RecordFields {
  int64_t mouseX, mouseY;  // pointer, within +-2^31
  int64_t W, H;            // recorded screen: 1 .. REC_MAX_SIDE a side, REC_MAX_PIXELS at most
  int64_t x, y, w, h;      // rectangle inside the screen (w or h may be 0)
  int64_t time;            // 0 .. 2^53 milliseconds
  int64_t click;           // 0 or 1
};
// Reads a record line with at least `fields` fields (9 or 11; time and
// click count 0 when a 9-field line lacks them). False -- a damaged
// record -- when a field is missing, not a number, or outside its range;
// with the ranges held, every size and offset sum over the fields fits.
bool parseRecordLine(const char* line, int fields, RecordFields* out);

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
