// demo_overlays.cpp: red instruction boxes, speaker notes and word wrap.
#include "demo/demo_overlays.h"

#include "demo/demo_model.h"
#include "pag/pag.h"
#include "pal/pal.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

int32_t gNoteRect[4];

namespace {

constexpr int kFrameBuffer = 1;

void drawHandle(int32_t x, int32_t y) {
  pag_DrawRectOutline(kFrameBuffer, x, y, 7, 7, 0, 0x000000);
  pag_FillRect(kFrameBuffer, x + 1, y + 1, 6, 6, DEMO_HANDLE_FILL);
}

// Splits a note into its lines: a carriage return is dropped (the byte
// after it is taken instead), and a byte of 0..14 ends a line. Bytes of 128
// and above are the letters and signs of Windows-1252, drawn as they are.
std::vector<std::string> noteLines(const char* text) {
  std::vector<std::string> lines(1);
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\r') continue;
    if (static_cast<unsigned char>(*p) <= 14) {
      if (lines.size() == DEMO_NOTE_MAX_LINES) break;
      lines.emplace_back();
    } else if (lines.back().size() < DEMO_TEXT_MAX) {
      lines.back() += *p;
    }
  }
  return lines;
}

}  // namespace

void demoDrawRedInstructionBoxes(int editMode) {
  for (int p = 0; p < DEMO_INSTR_LIST_LEN && gCurrInstrList[p] != -1; ++p) {
    const int32_t index = gCurrInstrList[p];
    if (index < 0 || index >= gInstrCount) continue;
    const InstrRec& in = gInstrData[index];
    if (in.type == INSTR_KEY || in.type == INSTR_TIMER) continue;
    const int32_t x = in.v[0] - gCropSize[0], y = in.v[1] - gCropSize[1];
    const int32_t w = in.v[2] - in.v[0], h = in.v[3] - in.v[1];
    const int gap = p == 0 ? 0 : 1;
    pag_DrawRectOutline(kFrameBuffer, x, y, w, h, gap, DEMO_RED_BOX);
    pag_DrawRectOutline(kFrameBuffer, x + 1, y + 1, w, h, gap, DEMO_RED_BOX);
    if (editMode == 1) {
      drawHandle(x - 3, y - 3);
      drawHandle(x + w - 4, y - 3);
      drawHandle(x - 3, y + h - 4);
      drawHandle(x + w - 4, y + h - 4);
    }
  }
}

DemoNoteLayout demoLayOutNote(const char* text, int64_t noteX, int64_t noteY, int32_t frameW, int32_t frameH) {
  DemoNoteLayout note{noteLines(text), {0, 0, 0, 0}};
  int32_t widest = 0;
  for (const std::string& line : note.lines) widest = std::max(widest, pal_GetTextWidth(line.c_str(), DEMO_NOTE_FONT));
  const int32_t w = widest + 10;
  const int32_t h = static_cast<int32_t>(note.lines.size()) * DEMO_NOTE_LINE_HEIGHT + 2;
  note.box[0] = noteX == DEMO_NO_POSITION ? (frameW - w) / 2 : static_cast<int32_t>(noteX);
  note.box[1] = noteY == DEMO_NO_POSITION ? frameH - h - 8 : static_cast<int32_t>(noteY);
  note.box[2] = w;
  note.box[3] = h;
  return note;
}

void demoDrawNoteBox(int slot, const DemoNoteLayout& note, int32_t dx, int32_t dy) {
  const int32_t x = note.box[0] - dx, y = note.box[1] - dy, w = note.box[2], h = note.box[3];
  // Halo from x - 6 to x + w + 7 and border from x - 1 to x + w + 1, both inclusive.
  pag_FlattenColorsToGrey(slot, x - 6, y - 6, w + 14, h + 14);
  pag_FillRect(slot, x - 1, y - 1, w + 3, h + 3, DEMO_NOTE_BORDER);
  pag_FillRect(slot, x, y, w, h, DEMO_NOTE_FILL);
  for (size_t i = 0; i < note.lines.size(); ++i)
    pag_DrawTextOnBuff(slot, x + 5, y + DEMO_NOTE_LINE_HEIGHT * static_cast<int32_t>(i), note.lines[i].c_str(),
                       DEMO_NOTE_FONT, DEMO_NOTE_TEXT);
}

void demoDrawSpeakerNotes(int32_t frame) {
  if (frame < 0 || frame >= gFrameCount) return;
  const FrameRec& fr = gFrameData[frame];
  char note[DEMO_TEXT_LEN] = "";
  if (fr.noteText >= DEMO_FIRST_TEXT_REC && fr.noteText <= DEMO_TEXT_RECS)
    demoGetTextValue(static_cast<int32_t>(fr.noteText), note);
  if (frame == gFrameCount - 1) {
    if (note[0] == '\0' || std::strcmp(note, DEMO_DEFAULT_NOTE) == 0) std::strcpy(note, DEMO_END_TEXT);
  } else if (note[0] == '\0') {
    return;
  }
  const DemoNoteLayout layout = demoLayOutNote(note, fr.noteX, fr.noteY, gCropSize[2], gCropSize[3]);
  std::copy(layout.box, layout.box + 4, gNoteRect);
  demoDrawNoteBox(kFrameBuffer, layout, 0, 0);
}

int32_t demoGetLongestSubstringTextFit(const char* text, int32_t start, int32_t maxWidth, int font, char* out,
                                       int32_t outSize) {
  int32_t len = 0, lastBlank = 0;
  for (const char* p = text + start; *p != '\0' && len < outSize - 1; ++p) {
    if (*p == ' ') {
      out[len] = '\0';
      if (pal_GetTextWidth(out, font) >= maxWidth) {
        out[lastBlank] = '\0';
        return lastBlank;
      }
      lastBlank = len;
    }
    out[len++] = *p;
  }
  out[len] = '\0';
  return len;
}

int32_t demoBreakTextToBox(const char* text, int32_t left, int32_t top, int32_t right, int font, uint32_t colour) {
  const int32_t lineHeight = pal_FontPixelHeight(font);  // the font's cell, so lines never overlap
  const int32_t total = static_cast<int32_t>(std::strlen(text));
  std::vector<char> line(static_cast<size_t>(total) + 1);
  int32_t y = top;
  for (int32_t at = 0; at < total;) {
    int32_t n = demoGetLongestSubstringTextFit(text, at, right - left, font, line.data(), total + 1);
    if (n == 0) {  // one word wider than the box: it takes a line of its own
      while (at + n < total && text[at + n] != ' ') ++n;
      std::memcpy(line.data(), text + at, static_cast<size_t>(n));
      line[n] = '\0';
    }
    pag_DrawTextOnBuff(0, left, y, line.data(), font, colour);
    y += lineHeight;
    at += n;
    while (at < total && text[at] == ' ') ++at;
  }
  return y;
}
