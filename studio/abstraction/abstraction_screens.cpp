// abstraction_screens.cpp: the screens of state 30. The analysis and the
// step building run on workers that own the model until their progress
// reaches 1000; until then these screens read only the progress. The crop
// the author sets by hand always stays inside the recorded screen and at
// least MIN_CROP_SIDE pixels wide and high, so every frame can be cut to it.
#include "studio/abstraction/abstraction_screens.h"

#include "studio/abstraction/abstraction.h"
#include "studio/capture/demo_files.h"
#include "studio/editor/redaction.h"
#include "studio/kit/screen_kit.h"
#include "studio/kit/studio_states.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pag/pag.h"
#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kPreviewSlot = 1;  // the preview frame cut to the crop
constexpr int kScreenSlot = 2;   // the preview frame's whole recorded screen
constexpr int32_t kCheckSquare = 36;
constexpr int32_t kMinDrag = 40;  // screen pixels a drag must span both ways
constexpr int32_t kImageTop = 28;  // the manual crop's image, below its instruction line
constexpr int32_t kZoom = 7, kZoomSpan = 45, kZoomHalf = kZoomSpan / 2;  // the fine-tuning views
constexpr int32_t kViewSide = kZoom * kZoomSpan, kViewTop = 100, kArrowSide = 32;
constexpr int32_t kViewLeft[2] = {75, 510};  // upper-left view, lower-right view
constexpr uint32_t kEdgeColour = 0xFF3030, kTipColour = STUDIO_YELLOW;
constexpr int32_t kNameRowY = 230, kProgressY = 170, kHeadingY = 110;

constexpr const char* kCropHelp =
    "During Capture, Pictomira records the entire screen of the primary monitor as a "
    "series of frames.  For presentation, however, "
    "most demos need to show only a single window (and possibly additional "
    "windows that pop up in front of the main demo window and within the same screen "
    "rectangle).\n\n\nDuring Abstraction, "
    "Pictomira automatically chooses the main demo window and crops off the rest of the "
    "desktop from every frame in the capture.  Pictomira usually selects the correct "
    "rectangle, but if the image shown during abstraction is "
    "not the window you want to show in your demo, click 'Change the Crop' to set a new "
    "rectangle on the desktop to use for creating the demo.";
constexpr const char* kManualHelpStart =
    "To set the crop rectangle, click in one corner of the rectangle you want to keep "
    "and drag to the opposite corner of the rectangle to keep.  Pictomira will then "
    " zoom in so you can fine-tune the corner locations.  More details about "
    "cropping...\n\n\n ";

// ---- State of the abstraction -------------------------------------------------------
bool gConfirming = false;     // the analysis has ended and the crop is shown
int32_t gPreviewFrame = 0;    // the frame the confirmation and manual crop show
int32_t gSavedCrop[4] = {0, 0, 0, 0};  // restored by the manual crop's "Cancel"

// The manual crop's image and drag, in window pixels.
struct ManualCrop {
  int64_t scale = 1000;
  int32_t x = 0, y = 0, w = 0, h = 0;
  bool dragging = false, bandShown = false;
  int32_t anchor[2] = {0, 0}, corner[2] = {0, 0};
} gManual;

// The naming screen.
int gBestProgress = 0;      // the highest step-building progress seen
bool gNameAccepted = false;
bool gWriteNotes = true;       // "Write step notes"
bool gRedactPasswords = true;  // "Redact password fields"

void releaseBuffers() {
  pal_DestroyWinBuff(kPreviewSlot);
  pal_DestroyWinBuff(kScreenSlot);
}

// Ends the window with the next state of the main loop.
int leaveWith(int32_t event[4], int state) {
  pal_DisableAllTimers();
  releaseBuffers();
  event[0] = state;
  return PAL_CLOSE;
}

void back() { pal_SetNewEventHandler(abstractionScreenHandler); }

// Rebuilds frame f cut to gCropSize into slot (black where it cannot be rebuilt).
void decodeFrame(int32_t f, int slot) {
  if (gCropSize[2] < 1 || gCropSize[3] < 1) return;
  pal_InitWinBuf(slot, gCropSize[2], gCropSize[3]);
  pag_FillRect(slot, 0, 0, gCropSize[2], gCropSize[3], 0x000000);
  if (f < 0 || f >= gFrameCount) return;
  const int64_t got = demoRecFrameCroppedToPALbuff(captureSlotPath(".DMR").c_str(), gFrameData[f].imageRefA,
                                                   gFrameData[f].imageRefB, slot);
  if (got < 0) std::printf("abstraction: frame %d cannot be rebuilt (%lld)\n", f, static_cast<long long>(got));
}

// Replaces a strip of the window with a centred text on the background.
void showStrip(const char* text, int32_t y, int font) {
  const int32_t strip[4] = {0, y - 4, studioWinW(), 34};
  studioPaintBackground(strip[0], strip[1], strip[2], strip[3], Gradient::Rounded);
  studioCentredText(text, studioWinW() / 2, y, font, STUDIO_WHITE);
  pal_UpdateWindowFromBuffer(strip);
}

// ---- Abstraction screen ---------------------------------------------------------------

void drawAnalysing(int progress) {
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Rounded);
  studioCentredText("Analyzing the Capture", studioWinW() / 2, 240, STUDIO_FONT_LARGE, STUDIO_WHITE);
  char text[60];
  std::snprintf(text, sizeof text, "%d %% complete", progress / 10);
  studioCentredText(text, studioWinW() / 2, 290, STUDIO_FONT, STUDIO_WHITE);
}

void drawCheckerboard() {
  studioPaintWholeBackground(Gradient::Rounded);
  for (int32_t y = 0; y < studioWinH(); y += kCheckSquare)
    for (int32_t x = 0; x < studioWinW(); x += kCheckSquare)
      if ((x / kCheckSquare + y / kCheckSquare) % 2 == 0) pag_FillRect(0, x, y, kCheckSquare, kCheckSquare, 0xFFFFFF);
}

void drawConfirmation() {
  pal_UnmarkAllClickableRects();
  drawCheckerboard();
  gPreviewFrame = previewFrameIndex();
  decodeFrame(gPreviewFrame, kPreviewSlot);
  const int64_t s = confirmationScale(studioWinW(), studioWinH(), gCropSize[2], gCropSize[3]);
  const auto w = static_cast<int32_t>(gCropSize[2] * s / 1000), h = static_cast<int32_t>(gCropSize[3] * s / 1000);
  if (w >= 1 && h >= 1) pal_ScaleBufferOntoMainBuffer(kPreviewSlot, (studioWinW() - w) / 2, (studioWinH() - h) / 2 - 18, w, h);
  const int32_t row = studioWinH() - 31;
  char size[40];
  std::snprintf(size, sizeof size, "%d,%d", gCropSize[2], gCropSize[3]);
  pag_FillRect(0, 10, row, pal_GetTextWidth(size, STUDIO_FONT) + 16, 26, STUDIO_PANEL);
  pag_DrawTextOnBuff(0, 18, row + 3, size, STUDIO_FONT, STUDIO_WHITE);
  studioButton("The Crop is Correct", 280, row, 160, 26);
  studioButton("Change the Crop", 460, row, 140, 26);
  studioButton("Quit", 770, row, 54, 26);
  studioButton("Help", 830, row, 54, 26);
}

void startAnalysis() {
  pal_DisableAllTimers();
  gConfirming = false;
  gAbstractProgress = 0;
  gAbstractOutcome = ABSTRACT_OK;
  drawAnalysing(0);
  pal_BeginThread(analyseCapture);
  pal_SetTimer(ABSTRACT_TIMER, ANALYSIS_POLL_MS, 1);
}

int pollAnalysis(int32_t event[4]) {
  const int progress = gAbstractProgress.load();
  if (progress < 1000) {
    drawAnalysing(progress);
    return PAL_SHOW;
  }
  pal_DisableAllTimers();
  const int outcome = gAbstractOutcome.load();
  if (outcome == ABSTRACT_EMPTY || gFrameCount < 1) {
    pal_Alert(1, "Nothing to Abstract",
              "The capture holds nothing to abstract.  It is kept as it is until a later capture replaces it.");
    return leaveWith(event, STATE_HOME);
  }
  if (outcome == ABSTRACT_CUT) {
    char text[300];
    std::snprintf(text, sizeof text,
                  "The capture holds %lld records, more than a demo can hold.  The first %d were kept as the "
                  "frames of the demo.",
                  static_cast<long long>(gAbstractRecordsRead), gFrameCount);
    pal_Alert(1, "Capture Shortened", text);
  }
  drawConfirmation();
  gConfirming = true;
  return PAL_SHOW;
}

int onConfirmation(int32_t event[4], const char* name) {
  if (studioNamed(name, "The Crop is Correct")) pal_SetNewEventHandler(namingScreenHandler);
  else if (studioNamed(name, "Change the Crop")) pal_SetNewEventHandler(cropQuestionHandler);
  else if (studioNamed(name, "Quit")) return leaveWith(event, STATE_HOME);
  else if (studioNamed(name, "Help")) pal_Alert(1, "Change the Crop?", kCropHelp);
  return PAL_NOTHING;
}

// ---- Manual crop ------------------------------------------------------------------------

void drawManual() {
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Rounded);
  studioCentredText("Click and drag the approximate rectangle to keep in the Demo", studioWinW() / 2, 4, STUDIO_FONT,
                    STUDIO_WHITE);
  decodeFrame(gPreviewFrame, kScreenSlot);
  gManual.scale = manualCropScale(studioWinW(), studioWinH(), gRecordedW, gRecordedH);
  gManual.w = static_cast<int32_t>(gRecordedW * gManual.scale / 1000);
  gManual.h = static_cast<int32_t>(gRecordedH * gManual.scale / 1000);
  gManual.x = (studioWinW() - gManual.w) / 2;
  gManual.y = kImageTop;
  if (gManual.w >= 1 && gManual.h >= 1)
    pal_ScaleBufferOntoMainBuffer(kScreenSlot, gManual.x, gManual.y, gManual.w, gManual.h);
  gManual.dragging = gManual.bandShown = false;
  const int32_t row = studioWinH() - 27;
  if (gPreviewFrame > 0) studioButton("Frame Step <", 5, row, 110, 24);
  if (gPreviewFrame < gFrameCount - 1) studioButton("Frame Step >", 125, row, 110, 24);
  studioButton("Cancel", 385, row, 60, 24);
  studioButton("Reset", 455, row, 60, 24);
  studioButton("Help", 830, row, 54, 24);
}

bool onImage(int32_t x, int32_t y) {
  return x >= gManual.x && x < gManual.x + gManual.w && y >= gManual.y && y < gManual.y + gManual.h;
}

void clampToImage(int32_t* x, int32_t* y) {
  *x = std::clamp(*x, gManual.x, gManual.x + gManual.w - 1);
  *y = std::clamp(*y, gManual.y, gManual.y + gManual.h - 1);
}

// Complements the rubber band between anchor and corner; twice restores the image.
void toggleBand() {
  const int32_t* a = gManual.anchor;
  const int32_t* c = gManual.corner;
  const int32_t x = std::min(a[0], c[0]), y = std::min(a[1], c[1]);
  const int32_t w = std::abs(c[0] - a[0]), h = std::abs(c[1] - a[1]);
  pag_InvertDashedRectOutline(0, x, y, w, h);
  // A second outline inside the first, so the band shows on any picture.
  if (w >= 4 && h >= 4) pag_InvertDashedRectOutline(0, x + 1, y + 1, w - 2, h - 2);
  gManual.bandShown = !gManual.bandShown;
}

// Keeps a crop inside the W x H screen and at least MIN_CROP_SIDE each way.
void keepOnScreen(int32_t crop[4], int32_t W, int32_t H) {
  crop[0] = std::clamp(crop[0], 0, std::max(0, W - MIN_CROP_SIDE));
  crop[1] = std::clamp(crop[1], 0, std::max(0, H - MIN_CROP_SIDE));
  crop[2] = std::clamp(crop[2], std::min(MIN_CROP_SIDE, W), W - crop[0]);
  crop[3] = std::clamp(crop[3], std::min(MIN_CROP_SIDE, H), H - crop[1]);
}

int endDrag(int32_t x, int32_t y) {
  if (gManual.bandShown) toggleBand();
  gManual.dragging = false;
  clampToImage(&x, &y);
  const int32_t x1 = manualCropToScreen(gManual.anchor[0], gManual.x, gManual.scale);
  const int32_t y1 = manualCropToScreen(gManual.anchor[1], gManual.y, gManual.scale);
  const int32_t x2 = manualCropToScreen(x, gManual.x, gManual.scale);
  const int32_t y2 = manualCropToScreen(y, gManual.y, gManual.scale);
  if (std::abs(x2 - x1) < kMinDrag || std::abs(y2 - y1) < kMinDrag) return PAL_SHOW;  // too small: dropped
  int32_t crop[4] = {std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1)};
  keepOnScreen(crop, gRecordedW, gRecordedH);
  std::copy(crop, crop + 4, gCropSize);
  pal_SetNewEventHandler(cornerTuneHandler);
  return PAL_NOTHING;
}

int onManualButton(const char* name) {
  if (studioNamed(name, "Frame Step <") && gPreviewFrame > 0) {
    --gPreviewFrame;
    drawManual();
    return PAL_SHOW;
  }
  if (studioNamed(name, "Frame Step >") && gPreviewFrame < gFrameCount - 1) {
    ++gPreviewFrame;
    drawManual();
    return PAL_SHOW;
  }
  if (studioNamed(name, "Cancel")) {
    std::copy(gSavedCrop, gSavedCrop + 4, gCropSize);
    back();
  } else if (studioNamed(name, "Reset")) {
    gRecordedW = -1;
    back();
  } else if (studioNamed(name, "Help")) {
    pal_Alert(1, "Set the Crop Rectangle", (std::string(kManualHelpStart) + kCropHelp).c_str());
  }
  return PAL_NOTHING;
}

// ---- Corner fine-tuning -------------------------------------------------------------------

uint32_t screenPixel(int32_t sx, int32_t sy) {
  if (sx < 0 || sy < 0 || sx >= gpal_ImageBuffSize[kScreenSlot][0] || sy >= gpal_ImageBuffSize[kScreenSlot][1])
    return 0x000000;
  int32_t rgb[3];
  pal_GetBufferPixelRGB(kScreenSlot, sx, sy, rgb);
  const bool inside = sx >= gCropSize[0] && sx < gCropSize[0] + gCropSize[2] && sy >= gCropSize[1] &&
                      sy < gCropSize[1] + gCropSize[3];
  if (!inside) rgb[0] = rgb[1] = rgb[2] = (rgb[0] + rgb[1] + rgb[2]) / 6;  // cut off: greyed
  return static_cast<uint32_t>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
}

// One enlarged view: the screen around corner pixel (cx, cy) at its centre
// cell, with the crop's two edges through that corner.
void drawView(int32_t vx, int32_t cx, int32_t cy, bool upperLeft) {
  for (int32_t j = 0; j < kZoomSpan; ++j)
    for (int32_t i = 0; i < kZoomSpan; ++i)
      pag_FillRect(0, vx + i * kZoom, kViewTop + j * kZoom, kZoom, kZoom,
                   screenPixel(cx - kZoomHalf + i, cy - kZoomHalf + j));
  pag_DrawRectOutline(0, vx - 1, kViewTop - 1, kViewSide + 1, kViewSide + 1, 0, STUDIO_WHITE);
  const int32_t edge = upperLeft ? kZoomHalf * kZoom : (kZoomHalf + 1) * kZoom - 2;  // first pixel of a 2-wide line
  if (upperLeft) {
    pag_FillRect(0, vx + edge, kViewTop + edge, kViewSide - edge, 2, kEdgeColour);
    pag_FillRect(0, vx + edge, kViewTop + edge, 2, kViewSide - edge, kEdgeColour);
  } else {
    pag_FillRect(0, vx, kViewTop + edge, edge + 2, 2, kEdgeColour);
    pag_FillRect(0, vx + edge, kViewTop, 2, edge + 2, kEdgeColour);
  }
}

void arrowButton(const char* name, int32_t x, int32_t y, char direction) {
  pag_FillRect(0, x, y, kArrowSide, kArrowSide, STUDIO_PANEL);
  pag_DrawRectOutline(0, x, y, kArrowSide - 1, kArrowSide - 1, 0, 0x8C98AA);
  const char dir[2] = {direction, '\0'};
  const int32_t mid = kArrowSide / 2, tipNear = 8, tipFar = kArrowSide - 9;
  switch (direction) {
    case 'U': pag_DrawTrianglePointer(0, x + mid, y + tipNear, 14, 2, dir, kTipColour); break;
    case 'D': pag_DrawTrianglePointer(0, x + mid, y + tipFar, 14, 2, dir, kTipColour); break;
    case 'L': pag_DrawTrianglePointer(0, x + tipNear, y + mid, 14, 2, dir, kTipColour); break;
    default: pag_DrawTrianglePointer(0, x + tipFar, y + mid, 14, 2, dir, kTipColour); break;
  }
  pal_MarkClickableRect(name, x, y, kArrowSide, kArrowSide);
}

void viewArrows(const char* corner, int32_t vx) {
  const int32_t mid = (kViewSide - kArrowSide) / 2;
  const std::string c = corner;
  arrowButton((c + "_U").c_str(), vx + mid, kViewTop - kArrowSide - 8, 'U');
  arrowButton((c + "_D").c_str(), vx + mid, kViewTop + kViewSide + 8, 'D');
  arrowButton((c + "_L").c_str(), vx - kArrowSide - 8, kViewTop + mid, 'L');
  arrowButton((c + "_R").c_str(), vx + kViewSide + 8, kViewTop + mid, 'R');
}

void drawTune() {
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Rounded);
  studioCentredText("Use yellow arrows to finalize the position", studioWinW() / 2, 6, STUDIO_FONT, STUDIO_WHITE);
  studioCentredText("of the upper left and lower right corners", studioWinW() / 2, 30, STUDIO_FONT, STUDIO_WHITE);
  drawView(kViewLeft[0], gCropSize[0], gCropSize[1], true);
  drawView(kViewLeft[1], gCropSize[0] + gCropSize[2] - 1, gCropSize[1] + gCropSize[3] - 1, false);
  viewArrows("ul", kViewLeft[0]);
  viewArrows("lr", kViewLeft[1]);
  char text[120];
  std::snprintf(text, sizeof text, "Left %d, Top %d, Width %d, Height %d", gCropSize[0], gCropSize[1], gCropSize[2],
                gCropSize[3]);
  studioCentredText(text, studioWinW() / 2, kViewTop + kViewSide + 56, STUDIO_FONT, STUDIO_WHITE);
  studioButton("Done", 365, 530, 70, 26);
  studioButton("Cancel", 465, 530, 70, 26);
}

// ---- Naming screen ------------------------------------------------------------------------

void progressLine(char* out, size_t cap) {
  if (gBestProgress >= 1000) std::snprintf(out, cap, "Abstraction is complete");
  else std::snprintf(out, cap, "Background Abstraction Progress: %0.1f %%", gBestProgress / 10.0);
}

constexpr int32_t kNotesBoxX = 330, kNotesBoxY = kNameRowY + 40;

void drawNotesBox() {
  pag_FillRect(0, kNotesBoxX, kNotesBoxY + 3, 12, 12, 0xEEEEEE);
  pag_FillRect(0, kNotesBoxX + 2, kNotesBoxY + 5, 8, 8, gWriteNotes ? 0x004444 : 0xEEEEEE);
  pal_MarkClickableRect("WriteStepNotes", kNotesBoxX - 4, kNotesBoxY - 2, 160, 22);
}

constexpr int32_t kRedactBoxY = kNotesBoxY + 30;

// Offered once the steps are built and a password field was pressed.
void drawRedactBox() {
  if (gBestProgress < 1000 || passwordFields().empty()) return;
  pag_DrawTextOnBuff(0, kNotesBoxX + 18, kRedactBoxY, "Redact password fields", STUDIO_FONT, STUDIO_WHITE);
  pag_FillRect(0, kNotesBoxX, kRedactBoxY + 3, 12, 12, 0xEEEEEE);
  pag_FillRect(0, kNotesBoxX + 2, kRedactBoxY + 5, 8, 8, gRedactPasswords ? 0x004444 : 0xEEEEEE);
  pal_MarkClickableRect("RedactPasswords", kNotesBoxX - 4, kRedactBoxY - 2, 200, 22);
}

// Paints a box over each password field in the frames that show its
// typing, in the demo just created; a field that cannot be redacted is said.
void redactPasswordFields() {
  for (const PasswordField& field : passwordFields()) {
    Redaction r;
    std::copy(field.rect, field.rect + 4, r.rect);
    r.from = field.from;
    r.to = field.to;
    std::string why = checkRedactRect(r);
    if (why.empty() && runRedaction(r, &why) == REWRITE_DONE) continue;
    pal_Alert(1, "Redact Fail", ("Redact Fail: a password field was not redacted: " + why + ".").c_str());
  }
}

void drawNaming(const char* text) {
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Rounded);
  const char* heading = gBestProgress >= 1000 ? "Abstraction is complete - Give your New Demo a Name"
                                              : "Abstraction is running in the background - Give your New Demo a Name";
  studioCentredText(heading, studioWinW() / 2, kHeadingY, STUDIO_FONT_LARGE, STUDIO_WHITE);
  char progress[80];
  progressLine(progress, sizeof progress);
  studioCentredText(progress, studioWinW() / 2, kProgressY, STUDIO_FONT, STUDIO_WHITE);
  pag_DrawTextOnBuff(0, 190, kNameRowY, "New Demo Name:", STUDIO_FONT, STUDIO_WHITE);
  pal_MarkTextEditRect("NewNameEditBox", 330, kNameRowY, 300, PAL_EDIT_LINE_HEIGHT, text, 99, 0xFFFFFF);
  studioButton("OK", 650, kNameRowY - 4, 60, 26);
  pag_DrawTextOnBuff(0, kNotesBoxX + 18, kNotesBoxY, "Write step notes", STUDIO_FONT, STUDIO_WHITE);
  drawNotesBox();
  drawRedactBox();
}

void drawWaiting() {
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Rounded);
  char heading[200];
  std::snprintf(heading, sizeof heading, "Abstraction of '%s' in progress - please wait...", gCurrDemoName);
  studioCentredText(heading, studioWinW() / 2, kHeadingY, STUDIO_FONT_LARGE, STUDIO_WHITE);
  char progress[80];
  progressLine(progress, sizeof progress);
  studioCentredText(progress, studioWinW() / 2, kProgressY, STUDIO_FONT, STUDIO_WHITE);
  pag_DrawTextOnBuff(0, 220, 250, "TIP:  when the demo is ready, use these keyboard keys:", STUDIO_FONT, STUDIO_WHITE);
  pag_DrawTextOnBuff(0, 260, 285, "F1 - Toggles Learning mode / Presentation mode", STUDIO_FONT, STUDIO_YELLOW);
  pag_DrawTextOnBuff(0, 260, 310, "TAB - Moves the mouse to the next step", STUDIO_FONT, STUDIO_YELLOW);
  pag_DrawTextOnBuff(0, 260, 335, "ESC - Exits the Demo", STUDIO_FONT, STUDIO_YELLOW);
  pag_DrawTextOnBuff(0, 220, 375, "You might want to write the keys down so you don't forget them!", STUDIO_FONT,
                     STUDIO_WHITE);
}

bool pathExists(const std::string& path) { return pal_FsStat(path.c_str(), nullptr); }

std::string trimmedSpaces(const char* text) {
  std::string s = text;
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

int onNameOk() {
  if (gNameAccepted) return PAL_NOTHING;
  char text[PAL_EDIT_TEXT_LEN];
  pal_GetMarkedTextEdit("NewNameEditBox", text);
  const std::string name = trimmedSpaces(text);
  if (validateDemoName(name.c_str(), 1) != 1) {
    drawNaming(nullptr);
    return PAL_SHOW;
  }
  // A folder of that name, even one that is not a complete demo, would
  // stop the files from being created.
  if (pathExists(demoFolderPath(name))) {
    char alert[200];
    std::snprintf(alert, sizeof alert, "A demo named '%s' already exists", name.c_str());
    pal_Alert(1, "Name has been used", alert);
    drawNaming(nullptr);
    return PAL_SHOW;
  }
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", name.c_str());
  gNameAccepted = true;
  if (gAbstractProgress.load() >= 1000) {
    pal_SetNewEventHandler(createFilesHandler);
    return PAL_NOTHING;
  }
  drawWaiting();
  return PAL_SHOW;
}

int pollSteps() {
  gBestProgress = std::max(gBestProgress, gAbstractProgress.load());
  char progress[80];
  progressLine(progress, sizeof progress);
  if (gBestProgress < 1000) {
    showStrip(progress, kProgressY, STUDIO_FONT);
    return PAL_NOTHING;
  }
  // The edit box keeps its text and its caret: only the progress timer stops.
  pal_DisableTimer(ABSTRACT_TIMER);
  if (gNameAccepted) {
    pal_SetNewEventHandler(createFilesHandler);
    return PAL_NOTHING;
  }
  showStrip(progress, kProgressY, STUDIO_FONT);
  showStrip("Abstraction is complete - Give your New Demo a Name", kHeadingY, STUDIO_FONT_LARGE);
  drawRedactBox();
  if (!passwordFields().empty()) pal_UpdateWindowFromBuffer(nullptr);
  return PAL_NOTHING;
}

// ---- Creating the files ---------------------------------------------------------------------

}  // namespace

// ---- Arithmetic -------------------------------------------------------------------------

int32_t previewFrameIndex() {
  int32_t i = 0, keys = 0;
  while (i < gFrameCount / 2 && keys < 4) {
    if (gFrameData[i].imageRefA == gFrameData[i].imageRefB) ++keys;
    ++i;
  }
  return i;
}

int64_t confirmationScale(int32_t winW, int32_t winH, int32_t cropW, int32_t cropH) {
  if (cropW < 1 || cropH < 1) return 0;
  return std::min((int64_t{winH} * 1000 - 60000) / cropH, (int64_t{winW} * 1000 - 24000) / cropW);
}

int64_t manualCropScale(int32_t winW, int32_t winH, int32_t screenW, int32_t screenH) {
  if (screenW < 1 || screenH < 1) return 1000;
  const int64_t s = std::min((int64_t{winW} * 1000 - 24000) / screenW, (int64_t{winH} * 1000 - 58000) / screenH);
  return std::max<int64_t>(1, s);
}

int32_t manualCropToScreen(int32_t windowPos, int32_t imageOrigin, int64_t scale) {
  return static_cast<int32_t>((int64_t{windowPos} + 1 - imageOrigin) * 1000 / std::max<int64_t>(1, scale));
}

bool nudgeCrop(const char* arrow, int32_t crop[4], int32_t W, int32_t H) {
  int32_t c[4] = {crop[0], crop[1], crop[2], crop[3]};
  if (studioNamed(arrow, "ul_U")) { ++c[1]; --c[3]; }
  else if (studioNamed(arrow, "ul_D")) { --c[1]; ++c[3]; }
  else if (studioNamed(arrow, "ul_L")) { ++c[0]; --c[2]; }
  else if (studioNamed(arrow, "ul_R")) { --c[0]; ++c[2]; }
  else if (studioNamed(arrow, "lr_U")) ++c[3];
  else if (studioNamed(arrow, "lr_D")) --c[3];
  else if (studioNamed(arrow, "lr_L")) ++c[2];
  else if (studioNamed(arrow, "lr_R")) --c[2];
  else return false;
  if (c[0] < 0 || c[1] < 0 || c[2] < MIN_CROP_SIDE || c[3] < MIN_CROP_SIDE || int64_t{c[0]} + c[2] > W ||
      int64_t{c[1]} + c[3] > H)
    return false;
  std::copy(c, c + 4, crop);
  return true;
}

// ---- Handlers ---------------------------------------------------------------------------

int abstractionScreenHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START: startAnalysis(); return PAL_SHOW;
    case PAL_EV_TIMER: return event[1] == ABSTRACT_TIMER && !gConfirming ? pollAnalysis(event) : PAL_NOTHING;
    case PAL_EV_PRESS: return gConfirming ? onConfirmation(event, name) : PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

int cropQuestionHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    studioPaintWholeBackground(Gradient::Rounded);
    studioCentredText("Pictomira sets the crop automatically and there is usually no", studioWinW() / 2, 200,
                      STUDIO_FONT_LARGE, STUDIO_WHITE);
    studioCentredText("need to change it.  Are you sure you want to change the crop?", studioWinW() / 2, 235,
                      STUDIO_FONT_LARGE, STUDIO_WHITE);
    studioButton("Do Not Change the Crop", 230, 320, 200, 26);
    studioButton("Change the Crop", 470, 320, 200, 26);
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (studioNamed(name, "Do Not Change the Crop")) back();
  else if (studioNamed(name, "Change the Crop")) pal_SetNewEventHandler(manualCropHandler);
  return PAL_NOTHING;
}

int manualCropHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START:
      std::copy(gCropSize, gCropSize + 4, gSavedCrop);
      gCropSize[0] = gCropSize[1] = 0;
      gCropSize[2] = gRecordedW;
      gCropSize[3] = gRecordedH;
      drawManual();
      return PAL_SHOW;
    case PAL_EV_PRESS:
      if (name[0] != '\0') return onManualButton(name);
      if (!onImage(event[1], event[2])) return PAL_NOTHING;
      if (gManual.bandShown) toggleBand();
      gManual.dragging = true;
      gManual.anchor[0] = gManual.corner[0] = event[1];
      gManual.anchor[1] = gManual.corner[1] = event[2];
      toggleBand();
      return PAL_SHOW;
    case PAL_EV_MOVE:
      if (!gManual.dragging) return PAL_NOTHING;
      toggleBand();
      gManual.corner[0] = event[1];
      gManual.corner[1] = event[2];
      clampToImage(&gManual.corner[0], &gManual.corner[1]);
      toggleBand();
      return PAL_SHOW;
    case PAL_EV_RELEASE: return gManual.dragging ? endDrag(event[1], event[2]) : PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

int cornerTuneHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    drawTune();
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (studioNamed(name, "Done")) {
    back();
  } else if (studioNamed(name, "Cancel")) {
    gRecordedW = -1;
    back();
  } else if (nudgeCrop(name, gCropSize, gRecordedW, gRecordedH)) {
    drawTune();
    return PAL_SHOW;
  }
  return PAL_NOTHING;
}

int namingScreenHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START:
      pal_DisableAllTimers();
      pal_SetWindowTitle("Abstracting New Demo - Pictomira");
      gAbstractProgress = 0;
      gBestProgress = 0;
      gNameAccepted = false;
      gWriteNotes = true;
      gRedactPasswords = true;
      gCurrDemoName[0] = '\0';
      pal_BeginThread(buildSteps);
      pal_SetTimer(ABSTRACT_TIMER, NAMING_POLL_MS, 1);
      drawNaming(nullptr);
      return PAL_SHOW;
    case PAL_EV_TIMER: return event[1] == ABSTRACT_TIMER ? pollSteps() : PAL_NOTHING;
    case PAL_EV_PRESS:
      if (studioNamed(name, "WriteStepNotes") && !gNameAccepted) {
        gWriteNotes = !gWriteNotes;
        drawNotesBox();
        return PAL_SHOW;
      }
      if (studioNamed(name, "RedactPasswords") && !gNameAccepted) {
        gRedactPasswords = !gRedactPasswords;
        drawRedactBox();
        return PAL_SHOW;
      }
      return studioNamed(name, "OK") ? onNameOk() : PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

int createFilesHandler(int32_t event[4], char* /*name*/) {
  switch (event[0]) {
    case PAL_EV_START: {
      pal_DisableAllTimers();
      pal_UnmarkAllClickableRects();
      if (!gWriteNotes) removeStepCaptions();  // the steps are built by now
      studioPaintWholeBackground(Gradient::Rounded);
      char text[200];
      std::snprintf(text, sizeof text, "Creating files for '%s' - please wait...", gCurrDemoName);
      studioCentredText(text, studioWinW() / 2, 260, STUDIO_FONT_LARGE, STUDIO_WHITE);
      gCreateFilesProgress = 0;
      pal_BeginThread(createDemoFolder);
      pal_SetTimer(ABSTRACT_TIMER, CREATE_FILES_POLL_MS, 1);
      return PAL_SHOW;
    }
    case PAL_EV_TIMER:
      if (event[1] != ABSTRACT_TIMER || gCreateFilesProgress.load() < 1000) return PAL_NOTHING;
      pal_DisableAllTimers();
      if (gRedactPasswords) redactPasswordFields();
      return leaveWith(event, STATE_DEMO);
    default: return PAL_NOTHING;
  }
}
