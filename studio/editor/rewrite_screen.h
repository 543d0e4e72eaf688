// rewrite_screen.h: the editor's screen while a worker rewrites the demo's
// recording (the bitmap import, the redaction): the progress on a black
// panel, then on the loop thread the commit, the failure alerts and the
// editor again.
#pragma once

#include "studio/editor/recording_rewrite.h"

#include <cstdint>
#include <functional>
#include <string>

struct RewriteRun {
  const char* working = "";     // shown as "WORKING is working: N % complete..."
  const char* failTitle = "";   // the failure alert's title
  const char* failPrefix = "";  // its text before the reason
  RecordingJob* job = nullptr;  // the caller's; the worker's alone until it finishes
  std::function<int()> write;   // the worker's part: writes NAME.DMR.new, answers a REWRITE_ result
  std::function<void()> release;  // on the loop thread once it is over (frees the job)
  std::string doneMessage;      // shown in the editor's message box after a commit; empty: none
};

// The question before a rewrite and its progress share one black panel on
// the greyed window, their texts centred on it in yellow.
void drawRewritePanel();
void rewritePanelText(const char* text, int32_t y);

// Saves unsaved edits before a rewrite takes its copy of the frame table;
// false (the edits kept, the reason shown) when the save failed.
bool saveBeforeRewrite();
// Starts run's worker and hands the window to its progress screen, which
// returns to the editor when it is over.
int beginRewrite(RewriteRun run);
