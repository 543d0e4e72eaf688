// pal_alert.cpp: the alert texts, when an alert blocks, the automated
// alert line and the program's end. The message boxes themselves, and
// waking the loop after one, belong to the window-system file. In the
// automated mode (PICTOMIRA_ALERTS=stderr) every alert is one line on
// standard error and returns as if OK had been pressed.
#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "pal/pal_internal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

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

bool palAutomatedAlerts() {
  const char* mode = std::getenv("PICTOMIRA_ALERTS");
  return mode != nullptr && std::strcmp(mode, "stderr") == 0;
}

void palPrintAlertLine(int kind, const char* title, const char* text) {
  std::fflush(stdout);
  std::fprintf(stderr, "ALERT %d %s | %s\n", kind, pal_SystemText(oneLine(title)).c_str(),
               pal_SystemText(oneLine(text)).c_str());
  std::fflush(stderr);
}

// A fatal alert (kind 1), and any alert while no window is open, blocks
// until OK; the others show from a thread of their own while the loop runs
// on, and all but kind -1 hold the window's input until OK. The stored
// texts are the loop thread's: an alert raised on a worker shows its own
// copy and leaves them as they are.
void pal_Alert(int kind, const char* title, const char* text) {
  char header[PAL_ALERT_TITLE_LEN];
  char body[PAL_ALERT_TEXT_LEN];
  std::snprintf(header, sizeof header, "%s", title ? title : "");
  std::snprintf(body, sizeof body, "%s", text ? text : "");
  if (palOnLoopThread()) {
    std::memcpy(gpal_AlertHeader, header, sizeof header);
    std::memcpy(gpal_AlertBody, body, sizeof body);
  }
  if (palAutomatedAlerts()) {
    palPrintAlertLine(kind, header, body);
    return;
  }
  const bool window = palWindowOpen();
  if (!window || kind == 1) {
    if (window) gpal_AlertShowing = 1;
    palShowAlertBox(header, body);
    if (window) palDropInputOfAlert();
    gpal_AlertShowing = 0;
    return;
  }
  if (kind >= 0) gpal_AlertShowing = 1;
  // The thread shows its own copy of the texts: a later alert may overwrite
  // the stored ones. After OK it wakes the loop for any held timer firing.
  std::thread([title = std::string(header), body = std::string(body)] {
    palShowAlertBox(title.c_str(), body.c_str());
    gpal_AlertShowing = 0;
    palWakeLoop();
  }).detach();
}

void pal_doAlert() {
  palShowAlertBox(gpal_AlertHeader, gpal_AlertBody);
  gpal_AlertShowing = 0;
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

void palFatalAlertOffLoop(const char* title, const char* text) {
  if (palAutomatedAlerts() || !palShowFatalBox(title, text)) palPrintAlertLine(1, title, text);
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(1);
}

void pal_Trace(const char* format, ...) {
  static const bool off = [] {
    const char* mode = std::getenv("PICTOMIRA_TRACES");
    return mode != nullptr && std::strcmp(mode, "off") == 0;
  }();
  if (off) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::putchar('\n');
}
