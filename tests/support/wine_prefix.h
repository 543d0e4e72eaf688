// wine_prefix.h: a wine prefix of the tests' own, for running the Windows
// programs under wine on the tests' Xvfb.
#pragma once

#include "tests/support/runtime.h"

#include <string>
#include <vector>

// Wine's window metrics there, without a window manager: a fixed frame of
// 3 pixels and a 19-pixel title bar around a framed window's drawing area.
constexpr int kWineFrame = 3, kWineCaption = 19;
// The top-left corner of the drawing area of a framed window of width x
// height centred on the 1280 x 800 screen.
constexpr int wineFramedX(int width) { return (1280 - (width + 2 * kWineFrame)) / 2 + kWineFrame; }
constexpr int wineFramedY(int height) { return (800 - (height + 2 * kWineFrame + kWineCaption)) / 2 + kWineFrame + kWineCaption; }

// A 64-bit prefix in a folder of its own: message boxes that take keys
// (the X11 driver's Managed set to N), Open Sans standing in for the font
// table's face. Made by make(), which also sets the environment of the
// calling process; wineserver is stopped when the object goes.
class WinePrefix {
 public:
  WinePrefix();
  ~WinePrefix();
  bool make();
  // The environment entries a wine child needs.
  const std::vector<std::string>& env() const { return env_; }

 private:
  TempDir dir_;
  std::string path_;
  std::vector<std::string> env_;
  bool made_ = false;
};
