// unwrap_screen.cpp: the unwrapper's screen (progress, then where the result
// is) and its worker, which writes the outputs: NAME (NAME.exe on
// Windows), a Presenter program with the marker and the package attached,
// made executable; or NAME.PMP alone in package-only mode. Each output is
// assembled under a hidden temporary name in the output folder and renamed
// when complete.
// The worker shares only atomics and what they publish with the screen; a
// fault on the worker is handed to the window's thread, which shows it and
// ends the program there.
#include "unwrapper/unwrapper.h"

#include "pag/pag.h"
#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "unwrapper/wrap_io.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

char gPackageName[WRAP_NAME_BUF];
std::atomic<int> gPackageNameKnown{0};
char gPackageFullPath[UNWRAP_FULL_PATH_LEN];
int gPMPonlyFlag = 0;
char gUnwrapProgramPath[PAL_PATH_LEN] = "";
std::atomic<int> gUnwrapDone{0};

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBarFrame = 0xFFFFFF;
constexpr uint32_t kBarTrack = 0x282F3E;
constexpr uint32_t kBarFill = 0xDADF11;
constexpr int kTextFont = 3;
constexpr int kButtonFont = 2;

// The first marker byte, read at run time: the marker's sequence must not
// stand in the program file itself, where the scan for the payload (and the
// Presenter's scan for its package) would find it first.
volatile unsigned char gMarkerFirst = 0;

// A fault of the worker, waiting for the window's thread to show it.
std::mutex gFailureLock;
char gFailureTitle[PAL_ALERT_TITLE_LEN];
char gFailureText[PAL_ALERT_TITLE_LEN];
std::atomic<int> gFailurePending{0};
// -1 until the window has started, then 1 while the screen's timer runs
// and can show a fault, 0 when there is no window to show it.
std::atomic<int> gTicking{-1};

// A fault of the worker: the window's thread shows it and ends the program;
// without a window the worker shows it itself. The worker starts before the
// window opens, so it waits to learn which.
void handFailureToWindow(const char* title, const char* text) {
  while (gTicking.load(std::memory_order_acquire) == -1 && !pal_StopRequested())
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  // The program is ending (the window closed, or none could open): the
  // outputs are already gone and no one is left to show the fault.
  if (pal_StopRequested()) pal_EndWorker();
  if (gTicking.load(std::memory_order_acquire) == 0) return;  // the reader shows it and ends the program
  {
    std::lock_guard<std::mutex> lock(gFailureLock);
    std::snprintf(gFailureTitle, sizeof gFailureTitle, "%s", title);
    std::snprintf(gFailureText, sizeof gFailureText, "%s", text);
  }
  gFailurePending.store(1, std::memory_order_release);
  // The window's thread ends the program, and asks this worker to stop first.
  while (!pal_StopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  pal_EndWorker();
}

[[noreturn]] void showFailureAndEnd() {
  pal_DisableAllTimers();
  char title[PAL_ALERT_TITLE_LEN], text[PAL_ALERT_TITLE_LEN];
  {
    std::lock_guard<std::mutex> lock(gFailureLock);
    std::memcpy(title, gFailureTitle, sizeof title);
    std::memcpy(text, gFailureText, sizeof text);
  }
  pal_Alert(1, title, text);
  pal_EndProgram(0);
}

void paintBackground() {
  const int32_t w = gpal_ImageBuffSize[0][0], h = gpal_ImageBuffSize[0][1];
  for (int32_t row = 0; row < h; ++row) pag_FillRect(0, 0, row, w, 1, unwrapBackgroundAt(row, h));
}

// The window title names the package once the worker has read its name.
void nameWindowOnce() {
  static bool named = false;
  if (named || gPackageNameKnown.load(std::memory_order_acquire) != 1) return;
  char title[WRAP_NAME_BUF + 40];
  std::snprintf(title, sizeof title, "Building '%s' - Pictomira", gPackageName);
  pal_SetWindowTitle(title);
  named = true;
}

void sayWindowNoLongerNeeded() {
  std::printf("\n\nThis window is no longer needed and can be closed.\n%s", WRAP_CLOSING_LINE_END);
  std::fflush(stdout);
}

int startUnwrap() {
  pal_UnmarkAllClickableRects();
  pal_DisableAllTimers();
  drawUnwrapScreen();
  // Without a window no timer runs: the worker then shows its own faults.
  gTicking = pal_SetTimer(UNWRAP_TIMER, UNWRAP_TICK_MS, 1) == 1 ? 1 : 0;
  return PAL_SHOW;
}

int tick() {
  if (gFailurePending.load(std::memory_order_acquire) == 1) showFailureAndEnd();
  if (gUnwrapDone.load(std::memory_order_acquire) == 1) drawFinalScreen();
  else drawUnwrapScreen();
  return PAL_SHOW;
}


bool appendMarker(const std::string& path) {
  unsigned char marker[WRAP_MARKER_LEN];
  for (int i = 0; i < WRAP_MARKER_LEN; ++i) marker[i] = static_cast<unsigned char>(gMarkerFirst + i);
  const int fd = wrapOpenOutput(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool written = ::write(fd, marker, sizeof marker) == static_cast<ssize_t>(sizeof marker);
  return ::close(fd) == 0 && written;
}

// Gives the finished temporary file its mode (rwx for all the mask allows,
// for a program; Windows has no mode to give) and renames it over path. No
// fsync: the wrapped file is still there to run again should the machine
// stop before the data reach the disk, and waiting for the disk would
// double the time an unwrap takes.
bool putInPlace(const std::string& temp, const std::string& path, bool program) {
  const int fd = wrapOpenOutput(temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = !program || wrapMakeRunnable(fd, pal_ProgramFileMode());
  ok = ::close(fd) == 0 && ok;
  return ok && wrapPutInPlace(temp.c_str(), path.c_str());
}

int32_t frameValue(int n) { return static_cast<int32_t>(std::min<int64_t>(getLongLongValue(n), INT32_MAX)); }

}  // namespace

uint32_t unwrapBackgroundAt(int32_t row, int32_t height) {
  if (height < 1) height = 1;
  // Computed in floating point, then truncated.
  const auto channel = [&](double top, double drop) { return static_cast<uint32_t>(top - drop * row / height); };
  return channel(61, 21) << 16 | channel(69, 22) << 8 | channel(92, 30);
}

std::string unwrapOutputFolder(const char* programPath) {
  const std::string path = programPath;
  const size_t slash = path.find_last_of(WRAP_PATH_SEPARATORS);
  if (path.empty() || !wrapPathIsAbsolute(path.c_str()) || slash == std::string::npos) return {};
  std::string folder = path.substr(0, slash + 1);
  // A "." folder right before the last separator is dropped ("/a/./" gives "/a/").
  const size_t n = folder.size();
  if (n >= 3 && folder[n - 2] == '.' && std::strchr(WRAP_PATH_SEPARATORS, folder[n - 3]) != nullptr)
    folder.erase(n - 2);
  return folder;
}

std::string unwrapShownFolder(const char* fullPath) {
  const std::string path = fullPath;
  std::vector<size_t> seps;
  for (size_t i = 0; i < path.size(); ++i)
    if (path[i] == '/' || path[i] == '\\') seps.push_back(i);
  if (seps.empty()) return {};
  const size_t last = seps.back();
  const size_t from = seps.size() >= 3 ? seps[seps.size() - 3] + 1 : 0;
  return path.substr(from, last - from);
}

void drawUnwrapScreen() {
  paintBackground();
  nameWindowOnce();
  pag_DrawTextOnBuff(0, -1, 80, gPMPonlyFlag ? "Building the PMP file..." : "Building the Demo...", kTextFont,
                     kWhite);
  const int32_t w = gpal_ImageBuffSize[0][0];
  const int64_t percent = std::clamp(gCurrProgress.load(), 0, 100);
  pag_FillRoundedRect(0, 40, 190, w - 80, 20, kBarFrame);
  pag_FillRoundedRect(0, 41, 191, w - 82, 18, kBarTrack);
  pag_FillRoundedRect(0, 42, 192, static_cast<int32_t>((w - 84) * percent / 100), 16, kBarFill);
}

void drawFinalScreen() {
  pal_UnmarkAllClickableRects();  // every tick repaints and marks the button anew
  paintBackground();
  nameWindowOnce();
  char text[UNWRAP_FULL_PATH_LEN + 40];
  std::snprintf(text, sizeof text, gPMPonlyFlag ? "'%s.PMP' is ready to run" : "'%s' is ready", gPackageName);
  pag_DrawTextOnBuff(0, -1, 80, text, kTextFont, kWhite);
  // The folder is spelled as the file system spells it; the screen draws the code page's text.
  const std::string folder = unwrapShownFolder(gPackageFullPath);
  std::string shown;
  if (!pal_TextFromSystem(folder, &shown)) shown = folder;
  std::snprintf(text, sizeof text, "in '%s'", shown.c_str());
  pag_DrawTextOnBuff(0, -1, 120, text, kTextFont, kWhite);
  pag_DrawButtonType1(0, 320, 220, 60, 24, PAG_BUTTON_BORDER_TOP, PAG_BUTTON_BORDER_BOTTOM, PAG_BUTTON_FACE_TOP,
                      PAG_BUTTON_FACE_BOTTOM, "OK", kButtonFont, PAG_BUTTON_LABEL, 1, 1);
}

int unwrapHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START: return startUnwrap();
    case PAL_EV_TIMER: return event[1] == UNWRAP_TIMER ? tick() : PAL_NOTHING;
    case PAL_EV_PRESS:
      if (std::strcmp(name, "OK") != 0) return PAL_NOTHING;
      sayWindowNoLongerNeeded();
      pal_EndProgram(0);
    case PAL_EV_CLOSED:
      // An unfinished output is removed and none can be put in place any more.
      wrapAbandonOutputs();
      sayWindowNoLongerNeeded();
      return -1;
    default: return PAL_NOTHING;
  }
}

void startUnwrapWorker() {
  gPackageName[0] = '\0';
  gPackageNameKnown = 0;
  gUnwrapDone = 0;
  gCurrProgress = 0;
  pal_BeginThread(doUnwrap);
}

void doUnwrap() {
  wrapSetFailureSink(handFailureToWindow);
  setWrapStart();
  char name[WRAP_NAME_BUF];
  getTrailingString(name);
  std::memcpy(gPackageName, name, sizeof name);
  gPackageNameKnown.store(1, std::memory_order_release);
  gCropSize[0] = gCropSize[1] = 0;
  gCropSize[2] = frameValue(WRAP_VAL_WIDTH);
  gCropSize[3] = frameValue(WRAP_VAL_HEIGHT);
  std::printf("\n\nPictomira is Creating the Demo - please wait...");
  std::fflush(stdout);
  makeSingleFilePackage();
  std::printf("\r%62s", "");
  std::fflush(stdout);
  std::printf("\n\n'%s%s' is ready to present", pal_SystemText(gPackageName).c_str(), gPMPonlyFlag ? ".PMP" : "");
  std::fflush(stdout);
  gCurrProgress = 100;
  gUnwrapDone.store(1, std::memory_order_release);
}

void makeSingleFilePackage() {
  // A program path that filled its whole buffer may have been cut short.
  const char* program = gUnwrapProgramPath[0] != '\0' ? gUnwrapProgramPath : gpal_ExePath;
  const std::string folder = std::strlen(program) < PAL_PATH_LEN - 1 ? unwrapOutputFolder(program) : "";
  if (folder.empty()) wrapFail("Unwrap Fail", "Unwrap Error 099p");
  const std::string name = pal_SystemText(gPackageName);  // the file's name as the file system spells it
  std::snprintf(gPackageFullPath, sizeof gPackageFullPath, "%s%s", folder.c_str(), name.c_str());
  const std::string path = folder + name + (gPMPonlyFlag ? ".PMP" : WRAP_PROGRAM_EXTENSION);
  const std::string temp = folder + "." + name + ".unwrapping";
  if (!wrapHoldPartial(temp.c_str())) wrapFail("Unwrap Fail", "Unwrap Error 099p");
  const char* out = temp.c_str();
  if (gPMPonlyFlag == 0) {
    placeWrappedFile(WRAP_PIECE_PRESENTER, out, WRAP_CREATE_RAW);
    if (!appendMarker(temp)) wrapFail("Unwrap Fail", "Unwrap Error 099p");
  }
  placeWrappedFile(WRAP_PIECE_HEAD, out, gPMPonlyFlag ? WRAP_CREATE_RAW : WRAP_APPEND_PIECE);
  placeWrappedFile(WRAP_PIECE_LINE_TABLES, out, WRAP_APPEND_PIECE);
  placeWrappedFile(WRAP_PIECE_POOL, out, WRAP_APPEND_EXPANDED);
  placeWrappedFile(WRAP_PIECE_FLOW, out, WRAP_APPEND_PIECE);
  if (!putInPlace(temp, path, gPMPonlyFlag == 0)) wrapFail("Unwrap Fail", "Unwrap Error 099p");
}
