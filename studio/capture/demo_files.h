// demo_files.h: the authoring program's files. The library folder holds
// the capture slot (TempCapture.DMR and .DMW) and the "Demos" folder with
// one folder per demo: NAME.DMR (recording: a text line and raw blue,
// green, red pixels per record), NAME.DMW (foreground-window rectangles),
// NAME.DMD (the demo model: header values, frames, instructions and
// texts, big-endian) and, when the capture could ask the accessibility
// tree, NAME.DMA (what each press landed on, press_objects.h; optional). Also the exchange files used when demos are joined,
// and the demo library's file operations. Callable without any window.
#pragma once

#include "studio/kit/library.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr int DEMO_LIST_CAP = 96;
constexpr int DEMO_LIST_NAME_LEN = 299;  // 298 characters + NUL
constexpr int DEMO_LIST_DATE_LEN = 19;   // 18 characters + NUL
constexpr int DMD_VERSION = 4;
constexpr int DMD_TEXT_BYTES = 999;      // text bytes stored per record
constexpr int DMD_TEXT_RECORD = 1005;    // two U24 numbers and the text bytes

// Results of saveOrLoadDemoData beyond 1 (done).
constexpr int DMD_CANNOT_OPEN = -1;
constexpr int DMD_TRAILING_BYTES = -2;
constexpr int DMD_DAMAGED = -3;  // cut short, a count beyond a table, or an unknown version

extern std::atomic<int> gCreateFilesProgress;  // createDemoFolder: 0 .. 1000
extern std::atomic<int> gCopyFilesPercent;     // copyDemoFiles: 0 .. 100

// ---- Paths ------------------------------------------------------------------
// The demo library's own paths are in studio/kit/library.h.
std::string exchangeFramePath(const std::string& name);          // ".../NAME/tmpFrameData.txt"
std::string exchangeInstrPath(const std::string& name);          // ".../NAME/tmpInstrData.txt"
std::string exportedImagePath(const std::string& name, int frame);  // ".../NAME/<frame>.bmp"

// ---- Recording file (.DMR) ----------------------------------------------------
struct RecordLine {
  int64_t mouseX, mouseY;  // pointer position when the screen was grabbed
  int64_t W, H;            // recorded screen
  int64_t x, y, w, h;      // rectangle whose pixels follow
  int64_t time;            // milliseconds since the capture started
  int64_t click;           // 1 when written because a button went down
};

// Appends one record (its line and w * h * 3 pixel bytes) to an open file.
// A key frame has the rectangle 0, 0, W, H. Returns false on a write error.
bool recWriteRecord(std::FILE* file, const RecordLine& r, const unsigned char* bgr);
// Reads the record at offset: its line into *r and, when pixels is given,
// its pixel bytes. Returns the offset of the next record, or -1 at the end
// of the file, -2 for a line with fewer than eleven fields or a rectangle
// outside the screen, -3 for pixels cut short.
int64_t recReadRecord(std::FILE* file, int64_t offset, RecordLine* r, std::vector<unsigned char>* pixels);

// ---- Window file (.DMW) ---------------------------------------------------------
// Appends "left,top,right,bottom\r\n"; false when the file cannot be written.
bool winAppendRect(const std::string& path, const int32_t rect[4]);
// Reads every line of four numbers that fit 32 bits; other lines are skipped. False
// when the file cannot be opened.
bool winReadRects(const std::string& path, std::vector<std::array<int32_t, 4>>* rects);

// ---- Demo data file (.DMD) -------------------------------------------------------
// Mode 1 saves the current demo's NAME.DMD from the model (replacing the old
// file only once the new one is complete on disk; a failure is fatal and
// leaves the old file as it was); mode 2 loads it into the model. Returns 1,
// or for loading DMD_CANNOT_OPEN, DMD_TRAILING_BYTES or DMD_DAMAGED. Other
// modes return 1 and do nothing.
int saveOrLoadDemoData(int mode);
// Writes the model to path in the given version (4, or 0 for the old
// 4-byte offsets) through a temporary file renamed over it; 1 or -1.
int demoDataWrite(const std::string& path, int version);
// Reads path into the model; the results of saveOrLoadDemoData. On a
// failure *why (when given) says what is wrong.
int demoDataRead(const std::string& path, std::string* why = nullptr);

// ---- Demo library --------------------------------------------------------------------
struct DemoListEntry {
  char name[DEMO_LIST_NAME_LEN];
  char date[DEMO_LIST_DATE_LEN];  // "%d-%b-%Y" of NAME.DMD's modification time
};
// Fills up to 96 entries with the complete demos, newest first; returns the
// count. Folders whose names break the name rules are left out, so every
// listed name fits the current demo name and means exactly that folder.
int listDemos(DemoListEntry* entries);
// Creates the current demo's folder and moves the capture slot into it,
// after writing its data file; progress on gCreateFilesProgress. A worker:
// once the program is ending it removes the folder and leaves the slot.
void createDemoFolder();
// Copies the current demo's files (the side file too, when it has one) as newName's, in the hidden folder
// "." NEWNAME ".copying", which then takes the place of newName's existing
// empty folder; the recording's copy reports gCopyFilesPercent. Ends with
// gCopyFilesPercent 100 and gCopyFilesDone 1. Once the program is ending
// (pal_StopRequested) it removes the hidden folder and newName's empty
// folder and returns.
void copyDemoFiles(const std::string& newName);
extern std::atomic<int> gCopyFilesDone;  // 1 once copyDemoFiles has finished
// Clears the copy's progress, then runs copyDemoFiles(newName) on a worker thread.
void startCopyDemoFiles(const std::string& newName);
// The hidden name "." NEWNAME suffix in which a new demo is built before it
// takes its name: the full stop keeps it off the list and apart from every
// author's demo. demoInsideWorkName gives the demo name back (empty when
// name is no such work name).
std::string hiddenWorkName(const std::string& newName, const char* suffix);
std::string demoInsideWorkName(const std::string& name, const char* suffix);
// The names of the Demos folder's entries, as names (Windows-1252) rather
// than as the file system spells them; entries that stand for no such name
// (a character the code page lacks) are left out, as are "." and "..".
std::vector<std::string> demosFolderEntries();
// Moves the demo built under the name built into place as newName: its
// files take newName's names, then its folder takes newName's place
// (newName must not exist or be an empty folder). 1, or -1 when a rename fails.
int moveBuiltDemoIntoPlace(const std::string& built, const std::string& newName);
// Removes what interrupted copies left in the Demos folder: their hidden
// folders with the empty folders that reserved their names, and folders
// that hold NAME.DMR.partial instead of NAME.DMR; returns how many.
int removeInterruptedCopies();

// ---- Renaming -------------------------------------------------------------------------
// Moves oldName's .DMW, .DMD and .DMR (in that order, then the side file
// .DMA when there is one) into newName's existing folder under the new name, then deletes the old folder with whatever is
// left in it. Returns 1; when a move fails the files already moved go back,
// newName's folder is removed and the result names the file: -1 .DMW, -2
// .DMD, -3 .DMR. -4: everything moved but the old folder is still there.
int renameDemoFiles(const std::string& oldName, const std::string& newName);

// ---- Exchange files and combined demos --------------------------------------------------
// Writes name's exchange files from the model: frameId + idShift,
// recording offsets + byteShift, instruction frames and non-negative
// targets + frameShift. Returns 1, or -1 when a file cannot be written.
int writeExchangeFiles(const std::string& name, int64_t idShift, int64_t byteShift, int64_t frameShift);
// Appends the frames and instructions of name's exchange files to the
// model, their names and notes as new text records (none for an empty one). Returns 1; -1 when a
// file cannot be opened, -2 when it is damaged (an instruction value beyond
// 32 bits counts), -3 when a table is full.
int readExchangeFiles(const std::string& name);
// Makes newName the current demo, for a caller that has already put
// newName's recording in place: its folder, its data file from the model
// and a window file of nine "0,0,width,height" lines. Every failure is fatal.
void writeCombinedDemoData(const std::string& newName, int32_t width, int32_t height);
