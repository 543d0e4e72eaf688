// frame_cursor.h: a recording decoded in file order, cropped. The cursor
// applies the records one after the other (only the part of each record
// inside the crop is read), so a pass over the recording reads every record
// once; a frame behind the cursor is rebuilt from its key record. An index
// of the records' rectangles tells which part of the crop two frames can
// differ in, so comparisons look at that part only. Once the program is
// ending (pal_StopRequested) indexing and moving stop early: a move then
// fails, and the index may be short.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// The line of one whole record of a recording.
struct RecordEntry {
  int64_t offset, pixels;  // the record's line and its pixel bytes
  int64_t mouseX, mouseY, W, H, x, y, w, h, time, click;
  bool key;                // the rectangle is the whole screen
};
// The whole records of the recording at path, in file order: reading stops
// at the first line that is not a record's (fewer than eleven fields, a
// rectangle outside its screen) or whose pixels are cut short.
std::vector<RecordEntry> indexRecording(const char* path);

class FrameCursor {
 public:
  // Opens the recording at path for the crop (left, top, width, height) and
  // indexes its whole records; ok() tells.
  FrameCursor(const char* path, const int32_t crop[4]);
  ~FrameCursor();
  bool ok() const { return file_ != nullptr; }
  // Moves to the frame whose records run from its key record at keyAt to its
  // own record at recordAt; false when the file cannot be read there.
  bool seek(int64_t keyAt, int64_t recordAt);
  // The cropped screen at the cursor: width x height pixels of blue, green, red.
  const unsigned char* pixels() const { return screen_.data(); }
  // Moves on from the frame at the cursor to the later record at recordAt,
  // keeping the rows it changes as they were; region gets the bounding box
  // (x, y, width, height in crop pixels) of the bytes that changed, width 0
  // when none did. False when the file cannot be read or recordAt is not ahead.
  bool advanceNoting(int64_t recordAt, int32_t region[4]);
  // Keeps the screen at the cursor: a later seek back to a frame at or after
  // it starts from this copy instead of the key record.
  void checkpoint();
  // Keeps a second copy, for looking back into the end of a run.
  void lateCheckpoint();
  // True when the checkpoint holds the frame whose record is at recordAt.
  bool checkpointAt(int64_t recordAt) const { return kept_.at == recordAt && kept_.at >= 0; }
  // The screen kept at the checkpoint.
  const unsigned char* checkpointPixels() const { return kept_.pixels.data(); }
  // Row y of the crop as it was before the last advanceNoting.
  const unsigned char* rowBefore(int32_t y) const;
  // The columns of row y that the last advanceNoting may have changed (x0
  // to x1 inclusive); false when it left the row alone.
  bool rowSpan(int32_t y, int32_t* x0, int32_t* x1) const;

 private:
  using Record = RecordEntry;
  int64_t apply(int64_t offset, bool noting);
  // Applies the records from the one at `at` up to the one at recordAt.
  bool applyFrom(int64_t at, int64_t recordAt, bool noting);
  void note(int32_t row, int32_t x0, int32_t x1);

  std::FILE* file_ = nullptr;
  int32_t crop_[4];
  std::vector<Record> records_;
  std::vector<unsigned char> block_;   // the rows of one record being applied (never shrinks)
  std::vector<unsigned char> screen_;  // the cropped screen after the record at cursor_
  int64_t cursor_ = -1, next_ = -1;
  std::vector<int32_t> savedAt_;       // per crop row: its slot in saved_, or -1
  std::vector<int32_t> savedRows_;     // the rows kept since the last advanceNoting began
  std::vector<int32_t> spans_;         // per kept row: first and last changed column
  std::vector<unsigned char> saved_;
  int64_t changed_[4];                 // x0, y0, x1, y1 of the bytes changed while noting
  // A copy of the screen. A row whose stamp in written_ is not above the
  // copy's stamp holds the same bytes in both, so taking and restoring a copy
  // moves only the rows written since.
  struct Kept {
    std::vector<unsigned char> pixels;
    int64_t at = -1, next = -1;
    uint64_t stamp = 0;
  };
  void take(Kept& copy);
  void restore(const Kept& copy);
  std::vector<uint64_t> written_;      // per crop row: the clock when it was last written
  uint64_t clock_ = 0;
  Kept kept_;                          // the screen at a checkpoint
  Kept late_;                          // the screen at the second checkpoint
};
