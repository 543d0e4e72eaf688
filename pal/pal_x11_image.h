// pal_x11_image.h: what the program's window and the message boxes share
// on X: showing rectangles of a pixel buffer (blue, green, red, unused, as
// every buffer of the layer holds them), and the window manager's hints
// and title of a window of fixed size.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>

class PalXImage {
 public:
  // An image as large as the window, in shared memory when the server
  // offers it and accepts the segment (a local server), else in the
  // program's memory.
  PalXImage(Display* display, Window window, int32_t width, int32_t height);
  ~PalXImage();
  PalXImage(const PalXImage&) = delete;
  PalXImage& operator=(const PalXImage&) = delete;

  // Copies the rectangle (x, y, w, h) of pixels (stride bytes a row) to
  // the same place of the window, clipped to both, and returns once the
  // server has drawn it.
  void show(const unsigned char* pixels, int32_t stride, int32_t x, int32_t y, int32_t w, int32_t h);

 private:
  void copyIn(const unsigned char* pixels, int32_t stride, int32_t x, int32_t y, int32_t w, int32_t h);

  Display* display_;
  Window window_;
  GC gc_ = nullptr;
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  bool shared_ = false;
  bool bgrx_ = false;  // the server's pixels are the buffer's: rows are copied as they are
  int32_t width_, height_;
};

// Tells the window manager that window is width x height, fixed, wants to
// be at (x, y), takes keys and closes through WM_DELETE_WINDOW.
void palXFixedWindowHints(Display* display, Window window, int32_t x, int32_t y, int32_t width, int32_t height);
// Sets the window's title (Windows-1252) as UTF-8, in WM_NAME and _NET_WM_NAME.
void palXSetTitle(Display* display, Window window, const char* cp1252);
