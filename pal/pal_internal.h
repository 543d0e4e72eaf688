// pal_internal.h: helpers shared between the platform layer's own files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

// Scales all of srcSlot into the rectangle (x, y, w, h) of slot 0 with the
// smoothing filter, clipped to slot 0; both slots hold pixels.
void palScaleSmoothed(int srcSlot, int32_t x, int32_t y, int32_t w, int32_t h);

// Starts or stops the caret blink (timer 5, 450 ms, repeating); does
// nothing while no window is open.
void palCaretTimer(bool on);

// Gives the edit boxes their share of a loop event: a press looks up the
// clickable name (into name) and may activate or leave a box; presses,
// releases, moves, keys and caret blinks of the active box are handled.
// Returns true when the event is consumed; a Tab that finishes editing
// turns the event into PAL_EV_EDIT_DONE and is not consumed.
bool palEditRouteEvent(int32_t event[4], char* name);

// Text the window system typed (UTF-8) for the active edit box: converted
// to Windows-1252 and typed. A character the code page cannot hold is left
// out, and the first such character of a box's activation gets a notice.
// Nothing happens while no box is active.
void palEditTextInput(const std::string& utf8);

// True while a window is open (the window-system file knows).
bool palWindowOpen();

// True when alerts are automated (PICTOMIRA_ALERTS=stderr): each is the
// alert line instead of a box.
bool palAutomatedAlerts();

// Shows a message box with OK and returns when it is closed; the alert line
// instead when no box can be shown. Safe on any thread.
void palShowAlertBox(const char* title, const char* text);

// Shows the fatal alert's box with OK from a thread that is not the loop's
// and returns when it is closed; false when no box could be shown.
bool palShowFatalBox(const char* title, const char* text);

// Drops the window's input that came while a blocking alert showed; a
// one-shot timer's firing is kept for later (loop thread, window open).
void palDropInputOfAlert();

// Wakes the event loop from its wait (any thread; nothing while no loop runs).
void palWakeLoop();

// Prints an alert as one line "ALERT <kind> <title> | <text>" on standard
// error (line breaks written as \n).
void palPrintAlertLine(int kind, const char* title, const char* text);

// True on the thread that runs the window's event loop, and on every
// thread while no loop runs (programs without a window).
bool palOnLoopThread();

// Records the calling thread as the one running the event loop (true), or
// that no loop runs (false); pal_RunWindow does both.
void palSetLoopThread(bool running);

// Ends the process from a thread other than the loop's: shows the fatal
// alert in a box of its own (or as the alert line when alerts are
// automated or no box can be shown), flushes the output and exits with
// status 1 without running the exit handlers.
[[noreturn]] void palFatalAlertOffLoop(const char* title, const char* text);

// The window is being closed and the program ends after it: runs the
// ending handler (or stops the workers) on the loop thread, window still open.
void palEndingWindow();

// Records the program paths (gpal_ExePath, gpal_ProgPath, gpal_AppPath)
// and returns the platform's flag; the platform's own part of pal_InitPAL.
int palStartPlatform();

// Starts timer n (already checked, a window open): mode and interval in
// gpal_TimerStat, then the platform's timer; the platform's own part of pal_SetTimer.
void palStartTimer(int n, int ms, bool repeat);

// Hands the clipboard's text to the caller's buffer: without carriage
// returns, and cut to capacity - 2 characters.
inline void palDeliverClipboardText(std::string text, char* dst, int32_t capacity) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  if (static_cast<int32_t>(text.size()) > capacity - 2) text.resize(static_cast<size_t>(capacity - 2));
  std::memcpy(dst, text.c_str(), text.size() + 1);
}

// Draws text as pal_DrawTextLine does, into a pixel buffer of width x
// height of the caller's own (blue, green, red, unused); safe on any thread.
void palDrawTextInto(unsigned char* pixels, int32_t width, int32_t height, int32_t x, int32_t top, const char* text,
                     int font, uint32_t colour);

// One channel of a text pixel: src over dst with coverage a (0..255).
inline unsigned char palBlend(unsigned char dst, unsigned char src, unsigned a) {
  return static_cast<unsigned char>((src * a + dst * (255 - a) + 127) / 255);
}

// ---- The X server (pal_x11_system.cpp) ----------------------------------------
// The X connection helpers live in pal_x11_system.cpp; the window file
// (pal_x11_window.cpp) calls them and records its window's id there, and
// the X11 file calls nothing of the window file.
typedef struct _XDisplay Display;

// Opens a connection of the caller's own to the display (null without
// one), after Xlib is set up for threads and its error handler installed.
Display* palOpenXDisplay();
// Runs requests on d with X errors ignored and synced; false when one failed.
bool palXQuietly(Display* d, const std::function<void()>& requests);

// True when a window manager runs; asks on the calling thread's own X connection.
bool palWindowManagerRunning();
// The X id of the program's open window; 0 while none is open (any thread).
// The window file sets it when its window opens and 0 when it closes.
unsigned long palOwnWindowXid();
void palSetOwnWindowXid(unsigned long xid);

// True when the X window xid is minimised (WM_STATE iconic, or hidden in
// _NET_WM_STATE); asks on the calling thread's own X connection.
bool palWindowIconic(unsigned long xid);

