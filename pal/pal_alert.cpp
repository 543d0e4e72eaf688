// pal_alert.cpp: the alert texts, the automated alert line and the
// program's end. The message boxes themselves belong to the window-system
// file. In the automated mode (PICTOMIRA_ALERTS=stderr) every alert is one
// line on standard error and returns as if OK had been pressed.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

char gpal_AlertHeader[PAL_ALERT_TITLE_LEN];
char gpal_AlertBody[PAL_ALERT_TEXT_LEN];
std::atomic<int> gpal_AlertShowing{0};

namespace {

// Writes line breaks as a backslash and n so that an alert stays one line.
std::string oneLine(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') out += "\\n";
    else if (*p != '\r') out += *p;
  }
  return out;
}

}  // namespace

void palPrintAlertLine(int kind, const char* title, const char* text) {
  std::fflush(stdout);
  std::fprintf(stderr, "ALERT %d %s | %s\n", kind, oneLine(title).c_str(), oneLine(text).c_str());
  std::fflush(stderr);
}

namespace {
std::atomic<pal_FatalAlertHook> gFatalHook{nullptr};
}  // namespace

void pal_SetFatalAlertHook(pal_FatalAlertHook hook) { gFatalHook = hook; }

void pal_FatalAlert(const char* title, const char* text) {
  if (const pal_FatalAlertHook hook = gFatalHook.load()) hook(title ? title : "", text ? text : "");
  // A worker must not touch the loop's window nor run the exit handlers
  // while the loop thread still uses what they tear down.
  if (!palOnLoopThread()) palFatalAlertOffLoop(title ? title : "", text ? text : "");
  pal_Alert(1, title, text);
  pal_EndProgram(1);
}

void pal_EndProgram(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(status);
}
