// wrap_builder.h: wrapped files for the tests: records of the row-delta
// compressed line pool, a plain compressor of whole pools, a package split
// into its four pieces, and the payload written behind a program's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using WrapBytes = std::vector<unsigned char>;

// One record of a compressed pool: reference row (3 bytes), mask, values.
WrapBytes wrapRecord(uint32_t reference, const WrapBytes& mask, const WrapBytes& values);

// Compresses pool (rows of width pixels, 3 bytes each): row 0 raw, every
// later row against the first earlier row that equals it, else against
// row 0 or the previous row, whichever differs from it in fewer pixels.
WrapBytes compressPool(const WrapBytes& pool, int32_t width);

struct WrapParts {
  WrapBytes program = {'P', 'R', 'O', 'G'};  // the bytes before the marker
  std::vector<WrapBytes> pieces;             // pieces 0, 1, ...
  uint32_t width = 0;                        // value 14
  uint32_t height = 0;                       // value 15
  std::string name = "Demo";
  bool endMark = true;
  // Written as value i instead of piece i's real size, where given.
  std::vector<std::pair<int, uint32_t>> sizeOverrides;
};

// Program, marker, "PMwrap_v01", the 18 values, the pieces, 255, the name.
WrapBytes buildWrapped(const WrapParts& parts);

// A package's head, line tables, line pool compressed for width and flow
// data, cut at its directory's offsets.
std::vector<WrapBytes> packagePieces(const WrapBytes& package, int32_t width);
