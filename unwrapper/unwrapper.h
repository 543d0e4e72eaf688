// unwrapper.h: the unwrapper program. One 700 x 250 window shows the
// progress of a worker thread that writes a runnable Presenter with its
// package attached (or, started with any argument, the package file alone)
// out of the wrapped file into the folder where the wrapped file lies, then
// says where the result is, and ends on "OK". Progress is also told on
// standard output for a start from a terminal.
#pragma once

#include "pal/pal.h"
#include "unwrapper/wrap_reader.h"

#include <atomic>
#include <cstdint>
#include <string>

constexpr int32_t UNWRAP_W = 700, UNWRAP_H = 250;
constexpr int UNWRAP_TIMER = 1;
constexpr int UNWRAP_TICK_MS = 200;
constexpr int UNWRAP_FULL_PATH_LEN = 700;

// The package name (at most 98 characters); read once gPackageNameKnown is 1.
extern char gPackageName[WRAP_NAME_BUF];
extern std::atomic<int> gPackageNameKnown;
// The output folder followed by the name, without extension; read once gUnwrapDone is 1.
extern char gPackageFullPath[UNWRAP_FULL_PATH_LEN];
extern int gPMPonlyFlag;              // 1: only the package file NAME.PMP is written
extern std::atomic<int> gUnwrapDone;  // 1 once the worker has put every output in place

// The event handler of the only screen.
int unwrapHandler(int32_t event[4], char* name);
// Paints the progress screen into slot 0 (and names the package in the window title once known).
void drawUnwrapScreen();
// Paints the final screen into slot 0 with its clickable "OK" button.
void drawFinalScreen();
// The worker: reads the payload's name and frame size and writes the outputs.
void doUnwrap();
// The running program file, when known before the platform layer starts
// (its outputs go beside it); empty: gpal_ExePath.
extern char gUnwrapProgramPath[PAL_PATH_LEN];
// Starts doUnwrap on a thread of its own at once: the work overlaps the
// opening of the window.
void startUnwrapWorker();
// Writes the outputs: NAME (the Presenter, the marker and the package,
// executable) or, in package-only mode, NAME.PMP, each under a temporary
// name in the output folder that is renamed when complete.
void makeSingleFilePackage();

// The background colour (0xRRGGBB) of row of a window height rows high.
uint32_t unwrapBackgroundAt(int32_t row, int32_t height);
// The folder of programPath with its final separator ("/a/./p" gives "/a/");
// empty when the path is not absolute.
std::string unwrapOutputFolder(const char* programPath);
// The last two folder levels of fullPath: the text between its third-last
// and last separator ("/" or "\\"), from the start when it has fewer.
std::string unwrapShownFolder(const char* fullPath);
