// demo_builder.h: a test fixture that writes an authoring-program demo
// folder (recording, window and demo data files) from frames drawn by a
// callback, recording each frame as the capture does: a key record of the
// whole screen, then records of the rectangle that changed.
#pragma once

#include "demo/demo_model.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct DemoFixtureFrame {
  std::string name;                 // empty: no name record (nameText -1)
  std::string note;                 // empty: no note record (noteText -1)
  int32_t noteX = -999, noteY = -999;
  std::vector<InstrRec> instrs;     // `frame` is ignored (set to the frame's index)
};

struct DemoFixture {
  int32_t screenW = 64, screenH = 48;            // the recorded screen
  int32_t crop[4] = {0, 0, 64, 48};              // left, top, width, height
  std::string cropText;                          // when not empty, written instead of the crop's text (for damaged crops)
  int32_t homeFrameId = 0, corners = 0;
  int keyEvery = 0;                              // a key record every N frames (0: only frame 0's)
  std::vector<DemoFixtureFrame> frames;
  // Fills row y (0 .. screenH-1) of frame f's whole recorded screen: screenW pixels, blue, green, red.
  // When not set every frame is black.
  std::function<void(int32_t f, int32_t y, unsigned char* bgr)> row;
  int64_t mtime = 0;                             // when not 0, NAME.DMD's modification time (seconds since the epoch)
};

// Writes programFolder/Demos/name/{name.DMR, name.DMW, name.DMD} (creating the folders) from fx:
// frame 0 as a key record, each later frame as a record of the rectangle that differs from the
// frame before it (a whole-screen key record every keyEvery frames, and a 1x1 record when nothing
// differs), with frameIds 0..n-1, times growing by 100 ms, click flag 1 on the frames that follow
// a frame with an 'L' instruction; the window file gets nine lines of the crop's rectangle
// (left, top, right, bottom). The model tables are used to write the data file and left holding the
// demo. Returns false when a file cannot be written (or the screen is empty, or the frames or
// instructions do not fit the tables).
// programFolder may end in "/" or not; gProgramFolder, gCurrDemoName and gCropSize are left alone.
// The pointer of each record sits at the centre of the previous frame's first rectangle
// instruction (where it was clicked or pointed), else at the centre of the crop.
bool writeDemoFolder(const std::string& programFolder, const std::string& name, const DemoFixture& fx);
