// editor_panels.cpp: the editor's sub-screens. Each replaces the editor's
// handler and hands the window back to it when done: the help screen, the
// exit question, the frame name, "More >" with its crop change, the
// speaker note editor, dragging in the frame view, and the two frame
// inspections (compare with the prior frame, mark the recorded pointer).
#include "studio/editor/editor_panels.h"
#include "studio/editor/editor_screens.h"
#include "studio/editor/editor_state.h"
#include "studio/editor/frame_view_edits.h"
#include "studio/editor/redact_screens.h"
#include "studio/editor/redaction.h"

#include "studio/capture/demo_files.h"
#include "studio/kit/screen_kit.h"
#include "studio/kit/studio_states.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "demo/demo_overlays.h"
#include "pag/pag.h"
#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kMoreTimer = 2;  // "Save as" progress

void greyWindow() { pag_FlattenColorsToGrey(0, 0, 0, studioWinW(), studioWinH()); }

int backToEditor() {
  pal_SetNewEventHandler(editorHandler);
  return PAL_NOTHING;
}

// ---- Help --------------------------------------------------------------------------------

struct HelpTopic {
  const char* name;
  const char* text;
};
constexpr HelpTopic kHelp[] = {
    {"This Frame", nullptr},
    {"Yellow '<' and '>' Buttons",
     "'<' goes to the last frame of the previous step and '>' to the last frame of the next step. The arrow keys "
     "do the same: Left and Right by steps, Up and Down by single frames, Shift with Left or Right to the first or "
     "last frame."},
    {"Exit", "Leaves the editor for the demo screen. With unsaved changes you are asked whether to save them first."},
    {"Save",
     "Saves the demo. It works only when there are unsaved changes; it turns yellow with changes and red when many "
     "have accumulated."},
    {"TestRun",
     "Plays the demo in the frame view, starting just before the current step, so a change can be checked at once. "
     "Clicks are matched as in the finished demo. 'Stop Run' or Esc returns to the editor."},
    {"Standard / Advanced tabs",
     "Standard offers the value of the frame's first instruction and the commands. Advanced shows every instruction "
     "of the frame as a line of text that can be edited freely; lines with errors get a red pointer."},
    {"Mouseover + Set button",
     "On a click frame, enter the number of a frame of the same step that shows the screen before the pointer is "
     "over the object: the frames between are hidden and the pair becomes a mouseover."},
    {"wait _____ seconds + Set Button",
     "The wait of a timer frame: seconds with a decimal point (0.34) or milliseconds (150), from 0.01 to 9 seconds."},
    {"keypress + Set button",
     "The key a typing frame waits for: 65 to 90 (A to Z), 48 to 57 (0 to 9), 9 (Tab), 13 (Enter) or 0 (any key)."},
    {"Hide (or 'H' keyboard key)",
     "Removes the current frame from the demo. Its picture stays in the recording and 'Show All' brings it back."},
    {"Edit Note (or 'N' keyboard key)",
     "Edits the speaker note of the frame. Frames that share the note all show the change. A short click on the "
     "note in the frame view does the same; dragging it moves it."},
    {"Set Name", "Names the current frame. The name shows in the step list and in the test run's status line."},
    {"Range of Frames",
     "The commands below act on the frames from 'From frame#' to 'To frame#', both included. An empty 'To' means "
     "the 'From' frame alone."},
    {"Hide All", "Hides every frame of the range."},
    {"Show All",
     "Brings back the hidden frames of the range from the recording, at most 250 at a time. To show frames after "
     "the last visible frame, enter the last visible number first and leave the second empty."},
    {"Set Keyboard Typing", "Makes every frame of the range wait for any key press, with one shared note."},
    {"10% Faster, 10% Slower", "Shortens or lengthens the wait of every timer frame of the range by a tenth."},
    {"Set All to Match First", "Gives every timer frame of the range the wait of the first timer frame in it."},
    {"Instruction Examples",
     "'T 891' waits 891 milliseconds, then shows the next frame. '120,73,267,97 L >472' waits for a left click "
     "inside the rectangle from 120,73 to 267,97 and then shows frame number 472."},
    {"The Seven Instruction Types",
     "T wait, K keypress, L left click, R right click, U button released, M pointer moves in (mouseover), E pointer "
     "moves out."},
    {"Instruction Target",
     "'>' with a frame number after an instruction names the frame it shows; without it the next frame follows."},
    {"ExportBMP", "Writes the current frame as a bitmap file into the demo's folder, for touching up."},
    {"ImportBMP - Use with Caution!", "Reads a touched-up bitmap back into one frame or a range of frames."},
    {"Behind the 'More >' button...", "Jump to a frame, save the demo under a new name, set the home frame and the "
                                      "window's top corners. Ctrl+C there changes the crop."},
    {"Jump to Frame", "Goes to the frame of that number, or the nearest visible one."},
    {"Save as", "Saves a copy of the demo under a new name and goes on editing the copy."},
    {"Home Frame Number", "The frame Shift + Left Arrow returns to while presenting. It must be a visible frame."},
    {"Window Top Corner Rounding", "Square or rounded top corners of the presenting window."},
    {"Redact", "Ctrl+R, or 'Redact' behind 'More >'. Drag a rectangle over private data in the frame, pick the box's "
               "colour and the frames, and confirm: the pixels inside are removed from the demo's recording for good "
               "and a solid box shows there. Packages, pages and bitmaps made before are not changed."},
};
constexpr int kHelpRows = static_cast<int>(sizeof kHelp / sizeof kHelp[0]);
constexpr int32_t kHelpRowH = 21, kHelpTop = 40, kHelpTextX = 400;

std::string frameStatusHelp() {
  const int32_t f = gEditorFrame;
  char line[DEMO_TEXT_LEN + 80];
  std::string text;
  std::snprintf(line, sizeof line, "You are editing frame # %lld named '%s'. ", static_cast<long long>(gFrameData[f].frameId),
                editorTextRecord(gFrameData[f].nameText).c_str());
  text += line;
  std::snprintf(line, sizeof line, "This frame is in step %d. ", stepBounds(f).number);
  text += line;
  bool timer = false, key = false, rect = false;
  for (int32_t i = 0; i < gInstrCount; ++i) {
    if (gInstrData[i].frame != f) continue;
    (gInstrData[i].type == INSTR_TIMER ? timer : gInstrData[i].type == INSTR_KEY ? key : rect) = true;
  }
  const int kinds = timer + key + rect;
  if (kinds > 1) text += "This frame's Instructions have been edited. ";
  else if (timer) text += "This frame has Instructions for an Animation sequence. ";
  else if (key) text += "This frame has Instructions for a Typing sequence. ";
  else if (rect) text += "This frame has Instructions for a Click sequence. ";
  text += gFrameData[f].noteText > 0 ? "This frame has a Speaker Note" : "This frame has no Speaker Note";
  return text;
}

void drawHelpText(int topic) {
  // The list with the topic pointed at in yellow, then its text.
  pag_FillRect(0, 15, kHelpTop, 345, kHelpRowH * kHelpRows, 0x282F3E);
  for (int i = 0; i < kHelpRows; ++i)
    pag_DrawTextOnBuff(0, 20, kHelpTop + kHelpRowH * i, kHelp[i].name, STUDIO_FONT, i == topic ? STUDIO_YELLOW : STUDIO_WHITE);
  pag_FillRect(0, kHelpTextX - 10, 30, studioWinW() - kHelpTextX, 300, 0x282F3E);
  if (topic < 0) return;
  const std::string text = kHelp[topic].text != nullptr ? kHelp[topic].text : frameStatusHelp();
  pag_DrawTextOnBuff(0, kHelpTextX, 40, kHelp[topic].name, STUDIO_FONT_LARGE, STUDIO_YELLOW);
  demoBreakTextToBox(text.c_str(), kHelpTextX, 80, std::min(studioWinW() - 20, kHelpTextX + 560), STUDIO_FONT, STUDIO_WHITE);
}

int gHelpTopic = -1;

int helpHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START:
      pal_UnmarkAllClickableRects();
      pag_FillRect(0, 0, 0, studioWinW(), studioWinH(), 0x282F3E);
      pag_DrawTextOnBuff(0, 20, 8, "Point at a command to read about it", STUDIO_FONT, STUDIO_WHITE);
      for (int i = 0; i < kHelpRows; ++i) pal_MarkClickableRect(kHelp[i].name, 15, kHelpTop + kHelpRowH * i, 340, kHelpRowH);
      studioButton("ExitHelp", 20, kHelpTop + kHelpRowH * kHelpRows + 10, 90, 24);
      gHelpTopic = 0;
      drawHelpText(0);
      return PAL_SHOW;
    case PAL_EV_MOVE: {
      char at[PAL_NAME_LEN];
      pal_FindClickableRectAtLocation(at, event[1], event[2]);
      for (int i = 0; i < kHelpRows; ++i)
        if (studioNamed(at, kHelp[i].name) && i != gHelpTopic) {
          gHelpTopic = i;
          drawHelpText(i);
          return PAL_SHOW;
        }
      return PAL_NOTHING;
    }
    case PAL_EV_PRESS: return studioNamed(name, "ExitHelp") ? backToEditor() : PAL_NOTHING;
    case PAL_EV_KEY: return event[3] == VK_ESCAPE ? backToEditor() : PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

// ---- Exit question --------------------------------------------------------------------------

int leave(int32_t event[4]) {
  event[0] = STATE_DEMO;
  return PAL_CLOSE;
}

int exitQuestionHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    greyWindow();
    pag_DrawTextOnBuff(0, 410, 40, "The demo has changes that are not saved.", STUDIO_FONT_LARGE, STUDIO_WHITE);
    studioButton("Save and Exit", 410, 90, 140, 26);
    studioButton("Do Not Exit", 430, 140, 100, 26);
    studioButton("Exit with NO SAVE", 410, 250, 140, 26);
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (studioNamed(name, "Save and Exit")) return editorSave() == 1 ? leave(event) : backToEditor();
  if (studioNamed(name, "Do Not Exit")) return backToEditor();
  if (studioNamed(name, "Exit with NO SAVE")) {
    gEditCount = 0;
    return leave(event);
  }
  return PAL_NOTHING;
}

// ---- Frame name ------------------------------------------------------------------------------

int frameNameHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    greyWindow();
    pag_FlattenColorsToGrey(0, 430, 150, 200, 105);
    pag_DrawTextOnBuff(0, 445, 160, "Change frame name to:", STUDIO_FONT, STUDIO_WHITE);
    pal_MarkTextEditRect("FrameNameEditBox", 470, 190, 120, 18, editorTextRecord(gFrameData[gEditorFrame].nameText).c_str(), 99,
                         0xFFFFFF);
    studioButton("OK", 455, 222, 60, 24);
    studioButton("Cancel", 545, 222, 70, 24);
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (studioNamed(name, "Cancel")) return backToEditor();
  if (!studioNamed(name, "OK")) return PAL_NOTHING;
  const std::string text = editorBoxText("FrameNameEditBox");
  FrameRec& f = gFrameData[gEditorFrame];
  int32_t stored = -1;
  if (f.nameText >= DEMO_FIRST_TEXT_REC && f.nameText < DEMO_TEXT_RECS)
    stored = demoUpdateTextValue(static_cast<int32_t>(f.nameText), text.c_str());
  else if ((stored = demoStoreNewTextValue(text.c_str())) >= 0)
    f.nameText = stored;
  if (stored < 0) {
    pal_Alert(1, "Name Not Stored", "The frame name could not be stored: the demo's text table is full.");
    return backToEditor();
  }
  ++gEditCount;
  return backToEditor();
}

// ---- "More >" and the crop change -----------------------------------------------------------

void moreScreen() {
  greyWindow();
  pag_FillRect(0, 410, 30, 300, 460, 0x333333);
  pag_DrawTextOnBuff(0, 430, 45, "Jump to Frame:", STUDIO_FONT, STUDIO_WHITE);
  pal_MarkTextEditRect("JumpToEditBox", 440, 78, 140, 18, nullptr, 20, 0xFFFFFF);
  studioButton("Go", 600, 75, 60, 24);
  char caption[120];
  std::snprintf(caption, sizeof caption, "Save '%s' as:", gCurrDemoName);
  pag_DrawTextOnBuff(0, 430, 155, caption, STUDIO_FONT, STUDIO_WHITE);
  pal_MarkTextEditRect("DemoCopyEditBox", 430, 193, 180, 18, gCurrDemoName, 99, 0xFFFFFF);
  studioButton("Save", 625, 190, 60, 24);
  pag_DrawTextOnBuff(0, 430, 258, "Home Frame Number:", STUDIO_FONT, STUDIO_WHITE);
  char home[24];
  std::snprintf(home, sizeof home, "%d", homeFrameNumber());
  pal_MarkTextEditRect("HomeFrameEditBox", 440, 293, 110, 18, home, 20, 0xFFFFFF);
  studioButton("Set Number", 570, 290, 114, 24);
  pag_DrawTextOnBuff(0, 430, 355, "Window Top Corner Rounding:", STUDIO_FONT, STUDIO_WHITE);
  const int rounded = cornersRounded();
  pag_DrawTextOnBuff(0, 428, 390, "Square", STUDIO_FONT, STUDIO_WHITE);
  pag_FillRect(0, 493, 393, 12, 12, 0xEEEEEE);
  if (rounded == 0) pag_FillRect(0, 495, 395, 8, 8, 0x004444);
  pal_MarkClickableRect("wrSquare", 425, 388, 82, 22);
  pag_DrawTextOnBuff(0, 507, 390, "Rounded", STUDIO_FONT, STUDIO_WHITE);
  pag_FillRect(0, 583, 393, 12, 12, 0xEEEEEE);
  if (rounded != 0) pag_FillRect(0, 585, 395, 8, 8, 0x004444);
  pal_MarkClickableRect("wrRounded", 507, 388, 92, 22);
  studioButton("Cancel", 420, 450, 60, 26);
  studioButton("Redact", 600, 450, 90, 26);
}

int copyProgressHandler(int32_t event[4], char* name);
std::string gCopyName;

int saveAs() {
  const std::string name = editorBoxText("DemoCopyEditBox");
  if (validateDemoName(name.c_str(), 1) != 1) return PAL_NOTHING;
  if (pal_FsStat(demoFolderPath(name).c_str(), nullptr)) {
    pal_Alert(1, "Demo Exists", "A Demo of the same name already exists");
    return PAL_NOTHING;
  }
  if (pal_FindOrCreateDirectory(demoFolderPath(name).c_str()) != 1) {
    pal_Alert(1, "Unknown Error", "Cannot create new directory for Demo");
    return PAL_NOTHING;
  }
  gCopyName = name;
  startCopyDemoFiles(name);
  pal_SetNewEventHandler(copyProgressHandler);
  return PAL_NOTHING;
}

int copyProgressHandler(int32_t event[4], char* /*name*/) {
  const bool done = gCopyFilesDone.load() == 1;
  if (event[0] == PAL_EV_START) pal_SetTimer(kMoreTimer, 200, 1);
  else if (event[0] != PAL_EV_TIMER || event[1] != kMoreTimer) return PAL_NOTHING;
  if (done) {
    pal_DisableTimer(kMoreTimer);
    std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", gCopyName.c_str());
    editorSave();
    char title[120];
    std::snprintf(title, sizeof title, "Editing '%s' - Pictomira", gCurrDemoName);
    pal_SetWindowTitle(title);
    return backToEditor();
  }
  greyWindow();
  char text[80];
  std::snprintf(text, sizeof text, "Saving - %d %% complete", std::min(99, gCopyFilesPercent.load()));
  pag_FillRect(0, 0, 190, studioWinW(), 40, 0x333333);
  studioCentredText(text, studioWinW() / 2, 200, STUDIO_FONT_LARGE, STUDIO_WHITE);
  return PAL_SHOW;
}

int64_t numberIn(const char* box, bool* ok) {
  const std::string text = editorBoxText(box);
  char* end = nullptr;
  const long long n = std::strtoll(text.c_str(), &end, 10);
  *ok = end != text.c_str() && std::strspn(end, " ") == std::strlen(end);
  return n;
}

int cropChangeHandler(int32_t event[4], char* name);

int moreHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START: moreScreen(); return PAL_SHOW;
    case PAL_EV_KEY:
      if (event[2] == PAL_MOD_CONTROL && event[3] == 'C') {
        pal_SetNewEventHandler(cropChangeHandler);
        return PAL_NOTHING;
      }
      return event[3] == VK_ESCAPE ? backToEditor() : PAL_NOTHING;
    case PAL_EV_PRESS: break;
    default: return PAL_NOTHING;
  }
  bool ok = false;
  if (studioNamed(name, "Cancel")) return backToEditor();
  if (studioNamed(name, "Go")) {
    const int64_t n = numberIn("JumpToEditBox", &ok);
    if (!ok) return PAL_NOTHING;
    gEditorFrame = jumpTarget(n);
    return backToEditor();
  }
  if (studioNamed(name, "Save")) return saveAs();
  if (studioNamed(name, "Redact")) return openRedactMode();
  if (studioNamed(name, "Set Number")) {
    const int64_t n = numberIn("HomeFrameEditBox", &ok);
    const Outcome o = setHomeFrame(ok ? n : -1);
    editorShowNotices(o);
    return o.refused ? PAL_NOTHING : backToEditor();
  }
  if (studioNamed(name, "wrSquare") || studioNamed(name, "wrRounded")) {
    setCorners(studioNamed(name, "wrRounded") ? 1 : 0);
    return backToEditor();
  }
  return PAL_NOTHING;
}

int cropChangeHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    greyWindow();
    pag_FillRect(0, 410, 100, 560, 200, 0x333333);
    pag_DrawTextOnBuff(0, 430, 115, "WARNING: if all the values for the crop pass validation tests,", STUDIO_FONT,
                       STUDIO_WHITE);
    pag_DrawTextOnBuff(0, 430, 140, "Clicking 'Set Crop' will save the demo and exit Pictomira.", STUDIO_FONT,
                       STUDIO_WHITE);
    pag_DrawTextOnBuff(0, 430, 190, "Change Crop:", STUDIO_FONT, STUDIO_WHITE);
    std::string crop = gHeaderCount >= 1 ? editorTextRecord(gHeaderData[0]) : std::string();
    while (!crop.empty() && (crop.back() == '\n' || crop.back() == '\r')) crop.pop_back();
    pal_MarkTextEditRect("NewCropEditBox", 540, 192, 200, 18, crop.c_str(), 60, 0xFFFFFF);
    studioButton("Set Crop", 540, 240, 90, 24);
    studioButton("Cancel", 650, 240, 80, 24);
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (studioNamed(name, "Cancel")) return backToEditor();
  if (!studioNamed(name, "Set Crop")) return PAL_NOTHING;
  std::string text = editorBoxText("NewCropEditBox");
  const int64_t x = getLinePosValue(text.c_str(), 0), y = getLinePosValue(text.c_str(), 1);
  const int64_t w = getLinePosValue(text.c_str(), 2), h = getLinePosValue(text.c_str(), 3);
  int64_t W = 0, H = 0;
  if (!recordedScreenSize(&W, &H)) {
    pal_Alert(1, "Error", "The demo's recording cannot be read, so the crop cannot be checked.");
    return PAL_NOTHING;
  }
  int error = 0;
  if (x < 0 || x + w > W) error = 10;
  if (y < 0 || y + h > H) error = 11;
  if (w < 32 || h < 32) error = 12;
  if (error != 0) {
    char why[40];
    std::snprintf(why, sizeof why, "Err SCR-%d", error);
    pal_Alert(1, "Error", why);
    return PAL_NOTHING;
  }
  text += "\r\n";
  const int32_t record = demoStoreNewTextValue(text.c_str());
  if (record < 0) {
    pal_Alert(1, "Error", "The new crop could not be stored: the demo's text table is full. Nothing was changed.");
    return PAL_NOTHING;
  }
  const int32_t oldCrop = gHeaderCount >= 1 ? gHeaderData[0] : -1;
  if (gHeaderCount < 1) gHeaderCount = 1;
  gHeaderData[0] = record;
  if (editorSave() != 1) {  // nothing changes when the file cannot be written
    gHeaderData[0] = oldCrop;
    demoDeleteTextValue(record);
    return PAL_NOTHING;
  }
  pal_Alert(1, "Shutdown",
            "Pictomira has changed the crop of this demo and must now shutdown. You may re-start Pictomira at any "
            "time.");
  pal_EndProgram(0);
}

// ---- Speaker note editor ---------------------------------------------------------------------

int32_t gNoteBox[4];
bool gSharingRemoved = false;  // "Remove Sharing" was used: its button is gone

int noteHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    pal_UnmarkAllClickableRects();
    pal_DisableAllTimers();
    pag_FlattenColorsToGrey(0, 0, 0, EDITOR_VIEW_X, studioWinH());
    int32_t w = gCropSize[2] - 10;
    if (w >= studioWinW() - 9) w = studioWinW() - 10;
    w = std::max(60, std::min(w, studioWinW() - EDITOR_VIEW_X - 10));
    gNoteBox[0] = studioWinW() - 5 - w;
    gNoteBox[1] = studioWinH() - 174;
    gNoteBox[2] = w;
    gNoteBox[3] = 144;
    pag_FillRect(0, gNoteBox[0] - 2, gNoteBox[1] - 2, w + 4, 148, 0x000000);
    pal_MarkTextEditRect("SpeakerNoteEditBox", gNoteBox[0], gNoteBox[1], w, 144,
                         noteEditorText(gEditorFrame).c_str(), NOTE_TEXT_CAP, DEMO_NOTE_FILL);
    const int32_t centre = gNoteBox[0] + w / 2, row = gNoteBox[1] + 147;
    pag_FillRect(0, gNoteBox[0] - 2, row - 1, w + 4, 28, 0x000000);
    studioButton("OK", centre - 10 - 60, row, 60, 24);
    studioButton("Cancel", centre + 10, row, 60, 24);
    const FrameRec& f = gFrameData[gEditorFrame];
    if (!(f.noteX == DEMO_NO_POSITION && f.noteY == DEMO_NO_POSITION))
      studioButton("Reset Position", gNoteBox[0] + w - 117, row, 115, 24);
    gSharingRemoved = false;
    if (noteShared(gEditorFrame)) studioButton("Remove Sharing", gNoteBox[0] + 2, row, 120, 24);
    pal_StartTextEdit("SpeakerNoteEditBox");
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (studioNamed(name, "Cancel")) return backToEditor();
  if (studioNamed(name, "OK")) {
    bool truncated = false;
    if (!storeNoteText(gEditorFrame, editorBoxText("SpeakerNoteEditBox"), &truncated))
      pal_Alert(1, "Note Not Stored", "The speaker note could not be stored: the demo's text table is full.");
    else if (truncated)
      pal_Alert(1, "Note Too Long", "This Speaker Note is too long.  It will be truncated.");
    return backToEditor();
  }
  if (studioNamed(name, "Reset Position")) {
    resetNotePosition(gEditorFrame);
    const char* text = "Speaker Note postion will reset after OK/Cancel";
    const int32_t y = gNoteBox[1] - 210;
    pag_FillRect(0, 430, y, pal_GetTextWidth(text, STUDIO_FONT) + 20, 31, 0x444444);
    pag_DrawTextOnBuff(0, 440, y + 4, text, STUDIO_FONT, STUDIO_WHITE);
    return PAL_SHOW;
  }
  if (studioNamed(name, "Remove Sharing") && !gSharingRemoved) {
    if (!removeNoteSharing(gEditorFrame)) {
      pal_Alert(1, "Note Not Copied", "The speaker note could not be copied: the demo's text table is full.");
      return PAL_NOTHING;
    }
    // The button goes; the text typed so far stays in the box.
    pag_FillRect(0, gNoteBox[0], gNoteBox[1] + 147, 122, 26, 0x000000);
    gSharingRemoved = true;
    return PAL_SHOW;
  }
  return PAL_NOTHING;
}

// ---- Dragging in the frame view -----------------------------------------------------------------

struct Drag {
  enum Mode { Box, NewBox, Note } mode = NewBox;
  int listPos = -1;
  int32_t anchor[2] = {0, 0}, moving[2] = {0, 0}, press[2] = {0, 0}, offset[2] = {0, 0};
  std::chrono::steady_clock::time_point pressedAt;
};
Drag gDrag;

void windowToFrame(int32_t wx, int32_t wy, int32_t p[2]) {
  const int32_t scale = std::max(1, gDemoScale);
  p[0] = static_cast<int32_t>((int64_t{wx} * 1000 - int64_t{EDITOR_VIEW_X - 1} * 1000) / scale);
  p[1] = static_cast<int32_t>(int64_t{wy} * 1000 / scale);
}

void frameToWindow(int32_t fx, int32_t fy, int32_t* wx, int32_t* wy) {
  *wx = EDITOR_VIEW_X + static_cast<int32_t>(int64_t{fx} * gDemoScale / 1000);
  *wy = static_cast<int32_t>(int64_t{fy} * gDemoScale / 1000);
}

void drawDragOutline() {
  drawEditorFrameView(gEditorFrame);
  int32_t x0, y0, x1, y1;
  frameToWindow(std::min(gDrag.anchor[0], gDrag.moving[0]), std::min(gDrag.anchor[1], gDrag.moving[1]), &x0, &y0);
  frameToWindow(std::max(gDrag.anchor[0], gDrag.moving[0]), std::max(gDrag.anchor[1], gDrag.moving[1]), &x1, &y1);
  pag_DrawRectOutline(0, x0, y0, std::max(1, x1 - x0 + 1), std::max(1, y1 - y0 + 1), 0, DEMO_RED_BOX);
}

int dragHandler(int32_t event[4], char* /*name*/) {
  int32_t p[2];
  switch (event[0]) {
    case PAL_EV_START: return PAL_SHOW;
    case PAL_EV_MOVE:
      windowToFrame(event[1], event[2], p);
      if (gDrag.mode == Drag::Note) {
        gFrameData[gEditorFrame].noteX = p[0] - gDrag.offset[0];
        gFrameData[gEditorFrame].noteY = p[1] - gDrag.offset[1];
        drawEditorFrameView(gEditorFrame);
        return PAL_SHOW;
      }
      gDrag.moving[0] = p[0];
      gDrag.moving[1] = p[1];
      drawDragOutline();
      return PAL_SHOW;
    case PAL_EV_RELEASE: break;
    default: return PAL_NOTHING;
  }
  windowToFrame(event[1], event[2], p);
  ++gEditCount;
  if (gDrag.mode == Drag::Note) {
    const auto held = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                            gDrag.pressedAt).count();
    if (std::abs(p[0] - gDrag.press[0]) < 2 && std::abs(p[1] - gDrag.press[1]) < 2 && held <= 1000) {
      pal_SetNewEventHandler(noteHandler);
      return PAL_NOTHING;
    }
    spreadNotePosition(gEditorFrame);
    return backToEditor();
  }
  int32_t rect[4];
  if (gDrag.mode == Drag::Box) {
    dragRectangle(gDrag.anchor, p, rect);
    moveBox(gDrag.listPos, rect);
  } else if (!addBox(gDrag.anchor, p)) {
    gEditCount = std::max(0, gEditCount - 1);
  }
  return backToEditor();
}

}  // namespace

int openHelpScreen() {
  pal_SetNewEventHandler(helpHandler);
  return PAL_NOTHING;
}

int openNoteEditor() {
  pal_SetNewEventHandler(noteHandler);
  return PAL_NOTHING;
}

int openFrameNameScreen() {
  pal_SetNewEventHandler(frameNameHandler);
  return PAL_NOTHING;
}

int openMoreScreen() {
  pal_SetNewEventHandler(moreHandler);
  return PAL_NOTHING;
}

int leaveEditorOrAsk(int32_t event[4]) {
  if (gEditCount < 1) return leave(event);
  pal_SetNewEventHandler(exitQuestionHandler);
  return PAL_NOTHING;
}

int startFrameViewDrag(int32_t event[4]) {
  if (gFrameCount < 1) return PAL_NOTHING;
  gDrag = Drag{};
  windowToFrame(event[1], event[2], gDrag.press);
  gDrag.pressedAt = std::chrono::steady_clock::now();
  const int32_t* p = gDrag.press;
  // The note's box as last drawn into the frame, in frame pixels.
  const int32_t n0[2] = {gNoteRect[0], gNoteRect[1]};
  const int32_t n1[2] = {gNoteRect[0] + gNoteRect[2], gNoteRect[1] + gNoteRect[3]};
  const bool noteShown = gNoteRect[2] > 0 && gNoteRect[3] > 0;
  pal_SetNewEventHandler(dragHandler);
  if (noteShown && p[0] >= n0[0] && p[0] <= n1[0] && p[1] >= n0[1] && p[1] <= n1[1]) {
    gDrag.mode = Drag::Note;
    gDrag.offset[0] = p[0] - n0[0];
    gDrag.offset[1] = p[1] - n0[1];
    return PAL_NOTHING;
  }
  demoLoadFrameInstructionsToMemory(gEditorFrame);
  gDrag.listPos = findBoxCorner(p, gDrag.anchor, gDrag.moving);
  if (gDrag.listPos >= 0) {
    gDrag.mode = Drag::Box;
    drawDragOutline();
    return PAL_SHOW;
  }
  gDrag.mode = Drag::NewBox;
  gDrag.anchor[0] = gDrag.moving[0] = p[0];
  gDrag.anchor[1] = gDrag.moving[1] = p[1];
  return PAL_NOTHING;
}

int compareWithPriorFrame() {
  const int32_t f = gEditorFrame;
  if (f < 1) {
    pal_Alert(1, "No prior frame", "There is no prior frame to compare with");
    return PAL_NOTHING;
  }
  const int32_t w = gCropSize[2], h = gCropSize[3];
  std::vector<unsigned char> a(size_t{3} * w * h), b(a.size());
  const std::string path = editorRecordingPath();
  if (demoRecframeCroppedToMembuff(path.c_str(), gFrameData[f].imageRefA, gFrameData[f].imageRefB, gCropSize, a.data(),
                                   3, 1) < 0 ||
      demoRecframeCroppedToMembuff(path.c_str(), gFrameData[f - 1].imageRefA, gFrameData[f - 1].imageRefB, gCropSize,
                                   b.data(), 3, 1) < 0) {
    pal_Alert(1, "Cannot Compare", "The two frames cannot be read from the demo's recording.");
    return PAL_NOTHING;
  }
  int32_t x0 = w, y0 = h, x1 = -1, y1 = -1;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t at = size_t{3} * (static_cast<size_t>(y) * w + x);
      if (a[at] == b[at] && a[at + 1] == b[at + 1] && a[at + 2] == b[at + 2]) continue;
      x0 = std::min(x0, x);
      x1 = std::max(x1, x);
      y0 = std::min(y0, y);
      y1 = std::max(y1, y);
    }
  if (x1 < 0) {
    pal_Alert(1, "Same as prior frame", "There is no difference from the prior frame");
    return PAL_NOTHING;
  }
  // Everything outside the difference goes green in the frame view.
  int32_t view[4], wx0, wy0, wx1, wy1;
  editorFrameViewRect(view);
  frameToWindow(x0, y0, &wx0, &wy0);
  frameToWindow(x1 + 1, y1 + 1, &wx1, &wy1);
  pag_FillRect(0, view[0], view[1], view[2], wy0 - view[1], 0x00FF00);
  pag_FillRect(0, view[0], wy1, view[2], view[1] + view[3] - wy1, 0x00FF00);
  pag_FillRect(0, view[0], wy0, wx0 - view[0], wy1 - wy0, 0x00FF00);
  pag_FillRect(0, wx1, wy0, view[0] + view[2] - wx1, wy1 - wy0, 0x00FF00);
  pal_UpdateWindowFromBuffer(nullptr);
  if (x0 == 0 && y0 == 0 && x1 == w - 1 && y1 == h - 1) {
    pal_Alert(1, "Full frame", "Entire frame is different");
  } else if (x1 - x0 + 1 <= 4 || y1 - y0 + 1 <= 4) {
    char text[120];
    std::snprintf(text, sizeof text, "Difference is: %d,%d to %d,%d", x0, y0, x1, y1);
    pal_Alert(1, "Difference is small...", text);
  }
  return PAL_SHOW;
}

int markRecordedPointer() {
  std::FILE* file = std::fopen(editorRecordingPath().c_str(), "rb");
  if (file == nullptr) return PAL_NOTHING;
  RecordLine r{};
  const bool ok = recReadRecord(file, gFrameData[gEditorFrame].imageRefB, &r, nullptr) >= 0;
  std::fclose(file);
  if (!ok) return PAL_NOTHING;
  int32_t view[4], wx, wy;
  editorFrameViewRect(view);
  frameToWindow(static_cast<int32_t>(r.mouseX - gCropSize[0]), static_cast<int32_t>(r.mouseY - gCropSize[1]), &wx, &wy);
  for (int32_t x = view[0]; x < view[0] + view[2]; ++x)
    pag_FillRect(0, x, wy, 1, 1, (x & 1) != 0 ? 0xFFFFFF : 0x000000);
  for (int32_t y = view[1]; y < view[1] + view[3]; ++y)
    pag_FillRect(0, wx, y, 1, 1, (y & 1) != 0 ? 0xFFFFFF : 0x000000);
  return PAL_SHOW;
}
