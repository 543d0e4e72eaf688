// pal_textedit.cpp: the self-drawn text edit boxes: marking, activation,
// caret placement, selection, key commands with undo and the clipboard,
// fitting texts into a box's lines, drawing, and the routing of the event
// loop's presses, moves, keys and caret blinks to the active box.
// Texts are 8-bit, lines separated by line feeds; measuring uses font 2.
#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "pal/pal_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int gpal_TextEditCharsLeftOfCursor;
int32_t gpal_TextEditSelectInfo[3] = {-1, -1, 0};
int gpal_TextEditCursOn = -1;

namespace {

constexpr int kFont = 2;
constexpr uint32_t kTextColour = 0x222222;
constexpr uint32_t kSelectionColour = 0x44AAFF;  // red 68, green 170, blue 255
constexpr int kUndo = PAL_EDIT_SLOTS;             // the shared undo holder
constexpr int kTextCap = PAL_EDIT_TEXT_LEN;

int32_t* rectOf(int slot) { return gpal_TextEditRects[slot]; }
char* textOf(int slot) { return gpal_TextEditHolders[slot]; }
int linesOf(int slot) { return rectOf(slot)[3] / PAL_EDIT_LINE_HEIGHT; }
int32_t usableWidth(int slot) { return rectOf(slot)[2] - 7; }

bool printable(unsigned char c) { return c >= 32 && c != 127; }

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n') lines.emplace_back();
    else lines.back() += c;
  }
  return lines;
}

std::string joinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
  return out;
}

int32_t widthOf(const std::string& s) { return pal_GetTextWidth(s.c_str(), kFont); }

// Line and column of a character position of text.
void lineAndColumn(const char* text, int pos, int* line, int* column) {
  *line = 0;
  int start = 0;
  for (int i = 0; i < pos && text[i]; ++i)
    if (text[i] == '\n') {
      ++*line;
      start = i + 1;
    }
  *column = pos - start;
}

// Character position of the start of line n of text (its end when absent).
int lineStart(const char* text, int n) {
  int i = 0;
  for (int line = 0; line < n && text[i]; ++i)
    if (text[i] == '\n') ++line;
  return i;
}

int lineLength(const char* text, int start) {
  int n = 0;
  while (text[start + n] && text[start + n] != '\n') ++n;
  return n;
}

// The caret position within line s that a press at x (relative to the
// text origin) picks: the nearer boundary of the character under x, the
// line's end right of it.
int boundaryAt(const std::string& s, int32_t x) {
  const int len = static_cast<int>(s.size());
  if (x >= widthOf(s)) return len;
  // w0: the longest start narrower than x; w1: that start and its next character.
  int n = 0;
  while (n < len && widthOf(s.substr(0, static_cast<size_t>(n) + 1)) < x) ++n;
  const int32_t w0 = widthOf(s.substr(0, static_cast<size_t>(n)));
  const int32_t w1 = widthOf(s.substr(0, static_cast<size_t>(n) + 1));
  return x + 2 - w0 > w1 - x ? n + 1 : n;
}

void fillInSlot0(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  for (int32_t row = y; row < y + h; ++row)
    for (int32_t col = x; col < x + w; ++col) pal_SetBufferPixelLongColor(0, col, row, colour);
}

void clearSelection() {
  gpal_TextEditSelectInfo[0] = gpal_TextEditSelectInfo[1] = -1;
  gpal_TextEditSelectInfo[2] = 0;
}

bool hasSelection() {
  return gpal_TextEditSelectInfo[0] >= 0 && gpal_TextEditSelectInfo[1] >= 0 &&
         gpal_TextEditSelectInfo[0] != gpal_TextEditSelectInfo[1];
}

int selectionLow() { return std::min(gpal_TextEditSelectInfo[0], gpal_TextEditSelectInfo[1]); }
int selectionHigh() { return std::max(gpal_TextEditSelectInfo[0], gpal_TextEditSelectInfo[1]); }

void redraw(int slot) {
  pal_DrawTextEditRect(slot, textOf(slot), rectOf(slot)[5], static_cast<uint32_t>(rectOf(slot)[4]));
}

// Fits candidate into the box; on success it becomes the box's text, the
// selection is cleared and the box redrawn.
bool acceptEdit(int slot, std::string candidate, int caret) {
  if (candidate.size() >= static_cast<size_t>(kTextCap)) return false;
  std::vector<char> buf(candidate.begin(), candidate.end());
  buf.resize(kTextCap, '\0');
  if (pal_AdjustTextToFitEditRect(slot, buf.data()) != 2) return false;
  std::memcpy(textOf(slot), buf.data(), kTextCap);
  gpal_TextEditCharsLeftOfCursor = std::min<int>(caret, static_cast<int>(std::strlen(textOf(slot))));
  clearSelection();
  redraw(slot);
  return true;
}

// Replaces the selection (or inserts at the caret) with insert.
bool replaceSelection(int slot, const std::string& insert) {
  std::string text = textOf(slot);
  int from = gpal_TextEditCharsLeftOfCursor, to = from;
  if (hasSelection()) {
    from = selectionLow();
    to = std::min<int>(selectionHigh(), static_cast<int>(text.size()));
  }
  text.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), insert);
  return acceptEdit(slot, text, from + static_cast<int>(insert.size()));
}

// Whether the active box has shown its notice of a character the code page
// cannot hold; once per activation, so fast typing does not stack alerts.
bool gRefusedNoticeShown = false;

// Whether a box was active when the last key went down. The window system
// sends a key's text after the key itself: the N that opens the note editor
// must not type an "n" into the box it opens.
bool gKeyWentToBox = false;

void saveUndo(int slot) { std::memcpy(textOf(kUndo), textOf(slot), kTextCap); }

int commandKey(int slot, int vk) {
  std::string text = textOf(slot);
  switch (vk) {
    case 'Z':  // the text and the undo copy swap
      std::swap_ranges(textOf(slot), textOf(slot) + kTextCap, textOf(kUndo));
      gpal_TextEditCharsLeftOfCursor = static_cast<int>(std::strlen(textOf(slot)));
      clearSelection();
      redraw(slot);
      return 1;
    case 'A':
      gpal_TextEditSelectInfo[0] = 0;
      gpal_TextEditSelectInfo[1] = static_cast<int32_t>(text.size());
      gpal_TextEditCharsLeftOfCursor = static_cast<int>(text.size());
      redraw(slot);
      return 1;
    case 'C':
      if (!hasSelection()) return -1;
      pal_PutClipboardText(text.substr(selectionLow(), selectionHigh() - selectionLow()).c_str(), 0);
      return 1;
    case 'X': {
      if (!hasSelection()) return -1;
      saveUndo(slot);
      if (selectionHigh() > static_cast<int>(text.size())) return -2;
      const int caret = gpal_TextEditCharsLeftOfCursor;
      pal_PutClipboardText(text.substr(selectionLow(), selectionHigh() - selectionLow()).c_str(), 0);
      if (replaceSelection(slot, "")) return 1;
      gpal_TextEditCharsLeftOfCursor = caret;
      return -3;
    }
    case 'V': {  // up to a whole box's worth: capacity - 2 characters
      std::vector<char> clip(kTextCap + 1);
      pal_GetClipboardText(clip.data(), kTextCap + 1, 0);
      saveUndo(slot);
      if (replaceSelection(slot, clip.data())) return 1;
      pal_Alert(0, "Paste Too Big", "The text in the Paste buffer is too long to fit");
      return -2;
    }
    default: return -1;
  }
}

// Caret to the same pixel position on the line above (-1) or below (+1).
void caretToLine(int slot, int step) {
  const char* text = textOf(slot);
  int line, column;
  lineAndColumn(text, gpal_TextEditCharsLeftOfCursor, &line, &column);
  if (line + step < 0) return;
  int32_t lineCount = 1;
  for (const char* p = text; *p; ++p) lineCount += *p == '\n';
  if (line + step >= lineCount) return;
  const int start = lineStart(text, line);
  const int32_t x = widthOf(std::string(text + start, static_cast<size_t>(column)));
  const int target = lineStart(text, line + step);
  const std::string s(text + target, static_cast<size_t>(lineLength(text, target)));
  gpal_TextEditCharsLeftOfCursor = target + boundaryAt(s, x);
}

int plainKey(int slot, const int32_t ev[4]) {
  const int vk = ev[3];
  std::string text = textOf(slot);
  const int caret = gpal_TextEditCharsLeftOfCursor;
  switch (vk) {
    case VK_TAB:
      palCaretTimer(false);
      clearSelection();
      gpal_TextEditCursOn = -1;
      redraw(slot);
      gpal_TextEditCurrSlot = -1;
      return 9;
    case VK_UP: caretToLine(slot, -1); break;
    case VK_DOWN: caretToLine(slot, 1); break;
    case VK_LEFT: gpal_TextEditCharsLeftOfCursor = std::max(0, caret - 1); break;
    case VK_RIGHT: gpal_TextEditCharsLeftOfCursor = std::min<int>(static_cast<int>(text.size()), caret + 1); break;
    case VK_BACK:
      if (hasSelection()) return replaceSelection(slot, "") ? 1 : -3;
      if (caret == 0) return -1;
      text.erase(static_cast<size_t>(caret - 1), 1);
      return acceptEdit(slot, text, caret - 1) ? 1 : -3;
    case VK_DELETE:
      if (hasSelection()) return replaceSelection(slot, "") ? 1 : -3;
      if (caret >= static_cast<int>(text.size())) return -1;
      text.erase(static_cast<size_t>(caret), 1);
      return acceptEdit(slot, text, caret) ? 1 : -3;
    case VK_RETURN: return replaceSelection(slot, "\n") ? 1 : -2;
    default:
      // A key's character comes from the window system's text input
      // (pal_TextEditTypeText), which knows the keyboard's layout.
      return ev[1] == 0 ? -1 : 1;
  }
  clearSelection();
  gpal_TextEditCursOn = 1;
  redraw(slot);
  return 1;
}

// Point relative to the box's text origin, clamped inside the box.
void clampedPoint(int slot, const int32_t ev[4], int32_t* x, int32_t* y) {
  const int32_t* r = rectOf(slot);
  *x = std::clamp(ev[1], r[0], r[0] + r[2]) - r[0] - 4;
  *y = std::clamp(ev[2], r[1], r[1] + r[3] - 1) - r[1];
}

}  // namespace

int pal_MarkTextEditRect(const char* name, int32_t x, int32_t y, int32_t w, int32_t h, const char* text,
                         int32_t maxLength, uint32_t background) {
  const int lh = PAL_EDIT_LINE_HEIGHT;
  char message[200];
  if (h < lh) {
    std::snprintf(message, sizeof message, "Not enough vertical pixels for a Single Line Edit (need %d pixels)", lh);
  } else if (h % lh != 0) {
    std::snprintf(message, sizeof message, "Vertical Edit Size: need even multiple of %d pixels:\n %d lines = %d pixels",
                  lh, h / lh, h / lh * lh);
  } else {
    message[0] = '\0';
  }
  if (message[0] != '\0') {
    std::printf("%s\n", message);
    pal_FatalAlert("Cannot Mark TextEdit", message);
  }
  int slot = 0;
  while (slot < PAL_EDIT_SLOTS && gpal_TextEditRects[slot][0] != PAL_FREE_EDIT) ++slot;
  if (slot == PAL_EDIT_SLOTS) {
    pal_Alert(1, "Cannot Mark TextEdit", "All 19 editing slots already in use");
    return -1;
  }
  std::snprintf(gpal_TextEditNames[slot], PAL_NAME_LEN, "%s", name ? name : "");
  int32_t* r = rectOf(slot);
  r[0] = x;
  r[1] = y;
  r[2] = w;
  r[3] = h;
  r[4] = static_cast<int32_t>(background);
  r[5] = maxLength;
  textOf(slot)[0] = '\0';
  if (text != nullptr) {
    std::snprintf(textOf(slot), kTextCap, "%s", text);
    pal_AdjustTextToFitEditRect(slot, textOf(slot));
  }
  gpal_TextEditCursOn = -1;
  if (w >= 1) redraw(slot);
  return slot;
}

void pal_GetMarkedTextEdit(const char* name, char* dst) {
  dst[0] = '\0';
  for (int i = 0; i < PAL_EDIT_SLOTS && gpal_TextEditRects[i][0] != PAL_FREE_EDIT; ++i)
    if (std::strcmp(gpal_TextEditNames[i], name) == 0) {
      std::memcpy(dst, textOf(i), kTextCap);
      return;
    }
}

void pal_StartTextEdit(const char* name) {
  for (int i = 0; i < PAL_EDIT_SLOTS && gpal_TextEditRects[i][0] != PAL_FREE_EDIT; ++i) {
    if (std::strcmp(gpal_TextEditNames[i], name) != 0) continue;
    gpal_TextEditCurrSlot = i;
    gRefusedNoticeShown = false;
    clearSelection();
    gpal_TextEditCharsLeftOfCursor = static_cast<int>(std::strlen(textOf(i)));
    gpal_TextEditCursOn = 1;
    palCaretTimer(true);
    redraw(i);
    return;
  }
}

void pal_TextEditGetTextPosFromPixelPos(int32_t x, int32_t y) {
  const int slot = gpal_TextEditCurrSlot;
  if (slot < 0) return;
  const char* text = textOf(slot);
  int line = std::max(0, y / PAL_EDIT_LINE_HEIGHT);
  int32_t lineCount = 1;
  for (const char* p = text; *p; ++p) lineCount += *p == '\n';
  line = std::min(line, lineCount - 1);
  const int start = lineStart(text, line);
  const int len = lineLength(text, start);
  gpal_TextEditCharsLeftOfCursor = start + boundaryAt(std::string(text + start, static_cast<size_t>(len)), x);
}

int pal_TextEditHandler(const int32_t event[4]) {
  const int slot = gpal_TextEditCurrSlot;
  if (slot < 0 || slot >= PAL_EDIT_SLOTS) return -1;
  int32_t x, y;
  switch (event[0]) {
    case PAL_EV_PRESS:
      pal_TextEditGetTextPosFromPixelPos(event[1] - rectOf(slot)[0] - 4, event[2] - rectOf(slot)[1]);
      gpal_TextEditSelectInfo[0] = gpal_TextEditSelectInfo[1] = gpal_TextEditCharsLeftOfCursor;
      gpal_TextEditSelectInfo[2] = 1;
      gpal_TextEditCursOn = 1;
      redraw(slot);
      return 2;
    case PAL_EV_MOVE:
      if (gpal_TextEditSelectInfo[2] != 1) return 1;
      clampedPoint(slot, event, &x, &y);
      pal_TextEditGetTextPosFromPixelPos(x, y);
      gpal_TextEditSelectInfo[1] = gpal_TextEditCharsLeftOfCursor;
      redraw(slot);
      return 1;
    case PAL_EV_RELEASE:
      clampedPoint(slot, event, &x, &y);
      if (gpal_TextEditSelectInfo[2] == 1) {
        pal_TextEditGetTextPosFromPixelPos(x, y);
        gpal_TextEditSelectInfo[1] = gpal_TextEditCharsLeftOfCursor;
      }
      gpal_TextEditCursOn = 1;
      redraw(slot);
      gpal_TextEditSelectInfo[2] = 0;
      return 1;
    case PAL_EV_TIMER:
      if (event[1] != PAL_CARET_TIMER) return -1;
      redraw(slot);
      gpal_TextEditCursOn = -gpal_TextEditCursOn;
      return 2;
    case PAL_EV_KEY:
      if (event[2] == PAL_MOD_CONTROL || event[2] == PAL_MOD_ALT) return commandKey(slot, event[3]);
      return plainKey(slot, event);
    default: return -1;
  }
}

int pal_TextEditTypeText(const char* text) {
  const int slot = gpal_TextEditCurrSlot;
  if (slot < 0 || slot >= PAL_EDIT_SLOTS || text == nullptr || text[0] == '\0') return -1;
  return replaceSelection(slot, text) ? 1 : -2;
}

void palEditTextInput(const std::string& utf8) {
  if (gpal_TextEditCurrSlot < 0 || !gKeyWentToBox) return;
  int refused = 0;
  const std::string text = pal_Utf8ToCp1252(utf8, &refused);
  if (!text.empty()) pal_TextEditTypeText(text.c_str());
  if (refused == 0 || gRefusedNoticeShown) return;
  gRefusedNoticeShown = true;
  pal_Alert(0, "Character Not Available",
            "That character cannot be typed here: texts in Pictomira hold the letters of Western European "
            "languages (Windows-1252).");
}

void pal_DrawTextEditRect(int slot, const char* text, int32_t /*maxLength*/, uint32_t background) {
  if (slot < 0 || slot >= PAL_EDIT_SLOTS || gpal_ImageBuffBits[0] == nullptr) return;
  const int32_t* r = rectOf(slot);
  fillInSlot0(r[0], r[1], r[2], r[3], background);
  const std::vector<std::string> lines = splitLines(text);
  const bool active = slot == gpal_TextEditCurrSlot;
  int pos = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const int32_t top = r[1] + PAL_EDIT_LINE_HEIGHT * static_cast<int32_t>(i);
    if (active && hasSelection()) {  // the selected characters' cells
      for (size_t c = 0; c < lines[i].size(); ++c) {
        const int at = pos + static_cast<int>(c);
        if (at < selectionLow() || at >= selectionHigh()) continue;
        const int32_t x0 = widthOf(lines[i].substr(0, c)), x1 = widthOf(lines[i].substr(0, c + 1));
        fillInSlot0(r[0] + 3 + x0, top, x1 - x0, PAL_EDIT_LINE_HEIGHT, kSelectionColour);
      }
    }
    // Text drawn as the primitives place it: top edge one pixel above y.
    pal_DrawTextLine(0, r[0] + 3, top - 2 - 1, lines[i].c_str(), kFont, kTextColour);
    pos += static_cast<int>(lines[i].size()) + 1;
  }
  if (active && gpal_TextEditCursOn == 1) {
    int line, column;
    lineAndColumn(text, gpal_TextEditCharsLeftOfCursor, &line, &column);
    const int start = lineStart(text, line);
    const int32_t cx = r[0] + widthOf(std::string(text + start, static_cast<size_t>(column))) + 2;
    fillInSlot0(cx, r[1] + PAL_EDIT_LINE_HEIGHT * line, 1, 19, 0x000000);
  }
  pal_UpdateWindowFromBuffer(r);
}

int pal_AdjustTextToFitEditRect(int slot, char* text) {
  const int maxLines = linesOf(slot);
  const int32_t usable = usableWidth(slot);
  pal_Trace("availLines:%d, maxwid:%d", maxLines, usable);
  std::string s = text;
  while (!s.empty() && s.back() != '\n' && !printable(static_cast<unsigned char>(s.back()))) s.pop_back();
  int feeds = 0;
  for (char& c : s) {
    if (c == '\n') {
      if (++feeds >= maxLines) c = ' ';  // it would begin a line the box does not have
    } else if (!printable(static_cast<unsigned char>(c))) {
      c = ' ';
    }
  }
  std::vector<std::string> lines = splitLines(s);
  int result = 2;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (widthOf(lines[i]) <= usable) continue;
    int32_t fit[2];  // the longest start at most usable wide
    pal_FindTextCharAtMaxWid(lines[i].c_str(), usable + 1, fit, "R");
    // A space right after the part that fits breaks the line too: it becomes
    // the line feed and needs no room, so typing a space at a full line's
    // end moves on to the next line instead of taking the last word along.
    const size_t space = lines[i].rfind(' ', static_cast<size_t>(fit[1]));
    if (space == std::string::npos || (space == 0 && fit[1] == 0)) {
      result = -1;
      break;
    }
    const std::string rest = lines[i].substr(space + 1);
    lines[i].resize(space);
    if (static_cast<int>(lines.size()) >= maxLines && i + 1 < lines.size())
      lines[i + 1] = rest + " " + lines[i + 1];  // the box is full: the rest joins the next line
    else
      lines.insert(lines.begin() + static_cast<long>(i) + 1, rest);
  }
  if (result == 2 && static_cast<int>(lines.size()) > maxLines) result = -1;
  const std::string out = joinLines(lines);
  std::snprintf(text, kTextCap, "%s", out.c_str());
  return result;
}

int pal_CheckTextToFitEditRect(const char* text, int32_t maxWidth, int lines) {
  const std::vector<std::string> all = splitLines(text);
  bool tooWide = false;
  for (const std::string& l : all) tooWide = tooWide || widthOf(l) >= maxWidth;
  const bool tooMany = static_cast<int>(all.size()) > lines;
  if (tooWide && tooMany) return -3;
  if (tooWide) return -2;
  return tooMany ? 0 : 1;
}

void pal_FindTextCharAtMaxWid(const char* text, int32_t maxWidth, int32_t out[2], const char* direction) {
  const std::string s = text;
  const bool fromStart = direction != nullptr && direction[0] == 'R';
  int32_t n = 0;
  while (n < static_cast<int32_t>(s.size())) {
    const std::string part = fromStart ? s.substr(0, static_cast<size_t>(n) + 1) : s.substr(s.size() - n - 1);
    if (widthOf(part) >= maxWidth) break;
    ++n;
  }
  out[1] = n;
  out[0] = 0;
  for (int32_t i = 0; i < n; ++i) {
    const size_t at = fromStart ? static_cast<size_t>(i) : s.size() - n + i;
    if (s[at] == ' ') out[0] = static_cast<int32_t>(at);
  }
}

int32_t pal_GetTextLineAndLengthInTextBlock(const char* text, char* dst, int line, int32_t* start) {
  const std::vector<std::string> all = splitLines(text);
  if (dst != nullptr) dst[0] = '\0';
  if (line < 0 || line >= static_cast<int>(all.size())) return -1;
  if (dst != nullptr) std::memcpy(dst, all[line].c_str(), all[line].size() + 1);
  if (start != nullptr) *start = lineStart(text, line);
  return widthOf(all[line]);
}

int pal_ShortenOrLengthenString(char* string, int32_t position, int32_t remove, int32_t capacity,
                                const char* insert) {
  const auto len = static_cast<int32_t>(std::strlen(string));
  if (position < 0 || position > len || remove < 0 || len - position < remove) return -2;
  const auto add = static_cast<int32_t>(std::strlen(insert));
  if (len - remove + add + 1 > capacity) return -1;
  std::memmove(string + position + add, string + position + remove, static_cast<size_t>(len - position - remove + 1));
  std::memcpy(string + position, insert, static_cast<size_t>(add));
  return 1;
}

bool palEditRouteEvent(int32_t event[4], char* name) {
  const int before = gpal_TextEditCurrSlot;
  switch (event[0]) {
    case PAL_EV_PRESS: {
      pal_FindClickableRectAtLocation(name, event[1], event[2]);
      const int now = gpal_TextEditCurrSlot;
      if (before >= 0 && before != now) {  // the box that lost the focus loses its caret
        gpal_TextEditCurrSlot = -1;
        redraw(before);
        gpal_TextEditCurrSlot = now;
      }
      if (now < 0) {
        if (before >= 0) palCaretTimer(false);
        return false;
      }
      if (before < 0) palCaretTimer(true);
      if (before != now) gRefusedNoticeShown = false;
      clearSelection();
      pal_TextEditHandler(event);
      return true;
    }
    case PAL_EV_RELEASE:
    case PAL_EV_MOVE:
      if (before < 0) return false;
      pal_TextEditHandler(event);
      return true;
    case PAL_EV_NO_KEY:
      gKeyWentToBox = before >= 0;
      return before >= 0;
    case PAL_EV_KEY: {
      gKeyWentToBox = before >= 0;
      if (before < 0) return false;
      // A Control or Alt key the box has no command for is the screen's
      // (Control + P on the demo screen); a key without a code stays here.
      if ((event[2] == PAL_MOD_CONTROL || event[2] == PAL_MOD_ALT) && std::strchr("ZACXV", event[3]) == nullptr)
        return false;
      if (pal_TextEditHandler(event) == 9) {
        event[0] = PAL_EV_EDIT_DONE;
        event[1] = before;
        event[2] = gpal_WinSize[1];
        return false;
      }
      return true;
    }
    case PAL_EV_TIMER:
      if (before < 0 || event[1] != PAL_CARET_TIMER) return false;
      return pal_TextEditHandler(event) == 2;
    default: return false;
  }
}
