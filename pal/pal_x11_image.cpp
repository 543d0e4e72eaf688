// pal_x11_image.cpp: the pixels of a buffer into an X window, through
// MIT-SHM when the server shares memory with us and XPutImage otherwise.
#include "pal/pal_x11_image.h"

#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "pal/pal_internal.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The value of one 0..255 channel in a visual's mask.
unsigned long scaled(unsigned value, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1ul) == 0) ++shift;
  const unsigned long max = mask >> shift;
  return ((value * max + 127) / 255) << shift;
}

}  // namespace

PalXImage::PalXImage(Display* display, Window window, int32_t width, int32_t height)
    : display_(display), window_(window), width_(std::max(1, width)), height_(std::max(1, height)) {
  const int screen = DefaultScreen(display);
  Visual* visual = DefaultVisual(display, screen);
  const int depth = DefaultDepth(display, screen);
  gc_ = XCreateGC(display, window, 0, nullptr);
  if (XShmQueryExtension(display)) {
    image_ = XShmCreateImage(display, visual, depth, ZPixmap, nullptr, &shm_, width_, height_);
    if (image_ != nullptr) {
      shm_.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image_->bytes_per_line) * height_, IPC_CREAT | 0600);
      shm_.shmaddr = shm_.shmid < 0 ? reinterpret_cast<char*>(-1) : static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
      shm_.readOnly = False;
      // A remote server cannot attach our segment: the error says so.
      shared_ = shm_.shmaddr != reinterpret_cast<char*>(-1) &&
                palXQuietly(display, [&] { XShmAttach(display, &shm_); });
      if (shm_.shmid >= 0) shmctl(shm_.shmid, IPC_RMID, nullptr);  // freed once both sides detach
      if (shared_) {
        image_->data = shm_.shmaddr;
      } else {
        if (shm_.shmaddr != reinterpret_cast<char*>(-1)) shmdt(shm_.shmaddr);
        image_->data = nullptr;
        XDestroyImage(image_);
        image_ = nullptr;
      }
    }
  }
  if (image_ == nullptr) {
    image_ = XCreateImage(display, visual, depth, ZPixmap, 0, nullptr, width_, height_, 32, 0);
    if (image_ != nullptr) image_->data = static_cast<char*>(std::calloc(image_->bytes_per_line, height_));
  }
  bgrx_ = image_ != nullptr && image_->bits_per_pixel == 32 && image_->byte_order == LSBFirst &&
          image_->red_mask == 0xFF0000 && image_->green_mask == 0xFF00 && image_->blue_mask == 0xFF;
}

PalXImage::~PalXImage() {
  if (image_ != nullptr) {
    if (shared_) {
      XShmDetach(display_, &shm_);
      XSync(display_, False);
      shmdt(shm_.shmaddr);
      image_->data = nullptr;
    }
    XDestroyImage(image_);  // frees the program's memory of an unshared image
  }
  if (gc_ != nullptr) XFreeGC(display_, gc_);
}

void PalXImage::copyIn(const unsigned char* pixels, int32_t stride, int32_t x, int32_t y, int32_t w, int32_t h) {
  for (int32_t row = y; row < y + h; ++row) {
    const unsigned char* src = pixels + static_cast<size_t>(row) * stride + static_cast<size_t>(x) * 4;
    if (bgrx_) {
      std::memcpy(image_->data + static_cast<size_t>(row) * image_->bytes_per_line + static_cast<size_t>(x) * 4, src,
                  static_cast<size_t>(w) * 4);
      continue;
    }
    for (int32_t col = x; col < x + w; ++col, src += 4)  // any other visual, pixel by pixel
      XPutPixel(image_, col, row,
                scaled(src[PAL_RED], image_->red_mask) | scaled(src[PAL_GREEN], image_->green_mask) |
                    scaled(src[PAL_BLUE], image_->blue_mask));
  }
}

void PalXImage::show(const unsigned char* pixels, int32_t stride, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (image_ == nullptr || pixels == nullptr) return;
  const int32_t x0 = std::max(0, x), y0 = std::max(0, y);
  const int32_t x1 = std::min({x + w, width_, stride / 4}), y1 = std::min(y + h, height_);
  if (x0 >= x1 || y0 >= y1) return;
  copyIn(pixels, stride, x0, y0, x1 - x0, y1 - y0);
  if (shared_) XShmPutImage(display_, window_, gc_, image_, x0, y0, x0, y0, x1 - x0, y1 - y0, False);
  else XPutImage(display_, window_, gc_, image_, x0, y0, x0, y0, x1 - x0, y1 - y0);
  XSync(display_, False);  // the shared segment is ours again, and the window shows it
}

void palXFixedWindowHints(Display* display, Window window, int32_t x, int32_t y, int32_t width, int32_t height) {
  XSizeHints* size = XAllocSizeHints();
  size->flags = PPosition | USPosition | PMinSize | PMaxSize;
  size->x = x;
  size->y = y;
  size->min_width = size->max_width = width;
  size->min_height = size->max_height = height;
  XSetWMNormalHints(display, window, size);
  XFree(size);
  XWMHints* hints = XAllocWMHints();
  hints->flags = InputHint | StateHint;
  hints->input = True;
  hints->initial_state = NormalState;
  XSetWMHints(display, window, hints);
  XFree(hints);
  Atom close = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &close, 1);
}

void palXSetTitle(Display* display, Window window, const char* cp1252) {
  const std::string utf8 = pal_Cp1252ToUtf8(cp1252 != nullptr ? cp1252 : "");
  const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
  for (const char* name : {"WM_NAME", "_NET_WM_NAME"})
    XChangeProperty(display, window, XInternAtom(display, name, False), utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
}
