// shell.h: the authoring program's shell: start-up, the main state machine
// that chooses the next screen, the home screen with the paged demo
// library, the demo management screen (rename, copy, delete) and the demo
// screen from which a demo is presented, edited or shared.
//
// The shell is the top floor: the only room that includes the screen
// families' screen headers (capture, abstraction, editor, publishing) and
// paste_screens.h, to dispatch the states of studio/kit/studio_states.h.
// It runs on the loop thread; at start-up it registers the demo screen
// with the kit (studioSetDemoScreen), so that a family's dialog can hand
// the window back without including the shell.
#pragma once

#include "studio/kit/studio_states.h"

#include <cstdint>
#include <string>

constexpr int HOME_W = 900, HOME_H = 600;
constexpr int HOME_PAGE_ROWS = 9;
constexpr int HOME_TIMER = 1;        // the front-window size strip; the copy's progress
constexpr int HOME_TIMER_MS = 200;

extern int gHomePage;  // the page of the demo list shown

// ---- Start-up -------------------------------------------------------------------
// The authoring program: start-up and the state loop on the program folder
// and the library folder (empty: the program's own folder; see
// setStudioFolders); returns the exit status.
int studioMain(const std::string& programFolder = "", const std::string& libraryFolder = "");
// 1 when a folder path has ".zip" (any case) starting 8 characters before
// its end or earlier: the program runs inside an archive not yet unpacked.
int checkZippedFolder(const char* path);
// Creates the system files folder, the library folder and its Demos folder
// when missing (a library of its own gets a copy of the program folder's
// demos when it has none yet); warns when that fails.
void checkSystemFolders();
// Moves a replay pair pmra.DMR / pmra.DMW (with pmra.DMA when there is
// one) of the library folder into the capture slot: the start state, 30 when it did, else 10.
int replayCaptureIfPresent();

// ---- Home and demo management --------------------------------------------------------
int homeScreenHandler(int32_t event[4], char* name);
int manageScreenHandler(int32_t event[4], char* name);
// The number of pages of a list of count demos (at least 1).
int homePageCount(int count);

// ---- Demo screen -----------------------------------------------------------------------
int demoScreenHandler(int32_t event[4], char* name);
// Reads the crop text "left,top,width,height": a number that is missing
// (fewer commas, nothing between two) or not a number gives -1.
void parseCropText(const char* text, int32_t crop[4]);
// The backdrop of frame 0 on a window W x H: x, y, width, height of the
// scaled frame for a crop of cropW x cropH (width 0 when it cannot show).
void demoBackdropRect(int32_t W, int32_t H, int32_t cropW, int32_t cropH, int32_t out[4]);
// The presenting scale of the crop on a work area (left, top, right,
// bottom): the largest that fits, never above 1000; stored in gDemoScale.
int32_t demoScreenScale(const int32_t work[4]);
// Loads the current demo for its screen: data file, crop, display modes and
// scale. 1, or 0 with *why saying what is wrong (the model is then empty).
int openCurrentDemo(char* why, int cap);
// Its window-free part, which the command line uses: the data file, the
// crop (checked against the recorded screen) and the display modes.
int loadCurrentDemo(char* why, int cap);
// Draws the demo screen into slot 0 (frame 0's backdrop, panels, buttons).
void drawDemoScreen();
