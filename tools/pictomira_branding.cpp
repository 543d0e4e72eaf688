// pictomira_branding: draws the Presenter's splash picture with the tree's
// own primitives and writes the branding block ("GBA"): the signature
// "gBa2", 44 big-endian layout values, the 900 x 600 picture in blue,
// green, red stored bottom row first, and one further byte. The picture
// leaves room for the title, description, date and buttons that the
// Presenter draws over it. Usage: pictomira_branding OUTPUT_FILE
#include "pag/pag.h"
#include "pal/pal.h"

#include <cstdio>
#include <vector>

namespace {

constexpr int kW = 900, kH = 600;

void drawPicture() {
  pag_FillGradientRect(1, 0, 0, kW, kH, 0x24324A, 0x101722);
  for (int x = 0; x < kW; x += 30) pag_FillRect(1, x, 0, 1, kH, 0x1E2A3D);  // a faint grid
  for (int y = 0; y < kH; y += 30) pag_FillRect(1, 0, y, kW, 1, 0x1E2A3D);
  // The mark: three stacked frames with a pointer, top left.
  pag_FillGradientRoundedRect(1, 36, 30, 70, 50, 0x5C6F8C, 0x3A4A63);
  pag_FillGradientRoundedRect(1, 46, 40, 70, 50, 0x7B93B8, 0x52688A);
  pag_FillGradientRoundedRect(1, 56, 50, 70, 50, 0xF4F899, 0xDADF11);
  pag_DrawRectOutline(1, 70, 62, 30, 18, 0, 0xFF0000);
  pag_DrawRectOutline(1, 71, 63, 30, 18, 0, 0xFF0000);
  pag_DrawTrianglePointer(1, 104, 84, 14, 2, "U", 0xFFFFFF);
  pag_DrawTextOnBuff(1, 140, 52, "Pictomira", 4, 0xDFE6F0);
  // A light band behind the buttons and a thin rule under the title area.
  pag_FillGradientRect(1, 0, 520, kW, 80, 0x1A2434, 0x2A3850);
  pag_FillRect(1, 250, 132, 400, 1, 0x3D4D68);
}

void put32(std::vector<unsigned char>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FILE\n", argv[0]);
    return 2;
  }
  pal_InitPAL();
  pal_InitWinBuf(1, kW, kH);
  drawPicture();
  uint32_t values[44] = {};
  values[4] = kW / 2;     // centre line of the texts
  values[9] = 150;        // title row
  values[14] = 0x101722;  // fill behind the picture
  values[19] = 0xF2F4F8;  // text colour
  values[29] = 1;         // window title "<title> - Demo Presenter"
  std::vector<unsigned char> block = {'g', 'B', 'a', '2'};
  for (uint32_t v : values) put32(block, v);
  for (int y = kH - 1; y >= 0; --y) {
    for (int x = 0; x < kW; ++x) {
      int32_t rgb[3];
      pal_GetBufferPixelRGB(1, x, y, rgb);
      block.push_back(static_cast<unsigned char>(rgb[2]));
      block.push_back(static_cast<unsigned char>(rgb[1]));
      block.push_back(static_cast<unsigned char>(rgb[0]));
    }
  }
  block.push_back(0);
  std::FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr || std::fwrite(block.data(), 1, block.size(), f) != block.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "Could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
