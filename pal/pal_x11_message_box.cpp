// pal_x11_message_box.cpp: the alert's message box on plain Xlib: the
// title, the text wrapped to lines, and an OK button centred 38 pixels
// above the box's bottom edge. Each box has a connection and a loop of its
// own, so that a box can show from any thread while the program's window
// runs on; Return, Escape, Space, the OK button or closing the box end it.
// The text is drawn with the layer's own text drawing.
#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "pal/pal_internal.h"
#include "pal/pal_x11_image.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kFont = 1;
constexpr int32_t kMargin = 24, kLineHeight = 22, kMaxTextWidth = 520, kMinWidth = 300;
constexpr int32_t kButtonW = 90, kButtonH = 28, kButtonBottom = 24;  // the button's centre: 38 above the bottom
constexpr uint32_t kFace = 0xF2F2F2, kInk = 0x101010, kButtonFace = 0xDDDDDD, kButtonEdge = 0x707070;

thread_local bool tInBox = false;  // a box drawing its text met a fatal alert: that one is a line

// Splits text into the lines the box shows: its own line breaks, then
// words carried over where a line grows wider than kMaxTextWidth.
std::vector<std::string> wrap(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    std::string paragraph = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    paragraph.erase(std::remove(paragraph.begin(), paragraph.end(), '\r'), paragraph.end());
    std::string line;
    size_t i = 0;
    while (i < paragraph.size()) {
      const size_t space = paragraph.find(' ', i);
      const std::string word = paragraph.substr(i, space == std::string::npos ? std::string::npos : space - i + 1);
      const std::string longer = line + word;
      if (!line.empty() && pal_GetTextWidth(longer.c_str(), kFont) > kMaxTextWidth) {
        lines.push_back(line);
        line = word;
      } else {
        line = longer;
      }
      i += word.size();
    }
    lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

void fillRect(std::vector<unsigned char>& px, int32_t width, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t c) {
  for (int32_t row = y; row < y + h; ++row)
    for (int32_t col = x; col < x + w; ++col) {
      unsigned char* p = &px[(static_cast<size_t>(row) * width + col) * 4];
      p[PAL_RED] = (c >> 16) & 0xFF;
      p[PAL_GREEN] = (c >> 8) & 0xFF;
      p[PAL_BLUE] = c & 0xFF;
    }
}

class Box {
 public:
  Box(Display* d, const char* title, const char* text) : d_(d), lines_(wrap(text)) {
    int32_t widest = 0;
    for (const std::string& l : lines_) widest = std::max(widest, pal_GetTextWidth(l.c_str(), kFont));
    w_ = std::max(kMinWidth, widest + 2 * kMargin);
    h_ = kMargin + static_cast<int32_t>(lines_.size()) * kLineHeight + 20 + kButtonH + kButtonBottom;
    button_[0] = (w_ - kButtonW) / 2;
    button_[1] = h_ - kButtonBottom - kButtonH;
    paint();
    open(title);
  }
  ~Box() {
    image_.reset();
    XDestroyWindow(d_, window_);
    XSync(d_, False);
  }
  Box(const Box&) = delete;
  Box& operator=(const Box&) = delete;

  // Runs the box's loop until it is answered.
  void run() {
    bool pressedOnButton = false;
    for (;;) {
      XEvent e;
      XNextEvent(d_, &e);
      switch (e.type) {
        case Expose:
          if (e.xexpose.count == 0) image_->show(pixels_.data(), w_ * 4, 0, 0, w_, h_);
          break;
        case ButtonPress: pressedOnButton = e.xbutton.button == Button1 && onButton(e.xbutton.x, e.xbutton.y); break;
        case ButtonRelease:
          if (e.xbutton.button == Button1 && pressedOnButton && onButton(e.xbutton.x, e.xbutton.y)) return;
          pressedOnButton = false;
          break;
        case KeyPress: {
          const KeySym k = XLookupKeysym(&e.xkey, 0);
          if (k == XK_Return || k == XK_KP_Enter || k == XK_Escape || k == XK_space) return;
          break;
        }
        case ClientMessage:
          if (static_cast<Atom>(e.xclient.data.l[0]) == XInternAtom(d_, "WM_DELETE_WINDOW", False)) return;
          break;
        default: break;
      }
    }
  }

 private:
  bool onButton(int x, int y) const {
    return x >= button_[0] && x < button_[0] + kButtonW && y >= button_[1] && y < button_[1] + kButtonH;
  }

  void paint() {
    pixels_.assign(static_cast<size_t>(w_) * h_ * 4, 0);
    fillRect(pixels_, w_, 0, 0, w_, h_, kFace);
    for (size_t i = 0; i < lines_.size(); ++i)
      palDrawTextInto(pixels_.data(), w_, h_, kMargin, kMargin + static_cast<int32_t>(i) * kLineHeight,
                      lines_[i].c_str(), kFont, kInk);
    fillRect(pixels_, w_, button_[0], button_[1], kButtonW, kButtonH, kButtonEdge);
    fillRect(pixels_, w_, button_[0] + 1, button_[1] + 1, kButtonW - 2, kButtonH - 2, kButtonFace);
    const int32_t okW = pal_GetTextWidth("OK", kFont);
    palDrawTextInto(pixels_.data(), w_, h_, button_[0] + (kButtonW - okW) / 2, button_[1] + (kButtonH - 18) / 2, "OK",
                    kFont, kInk);
  }

  // A dialog window centred on the work area, above the program's window.
  void open(const char* title) {
    int32_t work[4];
    pal_GetAvailableScreenPixels(1, work);
    const int32_t x = work[0] + std::max(0, (work[2] - work[0] - w_) / 2);
    const int32_t y = work[1] + std::max(0, (work[3] - work[1] - h_) / 2);
    XSetWindowAttributes a{};
    a.background_pixel = WhitePixel(d_, DefaultScreen(d_));
    a.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
    window_ = XCreateWindow(d_, DefaultRootWindow(d_), x, y, w_, h_, 0, CopyFromParent, InputOutput, CopyFromParent,
                            CWBackPixel | CWEventMask, &a);
    palXSetTitle(d_, window_, title);
    palXFixedWindowHints(d_, window_, x, y, w_, h_);
    const Atom dialog = XInternAtom(d_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(d_, window_, XInternAtom(d_, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dialog), 1);
    if (const unsigned long owner = palOwnWindowXid()) XSetTransientForHint(d_, window_, static_cast<Window>(owner));
    image_ = std::make_unique<PalXImage>(d_, window_, w_, h_);
    XMapRaised(d_, window_);
    XFlush(d_);
  }

  Display* d_;
  std::vector<std::string> lines_;
  int32_t w_ = 0, h_ = 0, button_[2] = {0, 0};
  std::vector<unsigned char> pixels_;
  Window window_ = 0;
  std::unique_ptr<PalXImage> image_;
};

// Shows the box and waits for its answer; false when no box can be shown.
bool showBox(const char* title, const char* text) {
  if (tInBox) return false;
  Display* d = palOpenXDisplay();
  if (d == nullptr) return false;
  tInBox = true;
  {
    Box box(d, title, text);
    box.run();
  }
  tInBox = false;
  XCloseDisplay(d);
  return true;
}

}  // namespace

bool palShowFatalBox(const char* title, const char* text) { return showBox(title, text); }

void palShowAlertBox(const char* title, const char* text) {
  if (!showBox(title, text))  // no display to show it on
    std::fprintf(stderr, "ALERT %s | %s\n", pal_Cp1252ToUtf8(title).c_str(), pal_Cp1252ToUtf8(text).c_str());
}
