// guide_export.cpp: the Demo Guide, a printable page of the current demo: a
// title page with the author's notes, then one page per step with the
// step's speaker note and the frame's picture with its red boxes drawn as
// the Presenter draws them. Frames are read in one forward pass over the
// recording; the page is written under a temporary name in its folder and
// renamed over the guide handed out before only once complete, so a
// failure leaves that guide as it was. No window calls: refusals come back
// with a reason.
#include "studio/publishing/line_pool.h"

#include "pal/pal_codepage.h"
#include "studio/publishing/web_export.h"
#include "studio/publishing/publishing_support.h"

#include "studio/capture/demo_files.h"
#include "studio/capture/frame_cursor.h"

#include "demo/demo_model.h"
#include "demo/demo_overlays.h"
#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using publishing::Failure;
using publishing::FrameInstructions;
using publishing::frameName;
using publishing::makeFolder;
using publishing::quoted;
using publishing::refuse;

constexpr size_t kNameMax = 49;
constexpr const char* kExportFail = "Export Fail";
constexpr int32_t kWidestShown = 1280;  // frames wider than this are shown 1024 pixels wide
constexpr int32_t kShrunkWidth = 1024;
constexpr int kFrameBuffer = 1;         // the buffer the red boxes are drawn into
constexpr int kProgressOpened = 40;
constexpr const char* kLineEnd = "\r\n";

// Text onto the page file, and a line of it. A PieceFile checks every
// write; after the first failure nothing more is written and error() tells why.
bool put(PieceFile& file, const std::string& text) { return file.write(text.data(), text.size()); }
bool line(PieceFile& file, const std::string& text) { return put(file, text + kLineEnd); }

std::string guideFolderPath(const std::string& name) {
  return libraryFolderPath() + "Demo_Guides/" + pal_SystemText(name) + "/";
}

int32_t frameCount() { return std::clamp(gFrameCount, 0, DEMO_FRAME_CAP); }

// How a frame is named in warnings and reasons: by its number in the demo.

// Why the settings or the demo cannot make a guide; empty when they can.
std::string refusal(const WebExportSettings& s) {
  const int code = demoNameCode(s.name.c_str());
  if (code != 1) return std::string("The guide name is not usable: ") + demoNameMessage(code);
  if (s.name.size() > kNameMax)
    return "The guide name has " + std::to_string(s.name.size()) + " characters; at most 49 are allowed";
  if (gCropSize[2] < 1 || gCropSize[3] < 1)
    return "The demo's frames have no size (" + std::to_string(gCropSize[2]) + " x " + std::to_string(gCropSize[3]) +
           " pixels)";
  return {};
}

// The speaker note of frame f when it has one (a text record from 9 up that is in use).
bool noteOf(int32_t f, std::string* note) {
  const int64_t index = gFrameData[f].noteText;
  if (index < DEMO_FIRST_TEXT_REC || index >= DEMO_TEXT_RECS) return false;
  char text[DEMO_TEXT_LEN] = "";
  if (demoGetTextValue(static_cast<int32_t>(index), text) != 0) return false;
  *note = text;
  return true;
}

// A frame is a step when it has a note, is not a plain wait (exactly one
// instruction, a T), and does not follow a mouse-over frame (the click
// frame of such a pair shares its note with the mouse-over frame, which
// is the step).
bool isStep(const FrameInstructions& fi, int32_t f) {
  if (gFrameData[f].noteText < DEMO_FIRST_TEXT_REC) return false;
  if (fi.count(f) == 1 && fi.at(f, 0).type == INSTR_TIMER) return false;
  return f == 0 || !fi.has(f - 1, INSTR_MOVE_IN);
}

// Keeps the shown frame's instruction list while the guide borrows it for drawing.
class KeptInstrList {
 public:
  KeptInstrList() { std::memcpy(kept_, gCurrInstrList, sizeof kept_); }
  ~KeptInstrList() { std::memcpy(gCurrInstrList, kept_, sizeof kept_); }

 private:
  int32_t kept_[DEMO_INSTR_LIST_LEN];
};

// The picture of a step: the cropped frame (blue, green, red) with frame
// f's red boxes drawn into the frame buffer as the Presenter draws them,
// as RGBA, opaque but for the rounded top corners.
void stepPicture(const FrameInstructions& fi, int32_t f, const unsigned char* bgr, int32_t w, int32_t h,
                 bool rounded, std::vector<unsigned char>* rgba) {
  for (int32_t y = 0; y < h; ++y)
    pal_StoreBGRRowInBuffer(kFrameBuffer, 0, y, bgr + static_cast<size_t>(y) * w * 3, w);
  const int32_t listed = std::min(fi.count(f), DEMO_INSTR_LIST_LEN - 1);
  for (int32_t k = 0; k < listed; ++k) gCurrInstrList[k] = fi.order[fi.first[f] + k];
  gCurrInstrList[listed] = -1;
  demoDrawRedInstructionBoxes(0);

  rgba->resize(static_cast<size_t>(w) * h * 4);
  const unsigned char* in = gpal_ImageBuffBits[kFrameBuffer];
  unsigned char* out = rgba->data();
  for (size_t p = 0, n = static_cast<size_t>(w) * h; p < n; ++p, in += 4, out += 4) {
    out[0] = in[PAL_RED];
    out[1] = in[PAL_GREEN];
    out[2] = in[PAL_BLUE];
    out[3] = 255;
  }
  if (rounded) clearRoundedCorners(rgba->data(), 0, 0, w, h, w, h);
}

// The page up to the end of the title page.
std::string pageHead(const WebExportSettings& s, int32_t w) {
  const std::string name = htmlText(s.name);
  const int32_t shown = w > kWidestShown ? kShrunkWidth : w;
  std::string head;
  for (const std::string& line :
       {std::string("<!DOCTYPE HTML>"), std::string("<HTML>"), std::string("<HEAD>"),
        std::string("<META CHARSET=\"UTF-8\">"), "<TITLE>" + name + " - Pictomira Demo Guide</TITLE>",
        std::string("<STYLE>"),
        std::string("body { background-color: #444444; font-family: \"Trebuchet MS\"; font-size: 20px; "
                    "color: #FFFFFF; }"),
        "img { width: " + std::to_string(shown) + "px; }", std::string("</STYLE>"), std::string("</HEAD>"),
        std::string("<BODY>"), "<H2>" + name + " - Pictomira Demo Guide</H2>",
        "<BR><BR><BR><CENTER><H3>" + htmlText(s.notes) + "</H3></CENTER><BR><BR><BR>"})
    head += line + kLineEnd;
  return head;
}

// Calls visit with each step of the current demo in order: its number
// from 1, its frame, its note and its picture (RGBA, crop-sized). Frames are
// read in one forward pass; progress runs from kProgressOpened to 1000.
// 1; 0 when the program is ending; -1 with *why, also when visit returns
// false (it sets *why).
using StepVisit = std::function<bool(int32_t step, int32_t f, const std::string& note,
                                     const std::vector<unsigned char>& rgba)>;
int forEachStep(Failure* why, const StepVisit& visit) {
  const int32_t frames = frameCount(), w = gCropSize[2], h = gCropSize[3];
  const bool rounded = gHeaderCount > 3 && gHeaderData[3] != 0;
  gExportProgress = kProgressOpened;
  const FrameInstructions fi(frames);
  const std::string recording = demoFilePath(gCurrDemoName, ".DMR");
  std::unique_ptr<FrameCursor> cursor;  // opened with the first step: a guide without steps needs no recording
  std::vector<unsigned char> rgba;
  int32_t step = 0;
  for (int32_t f = 0; f < frames; ++f) {
    if (pal_StopRequested()) return 0;
    gExportProgress = std::max<int>(kProgressOpened, static_cast<int>(int64_t{f} * 1000 / frames));
    std::string note;
    if (!isStep(fi, f) || !noteOf(f, &note)) continue;
    if (cursor == nullptr) {
      cursor = std::make_unique<FrameCursor>(recording.c_str(), gCropSize);
      if (!cursor->ok()) return refuse(why, "The demo's recording " + quoted(recording) + " cannot be read");
      pal_InitWinBuf(kFrameBuffer, w, h);
      if (gpal_ImageBuffBits[kFrameBuffer] == nullptr)
        return refuse(why, "No picture buffer of " + std::to_string(w) + " x " + std::to_string(h) + " pixels");
    }
    const FrameRec& fr = gFrameData[f];
    if (!cursor->seek(fr.imageRefA, fr.imageRefB))
      return refuse(why, "The picture of " + frameName(f) + " cannot be read from " + quoted(recording));
    ++step;
    stepPicture(fi, f, cursor->pixels(), w, h, rounded, &rgba);
    if (!visit(step, f, note, rgba)) return -1;
  }
  return 1;
}

// The warning for a step whose picture could not be encoded.
std::string notEncoded(int32_t step, int32_t f) {
  return "Step " + std::to_string(step) + " (" + frameName(f) +
         "): its picture could not be encoded; the guide shows an empty picture instead";
}

// The whole page into file; 1, 0 when the program is ending, -1 with *why.
int writePage(const WebExportSettings& s, PieceFile& file, Failure* why, std::vector<std::string>* warnings) {
  const int32_t w = gCropSize[2], h = gCropSize[3];
  if (!put(file, pageHead(s, w))) return refuse(why, file.error());
  std::string placeholder;
  const int r = forEachStep(why, [&](int32_t step, int32_t f, const std::string& note,
                                     const std::vector<unsigned char>& rgba) {
    std::string uri = pngDataUri(rgba.data(), w, h);
    if (uri.empty()) {
      if (warnings != nullptr) warnings->push_back(notEncoded(step, f));
      if (placeholder.empty()) placeholder = transparentPngUri(w, h);
      uri = placeholder;
    }
    const std::string number = std::to_string(step);
    if (!line(file, "<BR><BR><BR><BR><H3 style=\"page-break-before:always;\">Step " + number + "</H3>") ||
        !line(file, htmlText(note) + "<BR><BR>") ||
        !line(file, "<IMG SRC=\"" + uri + "\" ALT=\"Step " + number + "\">"))
      {
      refuse(why, file.error());
      return false;
    }
    return true;
  });
  if (r != 1) return r;
  if (!line(file, "</BODY>") || !line(file, "</HTML>")) return refuse(why, file.error());
  return 1;
}

// A name as the path of a link: every byte but letters, digits and - _ . ~ percent-encoded.
std::string linkPath(const std::string& name) {
  std::string out;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isalnum(c) != 0 || c == '-' || c == '_' || c == '.' || c == '~') {
      out += ch;
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

// Writes bytes to path whole; false with *why when it cannot.
bool writeWhole(const std::string& path, const std::vector<unsigned char>& bytes, Failure* why) {
  PieceFile file;
  if (!file.create(path) || !file.write(reinterpret_cast<const char*>(bytes.data()), bytes.size()) ||
      !file.close(true))
    {
      refuse(why, file.error());
      return false;
    }
  return true;
}

// The Markdown page into file and the step pictures into pictures (a
// folder ending in '/'); 1, 0 when the program is ending, -1 with *why.
int writeMarkdown(const WebExportSettings& s, PieceFile& file, const std::string& pictures, Failure* why,
                  std::vector<std::string>* warnings) {
  const int32_t w = gCropSize[2], h = gCropSize[3];
  std::string head = "# " + markdownText(s.name) + " \\- Pictomira Demo Guide\n\n";
  if (!s.notes.empty()) head += markdownText(s.notes) + "\n\n";
  if (!put(file, head)) return refuse(why, file.error());
  std::vector<unsigned char> placeholder;
  const std::string folderLink = linkPath(pal_SystemText(s.name + "_files"));
  const int r = forEachStep(why, [&](int32_t step, int32_t f, const std::string& note,
                                     const std::vector<unsigned char>& rgba) {
    std::vector<unsigned char> png = pngBytes(rgba.data(), w, h);
    if (png.empty()) {
      if (warnings != nullptr) warnings->push_back(notEncoded(step, f));
      if (placeholder.empty()) placeholder = pngBytes(std::vector<unsigned char>(size_t{4} * w * h, 0).data(), w, h);
      png = placeholder;
    }
    const std::string number = std::to_string(step), picture = "step-" + number + ".png";
    if (!writeWhole(pictures + picture, png, why)) return false;
    std::string section = "## Step " + number + "\n\n";
    const std::string text = markdownText(note);
    if (!text.empty()) section += text + "\n\n";
    section += "![Step " + number + "](" + folderLink + "/" + picture + ")\n\n";
    if (!put(file, section)) {
      refuse(why, file.error());
      return false;
    }
    return true;
  });
  return r;
}

// What both guides do first: *why reset, the settings checked, the guide's
// folders made. 1, or -1 with *why.
int beginGuide(const WebExportSettings& settings, Failure* why) {
  *why = Failure{kExportFail, "", ""};
  gExportProgress = 0;
  const std::string refused = refusal(settings);
  if (!refused.empty()) return refuse(why, refused);
  if (makeFolder(libraryFolderPath() + "Demo_Guides", why) != 1 ||
      makeFolder(guideFolderPath(settings.name), why) != 1)
    return -1;
  return 1;
}

}  // namespace

std::string guidePagePath(const std::string& name) { return guideFolderPath(name) + pal_SystemText(name) + ".html"; }

int writeDemoGuide(const WebExportSettings& settings, Failure* why, std::vector<std::string>* warnings) {
  Failure ignored;
  if (why == nullptr) why = &ignored;
  if (beginGuide(settings, why) != 1) return -1;
  const std::string folder = guideFolderPath(settings.name), page = guidePagePath(settings.name);

  const std::string temp = publishing::unfinishedPath(folder, pal_SystemText(settings.name) + ".html");
  // Failures of the page file itself carry the page's code.
  const std::string code = "Unexpected PG2-002 - " + quoted(page);
  int result;
  {
    const KeptInstrList kept;
    PieceFile file;
    result = file.create(temp) ? writePage(settings, file, why, warnings)
                               : refuse(why, kExportFail, code, file.error());
    if (result == -1 && !file.ok()) why->code = code;
    if (result == 1 && !file.close(true)) result = refuse(why, kExportFail, code, file.error());
  }
  if (result == 1 && pal_FsRename(temp.c_str(), page.c_str()) != 0)
    result = refuse(why, kExportFail, code,
                    quoted(temp) + " cannot be renamed to " + quoted(page) + ": " + std::strerror(errno));
  if (result != 1) {
    // Nothing half-written stays; the guide handed out before is kept as it was.
    std::remove(temp.c_str());
    if (result == -1) why->why = "The Demo Guide " + quoted(settings.name) + " could not be written: " + why->why;
    return result;
  }
  gExportProgress = 1000;
  return 1;
}

std::string markdownGuidePath(const std::string& name) { return guideFolderPath(name) + pal_SystemText(name) + ".md"; }
std::string markdownPicturesPath(const std::string& name) {
  return guideFolderPath(name) + pal_SystemText(name) + "_files";
}

int writeMarkdownGuide(const WebExportSettings& settings, Failure* why, std::vector<std::string>* warnings) {
  Failure ignored;
  if (why == nullptr) why = &ignored;
  if (beginGuide(settings, why) != 1) return -1;
  const std::string folder = guideFolderPath(settings.name), page = markdownGuidePath(settings.name);
  const std::string pictures = markdownPicturesPath(settings.name);

  const std::string disk = pal_SystemText(settings.name);
  const std::string temp = publishing::unfinishedPath(folder, disk + ".md");
  const std::string newPictures = publishing::unfinishedPath(folder, disk + "_files");
  const std::string oldPictures = publishing::unfinishedPath(folder, disk + "_files.old");
  pal_DeleteDirectory(newPictures.c_str(), 2);  // what a run cut short left
  const std::string code = "Unexpected PG2-003 - " + quoted(page);
  int result;
  {
    const KeptInstrList kept;
    PieceFile file;
    if (makeFolder(newPictures, why) != 1) result = -1;
    else if (!file.create(temp)) result = refuse(why, kExportFail, code, file.error());
    else result = writeMarkdown(settings, file, newPictures + "/", why, warnings);
    if (result == 1 && !file.close(true)) result = refuse(why, kExportFail, code, file.error());
  }
  // The pictures first, then the page: the old pictures step aside until both are in place.
  if (result == 1) {
    pal_DeleteDirectory(oldPictures.c_str(), 2);
    const bool hadPictures = pal_FsRename(pictures.c_str(), oldPictures.c_str()) == 0;
    if (pal_FsRename(newPictures.c_str(), pictures.c_str()) != 0) {
      if (hadPictures) pal_FsRename(oldPictures.c_str(), pictures.c_str());
      result = refuse(why, kExportFail, code, quoted(newPictures) + " cannot be renamed to " + quoted(pictures) + ": " +
                                                   std::strerror(errno));
    } else if (pal_FsRename(temp.c_str(), page.c_str()) != 0) {
      result = refuse(why, kExportFail, code,
                      quoted(temp) + " cannot be renamed to " + quoted(page) + ": " + std::strerror(errno));
      pal_DeleteDirectory(pictures.c_str(), 2);
      if (hadPictures) pal_FsRename(oldPictures.c_str(), pictures.c_str());
    } else {
      pal_DeleteDirectory(oldPictures.c_str(), 2);
    }
  }
  if (result != 1) {
    std::remove(temp.c_str());
    pal_DeleteDirectory(newPictures.c_str(), 2);
    if (result == -1) why->why = "The Demo Guide " + quoted(settings.name) + " could not be written: " + why->why;
    return result;
  }
  gExportProgress = 1000;
  return 1;
}
