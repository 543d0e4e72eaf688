// runtime.h: helpers shared by the tests: a clean runtime, temporary
// folders, and buffers filled with a lopsided pattern.
#pragma once

#include <cstdint>
#include <string>

// Releases every buffer, re-initialises the platform tables and empties the demo model.
void resetRuntime();

// A fresh temporary folder for one test, removed when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The long colour of pixel (x, y) of slot.
uint32_t pixelColour(int slot, int32_t x, int32_t y);
