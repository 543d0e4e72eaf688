// pictomira_branding: draws the splash pictures with the tree's own
// primitives and writes them as branding blocks: the signature "gBa2", 44
// big-endian layout values, the 900 x 600 picture in blue, green, red
// stored bottom row first, and one further byte.
//   pictomira_branding OUTPUT_FILE        the Presenter's block ("GBA"); the
//       picture leaves room for the title, description, date and buttons
//       that the Presenter draws over it.
//   pictomira_branding --web OUTPUT_FILE  the web page's block ("GBH"); the
//       page draws the title and the notes over it and places its
//       "Loading" / "Present the Demo" line 240 pixels below the title row,
//       on a panel the picture carries. There are no buttons, so no band.
#include "pag/pag.h"
#include "pal/pal.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kW = 900, kH = 600;
constexpr int kValues = 44;
constexpr uint32_t kFill = 0x101722;    // behind the picture (value 14)
constexpr uint32_t kText = 0xF2F4F8;    // the texts drawn over it (value 19)
constexpr int kTitleRow = 150;          // value 9
constexpr int kLinkBelowTitle = 240;    // where the web page puts its link line

// Background shared by both pictures: a dark gradient with a faint grid.
void drawBackground() {
  pag_FillGradientRect(1, 0, 0, kW, kH, 0x24324A, kFill);
  for (int x = 0; x < kW; x += 30) pag_FillRect(1, x, 0, 1, kH, 0x1E2A3D);
  for (int y = 0; y < kH; y += 30) pag_FillRect(1, 0, y, kW, 1, 0x1E2A3D);
}

// The mark, top left: three stacked frames, the front one in the accent
// colours, with a red box and a pointer, and the name beside it.
void drawMark(uint32_t accentTop, uint32_t accentBottom) {
  pag_FillGradientRoundedRect(1, 36, 30, 70, 50, 0x5C6F8C, 0x3A4A63);
  pag_FillGradientRoundedRect(1, 46, 40, 70, 50, 0x7B93B8, 0x52688A);
  pag_FillGradientRoundedRect(1, 56, 50, 70, 50, accentTop, accentBottom);
  pag_DrawRectOutline(1, 70, 62, 30, 18, 0, 0xFF0000);
  pag_DrawRectOutline(1, 71, 63, 30, 18, 0, 0xFF0000);
  pag_DrawTrianglePointer(1, 104, 84, 14, 2, "U", 0xFFFFFF);
  pag_DrawTextOnBuff(1, 140, 52, "Pictomira", 4, 0xDFE6F0);
}

void drawPresenterPicture() {
  drawBackground();
  drawMark(0xF4F899, 0xDADF11);
  // A light band behind the buttons and a thin rule under the title area.
  pag_FillGradientRect(1, 0, 520, kW, 80, 0x1A2434, 0x2A3850);
  pag_FillRect(1, 250, 132, 400, 1, 0x3D4D68);
}

// The web page's picture: the same family, with a teal accent instead of
// the yellow one.
void drawWebPicture() {
  constexpr uint32_t kAccent = 0x35B7A4;
  drawBackground();
  drawMark(0xA6F2E6, kAccent);
  pag_DrawTextOnBuff(1, 140, 84, "Web Demo", 2, kAccent);
  pag_FillRect(1, 250, 132, 400, 1, 0x2F5A62);  // the rule under the title area
  // The panel behind the page's link line (its text is 23 pixels high).
  const int linkTop = kTitleRow + kLinkBelowTitle;
  pag_FillGradientRoundedRect(1, kW / 2 - 150, linkTop - 14, 300, 54, 0x3A5578, 0x223349);
  pag_FillGradientRoundedRect(1, kW / 2 - 149, linkTop - 13, 298, 52, 0x2A3A55, 0x1A2536);
  // An accent line and a soft glow along the foot.
  pag_FillGradientRect(1, 0, 561, kW, 39, kFill, 0x15343A);
  pag_FillRect(1, 0, 560, kW, 1, kAccent);
}

void put32(std::vector<unsigned char>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
}

}  // namespace

int main(int argc, char** argv) {
  const bool web = argc == 3 && std::strcmp(argv[1], "--web") == 0;
  if (argc != 2 && !web) {
    std::fprintf(stderr, "usage: %s [--web] OUTPUT_FILE\n", argv[0]);
    return 2;
  }
  const char* output = argv[argc - 1];
  pal_InitPAL();
  pal_InitWinBuf(1, kW, kH);
  uint32_t values[kValues] = {};
  values[4] = kW / 2;     // centre line of the texts
  values[9] = kTitleRow;  // title row
  values[14] = kFill;     // fill behind the picture (the web page's background)
  values[19] = kText;     // text colour
  if (web) {
    drawWebPicture();     // values 29, 34 and 39 are the Presenter's window and buttons: none here
  } else {
    drawPresenterPicture();
    values[29] = 1;       // window title "<title> - Demo Presenter"
  }
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
  std::FILE* f = std::fopen(output, "wb");
  const bool written = f != nullptr && std::fwrite(block.data(), 1, block.size(), f) == block.size();
  if (f == nullptr || std::fclose(f) != 0 || !written) {
    std::fprintf(stderr, "Could not write %s\n", output);
    return 1;
  }
  return 0;
}
