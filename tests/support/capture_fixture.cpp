// capture_fixture.cpp: writes capture slots for the tests through the
// recording file writer, choosing records the way the capture thread does.
#include "tests/support/capture_fixture.h"

#include "studio/capture/capture_recorder.h"
#include "studio/capture/demo_files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr uint32_t kDesktop = 0x336699, kBorder = 0x404040, kFace = 0xE0E0E0, kTitle = 0x203060;
constexpr uint32_t kInk = 0x202020, kButton = 0xC8C8C8, kLit = 0x2060FF, kPaper = 0xFFFFFF;
constexpr uint32_t kPages[] = {0xB0D0F0, 0xD0F0B0, 0xF0C0C0, 0xE0E0A0, 0xC0B0E0};
constexpr uint32_t kSpin[] = {0xFF0000, 0x00C000, 0x0000FF, 0xE0E000, 0x00E0E0};

// Draws the scene: the desktop, the window with its title bar, content
// panel (a few dark blocks that move with the page), text field, animation,
// buttons along the bottom and the pop-up.
void paintScene(CaptureScreen& s, const int32_t win[4], const SceneState& st) {
  const int32_t x = win[0], y = win[1], w = win[2], h = win[3];
  s.fill(0, 0, s.W, s.H, kDesktop);
  s.fill(x, y, w, h, kBorder);
  s.fill(x + 1, y + 1, w - 2, h - 2, kFace);
  s.fill(x + 1, y + 1, w - 2, 14, kTitle);
  for (int i = 0; i < 6; ++i) s.fill(x + 6 + i * 7, y + 5, 5, 5, kPaper);
  s.fill(x + 10, y + 22, w - 20, 50, kPages[st.page % 5]);
  for (int i = 0; i < 3 + st.page % 4; ++i) s.fill(x + 16 + i * 12, y + 30 + (st.page % 3) * 8, 8, 8, kInk);
  const int32_t fx = x + 10, fy = y + 80;
  s.fill(fx, fy, 150, 20, kBorder);
  s.fill(fx + 1, fy + 1, 148, 18, kPaper);
  for (int i = 0; i < st.typed && i < 17; ++i) s.fill(fx + 4 + 8 * i, fy + 5, 6, 10, kInk);
  if (st.caret) s.fill(fx + 4 + 8 * std::min(st.typed, 17), fy + 4, 1, 12, 0x000000);
  if (st.spin >= 0) {
    const int32_t ax = x + w - 30, ay = y + 80;
    s.fill(ax, ay, 16, 16, 0x808080);
    s.fill(ax + (st.spin % 2) * 8, ay + (st.spin / 2 % 2) * 8, 8, 8, kSpin[st.spin % 5]);
  }
  for (int b = 0; b < 3; ++b) {
    const int32_t bx = x + 10 + b * 75, by = y + h - 34;
    s.fill(bx, by, 64, 22, st.lit == b ? kLit : kBorder);  // a lit button changes only its outline
    s.fill(bx + 1, by + 1, 62, 20, kButton);
    for (int i = 0; i < 4; ++i) s.fill(bx + 20 + i * 9, by + 7, 6, 8, kInk);
  }
  if (st.popup) {
    s.fill(x + 60, y + 50, 120, 50, kBorder);
    s.fill(x + 61, y + 51, 118, 48, 0xFFFFE0);
    for (int i = 0; i < 5; ++i) s.fill(x + 70 + i * 10, y + 60, 7, 9, kInk);
  }
}

}  // namespace

void CaptureScreen::fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  const int32_t x0 = std::max(x, 0), y0 = std::max(y, 0), x1 = std::min(x + w, W), y1 = std::min(y + h, H);
  for (int32_t row = y0; row < y1; ++row)
    for (int32_t col = x0; col < x1; ++col) {
      unsigned char* p = bgr.data() + (static_cast<size_t>(row) * W + col) * 3;
      p[0] = colour & 0xFF;
      p[1] = (colour >> 8) & 0xFF;
      p[2] = (colour >> 16) & 0xFF;
    }
}

bool writeCaptureSlot(const std::string& programFolder, const CaptureFixture& fx) {
  if (fx.W < 1 || fx.H < 1) return false;
  std::string folder = programFolder;
  if (folder.empty() || folder.back() != '/') folder += '/';
  const std::string recording = folder + "TempCapture.DMR", windows = folder + "TempCapture.DMW";
  File f(std::fopen(recording.c_str(), "wb"));
  if (!f) return false;
  const size_t bytes = static_cast<size_t>(fx.W) * fx.H * 3;
  CaptureScreen before{fx.W, fx.H, std::vector<unsigned char>(bytes)}, screen = before;
  std::vector<unsigned char> patch;
  int p = CAPTURE_FULL_PERCENT;  // the capture's threshold for writing the whole screen
  bool ok = true;
  for (size_t i = 0; i < fx.frames.size() && ok; ++i) {
    const CaptureFrame& fr = fx.frames[i];
    std::fill(screen.bgr.begin(), screen.bgr.end(), 0);
    if (fr.paint) fr.paint(screen);
    int32_t r[4] = {0, 0, fx.W, fx.H};
    if (i == 0 || fr.click == 1) {
      p = CAPTURE_FULL_PERCENT;
    } else if (!captureChangedRect(before.bgr.data(), screen.bgr.data(), fx.W, fx.H, r)) {
      r[0] = r[1] = 0;  // nothing changed: one unchanged pixel
      r[2] = r[3] = 1;
    } else if (int64_t{r[2]} * r[3] > (int64_t{p} * fx.W / 100) * fx.H) {
      r[0] = r[1] = 0;
      r[2] = fx.W;
      r[3] = fx.H;
      p = CAPTURE_FULL_PERCENT - 1;
    } else {
      --p;
    }
    const size_t row = static_cast<size_t>(r[2]) * 3;
    patch.resize(row * r[3]);
    for (int32_t k = 0; k < r[3]; ++k)
      std::memcpy(&patch[row * k], &screen.bgr[(static_cast<size_t>(r[1] + k) * fx.W + r[0]) * 3], row);
    const RecordLine line{fr.x, fr.y, fx.W, fx.H, r[0], r[1], r[2], r[3], fr.time, fr.click};
    ok = recWriteRecord(f.get(), line, patch.data());
    std::swap(before, screen);
  }
  if (std::fclose(f.release()) != 0 || !ok) return false;
  if (fx.cutBytes > 0) {
    File end(std::fopen(recording.c_str(), "rb"));
    if (!end || fseeko(end.get(), 0, SEEK_END) != 0) return false;
    const int64_t size = ftello(end.get());
    if (::truncate(recording.c_str(), std::max<int64_t>(size - fx.cutBytes, 0)) != 0) return false;
  }
  File w(std::fopen(windows.c_str(), "wb"));
  if (!w) return false;
  for (const auto& l : fx.windowLines) std::fprintf(w.get(), "%d,%d,%d,%d\r\n", l[0], l[1], l[2], l[3]);
  return std::fclose(w.release()) == 0;
}

// ---- Scenes --------------------------------------------------------------------------

CaptureScript::CaptureScript(int32_t W, int32_t H, int32_t winX, int32_t winY, int32_t winW, int32_t winH)
    : win_{winX, winY, winW, winH}, px_(winX + winW / 2), py_(winY + 40) {
  fx_.W = W;
  fx_.H = H;
}

int32_t CaptureScript::buttonX(int b) const { return win_[0] + 10 + b * 75 + 9; }
int32_t CaptureScript::buttonY(int) const { return win_[1] + win_[3] - 34 + 11; }
int32_t CaptureScript::fieldX() const { return win_[0] + 10 + 75; }
int32_t CaptureScript::fieldY() const { return win_[1] + 80 + 10; }

CaptureFrame CaptureScript::make(int32_t ms, int click) {
  time_ = time_ < 0 ? 0 : time_ + ms;
  const SceneState st = state_;
  const std::array<int32_t, 4> win = {win_[0], win_[1], win_[2], win_[3]};
  return CaptureFrame{time_, px_, py_, click, [st, win](CaptureScreen& s) { paintScene(s, win.data(), st); }};
}

CaptureScript& CaptureScript::frame(int32_t ms) {
  fx_.frames.push_back(make(ms, 0));
  return *this;
}

CaptureScript& CaptureScript::frames(int n, int32_t ms) {
  for (int i = 0; i < n; ++i) frame(ms);
  return *this;
}

CaptureScript& CaptureScript::moveTo(int32_t x, int32_t y, int32_t ms) {
  px_ = x;
  py_ = y;
  return frame(ms);
}

CaptureScript& CaptureScript::hover(int b, int32_t ms) {
  state_.lit = b;
  return moveTo(buttonX(b), buttonY(b), ms);
}

CaptureScript& CaptureScript::click(int32_t ms) {
  fx_.frames.push_back(make(ms, 1));
  fx_.windowLines.push_back({win_[0], win_[1], win_[0] + win_[2], win_[1] + win_[3]});
  return *this;
}

CaptureScript& CaptureScript::clickButton(int b, int32_t ms) {
  hover(b, ms).click(ms);
  ++state_.page;
  return frame(ms);
}

CaptureScript& CaptureScript::doubleClickButton(int b, int32_t ms) {
  hover(b).click().click(ms);
  ++state_.page;
  return frame();
}

CaptureScript& CaptureScript::blink(int n, int32_t x, int32_t y, int32_t ms) {
  state_.lit = -1;
  moveTo(fieldX(), fieldY(), ms).click(ms);
  px_ = x;
  py_ = y;
  for (int i = 0; i < n; ++i) {
    state_.caret = i % 2 == 0;
    frame(ms);
  }
  return *this;
}

CaptureScript& CaptureScript::type(int32_t ms) {
  ++state_.typed;
  return frame(ms);
}

CaptureScript& CaptureScript::animate(int n, int32_t ms) {
  for (int i = 0; i < n; ++i) {
    ++state_.spin;
    frame(ms);
  }
  return *this;
}

CaptureScript& CaptureScript::popup(bool open, int32_t ms) {
  state_.popup = open;
  return frame(ms);
}

CaptureScript& CaptureScript::clickOutside(int32_t x, int32_t y, int32_t ms) {
  state_.lit = -1;
  moveTo(x, y, ms);
  fx_.frames.push_back(make(ms, 1));
  return *this;
}

CaptureScript& CaptureScript::pauseCapture(int32_t ms) {
  return clickOutside(fx_.W - 30, fx_.H - 12, ms);
}
