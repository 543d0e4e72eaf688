// studio_session.h: the whole-program test fixture of the authoring
// program: a private Xvfb, real XTest input, the program installed in a
// folder of its own and started there with its alerts on standard error,
// and the ways its screens are judged (window titles, alerts, pixels).
#pragma once

#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/xsession.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Every visible window's title, one a line (through xdotool).
std::string windowTitles();
// Fills a recorded row of width pixels with one colour 0xRRGGBB (blue, green, red bytes).
void solidRow(uint32_t colour, int32_t width, unsigned char* bgr);
// A 640 x 400 demo cropped out of an 800 x 600 screen at (80, 100): frame f
// is all colourOf(f), and every frame but the last waits for a click on
// (100, 120) - (200, 160).
DemoFixture flatDemo(int frames, uint32_t (*colourOf)(int));

class StudioSession : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Starts the installed program.
  void start();
  // True once a visible window has exactly this title (a test failure naming the titles seen after ms).
  bool titled(const std::string& title, int ms = 5000);
  // True once the program reports the blocking alert "TITLE | TEXT..." starting with line.
  bool alert(const std::string& line, int ms = 3000);
  // Clicks at root point (x, y) after resting the pointer there.
  void clickAt(int x, int y);
  // Drags with the left button from (x0, y0) to (x1, y1) in five moves.
  void drag(int x0, int y0, int x1, int y1);
  // Replaces the text of the edit box at root point (x, y) with text.
  void typeInto(int x, int y, const std::string& text);
  // Every file and folder below the program folder (hidden ones too), as
  // sorted relative paths.
  std::vector<std::string> listing() const;
  // Closes the window titled title as its close button does, and expects the
  // program to end with status 0 within ms, with no "terminate", sanitizer or
  // runtime-error report in its output.
  void closeAndExpectCleanEnd(const std::string& title, int ms = 15000);

  TempDir dir;
  std::vector<std::string> env;  // more of the program's environment (NAME=VALUE), for start()
  std::unique_ptr<XServer> server;
  std::unique_ptr<XInput> input;
  std::unique_ptr<Child> app;
};
