// recording_rewrite.h: rewriting a demo's recording (NAME.DMR) so that the
// demo is never left half-changed: the bitmap import and the redaction
// both write a new recording through this. No window calls.
//
// The new recording and data file are written beside the old ones as
// NAME.DMR.new and NAME.DMD.new; once both are complete a journal
// NAME.import ("commit") is written, the old recording is kept as
// NAME.DMR.old (a hard link, or the file itself moved there where the file
// system has no links), the two new files are renamed into place and
// NAME.DMR.old is removed, so the old pixels are gone once a rewrite is
// done. recoverInterruptedRewrites(), called at start-up, finishes a rewrite
// whose journal says "commit" and rolls back one whose journal says
// "rollback" or that has no journal, removing every temporary file either
// way.
//
// The work is split in two: a worker writes NAME.DMR.new from a copy of
// what it needs (RecordingJob) and never touches the model or the demo's
// own files; the loop thread, once the worker has said it finished, writes
// the data file, commits, and takes the new image offsets into the model
// (commitRewrite).
#pragma once

#include "studio/capture/demo_files.h"

#include "demo/demo_model.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Steps of a rewrite at which the failure seam can act.
enum class RewriteStep {
  Expand,          // writing NAME.DMR.new
  WritePixels,     // writing the new pixels into it
  WriteData,       // writing NAME.DMD.new
  Journal,         // writing the journal "commit"
  Backup,          // keeping the old recording as NAME.DMR.old
  RenameRecording, // NAME.DMR.new -> NAME.DMR
  RenameData,      // NAME.DMD.new -> NAME.DMD
  RollbackJournal, // writing the journal "rollback" after a failed step
  RollbackRestore, // putting the old recording back
  RollbackRemove,  // removing what the rewrite wrote
  Count
};
enum class SeamAction { Go, Fail, Crash };
// Consulted before each step; Fail makes the step fail as an I/O error would
// (the rewrite then rolls back), Crash stops it on the spot as if the
// program had died there. Null: every step goes.
extern SeamAction (*gRewriteSeam)(RewriteStep);
SeamAction rewriteSeam(RewriteStep step);

// Makes the second name NAME.DMR.old for the old recording (pal_FsLink unless
// a test puts a file system without links in its place).
extern int (*gRewriteLink)(const char* from, const char* to);

// Per mille, below 1000 while a worker runs; for progress lines only (the
// result is read after the worker says it finished).
extern std::atomic<int> gRewriteProgress;

// What a rewrite works on: the demo as the loop thread saw it when the
// rewrite started; after the worker, the frames with their moved image offsets.
struct RecordingJob {
  std::string folder, name;
  int32_t crop[4] = {0, 0, 0, 0};
  std::vector<FrameRec> frames;
  std::string why;  // what failed
};
enum {
  REWRITE_DONE = 1,
  REWRITE_FAILED = 0,         // the demo as before
  REWRITE_STOPPED = -1,       // the program is ending; the demo as before
  REWRITE_AT_NEXT_START = -2  // committed but not finished; the next start finishes it
};
// The job's demo: the current one (loop thread).
void takeCurrentDemo(RecordingJob* job);
// The files of the job's demo.
std::string recordingOf(const RecordingJob& job);     // NAME.DMR
std::string newRecordingOf(const RecordingJob& job);  // NAME.DMR.new
// A worker's way out: removes NAME.DMR.new, the one file it writes, and
// says why in job->why; REWRITE_STOPPED when the program is ending, else
// REWRITE_FAILED. workerInterrupted is the seam's stop on the spot (the
// file, if any, is left for the start-up recovery).
int workerFailed(RecordingJob* job, const std::string& why);
int workerInterrupted(RecordingJob* job);
// The loop thread's part after a done worker: writes the data file with the
// job's offsets, commits and renames; on REWRITE_DONE the model holds the new
// offsets, otherwise the old ones (job->why says what failed).
int commitRewrite(RecordingJob* job);

// Finishes or rolls back a rewrite interrupted in any demo folder under the
// Demos folder; returns the number of folders mended.
int recoverInterruptedRewrites();
// The same for one demo folder and demo name.
bool recoverRewriteIn(const std::string& folder, const std::string& name);

// ---- Records --------------------------------------------------------------------------
// The offset of the record of frame number n in the recording at path, found
// from the nearest visible frame at or below n in frames (its imageRefB) by
// skipping records; -1 when the file ends first, -2 when it cannot be opened.
int64_t findFrameRecord(const std::string& path, const std::vector<FrameRec>& frames, int64_t n);
// The picture of rect (left, top, width, height in recorded-screen pixels)
// after the record at offset, rebuilt from the last key record at or before
// it; false when the recording cannot be decoded there.
bool decodeRecordPicture(const std::string& path, int64_t offset, const int32_t rect[4],
                         std::vector<unsigned char>* bgr);
// A record's line as read (with its line end) and its fields; false at the
// end of the file or for a line that is not a record's.
bool readRecordLineAt(std::FILE* f, int64_t offset, std::string* line, RecordLine* r);
// True when the record's rectangle holds the screen rectangle (left, top,
// right, bottom, edges included).
bool recordHolds(const RecordLine& r, const int32_t screenRect[4]);
// Flushes and syncs an open file, then closes it; false on any failure.
bool closeSynced(std::FILE* f);

// A record rewritten as a larger one while copying: the record at offset
// `at` (-1: none) gets the rectangle rect (x, y, width, height) and the
// pixels picture (rect's rows); growth gets its size difference.
struct RecordExpansion {
  int64_t at = -1;
  int32_t rect[4] = {0, 0, 0, 0};
  std::vector<unsigned char> picture;
  int64_t growth = 0;
};
// Called for each whole record copied: its number from 0, its rectangle
// (x, y, width, height, after any expansion) and its pixels, which it may change.
using RecordPaint = std::function<void(int64_t number, const int32_t rect[4], unsigned char* pixels)>;
// Copies the recording at from into to record by record, expanding the
// records of expand (two at most) and passing each record through paint
// (when set); what follows the last whole record is copied as it is.
// Progress runs from 0 to progressEnd. False on a failure and once the
// program is ending.
bool copyRecording(const std::string& from, const std::string& to, RecordExpansion expand[2], const RecordPaint& paint,
                   int progressEnd);
// Moves the image offsets of frames that lie beyond an expanded record by its growth.
void moveImageOffsets(std::vector<FrameRec>* frames, const RecordExpansion expand[2]);
