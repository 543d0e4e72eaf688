// demo_package.h: finding and reading a demo package: the set file, the
// package attached behind the 99-byte marker, the magic, directory values,
// texts, branding values and the flow data into the demo model.
// Package layout: magic "PMpkg_v04_", a directory of 30 entries of two
// big-endian 32-bit words (offset A, length B) at offset 10, texts,
// branding block, line tables, line pool, flow data. Offsets inside a
// package count from its magic. A malformed package ends the program
// through pal_FatalAlert with "Could not read package: <path>" (or the
// texts named below); nothing is read past the end of the file.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

constexpr int PKG_DIR_ENTRIES = 30;
constexpr int PKG_MARKER_LEN = 99;        // bytes 0, 1, ..., 98
constexpr int PKG_TITLE_LEN = 4999;
constexpr int PKG_DESCRIPTION_LEN = 9999;
constexpr int PKG_PATH_LEN = 500;
constexpr int PKG_BRANDING_VALUES = 44;
constexpr int PKG_SPLASH_W = 900;
constexpr int PKG_SPLASH_H = 600;
constexpr int64_t PKG_BRANDING_PICTURE_AT = 180;  // offset of the picture in the block
constexpr int PKG_FIELD_END = 254;                // flow-data field separator
constexpr int PKG_SET_FILE_READ = 95;             // bytes read of the set file
constexpr const char* PKG_SET_FILE = "PMP_set.txt";

// Directory entries the runtime reads.
enum PkgEntry {
  PKG_E_LINE_TABLES = 1,
  PKG_E_LINE_POOL = 2,
  PKG_E_FLOW = 3,
  PKG_E_DATE = 12,
  PKG_E_TITLE = 15,
  PKG_E_DESCRIPTION = 16,
  PKG_E_FRAMES = 18,   // A frames, B home frame
  PKG_E_SIZE = 19,     // A width, B height
  PKG_E_WINDOW = 20,   // A windowMode
  PKG_E_MODES = 21,    // A redBoxMode, B noteMode
  PKG_E_BRANDING = 26,
};

// Indexes into gDemoPackageOffsetBytes (absolute file offsets).
enum { PKG_OFF_START = 0, PKG_OFF_LINE_TABLES = 1, PKG_OFF_BRANDING = 2, PKG_OFF_FLOW = 3 };
// Indexes into gDemoPackageVals.
enum { PKG_VAL_SKIP_SPLASH = 0, PKG_VAL_DATE = 1, PKG_VAL_HOME_FRAME = 2 };

struct DemoPackageStrings {
  char title[PKG_TITLE_LEN];
  char description[PKG_DESCRIPTION_LEN];
};

extern char gPathToFiles[PKG_PATH_LEN];     // the program folder, ending in "/"
extern char gDemoFilePath[PKG_PATH_LEN];    // file that holds the package
extern int64_t gDemoPackageOffsetBytes[4];
extern DemoPackageStrings gDemoPackageStrings;
extern int32_t gDemoPackageVals[3];
extern int64_t gDemoPackageLineCount;       // rows in the line pool
extern std::atomic<int> gBaseTimestamp;     // 1 once the read-through finished

// Scans a program file for the 99-byte marker and returns the offset of
// the byte after it; 0 when the file has none; -1 when it cannot be opened.
int64_t demoFindAttachedPackage(const char* path);

// Reads the set file of folder (ending in "/"). Returns 0 when there is no
// set file; otherwise 1 and the package path (folder + the line's path, or
// empty when the line lacks ">") in path, and the "^" flag in skipSplash.
int demoReadSetFile(const char* folder, char path[PKG_PATH_LEN], int32_t* skipSplash);

// Locates the package through the set file in gPathToFiles, else attached
// to gpal_ExePath; checks its magic; sets gDemoFilePath, the package start
// and the skip-splash flag. Ends the program on failure.
void setDemoParams();

// With buffer: copies entry's text (B bytes at A, bounded by bufSize - 1)
// into buffer with a NUL and returns the count copied. Without: returns
// word (0 = A, 1 = B) of entry as an unsigned 32-bit value.
int64_t getPkgValue(const char* path, int64_t packageStart, int entry, int word, char* buffer = nullptr,
                    int64_t bufSize = 0);

// Branding value index (0..43) of the block at absolute offset brandingStart.
uint32_t getBrandingVal(const char* path, int64_t brandingStart, int index);

// What is wrong with a package: the alert it ends the Presenter with, and a
// detail for authors and support.
struct PkgProblem {
  std::string title;
  std::string text;
  std::string detail;
};

// Reads the header values and the flow data of the package at start of
// path into the demo model, the package globals and gPlayerFlags. Returns
// false with the first fault in problem; the model then holds what was read.
bool demoReadPackage(const char* path, int64_t start, PkgProblem* problem);

// demoReadPackage for the located package; a fault ends the program.
void loadMetaData();

// Reads the whole package file once (so that later reads come from the
// file cache) and then sets gBaseTimestamp to 1.
void readWholePackage();
