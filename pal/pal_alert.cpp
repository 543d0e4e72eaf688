// pal_alert.cpp: alerts and the program's end.
// In the automated mode (PICTOMIRA_ALERTS=stderr) every alert is one line on
// standard error and returns as if OK had been pressed. Until the window
// system's message boxes are wired in, alerts take the same line form.
#include "pal/pal.h"

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

void copyBounded(char* dst, size_t cap, const char* src) {
  std::strncpy(dst, src ? src : "", cap - 1);
  dst[cap - 1] = '\0';
}

}  // namespace

void pal_Alert(int kind, const char* title, const char* text) {
  copyBounded(gpal_AlertHeader, sizeof gpal_AlertHeader, title);
  copyBounded(gpal_AlertBody, sizeof gpal_AlertBody, text);
  std::fflush(stdout);
  std::fprintf(stderr, "ALERT %d %s | %s\n", kind, oneLine(gpal_AlertHeader).c_str(),
               oneLine(gpal_AlertBody).c_str());
  std::fflush(stderr);
}

void pal_FatalAlert(const char* title, const char* text) {
  pal_Alert(1, title, text);
  pal_EndProgram(1);
}

void pal_EndProgram(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(status);
}
