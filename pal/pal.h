// pal.h: the platform layer's contract with the rest of the tree.
// Image buffers, clickable rectangles, alerts, text measuring and drawing,
// random-access file reads and program start-up. Everything outside pal/
// sees only this header: no window-system or font-library type crosses it.
// Buffer pixels are 4 bytes, rows top to bottom, stride width * 4; on this
// build the byte order is blue, green, red, unused.
#pragma once

#include <atomic>
#include <cstdint>

// ---- Capacities --------------------------------------------------------
constexpr int PAL_BUFFER_SLOTS = 9;       // image buffer slots 0..8
constexpr int PAL_CLICKABLE_CAP = 299;    // clickable rectangles
constexpr int PAL_NAME_LEN = 99;          // 98 characters + NUL
constexpr int PAL_EDIT_SLOTS = 19;        // edit boxes
constexpr int PAL_EDIT_TEXT_LEN = 9999;   // 9998 characters + NUL
constexpr int PAL_FONT_ENTRIES = 19;      // font table entries 0..18
constexpr int PAL_FONT_FIELD = 29;        // one text field of a font entry
constexpr int PAL_PATH_LEN = 500;         // 499 characters + NUL
constexpr int PAL_ALERT_TITLE_LEN = 299;
constexpr int PAL_ALERT_TEXT_LEN = 9999;

constexpr int32_t PAL_FREE_CLICKABLE = -999;  // x of a free clickable entry
constexpr int32_t PAL_FREE_EDIT = -99;        // x of a free edit slot

// Byte positions of the channels inside a 4-byte buffer pixel.
constexpr int PAL_BLUE = 0;
constexpr int PAL_GREEN = 1;
constexpr int PAL_RED = 2;

// ---- Shared state ------------------------------------------------------
extern int gpal_PlatformFlag;                        // 0 until pal_InitPAL; 30 on Linux
extern void* gpal_WinID;                             // the open window's handle, or null
extern int32_t gpal_WinSize[3];                      // drawing width, height, rounded flag
extern int32_t gpal_ImageBuffSize[PAL_BUFFER_SLOTS][2];
extern unsigned char* gpal_ImageBuffBits[PAL_BUFFER_SLOTS];
extern void* gpal_BuffContext[PAL_BUFFER_SLOTS];     // scaler's view of the slot's memory

extern int32_t gpal_ClickableRectList[PAL_CLICKABLE_CAP][4];
extern char gpal_ClickableRectNames[PAL_CLICKABLE_CAP][PAL_NAME_LEN];

// Edit boxes: rectangle x, y, w, h, background colour, maximum length.
extern char gpal_TextEditNames[PAL_EDIT_SLOTS][PAL_NAME_LEN];
extern int32_t gpal_TextEditRects[PAL_EDIT_SLOTS][6];
extern char gpal_TextEditHolders[PAL_EDIT_SLOTS + 1][PAL_EDIT_TEXT_LEN];
extern int gpal_TextEditCurrSlot;

// Font table: face name, pixel height, nominal size (decimal texts).
extern char gpal_FontList[PAL_FONT_ENTRIES][3][PAL_FONT_FIELD];

extern char gpal_AlertHeader[PAL_ALERT_TITLE_LEN];
extern char gpal_AlertBody[PAL_ALERT_TEXT_LEN];
extern std::atomic<int> gpal_AlertShowing;

extern char gpal_ExePath[PAL_PATH_LEN];   // the running program file
extern char gpal_ProgPath[PAL_PATH_LEN];  // its folder, no trailing slash
extern char gpal_AppPath[PAL_PATH_LEN];   // a further copy of the program path

// ---- Event codes, handler results, virtual-key codes ---------------------
enum {
  PAL_EV_START = 1,        // a handler takes over: width, height
  PAL_EV_TIMER = 32,       // timer number
  PAL_EV_PRESS = 101,      // left press: x, y, and the clickable name
  PAL_EV_RELEASE = 102,    // left release: x, y
  PAL_EV_MOVE = 115,       // pointer moved: x, y
  PAL_EV_RIGHT = 121,      // right press: x, y
  PAL_EV_KEY = 203,        // key: character, modifier state, virtual-key code
  PAL_EV_EDIT_DONE = 209,  // the active edit box finished: slot, height
  PAL_EV_CLOSED = -1,      // the user closed the window: width, height
  PAL_EV_NO_KEY = 0,       // a key without a virtual-key code
};
enum { PAL_SHOW = 11, PAL_CLOSE = 99, PAL_NOTHING = 1 };
enum { PAL_MOD_NONE = 0, PAL_MOD_SHIFT = 1, PAL_MOD_CONTROL = 2, PAL_MOD_ALT = 3 };
enum {
  VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34,
  VK_END = 35, VK_HOME = 36, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_INSERT = 45,
  VK_DELETE = 46, VK_F1 = 112, VK_F4 = 115, VK_F5 = 116
};
constexpr int PAL_TIMERS = 5;          // timers 1..5
constexpr int PAL_CARET_TIMER = 5;     // doubles as the edit boxes' caret blink
constexpr int PAL_CARET_MS = 450;
constexpr int PAL_DRAG_BAR_ROWS = 30;  // top rows that drag windows of kind 10 and above

// An event handler: gets the event record (code, first, second, third
// value) and the name of the clickable rectangle under a press; returns
// PAL_SHOW, PAL_CLOSE (after writing the next screen's number into the
// code) or anything else for nothing.
typedef int (*pal_EventHandler)(int32_t event[4], char* name);

// A key as the window system reports it, already turned into a
// virtual-key code, with the modifier keys of the moment.
struct pal_Key {
  int vk;            // virtual-key code; 0 when the key has none; -1 a modifier key alone
  bool shift, capsLock, control, alt;
  int character;     // the character of keys outside the table (keypad operators), else 0
};

extern pal_EventHandler gpal_CurrentEventHandler;
extern int gpal_TimerStat[PAL_TIMERS + 1][2];  // per timer: mode (0 off, 1 once, 2 repeating), ms

// ---- Start-up ----------------------------------------------------------
// Resets every table of the layer, fills the font table and records the
// program paths. Runs before any other operation.
void pal_InitPAL();

// ---- Window and event loop ---------------------------------------------
// Opens a window (kind 1 framed, 15 borderless, 16 borderless with rounded
// top corners; x or y -1 centres in the work area) with a drawing area of
// width x height (slot 0), runs the event loop with handler and returns
// the event code the handler left when it returned PAL_CLOSE. A negative
// code ends the program with status 0.
int pal_RunWindow(int kind, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                  pal_EventHandler handler);
// Hands the open window to handler: clears clickables and edit boxes,
// calls it with PAL_EV_START, shows slot 0 when it returns PAL_SHOW.
void pal_SetNewEventHandler(pal_EventHandler handler);
// Fills event for a key press: code 203, character, modifier state, code.
// A modifier key alone leaves code 1 (no event); a key without a code gives 0.
void pal_MapKeyToEventCode(const pal_Key& key, int32_t event[4]);
// Starts timer number (1..5) firing after ms, every ms when repeat is 1.
// 1, or -1 after an alert (bad number, no window).
int pal_SetTimer(int number, int ms, int repeat);
void pal_DisableTimer(int number);
void pal_DisableAllTimers();
void pal_SetWindowTitle(const char* text);
// Asks the window manager to minimise the window; returns before it has.
void pal_MinimizeWindow();
// Waits at most ms until the window is minimised, asking the X server on
// the calling thread's own connection (any thread may call it); returns at
// once when no window is open or no window manager runs.
void pal_WaitUntilMinimized(int ms);
// The window's outer rectangle on the screen: x, y, width, height.
void pal_GetPalWindowRect(int32_t rect[4]);
int pal_IsPwinForegroundWin();
// Window-manager border sizes: kind 0 or 2 frame width, 1 title bar plus
// frame, 3 frame height; 0 without a window manager or window.
int pal_GetWindowBorderThickness(int kind);
// Copies slot 0 to the window: all of it for null, else the rectangle.
void pal_UpdateWindowFromBuffer(const int32_t* rect);
// Shows the stored alert texts and waits for OK (the non-blocking alerts' thread body).
void pal_doAlert();

// ---- Alerts ------------------------------------------------------------
// Shows a message box with the title, the text and one OK button. Kind 1
// waits for OK. With PICTOMIRA_ALERTS=stderr in the environment it prints
// "ALERT <kind> <title> | <text>" to standard error and returns at once.
void pal_Alert(int kind, const char* title, const char* text);
// Shows a blocking alert and ends the program with exit status 1: the one
// path for conditions a program cannot continue from.
[[noreturn]] void pal_FatalAlert(const char* title, const char* text);
// A hook that pal_FatalAlert calls first, instead of showing the alert and
// ending the program; it must not return (it throws or jumps away). For
// harnesses that feed damaged files to readers and observe their fatal
// alerts. Null (the default) restores the normal path.
typedef void (*pal_FatalAlertHook)(const char* title, const char* text);
void pal_SetFatalAlertHook(pal_FatalAlertHook hook);
// Prints a trace line (printf-style, the line end added) on standard
// output: the edit boxes' fitting and the workers' progress notes. Off when
// PICTOMIRA_TRACES=off is in the environment (benchmarks set it).
void pal_Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Ends the program with the status, after flushing standard output. Workers
// still running are stopped first (pal_StopWorkers, 10 s); one that does not
// answer is left to the system: the process ends without its exit handlers,
// which would free what the worker still uses.
[[noreturn]] void pal_EndProgram(int status);

// ---- Image buffers -----------------------------------------------------
// Creates slot's pixel memory (contents undefined) and records its size,
// releasing what the slot held before. A zero width or height alerts "ZeroBuffer" and leaves the slot unchanged.
void pal_InitWinBuf(int slot, int32_t width, int32_t height);
// Releases slot's pixel memory and scaler view.
void pal_DestroyWinBuff(int slot);
// Writes one pixel; does nothing outside the buffer.
void pal_SetBufferPixelRGB(int slot, int32_t x, int32_t y, int red, int green, int blue);
// Writes one pixel from a long colour 0xRRGGBB (higher bits ignored).
void pal_SetBufferPixelLongColor(int slot, int32_t x, int32_t y, uint32_t colour);
// Stores red, green, blue of a pixel into rgb and returns rgb; black outside.
int32_t* pal_GetBufferPixelRGB(int slot, int32_t x, int32_t y, int32_t rgb[3]);
// Copies a rectangle pixel by pixel, rows from the top, each row left to
// right; unreadable source pixels become black, unwritable ones are skipped.
void pal_CopyUnscaledRectBetweenBuffers(int srcSlot, int32_t x, int32_t y, int32_t w, int32_t h,
                                        int dstSlot, int32_t dx, int32_t dy);
// Scales all of srcSlot into the rectangle of slot 0 with smoothing (area
// averaging when shrinking, bilinear when enlarging), clipped to slot 0.
void pal_ScaleBufferOntoMainBuffer(int srcSlot, int32_t x, int32_t y, int32_t w, int32_t h);
// Stores count pixels given as packed blue, green, red bytes into row y of
// slot, starting at column x; pixels outside the buffer are skipped.
void pal_StoreBGRRowInBuffer(int slot, int32_t x, int32_t y, const unsigned char* bgr, int32_t count);

// ---- Clickable rectangles ----------------------------------------------
// Registers a named rectangle in the first free entry; a full list drops it.
void pal_MarkClickableRect(const char* name, int32_t x, int32_t y, int32_t w, int32_t h);
// Frees every clickable rectangle and forgets every edit box.
void pal_UnmarkAllClickableRects();
// Finds what lies at (x, y): an edit box first (it becomes the active slot
// and its number is returned, the name stays empty), else the first
// clickable rectangle holding the point (name copied, index returned), else -1.
// dst holds at least PAL_NAME_LEN bytes.
int pal_FindClickableRectAtLocation(char* dst, int32_t x, int32_t y);

// ---- Text --------------------------------------------------------------
// Width in whole pixels of text in font (an empty font entry means font 1);
// 0 for the empty text. Uses the same advances as pal_DrawTextLine.
int pal_GetTextWidth(const char* text, int font);
// Draws one line of 8-bit text anti-aliased in colour with its top edge at
// row top and its left edge at column x; clipped to the slot.
void pal_DrawTextLine(int slot, int32_t x, int32_t top, const char* text, int font, uint32_t colour);
// The font number that font stands for: itself when its entry is filled, else 1.
int pal_ResolveFont(int font);
// The nominal size of font (the layout's text height).
int pal_FontNominalSize(int font);
// The pixel height of font: its cell, ascent plus descent, one line's height.
int pal_FontPixelHeight(int font);
// Family name of the face that text is drawn with (for tests and support).
const char* pal_TextFaceFamily();

// ---- Text edit boxes ----------------------------------------------------
constexpr int PAL_EDIT_LINE_HEIGHT = 18;
// Marks a named edit box with an initial text (null for empty); returns its
// slot, or -1 when all 19 are taken. A height that is not a positive
// multiple of 18 ends the program.
int pal_MarkTextEditRect(const char* name, int32_t x, int32_t y, int32_t w, int32_t h, const char* text,
                         int32_t maxLength, uint32_t background);
// Copies the text of the box called name into dst (9,999 bytes); empty when none.
void pal_GetMarkedTextEdit(const char* name, char* dst);
// Makes the box called name active with the caret at the end of its text.
void pal_StartTextEdit(const char* name);
// Routes an event to the active box: -1 nothing to do, 1 handled, 2 caret
// blink or press, 9 finished (Tab), -2 / -3 refused.
int pal_TextEditHandler(const int32_t event[4]);
// Types text (Windows-1252, from the window system's text input) into the
// active box, replacing the selection: 1 handled, -1 no box or no text,
// -2 refused because it does not fit. Keys bring no characters of their
// own: the layout, dead keys and input methods are the window system's.
int pal_TextEditTypeText(const char* text);
// Paints box slot with text and copies its rectangle to the window.
void pal_DrawTextEditRect(int slot, const char* text, int32_t maxLength, uint32_t background);
// Sets the caret from a point relative to the active box's text origin.
void pal_TextEditGetTextPosFromPixelPos(int32_t x, int32_t y);
// Wraps text (changed in place) into box slot: 2 fits, -1 does not.
int pal_AdjustTextToFitEditRect(int slot, char* text);
// 1 fits; 0 too many lines; -2 a line too wide; -3 both.
int pal_CheckTextToFitEditRect(const char* text, int32_t maxWidth, int lines);
// out[1] characters fit from the start ("R") or the end; out[0] the last space among them.
void pal_FindTextCharAtMaxWid(const char* text, int32_t maxWidth, int32_t out[2], const char* direction);
// Copies line n of text into dst (when given) and returns its width; -1 when absent.
int32_t pal_GetTextLineAndLengthInTextBlock(const char* text, char* dst, int line, int32_t* start);
// Replaces remove characters at position with insert: 1, -1 over capacity, -2 too few to remove.
int pal_ShortenOrLengthenString(char* string, int32_t position, int32_t remove, int32_t capacity,
                                const char* insert);
extern int gpal_TextEditCharsLeftOfCursor;
extern int32_t gpal_TextEditSelectInfo[3];  // selection start, end (-1 none), selecting flag
extern int gpal_TextEditCursOn;             // caret phase: 1 shown, -1 hidden

// ---- Clipboard ----------------------------------------------------------
void pal_PutClipboardText(const char* text, int mode);
// Copies the clipboard's text (at most capacity - 2 characters) into dst.
void pal_GetClipboardText(char* dst, int32_t capacity, int mode);

// ---- Screen, pointer and synthetic clicks -------------------------------
int pal_GetDisplayCount();
// kind 0: 0, 0, width, height of the primary monitor; kind 1: the work area
// as left, top, right, bottom. Returns the fourth value.
int32_t pal_GetAvailableScreenPixels(int kind, int32_t out[4]);
// The primary monitor's top-left corner on the root window; 0, 0 without a display.
void pal_GetPrimaryOrigin(int32_t origin[2]);
// The foreground window of whatever other application is in front (not the
// program's own window, not a minimised one), outer
// rectangle as left, top, right, bottom on the root window, without the
// shadows a window draws around itself. 0 when there is none (all four 0),
// 1 an ordinary window, 2 a maximised or full-screen one.
int pal_GetForegroundWinRect(int32_t out[4]);
// Mode 'S' (83) moves the pointer to point; other modes read it into point.
void pal_GetOrSetCursorPos(int mode, int32_t point[2]);
// Action 1 presses the left button (then waits 70 ms); others release it.
void pal_ClickMouseSingleAction(int action);
// 1 single click, 2 double click, 10 press only, 11 release only.
void pal_ClickMouse(int kind);
// 1 when the left button is held, plus 2 for the right one.
int pal_GetMouseClickStatus();
// Captures the primary monitor as packed blue, green, red rows: 1, or -1
// when the size is not the monitor's, -2 when the width is not a multiple of 4.
int pal_ScreenToBGRbuffer(unsigned char* destination, int32_t width, int32_t height);

// Presses counted from the X server's own input events, so that a press
// released at once is not missed as polling the button state would.
struct pal_PressCounter;
// Starts counting presses of the left and right buttons as the X server delivers them
// (wheel "buttons" 4-7 are not presses), on connections of its own; null when the
// server cannot record (the caller then falls back to polling the button state).
pal_PressCounter* pal_OpenPressCounter();
// The presses counted since the counter opened; waits at most waitMs for news when none is pending.
int64_t pal_CountPresses(pal_PressCounter* counter, int waitMs);
// Stops counting and closes the counter's connections; null is allowed.
void pal_ClosePressCounter(pal_PressCounter* counter);

// ---- Files, folders and threads ----------------------------------------
// Copies source to destination in chunks of 99,996 bytes: mode 1 appends
// (creating the destination if missing), other modes create or truncate.
// After each chunk progress (if given) receives bytes read * 100 / size.
// A file that cannot be opened, or a write that fails, is fatal. Once the
// program is ending (pal_StopRequested) it returns between two chunks with
// the destination unfinished: the calling worker removes it.
void pal_CopyOrAppendFile(const char* source, const char* destination, int mode, std::atomic<int>* progress);
// 0 when path exists; else creates the folder and returns 1, or -1 when it
// still does not exist.
int pal_FindOrCreateDirectory(const char* path);
// Deletes a folder: mode 0 only when empty, 1 with its files, 2 or more
// with everything below it (links are removed, never followed). 1 on
// success; -1 not removed, -6 an entry not deleted, -7 a folder not
// opened, -8 the path is a lone separator, -9 it ends in two separators.
int pal_DeleteDirectory(const char* path, int mode);
// The permission bits of a program file this process makes: 0777 less the
// process's file-creation mask (read from the system's report of the
// process, so the mask is never changed while files are being created).
unsigned pal_ProgramFileMode();
// Starts fn on a new, detached thread and returns at once; the thread is
// one of the program's workers until fn returns.
void pal_BeginThread(void (*fn)());
// The number of workers started by pal_BeginThread that have not returned.
int pal_WorkersRunning();
// Asks every worker to stop: set once, when the program is ending. A worker
// polls pal_StopRequested at its loop points, removes what it had not
// finished, keeps what it had (a capture its recording) and returns.
void pal_RequestStop();
bool pal_StopRequested();
// Ends the calling worker at once (its destructors run): for a worker deep
// in its work that has removed what it had not finished. Only on a thread
// that pal_BeginThread started.
[[noreturn]] void pal_EndWorker();
// Asks the workers to stop and waits up to ms for them; true when none runs.
// The handler, if set, is called every 50 ms of the wait on the waiting
// thread with the time waited (a program draws its closing notice there).
bool pal_StopWorkers(int ms, void (*waiting)(int elapsed_ms, int limit_ms));
// How the program ends while its window is open: pal_RunWindow calls the
// handler on the loop thread when the window is closed, before the window
// goes and the program ends (default: pal_StopWorkers for 10 s, no notice).
typedef void (*pal_EndingHandler)();
void pal_SetEndingHandler(pal_EndingHandler handler);
// Gives up the rest of the calling thread's time slice.
void pal_ForfeitThreadExecution();

// ---- Random-access files ------------------------------------------------
// A file opened for random-access reading; opened and closed within one
// operation by its users.
struct pal_File;
// Opens path for reading; null when it cannot be opened.
pal_File* pal_FileOpenRead(const char* path);
// Size of the file in bytes, or -1.
int64_t pal_FileSize(pal_File* file);
// Reads up to n bytes at offset into buf; returns the count read (short at
// the end of the file) or -1 on an error or a negative offset.
int64_t pal_FileReadAt(pal_File* file, int64_t offset, void* buf, int64_t n);
// Maps the whole file read-only and stores its size; null when it is empty
// or cannot be mapped. The mapping outlives neither the operation nor the file.
const unsigned char* pal_FileMapRead(pal_File* file, int64_t* size);
// Releases a mapping made by pal_FileMapRead; null is allowed.
void pal_FileUnmap(const unsigned char* map, int64_t size);
// Closes the file; null is allowed.
void pal_FileClose(pal_File* file);
