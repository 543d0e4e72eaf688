// html5_export.cpp: the demo as one self-contained HTML5 page. The page
// carries every frame as a PNG data URI, every instruction rectangle as a
// positioned DIV with its handlers, timers and keys as attributes read by
// a small script (page/html5_loader.js and page/html5_controls.js, built
// into the program; see html5_assets.h), a splash drawn from the "GBH"
// branding file, and a learning mode (red boxes, speaker notes) beside a
// presentation mode.
//
// Frames are read in one forward pass over the recording; their PNGs are
// encoded on worker threads a few frames ahead of the writer and written
// strictly in frame order. Speaker notes and the splash texts are drawn
// into image buffer slot 7 (no window calls). The page is written under a
// temporary name in its folder and renamed over the page handed out before
// only once complete; a refusal leaves that page as it was and comes back
// with a reason.
#include "studio/publishing/web_export.h"

#include "pal/pal_codepage.h"
#include "studio/publishing/publishing_support.h"

#include "studio/publishing/html5_assets.h"
#include "studio/publishing/html5_page.h"
#include "studio/publishing/line_pool.h"
#include "studio/publishing/package_writer.h"

#include "studio/capture/demo_files.h"
#include "studio/capture/frame_cursor.h"

#include "demo/demo_model.h"
#include "demo/demo_overlays.h"
#include "demo/demo_package.h"
#include "pag/pag.h"
#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

std::atomic<int> gExportProgress{0};
Html5Encoder gHtml5Encoder = pngDataUri;

namespace {

using publishing::Failure;
using publishing::FrameInstructions;
using publishing::frameName;
using publishing::makeFolder;
using publishing::quoted;
using publishing::refuse;

constexpr size_t kNameMax = 49;
constexpr const char* kExportFail = "Export Fail";
constexpr int kDrawSlot = 7;              // spare buffer for the splash and the notes
constexpr int32_t kCanvasLeft = 43, kCanvasTop = 42;
constexpr int32_t kTouchMin = 44;         // CSS pixels a finger needs
constexpr int kJumpNoteLine = 100;
constexpr int kEncodersMin = 2, kEncodersMax = 4;
constexpr int kInFlightPerEncoder = 2;    // pictures queued per encoding thread
constexpr int64_t kBrandingBytes = PKG_BRANDING_PICTURE_AT + int64_t{PKG_SPLASH_W} * PKG_SPLASH_H * 3;
constexpr const char* kEol = "\r\n";

// Progress at the starts of the sections, then across the frames.
constexpr int kProgressScrubbed = 20;
constexpr int kProgressSection[6] = {40, 50, 60, 70, 80, 90};
constexpr int kProgressFramesFrom = 100, kProgressFramesSpan = 850;

// The four control icons: a settings gear and a hint bulb (32 x 32 RGB) and
// two arrows (32 x 24 RGBA), fixed pictures in the page's colours.
constexpr const char* kSettingsIcon =
    "iVBORw0KGgoAAAANSUhEUgAAACAAAAAgCAIAAAD8GO2jAAAA6klEQVR42uWW0RGEIAxEKe4KoAsLoCPqogD+KcB7ozNOhkTl5ib44X4hJCzsSiB8"
    "nBHeRNBaWzfQcCEopewENP4liDGmlGTPsiySgE85SjApowSEMgU6MAvtnHOtdVWgkyECCCOYFJMjmLMfKzWn7mhkvOboCdjsYeavILET1pZIyj0O"
    "bcyVB7fKmFoNeQCw7myNecPZ/hgaItDL1+KaVpF4T4COemnaup1DR2obgqwEZYNW5vZsy+D9DBkEZ+6Zyl67BZ4gcJfI3eRJv+mMg+ZeKnyLnXu5"
    "dr9w3K/MGZf+jGfLMw+vtz5+vy78QAMz1wB9AAAAAElFTkSuQmCC";
constexpr const char* kBackIcon =
    "iVBORw0KGgoAAAANSUhEUgAAACAAAAAYCAYAAACbU/80AAAAeElEQVR42mO4dV+QYSAxw1B2wPyBcoAAEO8H4v8D4QADID4PtZzuDnAA4vdI"
    "ltPVAQloFtPVAfNxWE5zByAnNmpjgg5AT2x0dQC2xEY3ByTQ2OLB74ABj4JBkQgHRTYcFAXRoCmKB0VlNCiq40HRIBkUTbLh1SoGAKbORXO5UukW"
    "AAAAAElFTkSuQmCC";
constexpr const char* kForwardIcon =
    "iVBORw0KGgoAAAANSUhEUgAAACAAAAAYCAYAAACbU/80AAAAdElEQVR42mO4dV+QYSAxw3BxwPyBdsB/IN4PxAID6QAQPg/EBgPpABB+D8QOA+kA"
    "GE4YaAf8JyZxEmsQJRhv4qSHA/AmTno5AGfipKcDsCbOEeWAAY2CAU2EJGXDAS+IhkVRPKCV0YBWxwPaIJk/4hulZGMA3FxFc60Uz9kAAAAASUVO"
    "RK5CYII=";
constexpr const char* kHintIcon =
    "iVBORw0KGgoAAAANSUhEUgAAACAAAAAgCAIAAAD8GO2jAAAAq0lEQVR42mNwoTFgGBkWZGWbL1qqcvyM+K37gkAEZAC5QEEqWJCQaLVlhxzEXEwE"
    "lAIqIN8CoOaLV0VwmQ5BQAX47WCgxHRi7MBpAZ6QwRpWpFkAjEDiTYcgXHGO3QJgIiHVAqAWEiyAp0jiEVALCRaQajoEDSYLaB5ENI9kmidTmmc0"
    "ehQVNC/s6FFcE8wWVKvRRi0YFM2W/klaaIjKFpAXPoPJgtG2Ke0AAJ7rVSVuKkhLAAAAAElFTkSuQmCC";
std::string num(int64_t v) { return std::to_string(v); }
std::string systemFilePath(const char* name) { return std::string(gProgramFolder) + "zPictomiraSystemFiles/" + name; }
int32_t frameCount() { return std::clamp(gFrameCount, 0, DEMO_FRAME_CAP); }

// Replaces every "\n" of a block of page text with the page's line end.
std::string crlf(const char* text) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\n') out += '\r';
    out += *p;
  }
  return out;
}
std::string crlf(const unsigned char* text) { return crlf(reinterpret_cast<const char*>(text)); }

// Author text for an attribute value: escaped, on one line.
std::string attrText(std::string s) {
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  return htmlText(s);
}

// "#RRGGBB" of a long colour.
std::string colourText(uint32_t colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(colour & 0xFFFFFF));
  return text;
}

// ---- The demo as the page sees it ---------------------------------------------------------

// The text of record index when it is one in use; empty otherwise.
std::string textOf(int64_t index) {
  char text[DEMO_TEXT_LEN] = "";
  if (index < DEMO_FIRST_TEXT_REC || index >= DEMO_TEXT_RECS) return {};
  if (demoGetTextValue(static_cast<int32_t>(index), text) != 0) return {};
  return text;
}

bool sameRect(const InstrRec& a, const int32_t r[4]) {
  return a.v[0] == r[0] && a.v[1] == r[1] && a.v[2] == r[2] && a.v[3] == r[3];
}

int32_t resolved(const InstrRec& in, int32_t f) { return in.target == -1 ? f + 1 : in.target; }

// Every frame's instructions in table order, names, notes and whether
// the frame is drawn as a delta of the frame before.
struct DemoView : FrameInstructions {
  int32_t frames = 0;
  std::vector<std::string> names, notes;
  std::vector<char> delta;

  explicit DemoView(int32_t n) : FrameInstructions(n), frames(n), names(n), notes(n), delta(n, 0) {
    const int32_t instrs = std::clamp(gInstrCount, 0, DEMO_INSTR_CAP);
    std::vector<char> targeted(static_cast<size_t>(n), 0);
    for (int32_t i = 0; i < instrs; ++i) {
      const InstrRec& in = gInstrData[i];
      if (in.frame >= 0 && in.frame < n && in.target >= 0 && in.target < n) targeted[in.target] = 1;
    }
    for (int32_t f = 0; f < n; ++f) {
      names[f] = textOf(gFrameData[f].nameText);
      notes[f] = textOf(gFrameData[f].noteText);
      // A wait that nothing leads to is only ever reached from the frame before.
      delta[f] = f > 0 && count(f) > 0 && at(f, 0).type == INSTR_TIMER && at(f, 0).target == -1 && !targeted[f];
    }
  }
  int32_t firstType(int32_t f) const { return count(f) > 0 ? at(f, 0).type : 0; }
  bool hasNote(int32_t f) const { return !notes[f].empty(); }
  // The first instruction of frame f of type on rectangle r; null when none.
  const InstrRec* find(int32_t f, int32_t type, const int32_t* r) const {
    if (f < 0 || f >= frames) return nullptr;
    for (int32_t k = 0; k < count(f); ++k)
      if (at(f, k).type == type && (r == nullptr || sameRect(at(f, k), r))) return &at(f, k);
    return nullptr;
  }
  // What a screen reader calls frame f: its name, else its note's first line, else its step number.
  std::string label(int32_t f) const {
    if (!names[f].empty()) return names[f];
    const std::string& note = notes[f];
    size_t end = 0;
    while (end < note.size() && end < static_cast<size_t>(kJumpNoteLine) && static_cast<unsigned char>(note[end]) >= 32)
      ++end;
    return end > 0 ? note.substr(0, end) : "Step " + num(f + 1);
  }
};

// ---- Branding ----------------------------------------------------------------------------

struct Branding {
  uint32_t values[PKG_BRANDING_VALUES] = {};
  std::vector<unsigned char> picture;  // 900 x 600, blue, green, red, bottom row first
  int32_t value(int i) const { return static_cast<int32_t>(values[i]); }
};

// Reads the system file "GBH"; 1, or -1 with *why.
int readBranding(Branding* b, Failure* why) {
  const std::string path = systemFilePath("GBH");
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (file == nullptr)
    return refuse(why, "No GBH", "Missing Branding File",
                  "The system file " + quoted(path) + " cannot be opened: " + std::strerror(errno));
  unsigned char head[PKG_BRANDING_PICTURE_AT];
  const size_t got = std::fread(head, 1, sizeof head, file.get());
  if (got < 4 || std::memcmp(head, "gBa2", 4) != 0)
    return refuse(why, "Bad GBH", "Bad Branding File", "The system file " + quoted(path) + " does not begin with gBa2");
  b->picture.resize(static_cast<size_t>(kBrandingBytes - PKG_BRANDING_PICTURE_AT));
  if (got < sizeof head || std::fread(b->picture.data(), 1, b->picture.size(), file.get()) != b->picture.size())
    return refuse(why, "Bad GBH", "Bad Branding File",
                  "The system file " + quoted(path) +
                      " is shorter than the 1,620,180 bytes of its values and splash picture");
  for (int i = 0; i < PKG_BRANDING_VALUES; ++i) {
    const unsigned char* v = head + 4 + 4 * i;
    b->values[i] = (uint32_t{v[0]} << 24) | (uint32_t{v[1]} << 16) | (uint32_t{v[2]} << 8) | v[3];
  }
  return 1;
}

// Slot 7 as RGBA, opaque.
void slotToRgba(int32_t w, int32_t h, unsigned char* rgba) {
  const unsigned char* in = gpal_ImageBuffBits[kDrawSlot];
  for (size_t p = 0, n = static_cast<size_t>(w) * h; p < n; ++p, in += 4, rgba += 4) {
    rgba[0] = in[PAL_RED];
    rgba[1] = in[PAL_GREEN];
    rgba[2] = in[PAL_BLUE];
    rgba[3] = 255;
  }
}

// The splash: the branding picture with the package name and the notes
// (up to their first empty line) centred on the branding's centre line.
bool splashPicture(const Branding& b, const WebExportSettings& s, std::vector<unsigned char>* rgba) {
  constexpr int kTitleFont = 6, kNotesFont = 4;
  pal_InitWinBuf(kDrawSlot, PKG_SPLASH_W, PKG_SPLASH_H);
  if (gpal_ImageBuffBits[kDrawSlot] == nullptr) return false;
  const size_t row = size_t{PKG_SPLASH_W} * 3;
  for (int32_t i = 0; i < PKG_SPLASH_H; ++i)
    pal_StoreBGRRowInBuffer(kDrawSlot, 0, PKG_SPLASH_H - 1 - i, b.picture.data() + row * i, PKG_SPLASH_W);
  const int32_t centre = b.value(4), top = b.value(9);
  const uint32_t colour = b.values[19] & 0xFFFFFF;
  pag_DrawTextOnBuff(kDrawSlot, centre - pal_GetTextWidth(s.name.c_str(), kTitleFont) / 2, top, s.name.c_str(),
                     kTitleFont, colour);
  std::string line;
  int32_t i = 0;
  for (size_t at = 0; at <= s.notes.size(); ++at) {
    // A byte below 16 ends a line; bytes of 128 and above are Windows-1252 letters.
    if (at < s.notes.size() && static_cast<unsigned char>(s.notes[at]) >= 16) {
      line += s.notes[at];
      continue;
    }
    if (line.empty()) break;
    pag_DrawTextOnBuff(kDrawSlot, centre - pal_GetTextWidth(line.c_str(), kNotesFont) / 2, top + 60 + 29 * i,
                       line.c_str(), kNotesFont, colour);
    line.clear();
    ++i;
  }
  rgba->resize(static_cast<size_t>(PKG_SPLASH_W) * PKG_SPLASH_H * 4);
  slotToRgba(PKG_SPLASH_W, PKG_SPLASH_H, rgba->data());
  return true;
}

// ---- Speaker-note overlay -----------------------------------------------------------------

// Frame f's note drawn over its picture (bgr) as the speaker note looks:
// the note's box with its shaded halo, clipped to the frame, as RGBA.
// place gets where that picture lies in the frame (x, y, width, height; a
// transparent 1 x 1 at 0, 0 when the note lies off the frame), area the
// halo's edges (left, top, right, bottom, inclusive, not clipped). False
// when no buffer was had to draw in.
bool noteOverlay(const DemoView& v, int32_t f, const unsigned char* bgr, int32_t w, int32_t h, bool rounded,
                 std::vector<unsigned char>* rgba, int32_t place[4], int32_t area[4]) {
  std::string text = v.notes[f];
  if (f == v.frames - 1 && text == DEMO_DEFAULT_NOTE) text = DEMO_END_TEXT;
  const DemoNoteLayout note = demoLayOutNote(text.c_str(), gFrameData[f].noteX, gFrameData[f].noteY, w, h);
  const int32_t x = note.box[0], y = note.box[1], bw = note.box[2], bh = note.box[3];
  area[0] = x - 6;
  area[1] = y - 6;
  area[2] = x + bw + 7;
  area[3] = y + bh + 7;
  const int32_t x0 = std::max(0, area[0]), y0 = std::max(0, area[1]);
  const int32_t x1 = std::min(w - 1, area[2]), y1 = std::min(h - 1, area[3]);
  if (x0 > x1 || y0 > y1) {
    place[0] = place[1] = 0;
    place[2] = place[3] = 1;
    rgba->assign(4, 0);
    return true;
  }
  const int32_t rw = x1 - x0 + 1, rh = y1 - y0 + 1;
  place[0] = x0;
  place[1] = y0;
  place[2] = rw;
  place[3] = rh;
  // Slot 7 holds just the region, so every drawing is shifted by (x0, y0).
  pal_InitWinBuf(kDrawSlot, rw, rh);
  if (gpal_ImageBuffBits[kDrawSlot] == nullptr) return false;
  for (int32_t row = 0; row < rh; ++row)
    pal_StoreBGRRowInBuffer(kDrawSlot, 0, row, bgr + (static_cast<size_t>(y0 + row) * w + x0) * 3, rw);
  demoDrawNoteBox(kDrawSlot, note, x0, y0);
  rgba->resize(static_cast<size_t>(rw) * rh * 4);
  slotToRgba(rw, rh, rgba->data());
  if (rounded) clearRoundedCorners(rgba->data(), x0, y0, rw, rh, w, h);
  return true;
}

// ---- Encoding ahead of the writer ---------------------------------------------------------

// Encodes pictures on worker threads while the writer prepares the next
// frames; the URIs come back strictly in the order the pictures went in.
// Without a worker (none could be started) the writer encodes them itself.
class EncoderPool {
 public:
  explicit EncoderPool(int threads) {
    for (int i = 0; i < threads; ++i) {
      try {
        workers_.emplace_back(&EncoderPool::run, this);
      } catch (const std::system_error&) {
        break;
      }
    }
  }
  EncoderPool(const EncoderPool&) = delete;
  EncoderPool& operator=(const EncoderPool&) = delete;
  ~EncoderPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
  }
  int threads() const { return static_cast<int>(workers_.size()); }
  // Queues w x h RGBA pixels for encoding.
  void submit(std::vector<unsigned char> rgba, int32_t w, int32_t h) {
    auto job = std::make_unique<Job>();
    job->rgba = std::move(rgba);
    job->w = w;
    job->h = h;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
  }
  // The URI of the oldest picture not yet taken, once encoded; empty when its encoding failed.
  std::string takeOldest() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (workers_.empty()) {
      Job& job = *jobs_.front();
      job.uri = gHtml5Encoder(job.rgba.data(), job.w, job.h);
      job.done = true;
    }
    done_.wait(lock, [this] { return jobs_.front()->done; });
    std::string uri = std::move(jobs_.front()->uri);
    jobs_.pop_front();
    ++taken_;
    return uri;
  }

 private:
  struct Job {
    std::vector<unsigned char> rgba;
    int32_t w = 0, h = 0;
    std::string uri;
    bool done = false;
  };
  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || started_ < taken_ + jobs_.size(); });
      if (stop_) return;
      Job* job = jobs_[started_ - taken_].get();  // stays put: the queue holds pointers
      ++started_;
      lock.unlock();
      std::string uri = gHtml5Encoder(job->rgba.data(), job->w, job->h);
      std::vector<unsigned char>().swap(job->rgba);
      lock.lock();
      job->uri = std::move(uri);
      job->done = true;
      done_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::deque<std::unique_ptr<Job>> jobs_;
  size_t started_ = 0, taken_ = 0;  // counted since the start
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

// Transparent stand-ins for pictures that could not be encoded, one per size.
class Placeholders {
 public:
  const std::string& of(int32_t w, int32_t h) {
    std::string& uri = made_[{w, h}];
    if (uri.empty()) uri = transparentPngUri(w, h);
    return uri;
  }

 private:
  std::map<std::pair<int32_t, int32_t>, std::string> made_;
};

// ---- Page text -----------------------------------------------------------------------------

// Section 1: head and the loader.
std::string headAndLoader(const WebExportSettings& s) {
  return "<!DOCTYPE HTML>\r\n<HTML lang=\"en\">\r\n<HEAD>\r\n<META CHARSET=\"UTF-8\">\r\n<TITLE>" + htmlText(s.name) +
         " - Pictomira</TITLE>\r\n<SCRIPT>\r\n" + crlf(kHtml5LoaderJs);
}

// Section 2: the other functions.
std::string otherFunctions() {
  return crlf(kHtml5ControlsJs) + "</SCRIPT>\r\n";
}

// Section 3: end of the head, the body and the splash.
std::string splashBody(const Branding& b, const WebExportSettings& s, const std::string& splashUri) {
  const int32_t centre = b.value(4), top = b.value(9) + 240;
  const std::string font = "font-family:'Trebuchet MS', sans-serif; font-size:23px; ";
  return "<STYLE>\r\n" + crlf(kHtml5PageCss) + "</STYLE>\r\n</HEAD>\r\n<BODY BGCOLOR=\"" + colourText(b.values[14]) +
         "\" LINK=\"#FFFFFF\" VLINK=\"#FFFFFF\" ALINK=\"#FFFFFF\" TEXT=\"#FFFFFF\" onload=\"doLoadDone()\">" + kEol +
         "<DIV ID=\"sDiv\" style=\"position:absolute; left:0px; top:0px; width:900px; height:600px;\">" + kEol +
         "<IMG SRC=\"" + splashUri + "\" alt=\"" + attrText(s.name) + "\" width=\"900\" height=\"600\">" + kEol +
         "<DIV ID=\"loadWaitDiv\" style=\"position:absolute; left:" + num(centre - 100) + "px; top:" + num(top) +
         "px; " + font + "color:#DADF11;\">Loading: Please Wait...</DIV>" + kEol +
         "<DIV ID=\"loadDoneDiv\" style=\"display:none; position:absolute; left:" + num(centre - 78) +
         "px; top:" + num(top) + "px; " + font +
         "\"><A HREF=\"javascript:doPresentDemo()\">Present the Demo</A></DIV>" + kEol + "</DIV>" + kEol;
}

// An image control of the control bar, 32 pixels wide and 32 (tall) or 24
// high; on a touch screen its class pads it to 44 x 44 around the same centre.
std::string icon(const char* id, const char* base64, int32_t left, int32_t top, bool tall, bool hidden,
                 const char* onclick, const char* label) {
  std::string tag = "<IMG";
  if (id != nullptr) tag += std::string(" ID=\"") + id + "\"";
  return tag + (tall ? " class=\"c32\"" : " class=\"c24\"") + " SRC=\"data:image/png;base64," + base64 + "\" style=\"" + (hidden ? "display:none; " : "") +
         "position:absolute; left:" + num(left) + "px; top:" + num(top) + "px; cursor:pointer;\" onclick=\"" +
         onclick + "\" tabindex=\"0\" role=\"button\" aria-label=\"" + label + "\" alt=\"" + label + "\">" + kEol;
}

// Section 4: the settings, the controls, the canvas and the browser check.
std::string settingsAndCanvas(const DemoView& v, int32_t w, int32_t h) {
  std::string out = "<DIV ID=\"settDiv\" style=\"display:none; position:absolute; opacity:0.85; "
                    "background-color:#000000; z-index:199; left:" + num(kCanvasLeft - 3) + "px; top:2px; width:" +
                    num(w + 6) + "px; height:" + num(h + 6) + "px;\">" + kEol;
  out += crlf(R"JS(<DIV style="position:absolute; left:20px; top:40px;"><A HREF="javascript:setLearningMode('L')">Learning Mode</A></DIV>
<DIV style="position:absolute; left:20px; top:90px;"><A HREF="javascript:setLearningMode('P')">Presentation Mode</A></DIV>
<DIV style="position:absolute; left:400px; top:20px; font-size:24px;">Jump To...</DIV>
)JS");
  std::vector<int32_t> firstTypes(static_cast<size_t>(v.frames));
  for (int32_t f = 0; f < v.frames; ++f) firstTypes[f] = v.firstType(f);
  const std::vector<int32_t> jumps = html5JumpPoints(firstTypes);
  for (size_t j = 0; j < jumps.size(); ++j) {
    const int32_t f = jumps[j];
    out += "<DIV style=\"position:absolute; left:300px; top:" + num(100 + 75 * static_cast<int64_t>(j)) +
           "px; width:" + num(std::max(0, w - 350)) + "px; height:60px;\"><A HREF=\"javascript:doFrameJump('" +
           num(f) + "')\">" + (j == 0 ? std::string("Beginning") : "Frame " + num(f)) + "</A><BR>&nbsp;" +
           html5JumpNote(v.notes[f]) + "</DIV>" + kEol;
  }
  out += std::string("</DIV>") + kEol + "<DIV ID=\"controlDiv\" style=\"display:none;\">" + kEol;
  out += icon(nullptr, kSettingsIcon, 5, 50, true, false, "toggleSettDiv()", "Settings");
  out += icon(nullptr, kBackIcon, 43, 10, false, false, "stepOneFrame(-1)", "Step back");
  out += "<DIV ID=\"fnumDiv\" style=\"position:absolute; left:78px; top:12px; width:39px; height:24px; "
         "text-align:center; background-color:transparent; color:#FFFFFF; cursor:pointer;\" "
         "onclick=\"setLearningMode(gLearnMode == 1 ? 'P' : 'L')\" tabindex=\"0\" role=\"button\" "
         "aria-label=\"Switch between learning and presentation mode\"></DIV>" + std::string(kEol);
  out += icon("rightArrow", kForwardIcon, 120, 10, false, false, "stepOneFrame(1)", "Step forward");
  out += icon("hintButton", kHintIcon, 5, 102, true, true, "showClickHint(1)", "Show where to click");
  out += std::string("</DIV>") + kEol;
  out += "<DIV ID=\"cDiv\" style=\"display:none;\"><CANVAS ID=\"mainCanvas\" width=\"" + num(w) + "\" height=\"" +
         num(h) + "\" style=\"position:absolute; left:" + num(kCanvasLeft) + "px; top:" + num(kCanvasTop) +
         "px;\" role=\"img\" aria-label=\"\"></CANVAS></DIV>" + kEol;
  out += "<DIV ID=\"noteLive\" aria-live=\"polite\" style=\"position:absolute; left:-10000px; top:0px; width:1px; "
         "height:1px; overflow:hidden;\"></DIV>" + std::string(kEol);
  out += "<SCRIPT>\r\n" + crlf(kHtml5BrowserCheckJs) + "</SCRIPT>\r\n";
  return out;
}

// The attributes that make an area reachable from the keyboard and a screen reader.
std::string areaAccess(const std::string& label) {
  return " tabindex=\"0\" role=\"button\" aria-label=\"" + attrText(label) + "\"";
}

// Section 5: the DIVs of frame f's rectangles; empty when it has none.
std::string frameAreas(const DemoView& v, int32_t f, int32_t w, int32_t h) {
  const std::vector<Html5Rect> rects = html5FrameRects(f, v.list(f), v.count(f));
  if (rects.empty()) return {};
  const std::string fs = num(f), label = v.label(f);
  std::string out = "<DIV ID='C" + fs + "' style=\"display:none;\">" + kEol;
  for (size_t k = 0; k < rects.size(); ++k) {
    const Html5Rect& r = rects[k];
    const int32_t* t = r.target;
    const std::string id = "C" + fs + "_" + num(static_cast<int64_t>(k));
    const int32_t aw = std::max(0, r.rect[2] - 1 - r.rect[0]), ah = std::max(0, r.rect[3] - 1 - r.rect[1]);
    out += "<DIV ID='" + id + "' style=\"border:2px " + (k == 0 ? "solid" : "dashed") +
           "; border-color:inherit; z-index:" + num(99 - static_cast<int64_t>(k)) +
           "; cursor:pointer; position:absolute; left:" + num(int64_t{r.rect[0]} - gCropSize[0] + kCanvasLeft) +
           "px; top:" + num(int64_t{r.rect[1]} - gCropSize[1] + kCanvasTop) + "px; width:" + num(aw) +
           "px; height:" + num(ah) + "px;\"";
    std::string handlers;
    const auto load = [](int64_t from, int64_t to) {
      return "\"loadFrame('" + (from < 0 ? std::string("x") : num(from)) + "','" + num(to) + "')\"";
    };
    // A click also stands for a right click; beside a click's own there would
    // be a second onclick, which a browser drops. A real right click answers too.
    if (t[HTML5_L] != HTML5_NO_TARGET) handlers += " onclick=" + load(-1, t[HTML5_L]);
    else if (t[HTML5_R] != HTML5_NO_TARGET) handlers += " onclick=" + load(-1, t[HTML5_R]);
    if (t[HTML5_R] != HTML5_NO_TARGET) {
      const std::string call = load(-1, t[HTML5_R]);
      handlers += " oncontextmenu=" + call.substr(0, call.size() - 1) + "; return false;\"";
    }
    if (t[HTML5_M] != HTML5_NO_TARGET) {
      // A finger cannot hover: touching goes on to where the click in the mouse-over's frame leads.
      const int32_t over = t[HTML5_M];
      const InstrRec* click = v.find(over, INSTR_LEFT, r.rect);
      handlers += " ontouchstart=" + load(-1, click != nullptr ? resolved(*click, over) : over);
      handlers += " onmouseenter=" + load(-1, over);
    }
    if (t[HTML5_E] != HTML5_NO_TARGET) handlers += " onmouseleave=" + load(f, t[HTML5_E]);
    out += handlers;
    const std::string areaLabel = k == 0 ? label : label + " (area " + num(static_cast<int64_t>(k) + 1) + ")";
    if (!handlers.empty()) out += areaAccess(areaLabel);
    out += " >";
    if (!handlers.empty() && (aw + 4 < kTouchMin || ah + 4 < kTouchMin)) {
      // A larger invisible target centred on a small area, shown on touch screens only.
      const int32_t tw = std::max(kTouchMin, aw + 4), th = std::max(kTouchMin, ah + 4);
      out += "<DIV class=\"tt\" style=\"left:" + num((aw - tw) / 2) + "px; top:" + num((ah - th) / 2) +
             "px; width:" + num(tw) + "px; height:" + num(th) + "px;\"></DIV>";
    }
    out += std::string("</DIV>") + kEol;
    if (t[HTML5_E] != HTML5_NO_TARGET)
      out += "<DIV ID='" + id + "' style=\"z-index:1; position:absolute; left:" + num(kCanvasLeft) + "px; top:" +
             num(kCanvasTop) + "px; width:" + num(w + 1) + "px; height:" + num(h + 1) + "px;\" onmouseover=" +
             load(f, t[HTML5_E]) + " onclick=" + load(f, t[HTML5_E]) + areaAccess("Leave " + areaLabel) +
             "></DIV>" + kEol;
  }
  return out + "</DIV>" + kEol;
}

// The attributes of frame f's picture: its timer, or whether it enters
// the back-step history; its base when it is a delta; the keys it waits
// for; its alternative text.
std::string pictureAttributes(const DemoView& v, int32_t f) {
  std::string out;
  const InstrRec* timer = v.find(f, INSTR_TIMER, nullptr);
  if (timer != nullptr) {
    out += "data-timer=\"" + num(resolved(*timer, f)) + "," + num(timer->v[0]) + "\" ";
  } else if (v.count(f) > 0) {
    const InstrRec& first = v.at(f, 0);
    if (first.type == INSTR_MOVE_IN || (first.type == INSTR_LEFT && v.find(f - 1, INSTR_MOVE_IN, first.v) == nullptr))
      out += "data-h=\"h\" ";
  }
  if (v.delta[f]) out += "data-d=\"" + num(f - 1) + "\" ";
  std::string keys;
  for (int32_t k = 0; k < v.count(f); ++k)
    if (v.at(f, k).type == INSTR_KEY)
      keys += (keys.empty() ? "" : ";") + num(v.at(f, k).v[0]) + "," + num(resolved(v.at(f, k), f));
  if (!keys.empty()) out += "data-k=\"" + keys + "\" ";
  return out + "alt=\"" + attrText(v.names[f].empty() ? "Step " + num(f + 1) : v.names[f]) + "\" ";
}

// ---- The page ------------------------------------------------------------------------------

class PageWriter {
 public:
  PageWriter(PieceFile& file, const DemoView& v, std::vector<std::string>* warnings)
      : file_(file), v_(v), warnings_(warnings) {}

  bool put(const std::string& text) { return file_.write(text.data(), text.size()); }

  // Section 6: every frame's picture, and its note overlay and text. 1, 0
  // when the program is ending, -1.
  int hiddenImages(Failure* why) {
    const int32_t w = gCropSize[2], h = gCropSize[3];
    const bool rounded = gHeaderCount > 3 && gHeaderData[3] != 0;
    if (!put(std::string("<DIV style=\"display:none;\" >") + kEol)) return refuse(why, file_.error());
    const std::string recording = demoFilePath(gCurrDemoName, ".DMR");
    FrameCursor cursor(recording.c_str(), gCropSize);
    if (!cursor.ok()) return refuse(why, "The demo's recording " + quoted(recording) + " cannot be read");
    const int encoders = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), kEncodersMin, kEncodersMax);
    EncoderPool pool(encoders);
    const size_t window = static_cast<size_t>(std::max(1, pool.threads()) * kInFlightPerEncoder);
    std::vector<unsigned char> previous, picture;
    int32_t noteArea[4] = {0, 0, 0, 0};
    bool previousNote = false;
    for (int32_t f = 0; f < v_.frames; ++f) {
      if (pal_StopRequested()) return 0;
      const FrameRec& fr = gFrameData[f];
      if (!cursor.seek(fr.imageRefA, fr.imageRefB))
        return refuse(why, "The picture of " + frameName(f) + " cannot be read from " + quoted(recording));
      const unsigned char* bgr = cursor.pixels();
      const bool delta = v_.delta[f] && !previous.empty();
      html5FramePicture(bgr, delta ? previous.data() : nullptr, delta && previousNote ? noteArea : nullptr, w, h,
                        rounded, &picture);
      queue(pool, std::move(picture), w, h, "<IMG ID=\"P" + num(f) + "\" " + pictureAttributes(v_, f) + "SRC=\"",
            std::string("\" \\></IMG>") + kEol, f, "picture", !v_.hasNote(f));
      previousNote = v_.hasNote(f);
      if (previousNote) {
        std::vector<unsigned char> overlay;
        int32_t place[4];
        if (!noteOverlay(v_, f, bgr, w, h, rounded, &overlay, place, noteArea)) overlay.clear();
        queue(pool, std::move(overlay), place[2], place[3],
              "<IMG ID=\"N" + num(f) + "\" data-x=\"" + num(place[0]) + "\" data-y=\"" + num(place[1]) +
                  "\" alt=\"Speaker note\" SRC=\"",
              std::string("\" \\></IMG>") + kEol + "<DIV ID=\"T" + num(f) + "\">" + htmlText(v_.notes[f]) + "</DIV>" +
                  kEol,
              f, "speaker note", true);
      }
      // The frame after a delta's base needs this frame's pixels to compare with.
      if (f + 1 < v_.frames && v_.delta[f + 1]) previous.assign(bgr, bgr + static_cast<size_t>(w) * h * 3);
      else previous.clear();
      while (pending_.size() > window)
        if (!writeOldest(pool, why)) return -1;
    }
    while (!pending_.empty())
      if (!writeOldest(pool, why)) return -1;
    pal_DestroyWinBuff(kDrawSlot);
    return put(std::string("</DIV>") + kEol) ? 1 : refuse(why, file_.error());
  }

  // The URI a picture is written with: its own, or when it could not be
  // encoded a transparent one of its size, named in the warnings.
  const std::string& shown(const std::string& uri, int32_t w, int32_t h, const std::string& what) {
    if (!uri.empty()) return uri;
    if (warnings_ != nullptr)
      warnings_->push_back(what + " could not be encoded; the page shows a transparent picture instead");
    return placeholders_.of(w, h);
  }

 private:
  struct Pending {
    std::string before, after, what;
    int32_t f, w, h;
    bool lastOfFrame;
    bool empty;  // nothing was given to encode
  };

  void queue(EncoderPool& pool, std::vector<unsigned char> rgba, int32_t w, int32_t h, std::string before,
             std::string after, int32_t f, const char* what, bool lastOfFrame) {
    const bool empty = rgba.empty();
    if (!empty) pool.submit(std::move(rgba), w, h);
    pending_.push_back(Pending{std::move(before), std::move(after),
                               "The " + std::string(what) + " of frame index " + num(f) + " (" + frameName(f) + ")", f,
                               w, h, lastOfFrame, empty});
  }

  bool writeOldest(EncoderPool& pool, Failure* why) {
    const Pending p = std::move(pending_.front());
    pending_.pop_front();
    const std::string uri = p.empty ? std::string() : pool.takeOldest();
    if (!put(p.before) || !put(shown(uri, p.w, p.h, p.what)) || !put(p.after)) {
      refuse(why, file_.error());
      return false;
    }
    if (p.lastOfFrame)
      gExportProgress = kProgressFramesFrom + static_cast<int>(int64_t{kProgressFramesSpan} * (p.f + 1) / v_.frames);
    return true;
  }

  PieceFile& file_;
  const DemoView& v_;
  std::vector<std::string>* warnings_;
  std::deque<Pending> pending_;
  Placeholders placeholders_;
};

// The seven sections into file; 1, 0 when the program is ending, -1 with *why.
int writePage(const WebExportSettings& s, const Branding& b, PieceFile& file, Failure* why,
              std::vector<std::string>* warnings) {
  const int32_t w = gCropSize[2], h = gCropSize[3];
  const DemoView v(frameCount());
  PageWriter page(file, v, warnings);
  gExportProgress = kProgressSection[0];
  if (!page.put(headAndLoader(s))) return refuse(why, file.error());
  gExportProgress = kProgressSection[1];
  if (!page.put(otherFunctions())) return refuse(why, file.error());
  gExportProgress = kProgressSection[2];
  std::vector<unsigned char> splash;
  std::string splashUri;
  if (splashPicture(b, s, &splash)) splashUri = gHtml5Encoder(splash.data(), PKG_SPLASH_W, PKG_SPLASH_H);
  if (!page.put(splashBody(b, s, page.shown(splashUri, PKG_SPLASH_W, PKG_SPLASH_H, "The splash picture"))))
    return refuse(why, file.error());
  gExportProgress = kProgressSection[3];
  if (!page.put(settingsAndCanvas(v, w, h))) return refuse(why, file.error());
  gExportProgress = kProgressSection[4];
  for (int32_t f = 0; f < v.frames; ++f)
    if (!page.put(frameAreas(v, f, w, h))) return refuse(why, file.error());
  gExportProgress = kProgressSection[5];
  const int images = page.hiddenImages(why);
  if (images != 1) return images;
  if (!page.put(std::string("</BODY>") + kEol + "</HTML>" + kEol)) return refuse(why, file.error());
  return 1;
}

// Why the settings or the demo cannot make a page; empty when they can.
std::string refusal(const WebExportSettings& s) {
  const int code = demoNameCode(s.name.c_str());
  if (code != 1) return std::string("The package name is not usable: ") + demoNameMessage(code);
  if (s.name.size() > kNameMax)
    return "The package name has " + num(static_cast<int64_t>(s.name.size())) + " characters; at most 49 are allowed";
  if (gCropSize[2] < 1 || gCropSize[3] < 1)
    return "The demo's frames have no size (" + num(gCropSize[2]) + " x " + num(gCropSize[3]) + " pixels)";
  return {};
}

// The scrub, then the page written to temp and renamed to page; 1, 0 when
// the program is ending, -1 with *why.
int exportPage(const WebExportSettings& s, const std::string& page, const std::string& temp, Failure* why,
               std::vector<std::string>* warnings) {
  scrubUnreachableFrames();
  gExportProgress = kProgressScrubbed;
  if (frameCount() < 1) return refuse(why, "The demo has no frames");
  Branding branding;
  if (readBranding(&branding, why) != 1) return -1;
  if (makeFolder(libraryFolderPath() + "Demo_Packages", why) != 1 ||
      makeFolder(packageFolderPath(s.name), why) != 1)
    return -1;
  // Failures of the page file itself carry the page's code.
  const std::string code = "Unexpected PH2-002 - " + quoted(page);
  PieceFile file;
  if (!file.create(temp)) return refuse(why, kExportFail, code, file.error());
  const int written = writePage(s, branding, file, why, warnings);
  if (written == -1 && !file.ok()) why->code = code;
  if (written != 1) return written;
  if (!file.close(true)) return refuse(why, kExportFail, code, file.error());
  if (pal_FsRename(temp.c_str(), page.c_str()) != 0)
    return refuse(why, kExportFail, code,
                  quoted(temp) + " cannot be renamed to " + quoted(page) + ": " + std::strerror(errno));
  return 1;
}

}  // namespace

// ---- Rules of the page --------------------------------------------------------------------

std::vector<Html5Rect> html5FrameRects(int32_t f, const int32_t* instrs, int32_t count) {
  std::vector<Html5Rect> rects;
  for (int32_t k = 0; k < std::min(count, HTML5_RECT_INSTRS); ++k) {
    const InstrRec& in = gInstrData[instrs[k]];
    int slot;
    switch (in.type) {
      case INSTR_LEFT: slot = HTML5_L; break;
      case INSTR_RIGHT: slot = HTML5_R; break;
      case INSTR_MOVE_IN: slot = HTML5_M; break;
      case INSTR_MOVE_OUT: slot = HTML5_E; break;
      case INSTR_UP: slot = HTML5_U; break;
      default: continue;
    }
    auto entry = std::find_if(rects.begin(), rects.end(), [&](const Html5Rect& r) { return sameRect(in, r.rect); });
    if (entry == rects.end()) {
      Html5Rect r{{in.v[0], in.v[1], in.v[2], in.v[3]}, {}};
      std::fill(r.target, r.target + HTML5_SLOTS, HTML5_NO_TARGET);
      entry = rects.insert(rects.end(), r);
    }
    if (entry->target[slot] == HTML5_NO_TARGET) entry->target[slot] = resolved(in, f);
  }
  return rects;
}

void html5FramePicture(const unsigned char* bgr, const unsigned char* previous, const int32_t* keep, int32_t w,
                       int32_t h, bool rounded, std::vector<unsigned char>* rgba) {
  rgba->resize(static_cast<size_t>(w) * h * 4);
  unsigned char* out = rgba->data();
  for (int32_t y = 0; y < h; ++y) {
    const bool keptRow = keep != nullptr && y >= keep[1] && y <= keep[3];
    for (int32_t x = 0; x < w; ++x, bgr += 3, out += 4) {
      const bool same = previous != nullptr && std::memcmp(bgr, previous, 3) == 0 &&
                        !(keptRow && x >= keep[0] && x <= keep[2]);
      if (previous != nullptr) previous += 3;
      if (same) {
        std::memset(out, 0, 4);
        continue;
      }
      out[0] = bgr[2];
      out[1] = bgr[1];
      out[2] = bgr[0];
      out[3] = 255;
    }
  }
  if (rounded) clearRoundedCorners(rgba->data(), 0, 0, w, h, w, h);
}

std::vector<int32_t> html5JumpPoints(const std::vector<int32_t>& firstType) {
  std::vector<int32_t> points;
  for (size_t f = 0; f < firstType.size(); ++f)
    if (firstType[f] == INSTR_LEFT)
      points.push_back(static_cast<int32_t>(f > 0 && firstType[f - 1] == INSTR_MOVE_IN ? f - 1 : f));
  if (points.size() < 7) return points;
  const size_t step = points.size() / 6;
  std::vector<int32_t> six;
  for (size_t j = 0; j < 6; ++j) six.push_back(points[j * step]);
  return six;
}

std::string html5JumpNote(const std::string& note) {
  size_t end = 0;  // the first control character; the end of the note counts as one
  while (end < note.size() && static_cast<unsigned char>(note[end]) >= 32 && note[end] != 127) ++end;
  if (end < static_cast<size_t>(kJumpNoteLine)) return htmlText(note.substr(0, end));
  return htmlText(note.substr(0, note.size() - 1)) + "...";
}

// ---- The page as a whole ---------------------------------------------------------------------

std::string html5PagePath(const std::string& name) { return packageFolderPath(name) + pal_SystemText(name) + ".html"; }

int writeHtml5Page(const WebExportSettings& settings, Failure* why, std::vector<std::string>* warnings) {
  Failure ignored;
  if (why == nullptr) why = &ignored;
  *why = Failure{kExportFail, "", ""};
  gExportProgress = 0;
  const std::string refused = refusal(settings);
  if (!refused.empty()) return refuse(why, refused);
  const std::string page = html5PagePath(settings.name);
  const std::string temp =
      publishing::unfinishedPath(packageFolderPath(settings.name), pal_SystemText(settings.name) + ".html");
  const int result = exportPage(settings, page, temp, why, warnings);
  if (result != 1) {
    // Nothing half-written stays; the page handed out before is kept as it was.
    std::remove(temp.c_str());
    return result;
  }
  gExportProgress = 1000;
  return 1;
}
