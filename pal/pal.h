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

// ---- Start-up ----------------------------------------------------------
// Resets every table of the layer, fills the font table and records the
// program paths. Runs before any other operation.
void pal_InitPAL();

// ---- Alerts ------------------------------------------------------------
// Shows a message box with the title, the text and one OK button. Kind 1
// waits for OK. With PICTOMIRA_ALERTS=stderr in the environment it prints
// "ALERT <kind> <title> | <text>" to standard error and returns at once.
void pal_Alert(int kind, const char* title, const char* text);
// Shows a blocking alert and ends the program with exit status 1: the one
// path for conditions a program cannot continue from.
[[noreturn]] void pal_FatalAlert(const char* title, const char* text);
// Ends the program with the status, after flushing standard output.
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

// ---- Files, folders and threads ----------------------------------------
// Copies source to destination in chunks of 99,996 bytes: mode 1 appends
// (creating the destination if missing), other modes create or truncate.
// After each chunk progress (if given) receives bytes read * 100 / size.
// A file that cannot be opened, or a write that fails, is fatal.
void pal_CopyOrAppendFile(const char* source, const char* destination, int mode, std::atomic<int>* progress);
// 0 when path exists; else creates the folder and returns 1, or -1 when it
// still does not exist.
int pal_FindOrCreateDirectory(const char* path);
// Deletes a folder: mode 0 only when empty, 1 with its files, 2 or more
// with everything below it (links are removed, never followed). 1 on
// success; -1 not removed, -6 an entry not deleted, -7 a folder not
// opened, -8 the path is a lone separator, -9 it ends in two separators.
int pal_DeleteDirectory(const char* path, int mode);
// Starts fn on a new, detached thread and returns at once.
void pal_BeginThread(void (*fn)());
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
