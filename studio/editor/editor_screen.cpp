// editor_screen.cpp: the editor's main screen: the step list and step
// navigation, the buttons, the Standard and Advanced tabs, the frame view,
// and the dispatch of clicks and keys to the commands on the model.
#include "studio/editor/bitmap_screens.h"
#include "studio/editor/editor_panels.h"
#include "studio/editor/editor_screens.h"
#include "studio/editor/editor_state.h"
#include "studio/editor/frame_commands.h"
#include "studio/editor/frame_view_edits.h"
#include "studio/editor/instruction_text.h"
#include "studio/editor/redact_screens.h"

#include "studio/capture/demo_files.h"
#include "studio/kit/screen_kit.h"
#include "studio/kit/studio_states.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "demo/demo_overlays.h"
#include "demo/demo_show.h"
#include "pag/pag.h"
#include "pal/pal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kListW = 161, kListTop = 31, kRowH = 22;
constexpr uint32_t kListBack = 0x444444;
constexpr uint32_t kShortWait = 0xAAAAAA;
constexpr int32_t kValueRowY = 170;

int32_t gStepClicks = 1;  // the third click on "<" or ">" reminds of the arrow keys once


bool editBoxOpen(const char* box) {
  for (int i = 0; i < PAL_EDIT_SLOTS; ++i)
    if (gpal_TextEditRects[i][0] != PAL_FREE_EDIT && std::strcmp(gpal_TextEditNames[i], box) == 0) return true;
  return false;
}

// ---- Drawing --------------------------------------------------------------------------

void tabButton(const char* label, int32_t x, int32_t w, bool selected) {
  if (selected) {
    pag_FillRect(0, x, 126, w, 25, 0x000000);
    pag_DrawTextOnBuff(0, x + (w - pal_GetTextWidth(label, STUDIO_FONT)) / 2, 128, label, STUDIO_FONT, STUDIO_WHITE);
    pal_MarkClickableRect(label, x, 126, w, 24);
  } else {
    editorPanelButton(label, x, 126, w, 24);
  }
}

void saveButton() {
  if (gEditCount <= 0) {
    pag_DrawButtonType1(0, 185, 85, 90, 24, 0x666666, 0x444444, 0x666666, 0x222222, " Save ", STUDIO_FONT, 0x888888, 1,
                        1);
  } else if (gEditCount <= 10) {
    studioButton("Save", 185, 85, 90, 24);
  } else {
    pag_DrawButtonType1(0, 185, 85, 90, 24, PAG_BUTTON_BORDER_TOP, PAG_BUTTON_BORDER_BOTTOM, 0xFF0000, 0xFF8888, "Save",
                        STUDIO_FONT, PAG_BUTTON_LABEL, 1, 1);
  }
}

bool shortWaitRow(int32_t f) {
  demoLoadFrameInstructionsToMemory(f);
  const bool one = gCurrInstrList[0] >= 0 && gCurrInstrList[1] < 0;
  const bool result = one && gInstrData[gCurrInstrList[0]].type == INSTR_TIMER &&
                      gInstrData[gCurrInstrList[0]].v[0] <= 499 && gInstrData[gCurrInstrList[0]].target == -1 &&
                      editorTextRecord(gFrameData[f].nameText) == "wait";
  return result;
}

void drawStepList(int32_t frame, const StepBounds& step) {
  pag_FillRect(0, 0, kListTop, kListW, studioWinH() - kListTop, kListBack);
  const int32_t rows = std::max(1, (studioWinH() - 27) / kRowH);
  const int32_t length = step.last - step.first + 1;
  int32_t top = step.first;
  if (length > rows) {
    top = step.last - rows + 1;
    if (frame < top) top = frame;
  }
  for (int32_t r = 0; r < rows && top + r <= step.last; ++r) {
    const int32_t f = top + r;
    char row[DEMO_TEXT_LEN + 40];
    std::snprintf(row, sizeof row, "%lld: %s", static_cast<long long>(gFrameData[f].frameId),
                  editorTextRecord(gFrameData[f].nameText).c_str());
    const uint32_t colour = f == frame ? STUDIO_YELLOW : shortWaitRow(f) ? kShortWait : STUDIO_WHITE;
    pag_DrawTextOnBuff(0, 5, kListTop + kRowH * r, row, STUDIO_FONT, colour);
  }
  if (top > step.first) pag_DrawTextOnBuff(0, 149, 23, "+", STUDIO_FONT_LARGE, STUDIO_WHITE);
  if (top + rows <= step.last) pag_DrawTextOnBuff(0, 149, studioWinH() - 5 - 22, "+", STUDIO_FONT_LARGE, STUDIO_WHITE);
  demoLoadFrameInstructionsToMemory(frame);
}

// The first row the step list shows for frame.
int32_t listTop(int32_t frame, const StepBounds& step) {
  const int32_t rows = std::max(1, (studioWinH() - 27) / kRowH);
  if (step.last - step.first + 1 <= rows) return step.first;
  return std::min(frame, step.last - rows + 1);
}

void drawValueRow(int32_t frame) {
  if (gCurrInstrList[0] < 0) return;
  const InstrRec& first = gInstrData[gCurrInstrList[0]];
  char value[40];
  switch (first.type) {
    case INSTR_TIMER:
      pag_DrawTextOnBuff(0, 178, kValueRowY, "wait", STUDIO_FONT, STUDIO_WHITE);
      std::snprintf(value, sizeof value, "%.2f", first.v[0] / 1000.0);
      pal_MarkTextEditRect("TimerEditBox", 216, kValueRowY + 2, 60, 18, value, 20, 0xFFFFFF);
      pag_DrawTextOnBuff(0, 280, kValueRowY, "seconds", STUDIO_FONT, STUDIO_WHITE);
      break;
    case INSTR_KEY:
      pag_DrawTextOnBuff(0, 172, kValueRowY, "keypress:", STUDIO_FONT, STUDIO_WHITE);
      std::snprintf(value, sizeof value, "%ld", static_cast<long>(first.v[0]));
      pal_MarkTextEditRect("KeypressEditBox", 250, kValueRowY + 2, 70, 18, value, 20, 0xFFFFFF);
      break;
    case INSTR_LEFT:
    case INSTR_MOVE_IN:
      if (frame < 1) return;
      pag_DrawTextOnBuff(0, 170, kValueRowY, "Mouseover:", STUDIO_FONT, STUDIO_WHITE);
      std::snprintf(value, sizeof value, "%lld",
                    static_cast<long long>(gFrameData[first.type == INSTR_MOVE_IN ? frame : frame - 1].frameId));
      pal_MarkTextEditRect("MouseoverEditBox", 256, kValueRowY + 2, 70, 18, value, 20, 0xFFFFFF);
      break;
    default: return;
  }
  studioButton("Set", 337, kValueRowY - 1, 50, 24);
}

void drawStandardTab(int32_t frame, const std::string& from, const std::string& to) {
  drawValueRow(frame);
  studioButton("Hide", 181, 215, 90, 24);
  studioButton("Set Name", 286, 215, 90, 24);
  studioButton("ExportBMP", 181, 255, 90, 24);
  studioButton("Edit Note", 286, 255, 90, 24);
  pag_FillRect(0, 169, 313, 224, 2, 0x888888);
  pag_DrawTextOnBuff(0, 170, 320, "Range of Frames:", STUDIO_FONT, STUDIO_WHITE);
  pag_DrawTextOnBuff(0, 185, 360, "From frame#:", STUDIO_FONT, STUDIO_WHITE);
  pal_MarkTextEditRect("FromFrameEditBox", 290, 362, 80, 18, from.c_str(), 99, 0xFFFFFF);
  pag_DrawTextOnBuff(0, 204, 390, "To frame#:", STUDIO_FONT, STUDIO_WHITE);
  pal_MarkTextEditRect("ToFrameEditBox", 290, 392, 80, 18, to.c_str(), 99, 0xFFFFFF);
  studioButton("Hide All", 181, 435, 90, 24);
  studioButton("Show All", 286, 435, 90, 24);
  studioButton("Import BMP", 181, 475, 90, 24);
  studioButton("Set Typing", 286, 475, 90, 24);
  pag_DrawTextOnBuff(0, 175, 535, "All 'wait' frames:", STUDIO_FONT, 0x999999);
  studioButton("10% Faster", 181, 565, 90, 24);
  studioButton("10% Slower", 286, 565, 90, 24);
  studioButton("Set All to Match First", 196, 600, 170, 24);
}

void drawAdvancedTab(int32_t frame) {
  static char text[PAL_EDIT_TEXT_LEN];
  if (buildFrameInstructionText(frame, text, sizeof text, 1) != 1) text[0] = '\0';
  pal_MarkTextEditRect("AdvancedTextEditBox", 167, 155, 228, 486, text, INSTR_TEXT_CAP, 0xFFFFFF);
}

// The frame view: the frame decoded, with its boxes, handles and note, scaled.
void frameView(int32_t frame) {
  const PlayerFlags kept = gPlayerFlags;
  gPlayerFlags.redBoxMode = gPlayerFlags.noteMode = 1;
  gPlayerFlags.statusMode = -1;
  gNoteRect[2] = gNoteRect[3] = 0;  // no note drawn yet on this frame
  int32_t view[4];
  editorFrameViewRect(view);
  showDemoFrame(frame, view, 1);
  gPlayerFlags = kept;
}

// ---- Commands --------------------------------------------------------------------------

int redraw(int keepRange = 1) {
  drawEditor(gEditorFrame, keepRange);
  return PAL_SHOW;
}

int goTo(int32_t frame) {
  gEditorFrame = std::clamp<int32_t>(frame, 0, std::max(0, gFrameCount - 1));
  return redraw(0);
}

int stepButton(int32_t target) {
  if (stepClickReminds(&gStepClicks)) {
    pal_Alert(1, "Reminder...", "Keyboard arrow keys can also be used to move from step to step");
  }
  return goTo(target);
}

int save() {
  if (demoDataWrite(demoFilePath(gCurrDemoName, ".DMD"), DMD_VERSION) != 1) {
    char text[400];
    std::snprintf(text, sizeof text,
                  "The demo '%s' could not be saved. Your edits are kept: make room on the disk and click Save again.",
                  gCurrDemoName);
    pal_Alert(1, "Save Failed", text);
    return 0;
  }
  gEditCount = 0;
  return 1;
}

int onSet() {
  if (gCurrInstrList[0] < 0) return PAL_NOTHING;
  InstrRec& first = gInstrData[gCurrInstrList[0]];
  if (first.type == INSTR_TIMER) {
    const int32_t ms = parseWaitText(editorBoxText("TimerEditBox").c_str());
    if (ms < 0) {
      pal_Alert(1, "Bad Wait Time",
                "Wait Times may be fractional seconds entered as decimals (such as 0.34) or as milliseconds"
                "  (such as 150 for 0.15 seconds).  They may not be less than 0.01 or more than 9 seconds.");
      return PAL_NOTHING;
    }
    first.v[0] = ms;
  } else if (first.type == INSTR_KEY) {
    const int32_t key = parseKeypressText(editorBoxText("KeypressEditBox").c_str());
    if (key < 0) {
      pal_Alert(1, "Bad Keypress Code",
                "Keypress code values must be 65 to 90 (A to Z keys) or 48 to 57 (0 to 9 keys)"
                " or 9 (TAB key) or 13 (ENTER key) or 0 (any key).");
      return PAL_NOTHING;
    }
    first.v[0] = key;
  } else if (first.type == INSTR_LEFT || first.type == INSTR_MOVE_IN) {
    const std::string text = editorBoxText("MouseoverEditBox");
    const long long n = std::atoll(text.c_str());
    if (n == 0 && (text.empty() || text[0] != '0')) return redraw();
    editorShowNotices(setMouseover(n));
    return redraw();
  } else {
    return PAL_NOTHING;
  }
  ++gEditCount;
  return redraw();
}

int afterRange(const Outcome& o, RangeCommand command, bool keepRange) {
  editorShowNotices(o);
  // A refusal changed nothing, but "Show All" had greyed the window: the
  // editor comes back with the range as the author typed it.
  if (o.refused) return redraw();
  drawEditor(gEditorFrame, keepRange ? 1 : 0);
  editorMessage(rangeMessage(command, o.count).c_str());
  return PAL_SHOW;
}

int onRange(const char* name) {
  const std::string from = editBoxOpen("FromFrameEditBox") ? editorBoxText("FromFrameEditBox") : std::string();
  const std::string to = editorBoxText("ToFrameEditBox");
  if (std::strcmp(name, "Hide All") == 0) return afterRange(hideRange(from.c_str(), to.c_str()), RangeCommand::Hide, false);
  if (std::strcmp(name, "Show All") == 0) {
    pag_FlattenColorsToGrey(0, 0, 0, studioWinW(), studioWinH());
    pal_UpdateWindowFromBuffer(nullptr);
    return afterRange(showRange(from.c_str(), to.c_str(), editorRecordingPath()), RangeCommand::Show, false);
  }
  if (std::strcmp(name, "Set Typing") == 0)
    return afterRange(setTyping(from.c_str(), to.c_str()), RangeCommand::Typing, false);
  if (std::strcmp(name, "10% Faster") == 0)
    return afterRange(adjustTiming(from.c_str(), to.c_str(), Timing::Faster), RangeCommand::Faster, true);
  if (std::strcmp(name, "10% Slower") == 0)
    return afterRange(adjustTiming(from.c_str(), to.c_str(), Timing::Slower), RangeCommand::SlowerOrMatch, true);
  return afterRange(adjustTiming(from.c_str(), to.c_str(), Timing::MatchFirst), RangeCommand::SlowerOrMatch, false);
}

// The Advanced box shows the text as it was taken (its letters upper-cased
// by the check), with the caret where it was.
void showTakenText(const char* taken) {
  for (int i = 0; i < PAL_EDIT_SLOTS; ++i) {
    if (gpal_TextEditRects[i][0] == PAL_FREE_EDIT || std::strcmp(gpal_TextEditNames[i], "AdvancedTextEditBox") != 0)
      continue;
    char* shown = gpal_TextEditHolders[i];
    if (std::strlen(shown) != std::strlen(taken) || std::strcmp(shown, taken) == 0) return;
    std::memcpy(shown, taken, std::strlen(taken));
    pal_DrawTextEditRect(i, shown, gpal_TextEditRects[i][5], static_cast<uint32_t>(gpal_TextEditRects[i][4]));
    return;
  }
}

bool isRangeCommand(const char* name) {
  for (const char* c : {"Hide All", "Show All", "Set Typing", "10% Faster", "10% Slower", "Set All to Match First"})
    if (std::strcmp(name, c) == 0) return true;
  return false;
}

int onHide() {
  const Outcome o = hideCurrentFrame();
  editorShowNotices(o);
  return o.refused ? PAL_NOTHING : redraw();
}

// The Advanced text is applied before commands while its tab shows; false
// when it has errors (the notice is then on the screen).
bool advancedTextApplied() {
  if (gEditorTab != 2 || !editBoxOpen("AdvancedTextEditBox")) return true;
  return applyAdvancedText(1) == 0;
}

int onListClick(int32_t y) {
  const StepBounds step = stepBounds(gEditorFrame);
  const int32_t f = listTop(gEditorFrame, step) + (y - kListTop) / kRowH;
  return goTo(f <= step.last ? f : gEditorFrame);
}

// Every command but "Undo Edits" (and "Set", which the Advanced tab does
// not show) takes the typed Advanced text first, so none drops it unseen:
// the help and the note editor redraw the editor when they return, and a
// drag in the frame view edits the instructions the text describes.
int onPress(int32_t event[4], const char* name) {
  if (std::strcmp(name, "Undo Edits") == 0) return redraw();
  if (std::strcmp(name, "Set") == 0) return onSet();
  if (name[0] == '\0') {
    const bool view = event[1] >= EDITOR_VIEW_X, list = event[1] < kListW && event[2] >= kListTop;
    if (!view && !list) return PAL_NOTHING;
    if (!advancedTextApplied()) return PAL_SHOW;
    return view ? startFrameViewDrag(event) : onListClick(event[2]);
  }
  if (!advancedTextApplied()) return PAL_SHOW;
  if (std::strcmp(name, "Help") == 0) return openHelpScreen();
  if (std::strcmp(name, "<") == 0) return stepButton(previousStepTarget(gEditorFrame));
  if (std::strcmp(name, ">") == 0) return stepButton(nextStepTarget(gEditorFrame));
  if (std::strcmp(name, "Exit") == 0) return leaveEditorOrAsk(event);
  if (std::strcmp(name, "Save") == 0 || std::strcmp(name, " Save ") == 0) {
    if (gEditCount > 0) save();
    return redraw();
  }
  if (std::strcmp(name, "TestRun") == 0) {
    pal_SetNewEventHandler(testRunHandler);
    return PAL_NOTHING;
  }
  if (std::strcmp(name, "Standard") == 0 || std::strcmp(name, "Advanced") == 0) {
    gEditorTab = name[0] == 'S' ? 1 : 2;
    return redraw();
  }
  if (std::strcmp(name, "ExportBMP") == 0) return exportBitmapCommand();
  if (std::strcmp(name, "Import BMP") == 0) return importBitmapCommand();
  if (std::strcmp(name, "Edit Note") == 0) return openNoteEditor();
  if (std::strcmp(name, "Hide") == 0) return onHide();
  if (std::strcmp(name, "Set Name") == 0) return openFrameNameScreen();
  if (std::strcmp(name, "More >") == 0) return openMoreScreen();
  if (isRangeCommand(name)) return onRange(name);
  return PAL_NOTHING;
}

int onKey(int32_t event[4]) {
  const int32_t vk = event[3], mod = event[2];
  if (!advancedTextApplied()) return PAL_SHOW;
  if (mod == PAL_MOD_NONE && vk == 'H') return onHide();
  if (mod == PAL_MOD_NONE && vk == 'N') return openNoteEditor();
  if (mod == PAL_MOD_CONTROL) {
    if (vk == 'D') return compareWithPriorFrame();
    if (vk == 'M') return markRecordedPointer();
    if (vk == 'E') return exportBitmapCommand();
    if (vk == 'I') return importBitmapCommand();
    if (vk == 'R') return openRedactMode();
    return PAL_NOTHING;
  }
  const int32_t last = std::max(0, gFrameCount - 1);
  const bool shift = mod == PAL_MOD_SHIFT;
  switch (vk) {
    case VK_LEFT: return shift ? goTo(0) : goTo(previousStepTarget(gEditorFrame));
    case VK_RIGHT: return shift ? goTo(last) : goTo(rightArrowTarget(gEditorFrame));
    case VK_UP: return goTo(gEditorFrame - 1);
    case VK_DOWN: return goTo(std::min(last, gEditorFrame + 1));
    default: return PAL_NOTHING;
  }
}

}  // namespace

// ---- Shared with the panels ----------------------------------------------------------------

std::string editorTextRecord(int64_t record) {
  char text[DEMO_TEXT_LEN] = "";
  if (record >= DEMO_FIRST_TEXT_REC && record < DEMO_TEXT_RECS) demoGetTextValue(static_cast<int32_t>(record), text);
  return text;
}

std::string editorBoxText(const char* box) {
  static char text[PAL_EDIT_TEXT_LEN];
  pal_GetMarkedTextEdit(box, text);
  return text;
}

void editorPanelButton(const char* label, int32_t x, int32_t y, int32_t w, int32_t h) {
  pag_DrawButtonType1(0, x, y, w, h, 0x5A667C, 0x3A465C, 0x767D98, 0x3A465C, label, STUDIO_FONT, 0xF0F0F0, 1,
                      std::max(0, (h - 22) / 2));
}

void editorMessage(const char* text) {
  pag_FillRect(0, 430, 30, pal_GetTextWidth(text, STUDIO_FONT) + 20, 31, 0x444444);
  pag_DrawTextOnBuff(0, 440, 34, text, STUDIO_FONT, STUDIO_WHITE);
}

void editorFrameViewRect(int32_t view[4]) {
  view[0] = EDITOR_VIEW_X;
  view[1] = 0;
  view[2] = std::max<int32_t>(1, static_cast<int32_t>(int64_t{gCropSize[2]} * gDemoScale / 1000));
  view[3] = std::max<int32_t>(1, static_cast<int32_t>(int64_t{gCropSize[3]} * gDemoScale / 1000));
}

int editorSave() { return save(); }

void editorShowNotices(const Outcome& o) {
  for (int i = 0; i < o.noticeCount; ++i) pal_Alert(1, o.notices[i].title.c_str(), o.notices[i].text.c_str());
}

int applyAdvancedText(int commit) {
  static char text[PAL_EDIT_TEXT_LEN];
  pal_GetMarkedTextEdit("AdvancedTextEditBox", text);
  AdvancedTextCheck check = checkAdvancedText(text);
  for (int line : check.badLines)
    pag_DrawTrianglePointer(0, 171, 163 + 18 * line, 9, 2, "R", 0xCC0000);
  if (!check.refusal.empty()) pal_Alert(1, "Instructions Not Accepted", check.refusal.c_str());
  const int errors = check.errors();
  if (commit == 1 && errors == 0) {
    const int done = commitAdvancedRecords(check.records);
    if (done == -3) {
      char why[80];
      std::snprintf(why, sizeof why, "VTI ERR-003 (%ld vs %ld)", static_cast<long>(gEditorFrame),
                    static_cast<long>(check.records.empty() ? -1 : check.records[0].frame));
      pal_FatalAlert("FATAL Err", why);
    }
    if (done == -2) {
      pal_Alert(1, "Instructions Not Accepted", "The demo's instruction table cannot hold these instructions.");
      return 1;
    }
    showTakenText(text);
  }
  if (errors > 0) {
    drawSyntaxErrorPanel(errors);
    pal_UpdateWindowFromBuffer(nullptr);
  }
  return errors;
}

void drawSyntaxErrorPanel(int errorCount) {
  if (errorCount > 0) {
    pag_FlattenColorsToGrey(0, 430, 30, 320, 155);
    static const char* const kOne[] = {"An instruction line has a syntax error,", "as shown by the red pointer next to it.",
                                       "Please fix it or click 'Undo Edits' to", "undo all changes."};
    static const char* const kMany[] = {"Instruction lines have syntax errors,", "as shown by red pointers next to them.",
                                        "Please fix them or click 'Undo Edits' to", "undo all changes."};
    const char* const* lines = errorCount == 1 ? kOne : kMany;
    const int32_t ys[] = {40, 65, 100, 125};
    for (int i = 0; i < 4; ++i) pag_DrawTextOnBuff(0, 450, ys[i], lines[i], STUDIO_FONT, STUDIO_WHITE);
  }
  studioButton("Undo Edits", 600, 140, 90, 24);
}

StepBounds stepOf(int32_t frame) {
  const StepBounds step = stepBounds(frame);
  drawStepList(frame, step);
  return step;
}

void drawEditor(int32_t frame, int keepRange) {
  std::string from, to;
  if (keepRange == 1) {
    from = editorBoxText("FromFrameEditBox");
    to = editorBoxText("ToFrameEditBox");
  }
  gEditorFrame = frame = std::clamp<int32_t>(frame, 0, std::max(0, gFrameCount - 1));
  pal_UnmarkAllClickableRects();
  pag_FillRect(0, 0, 0, EDITOR_VIEW_X, studioWinH(), 0x282F3E);
  const StepBounds step = stepOf(frame);
  studioButton("<", 90, 6, 20, 20);
  studioButton(">", 300, 6, 20, 20);
  char title[60];
  std::snprintf(title, sizeof title, " Step %d (%ld %%)", step.number,
                static_cast<long>((int64_t{frame} + 1) * 100 / std::max(1, gFrameCount)));
  pag_DrawTextOnBuff(0, 135, 0, title, STUDIO_FONT_LARGE, STUDIO_WHITE);
  editorPanelButton("Help", 185, 50, 90, 24);
  editorPanelButton("Exit", 290, 50, 90, 24);
  saveButton();
  editorPanelButton("TestRun", 290, 85, 90, 24);
  pag_FillRect(0, 164, 151, 233, 494, 0x000000);
  tabButton("Standard", 164, 90, gEditorTab == 1);
  tabButton("Advanced", 258, 105, gEditorTab == 2);
  demoLoadFrameInstructionsToMemory(frame);
  if (gEditorTab == 2)
    drawAdvancedTab(frame);
  else
    drawStandardTab(frame, from, to);
  editorPanelButton("More >", 332, 646, 65, 24);
  frameView(frame);
  demoLoadFrameInstructionsToMemory(frame);
}

void drawEditorFrameView(int32_t frame) { frameView(frame); }

void editorWindowSize(int32_t* w, int32_t* h) {
  int32_t work[4];
  pal_GetAvailableScreenPixels(1, work);
  const int32_t fx = pal_GetWindowBorderThickness(0), fy = pal_GetWindowBorderThickness(3);
  const int32_t caption = std::max(0, pal_GetWindowBorderThickness(1) - fy);
  const int64_t width = int64_t{work[2]} - work[0] - EDITOR_VIEW_X - 2 * fx;
  const int64_t avail = int64_t{work[3]} - work[1] - caption - 2 * fy;
  int64_t scale = 1000;
  if (gCropSize[2] > 0 && gCropSize[3] > 0)
    scale = std::min<int64_t>({width * 1000 / gCropSize[2], avail * 1000 / gCropSize[3], 1000});
  if (scale < 1) {
    // A screen too small for any view: the frames are shown at the smallest scale.
    pal_Alert(1, "Screen Too Small",
              "The screen is too small to show this demo's frames beside the editor's panels; they are shown at "
              "the smallest size.");
    scale = 1;
  }
  gDemoScale = static_cast<int32_t>(scale);
  const int64_t viewW = int64_t{gCropSize[2]} * scale / 1000, viewH = int64_t{gCropSize[3]} * scale / 1000;
  *w = static_cast<int32_t>(std::max<int64_t>(viewW + EDITOR_VIEW_X, EDITOR_MIN_W));
  *h = static_cast<int32_t>(std::max<int64_t>(std::min<int64_t>(viewH + 180, avail), EDITOR_MIN_H));
}

int editorHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START: {
      pal_UnmarkAllClickableRects();
      pal_DisableAllTimers();
      std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(editorRecordingPath().c_str(), "rb"), std::fclose);
      if (!f) pal_FatalAlert("Fatal Editor Error", "Err E42");
      useStudioFrameSource();
      char title[120];
      std::snprintf(title, sizeof title, "Editing '%s' - Pictomira", gCurrDemoName);
      pal_SetWindowTitle(title);
      pag_FillRect(0, EDITOR_VIEW_X, 0, studioWinW() - EDITOR_VIEW_X, studioWinH(), 0x000000);
      drawEditor(gEditorFrame, 1);
      return PAL_SHOW;
    }
    case PAL_EV_PRESS: return onPress(event, name);
    case PAL_EV_KEY: return onKey(event);
    case PAL_EV_EDIT_DONE:
      if (!advancedTextApplied()) return PAL_SHOW;
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}
