// bitmap_io.h: frame pictures written to and read back from 24-bit
// uncompressed bitmap files in the demo's folder, and the import that copies
// a bitmap's changed pixels into the records of the demo's recording. No
// window calls: the screens (bitmap_screens.cpp) show what these report.
//
// Pictures here are crop width x crop height pixels of 3 bytes (blue,
// green, red), rows from the top down, no padding.
//
// The import never leaves a demo half-changed. The new recording and data
// file are written beside the old ones as NAME.DMR.new and NAME.DMD.new;
// once both are complete a journal NAME.import ("commit") is written, the
// old recording is kept as NAME.DMR.old (a hard link, or the file itself
// moved there where the file system has no links), and the two new files
// are renamed into place. recoverInterruptedImports(), called at start-up,
// finishes an import whose journal says "commit" and rolls back one whose
// journal says "rollback" or that has no journal, removing every temporary
// file either way.
//
// The work is split in two: the worker writes NAME.DMR.new from a copy of
// what it needs (ImportJob) and never touches the model or the demo's own
// files; the loop thread, once the worker has said it finished, writes the
// data file, commits, and takes the new image offsets into the model.
#pragma once

#include "studio/editor/frame_commands.h"

#include "demo/demo_model.h"

#include <atomic>
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

// ---- Frames and records -----------------------------------------------------------------
// The offset of the record of frame number n in the recording at path, found
// from the nearest visible frame at or below n in frames (its imageRefB) by
// skipping records; -1 when the file ends first, -2 when it cannot be opened.
int64_t findFrameRecord(const std::string& path, const std::vector<FrameRec>& frames, int64_t n);
// The cropped picture after the record at offset (rebuilt from the last key
// record at or before it); false when the recording cannot be decoded there.
bool decodeRecordPicture(const std::string& path, int64_t offset, const int32_t crop[4],
                         std::vector<unsigned char>* bgr);

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

// Steps of the import at which the failure seam can act.
enum class ImportStep {
  Expand,          // writing NAME.DMR.new
  WritePixels,     // writing the changed pixels into it
  WriteData,       // writing NAME.DMD.new
  Journal,         // writing the journal "commit"
  Backup,          // keeping the old recording as NAME.DMR.old
  RenameRecording, // NAME.DMR.new -> NAME.DMR
  RenameData,      // NAME.DMD.new -> NAME.DMD
  RollbackJournal, // writing the journal "rollback" after a failed step
  RollbackRestore, // putting the old recording back
  RollbackRemove,  // removing what the import wrote
  Count
};
enum class SeamAction { Go, Fail, Crash };
// Consulted before each step; Fail makes the step fail as an I/O error would
// (the import then rolls back), Crash stops the import on the spot as if the
// program had died there. Null: every step goes.
extern SeamAction (*gImportSeam)(ImportStep);

// Makes the second name NAME.DMR.old for the old recording (link(2) unless
// a test puts a file system without links in its place).
extern int (*gImportLink)(const char* from, const char* to);

// Per mille, below 1000 while the worker runs; for the screen's progress
// line only (the result is read after the worker says it finished).
extern std::atomic<int> gImportProgress;

// What an import works on: the demo as the loop thread saw it when the
// import started; after the worker, the frames with their moved image offsets.
struct ImportJob {
  ImportBitmap in;
  std::string folder, name;
  int32_t crop[4] = {0, 0, 0, 0};
  std::vector<FrameRec> frames;
  std::string why;  // what failed
};
enum {
  IMPORT_DONE = 1,
  IMPORT_FAILED = 0,         // the demo as before
  IMPORT_STOPPED = -1,       // the program is ending; the demo as before
  IMPORT_AT_NEXT_START = -2  // committed but not finished; the next start finishes it
};
// The job for in on the current demo (loop thread).
ImportJob importJobOf(const ImportBitmap& in);
// The worker's part: writes NAME.DMR.new with the changed pixels of
// in.from .. in.to (hidden frames included) and moves job->frames' image
// offsets with it. Answers a stop request between records and frames.
// IMPORT_DONE, or IMPORT_FAILED / IMPORT_STOPPED with NAME.DMR.new removed.
int writeImportedRecording(ImportJob* job);
// The loop thread's part after a done worker: writes the data file with the
// job's offsets, commits and renames; on IMPORT_DONE the model holds the new
// offsets, otherwise the old ones (job->why says what failed).
int commitImport(ImportJob* job);
// Both parts in turn on the current demo; why gets job.why.
int runImport(const ImportBitmap& in, std::string* why);

// Finishes or rolls back an import interrupted in any demo folder under the
// Demos folder; returns the number of folders mended.
int recoverInterruptedImports();
// The same for one demo folder and demo name.
bool recoverImportIn(const std::string& folder, const std::string& name);
