// bitmap_io.h: frame pictures written to and read back from 24-bit
// uncompressed bitmap files in the demo's folder, and the import that copies
// a bitmap's changed pixels into the records of the demo's recording. No
// window calls: the screens (bitmap_screens.cpp) show what these report.
//
// Pictures here are crop width x crop height pixels of 3 bytes (blue,
// green, red), rows from the top down, no padding.
//
// The import rewrites the recording through recording_rewrite.h, so a demo
// is never left half-changed: its worker writes NAME.DMR.new from a copy of
// what it needs (ImportJob), and the loop thread commits it.
#pragma once

#include "studio/editor/frame_commands.h"
#include "studio/editor/recording_rewrite.h"

#include "demo/demo_model.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---- Bitmap bytes ---------------------------------------------------------------------
constexpr int BMP_HEADER_BYTES = 54;
// Bytes of one stored row: 3w padded with (w mod 4) zero bytes to a multiple of 4.
int64_t bmpRowBytes(int32_t w);
// The whole file: the 54-byte header, then the rows bottom-up.
std::vector<unsigned char> bmpEncode(const unsigned char* bgr, int32_t w, int32_t h);

enum class BmpCheck { Ok, Corrupted, WrongSize };
// Reads a bitmap of exactly w x h from data: the information header size
// (its low byte at offset 14) must be 40 or 108, the file must hold the
// whole header and every row, the width and height (offsets 18 and 22) must
// be w and h. Rows start at 14 + the information header size. A file cut
// short is Corrupted.
BmpCheck bmpDecode(const unsigned char* data, size_t size, int32_t w, int32_t h, std::vector<unsigned char>* bgr);

// ---- Change rectangle -------------------------------------------------------------------
struct ChangeRect {
  int32_t left = 0, top = 0, right = -1, bottom = -1;  // crop pixels, edges included
  bool empty() const { return right < left; }
};
ChangeRect changeRect(const unsigned char* a, const unsigned char* b, int32_t w, int32_t h);

// ---- Export ------------------------------------------------------------------------------
// Writes visible frame index `frame` of the current demo to its bitmap file,
// under a temporary name renamed when complete. True, or false with *path
// naming the file that could not be written.
bool exportFrameBitmap(int32_t frame, std::string* path);

// ---- Import ------------------------------------------------------------------------------
struct ImportBitmap {
  int64_t from = 0, to = 0;              // the range of frame numbers
  std::vector<unsigned char> bitmap;     // the file's picture
  std::vector<unsigned char> current;    // frame "From" as it is now
  ChangeRect rect;
};
// Reads the range boxes' texts (readFrameRange: a visible From, an empty To
// is From) and the bitmap of "From" for the current demo. False with the
// refusal in *out (nothing changed).
bool readImportRange(const char* fromText, const char* toText, Outcome* out, int64_t* from, int64_t* to);
bool readImportBitmap(int64_t from, ImportBitmap* in, Outcome* out);

// What an import works on: the demo as the loop thread saw it when the
// import started, and the bitmap.
struct ImportJob : RecordingJob {
  ImportBitmap in;
};
// The job for in on the current demo (loop thread).
ImportJob importJobOf(const ImportBitmap& in);
// The worker's part: writes NAME.DMR.new with the changed pixels of
// in.from .. in.to (hidden frames included) and moves job->frames' image
// offsets with it. Answers a stop request between records and frames.
// REWRITE_DONE, or REWRITE_FAILED / REWRITE_STOPPED with NAME.DMR.new
// removed; commitRewrite does the rest.
int writeImportedRecording(ImportJob* job);
// Both parts in turn on the current demo; why gets job.why.
int runImport(const ImportBitmap& in, std::string* why);
