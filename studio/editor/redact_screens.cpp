// redact_screens.cpp: the "Redact" mode. The left panel holds the choices
// and the frame view takes the drag; the rectangle is kept in
// recorded-screen pixels (frame pixels plus the crop's corner), which is
// what the redaction paints. Nothing is changed until the author answers
// the question with "Redact".
#include "studio/editor/redact_screens.h"

#include "studio/editor/editor_panels.h"
#include "studio/editor/editor_screens.h"
#include "studio/editor/editor_state.h"
#include "studio/editor/redaction.h"
#include "studio/editor/rewrite_screen.h"

#include "studio/kit/screen_kit.h"

#include "demo/demo_model.h"
#include "pag/pag.h"
#include "pal/pal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Swatch {
  const char* name;
  uint32_t colour;
};
constexpr Swatch kSwatches[] = {{"rcBlack", 0x000000}, {"rcGrey", 0x808080}, {"rcWhite", 0xFFFFFF}, {"rcBlue", 0x3366CC}};
enum Frames { WholeDemo, ThisStep, FrameRange };
constexpr const char* kChoices[] = {"rfWhole", "rfStep", "rfRange"};

constexpr uint32_t kPanel = 0x282F3E;  // the editor's left panel
constexpr int32_t kRectY = 130, kSwatchY = 162, kChoiceY = 240, kChoiceH = 30;

struct Mode {
  bool haveRect = false, dragging = false;
  int32_t anchor[2] = {0, 0};  // the drag's corners in frame pixels
  int32_t rect[4] = {0, 0, 0, 0};  // recorded-screen pixels
  int swatch = 0;
  Frames frames = WholeDemo;
  std::string from, to;  // the range boxes' texts, kept over the question
  Redaction pending;
};
Mode gMode;
RedactJob gJob;

int backToEditor() {
  pal_SetNewEventHandler(editorHandler);
  return PAL_NOTHING;
}

int32_t scale() { return std::max(1, gDemoScale); }

// The frame pixel under a window point, held inside the frame.
void toFrame(int32_t wx, int32_t wy, int32_t p[2]) {
  p[0] = static_cast<int32_t>(std::clamp<int64_t>(int64_t{wx - EDITOR_VIEW_X} * 1000 / scale(), 0, gCropSize[2] - 1));
  p[1] = static_cast<int32_t>(std::clamp<int64_t>(int64_t{wy} * 1000 / scale(), 0, gCropSize[3] - 1));
}

int32_t toWindow(int64_t framePixels) { return static_cast<int32_t>(framePixels * scale() / 1000); }

// The rectangle from the drag's anchor to p, both corners inside it.
void dragTo(const int32_t p[2]) {
  gMode.rect[0] = gCropSize[0] + std::min(gMode.anchor[0], p[0]);
  gMode.rect[1] = gCropSize[1] + std::min(gMode.anchor[1], p[1]);
  gMode.rect[2] = std::abs(gMode.anchor[0] - p[0]) + 1;
  gMode.rect[3] = std::abs(gMode.anchor[1] - p[1]) + 1;
  gMode.haveRect = true;
}

uint32_t colour() { return kSwatches[gMode.swatch].colour; }

std::string rectText(const int32_t r[4]) {
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d,%d,%d", r[0], r[1], r[2], r[3]);
  return text;
}

// The frame with the box drawn over it as the redaction will paint it.
void drawPreview() {
  drawEditorFrameView(gEditorFrame);
  if (!gMode.haveRect) return;
  int32_t view[4];
  editorFrameViewRect(view);
  const int64_t fx = gMode.rect[0] - gCropSize[0], fy = gMode.rect[1] - gCropSize[1];
  const int32_t x0 = view[0] + toWindow(fx), y0 = view[1] + toWindow(fy);
  const int32_t x1 = std::max(x0 + 1, view[0] + toWindow(fx + gMode.rect[2]));
  const int32_t y1 = std::max(y0 + 1, view[1] + toWindow(fy + gMode.rect[3]));
  pag_FillRect(0, x0, y0, std::min(x1, view[0] + view[2]) - x0, std::min(y1, view[1] + view[3]) - y0, colour());
}

void drawRectLine() {
  pag_FillRect(0, 10, kRectY, EDITOR_VIEW_X - 20, 22, kPanel);
  const std::string text = "Rectangle: " + (gMode.haveRect ? rectText(gMode.rect) : std::string("none yet"));
  pag_DrawTextOnBuff(0, 20, kRectY, text.c_str(), STUDIO_FONT, STUDIO_WHITE);
}

void drawSwatches() {
  pag_FillRect(0, 110, kSwatchY - 4, 210, 32, kPanel);
  for (int i = 0; i < 4; ++i) {
    const int32_t x = 120 + 50 * i;
    if (i == gMode.swatch) pag_FillRect(0, x - 3, kSwatchY - 3, 42, 28, STUDIO_YELLOW);
    pag_FillRect(0, x - 1, kSwatchY - 1, 38, 24, 0x5A667C);
    pag_FillRect(0, x, kSwatchY, 36, 22, kSwatches[i].colour);
    pal_MarkClickableRect(kSwatches[i].name, x - 3, kSwatchY - 3, 42, 28);
  }
}

void drawChoices() {
  const StepBounds step = stepBounds(gEditorFrame);
  char stepText[96];
  std::snprintf(stepText, sizeof stepText, "This step (frames %lld to %lld)",
                static_cast<long long>(gFrameData[step.first].frameId), static_cast<long long>(gFrameData[step.last].frameId));
  const char* labels[] = {"The whole demo", stepText, "From frame#"};
  for (int i = 0; i < 3; ++i) {
    const int32_t y = kChoiceY + kChoiceH * i;
    pag_FillRect(0, 20, y + 3, 12, 12, 0xEEEEEE);
    if (i == gMode.frames) pag_FillRect(0, 22, y + 5, 8, 8, 0x004444);
    pag_DrawTextOnBuff(0, 40, y, labels[i], STUDIO_FONT, STUDIO_WHITE);
    pal_MarkClickableRect(kChoices[i], 15, y - 2, i == FrameRange ? 120 : 300, 22);
  }
  pag_DrawTextOnBuff(0, 40, kChoiceY + 3 * kChoiceH, "To frame#", STUDIO_FONT, STUDIO_WHITE);
}

void drawMode() {
  pag_FillRect(0, 0, 0, EDITOR_VIEW_X, studioWinH(), kPanel);
  pag_FillRect(0, EDITOR_VIEW_X, 0, studioWinW() - EDITOR_VIEW_X, studioWinH(), 0x000000);  // "More >" may be there
  pag_DrawTextOnBuff(0, 20, 8, "Redact", STUDIO_FONT_LARGE, STUDIO_WHITE);
  const char* lines[] = {"Drag a rectangle in the frame over what", "must not be seen. Its pixels are removed",
                         "from the demo's recording for good."};
  for (int i = 0; i < 3; ++i) pag_DrawTextOnBuff(0, 20, 50 + 20 * i, lines[i], STUDIO_FONT, STUDIO_WHITE);
  drawRectLine();
  pag_DrawTextOnBuff(0, 20, kSwatchY, "Box colour:", STUDIO_FONT, STUDIO_WHITE);
  drawSwatches();
  pag_DrawTextOnBuff(0, 20, kChoiceY - 30, "Frames:", STUDIO_FONT, STUDIO_WHITE);
  drawChoices();
  pal_MarkTextEditRect("RedactFromEditBox", 150, kChoiceY + 2 * kChoiceH, 90, 18, gMode.from.c_str(), 20, 0xFFFFFF);
  pal_MarkTextEditRect("RedactToEditBox", 150, kChoiceY + 3 * kChoiceH, 90, 18, gMode.to.c_str(), 20, 0xFFFFFF);
  studioButton("Redact...", 20, 380, 100, 26);
  studioButton("Cancel", 140, 380, 80, 26);
  drawPreview();
}

int questionHandler(int32_t event[4], char* name);

// Reads the choices into gMode.pending and asks; a choice that cannot be
// redacted is refused with the reason, the mode kept.
int ask() {
  gMode.from = editorBoxText("RedactFromEditBox");
  gMode.to = editorBoxText("RedactToEditBox");
  if (!gMode.haveRect) {
    pal_Alert(1, "No Rectangle", "Drag a rectangle in the frame over what must be hidden, then click 'Redact...'.");
    return PAL_NOTHING;
  }
  Redaction r;
  std::copy(gMode.rect, gMode.rect + 4, r.rect);
  r.colour = colour();
  if (gMode.frames == ThisStep) {
    const StepBounds step = stepBounds(gEditorFrame);
    r.from = gFrameData[step.first].frameId;
    r.to = gFrameData[step.last].frameId;
  } else if (gMode.frames == FrameRange) {
    Outcome refused;
    if (!readFrameRange(gMode.from.c_str(), gMode.to.c_str(), false, true, &refused, &r.from, &r.to)) {
      editorShowNotices(refused);
      return PAL_NOTHING;
    }
  }
  const std::string why = checkRedactRect(r);
  if (!why.empty()) {
    pal_Alert(1, "Cannot Redact", why.c_str());
    return PAL_NOTHING;
  }
  gMode.pending = r;
  pal_SetNewEventHandler(questionHandler);
  return PAL_NOTHING;
}

int modeHandler(int32_t event[4], char* name) {
  int32_t p[2];
  switch (event[0]) {
    case PAL_EV_START:
      drawMode();
      return PAL_SHOW;
    case PAL_EV_KEY: return event[3] == VK_ESCAPE ? backToEditor() : PAL_NOTHING;
    case PAL_EV_MOVE:
    case PAL_EV_RELEASE:
      if (!gMode.dragging) return PAL_NOTHING;
      toFrame(event[1], event[2], p);
      dragTo(p);
      gMode.dragging = event[0] == PAL_EV_MOVE;
      drawRectLine();
      drawPreview();
      return PAL_SHOW;
    case PAL_EV_PRESS: break;
    default: return PAL_NOTHING;
  }
  if (name[0] == '\0') {
    int32_t view[4];
    editorFrameViewRect(view);
    if (event[1] < view[0] || event[1] >= view[0] + view[2] || event[2] < view[1] || event[2] >= view[1] + view[3])
      return PAL_NOTHING;
    toFrame(event[1], event[2], gMode.anchor);
    gMode.dragging = true;
    dragTo(gMode.anchor);
    drawRectLine();
    drawPreview();
    return PAL_SHOW;
  }
  if (studioNamed(name, "Cancel")) return backToEditor();
  if (studioNamed(name, "Redact...")) return ask();
  for (int i = 0; i < 4; ++i)
    if (studioNamed(name, kSwatches[i].name)) {
      gMode.swatch = i;
      drawSwatches();
      drawPreview();
      return PAL_SHOW;
    }
  for (int i = 0; i < 3; ++i)
    if (studioNamed(name, kChoices[i])) {
      gMode.frames = static_cast<Frames>(i);
      drawChoices();
      return PAL_SHOW;
    }
  return PAL_NOTHING;
}

bool wholeDemo(const Redaction& r) { return r.from <= 0 && r.to == REDACT_TO_END; }

std::string framesText(const Redaction& r) {
  if (wholeDemo(r)) return "every frame of the demo";
  char text[80];
  if (r.to == r.from) std::snprintf(text, sizeof text, "frame %lld", static_cast<long long>(r.from));
  else std::snprintf(text, sizeof text, "frames %lld to %lld", static_cast<long long>(r.from), static_cast<long long>(r.to));
  return text;
}

int questionHandler(int32_t event[4], char* name) {
  const Redaction& r = gMode.pending;
  if (event[0] == PAL_EV_START) {
    drawRewritePanel();
    const std::string where = "The pixels inside " + rectText(r.rect) + " are removed from the demo's";
    const bool many = !wholeDemo(r) && r.to > r.from;
    const std::string shown = "recording for good; " + framesText(r) + (many ? " show" : " shows") + " a solid box there.";
    rewritePanelText("WARNING - Redact makes irreversible changes to your demo!", 90);
    rewritePanelText(where.c_str(), 118);
    rewritePanelText(shown.c_str(), 136);
    rewritePanelText("Packages, pages and guides already shared are not changed,", 160);
    rewritePanelText("nor are bitmaps exported before.", 178);
    if (gEditCount > 0) rewritePanelText("The demo's changes are saved first.", 200);
    studioButton("Redact", 215, 235, 130, 26);
    studioButton("Cancel", 215, 280, 130, 26);
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (studioNamed(name, "Cancel")) {
    pal_SetNewEventHandler(modeHandler);
    return PAL_NOTHING;
  }
  if (!studioNamed(name, "Redact")) return PAL_NOTHING;
  if (!saveBeforeRewrite()) return backToEditor();
  gJob = redactJobOf(r);
  RewriteRun run;
  run.working = "Redact";
  run.failTitle = "Redact Fail";
  run.failPrefix = "Redact Fail: ";
  run.job = &gJob;
  run.write = [] { return writeRedactedRecording(&gJob); };
  run.release = [] { gJob = RedactJob{}; };
  run.doneMessage = "Redacted " + rectText(r.rect) + " in " + framesText(r) + ".";
  return beginRewrite(std::move(run));
}

}  // namespace

int openRedactMode() {
  if (gFrameCount < 1) return PAL_NOTHING;
  gMode = Mode{};
  pal_SetNewEventHandler(modeHandler);
  return PAL_NOTHING;
}
