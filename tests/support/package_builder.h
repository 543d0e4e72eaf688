// package_builder.h: a test fixture that writes demo packages from frames
// and instructions, storing every distinct pixel row once, in the order in
// which rows first occur, as the authoring program's writer does.
#pragma once

#include "demo/demo_model.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct FixtureFrame {
  std::string name;
  std::string note;
  int32_t noteX = -999;  // written as "99999"
  int32_t noteY = -999;
  std::vector<InstrRec> instrs;  // `frame` is ignored; -1 targets are written as the next frame
};

struct PackageFixture {
  int32_t width = 6;
  int32_t height = 5;
  std::string title = "Fixture Demo";
  std::string description = "A demo made by the tests";
  uint32_t date = 918550;  // 22 April 2014
  uint32_t homeFrame = 0;
  uint32_t windowMode = 0;
  uint32_t redBoxMode = 1;
  uint32_t noteMode = 1;
  std::vector<unsigned char> branding;  // the whole block; empty: a generated one
  std::vector<FixtureFrame> frames;
  // Fills row y of frame f: width pixels of blue, green, red.
  std::function<void(int32_t f, int32_t y, unsigned char* bgr)> row;
};

// The 30 directory entries of a built package, words A and B.
struct PackageDirectory {
  uint32_t a[30];
  uint32_t b[30];
};

// A branding block: "gBa2", the 44 values, a 900 x 600 picture of one
// colour stored bottom row first, and `extra` further bytes.
std::vector<unsigned char> fixtureBranding(const uint32_t values[44], uint32_t pictureColour, int extra);

// Builds the package bytes; directory (optional) receives its entries.
std::vector<unsigned char> buildPackage(const PackageFixture& fx, PackageDirectory* directory = nullptr);

// The flow data alone, as buildPackage writes it.
std::vector<unsigned char> buildFlowData(const PackageFixture& fx);

// Writes bytes to path; true on success.
bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// The 99-byte marker 0, 1, ..., 98.
std::vector<unsigned char> packageMarker();
