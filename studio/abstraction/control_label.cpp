// control_label.cpp: a control's label read with Tesseract. The picture is
// turned into dark text on white before the engine sees it: grey, the face
// colour found and the text made darker than it, the contrast stretched,
// the control's frame lines taken off, cut to the text, enlarged and given
// a white margin. The engine reads it as one line.
#include "studio/abstraction/control_label.h"

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>
#ifdef PICTOMIRA_OPENMP
#include <omp.h>
#endif

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The preparation, as measured on small anti-aliased and bitmap interface text.
constexpr int kTextRows = 24;             // the text is enlarged to about this many rows (1x to 4x)
constexpr double kLeastFaceShare = 0.45;  // least share of the pixels within 24 greys of their row's face
constexpr int kLeastContrast = 48;        // least grey difference between face and text
constexpr double kSolidLine = 0.85;       // a frame line, marked on this share of its pixels ...
constexpr double kDottedLine = 0.4;       // ... or a dotted one, on this share ...
constexpr double kFrameSpan = 0.8;        // ... from one end to at least this share of the way to the other
constexpr int kFrameDepth = 6;       // frame lines looked for this far in from each edge (and a quarter of the size)
constexpr int kMargin = 12;          // white rows and columns around the enlarged text
constexpr float kChoiceMargin = 12;  // a character whose next choice comes this close is in doubt
constexpr int kAgreedConfidence = 70;  // a reading both enlargements agree on is taken from this confidence
constexpr int kSecondAloneConfidence = 90;  // the second reading, where the first is in doubt

// ---- The engine -----------------------------------------------------------------------

// One engine per thread: started on the thread's first read, ended with the thread.
class Engine {
 public:
  ~Engine() {
    if (ready_) api_.End();
  }
  tesseract::TessBaseAPI* get() {
    if (!tried_) {
      tried_ = true;
      ready_ = start();
    }
    return ready_ ? &api_ : nullptr;
  }

 private:
  bool start() {
    // No dictionary: labels are often not words (ln, shl, Ctrl+S).
    std::vector<std::string> names = {"load_system_dawg", "load_freq_dawg"}, values = {"0", "0"};
    // English from the system's data folder (TESSDATA_PREFIX, else the engine's own default).
    if (api_.Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY, nullptr, 0, &names, &values, false) != 0) return false;
#ifdef PICTOMIRA_OPENMP
    // The engine's parallel regions run on this thread alone: a label is
    // small, and helper threads spinning on two cores make a read several
    // times slower. The setting is this thread's own.
    omp_set_max_active_levels(0);
#endif
    api_.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    api_.SetVariable("debug_file", "/dev/null");
    api_.SetVariable("user_defined_dpi", "300");
    api_.SetVariable("lstm_choice_mode", "2");  // every character's alternatives, for the doubt test
    return true;
  }

  tesseract::TessBaseAPI api_;
  bool tried_ = false, ready_ = false;
};

tesseract::TessBaseAPI* engine() {
  static thread_local Engine e;
  return e.get();
}

// ---- The picture ----------------------------------------------------------------------

// A grey picture, one byte a pixel, rows w bytes apart.
struct Grey {
  int32_t w = 0, h = 0;
  std::vector<unsigned char> v;
  unsigned char& at(int32_t x, int32_t y) { return v[static_cast<size_t>(y) * w + x]; }
  unsigned char at(int32_t x, int32_t y) const { return v[static_cast<size_t>(y) * w + x]; }
};

Grey toGrey(const unsigned char* bgr, int32_t width, int32_t height, size_t stride) {
  Grey g;
  g.w = width, g.h = height;
  g.v.resize(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y) {
    const unsigned char* p = bgr + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < width; ++x, p += 3)
      g.at(x, y) = static_cast<unsigned char>((29 * p[0] + 150 * p[1] + 77 * p[2] + 128) >> 8);
  }
  return g;
}

// The face behind each row: the row's median grey, smoothed over 7 rows so
// that a frame line or a bar of text is not taken for the face. Follows a
// face shaded from top to bottom.
std::vector<int> faceOfRows(const Grey& g) {
  std::vector<int> median(g.h), face(g.h);
  std::vector<unsigned char> row(g.w);
  for (int32_t y = 0; y < g.h; ++y) {
    std::copy(g.v.begin() + static_cast<ptrdiff_t>(y) * g.w, g.v.begin() + static_cast<ptrdiff_t>(y + 1) * g.w,
              row.begin());
    std::nth_element(row.begin(), row.begin() + g.w / 2, row.end());
    median[y] = row[g.w / 2];
  }
  std::vector<int> window;
  for (int32_t y = 0; y < g.h; ++y) {
    window.assign(median.begin() + std::max(0, y - 3), median.begin() + std::min(g.h, y + 4));
    std::nth_element(window.begin(), window.begin() + window.size() / 2, window.end());
    face[y] = window[window.size() / 2];
  }
  return face;
}

// Makes the text darker than the face and stretches it to black on white.
// False when there is no plain face or no text on it.
bool normalise(Grey& g) {
  std::vector<int> face = faceOfRows(g);
  // Whether the text is lighter or darker than the face is told by the
  // middle, away from the frame and what lies around the control.
  const int32_t edgeX = std::min<int32_t>(6, g.w / 6), edgeY = std::min<int32_t>(6, g.h / 6);
  size_t onFace = 0, darker = 0, lighter = 0;
  for (int32_t y = 0; y < g.h; ++y)
    for (int32_t x = 0; x < g.w; ++x) {
      const int d = g.at(x, y) - face[y];
      onFace += std::abs(d) <= 24;
      if (y < edgeY || y >= g.h - edgeY || x < edgeX || x >= g.w - edgeX) continue;
      darker += d < -kLeastContrast;
      lighter += d > kLeastContrast;
    }
  if (static_cast<double>(onFace) < kLeastFaceShare * static_cast<double>(g.v.size())) return false;
  if (lighter > darker) {
    for (unsigned char& c : g.v) c = static_cast<unsigned char>(255 - c);
    for (int& f : face) f = 255 - f;
  }
  // The ink: the darkest grey that a few pixels reach.
  size_t hist[256] = {};
  for (unsigned char c : g.v) ++hist[c];
  const size_t few = std::max<size_t>(2, g.v.size() / 500);
  int ink = 0;
  for (size_t seen = 0; ink < 255; ++ink)
    if ((seen += hist[ink]) >= few) break;
  if (*std::max_element(face.begin(), face.end()) - ink < kLeastContrast) return false;
  for (int32_t y = 0; y < g.h; ++y) {
    const int range = std::max(face[y] - ink, kLeastContrast);
    for (int32_t x = 0; x < g.w; ++x)
      g.at(x, y) = static_cast<unsigned char>(std::clamp((g.at(x, y) - ink) * 255 / range, 0, 255));
  }
  return true;
}

struct Box {
  int32_t x0, y0, x1, y1;  // right and bottom exclusive
};

// Off the face: part of the text, of a frame or of anything else drawn on it.
bool isMarked(unsigned char c) { return c < 200; }

// Whether count pixels from first, step bytes apart, look like a frame line:
// marked along most of the length, at least the share given of its pixels.
bool isFrameLine(const unsigned char* first, int32_t count, size_t step, double share) {
  int32_t marks = 0, from = -1, to = -1;
  for (int32_t i = 0; i < count; ++i)
    if (isMarked(first[i * step])) {
      ++marks;
      if (from < 0) from = i;
      to = i;
    }
  return marks > 0 && to - from + 1 >= kFrameSpan * count && marks >= share * count;
}

// Takes off each side's lines, up to the innermost one near the edge that
// looks like a frame line within what is left of the box: rows, then columns.
void stripFrameLines(const Grey& g, double share, Box* b) {
  const int32_t depthX = std::min<int32_t>(kFrameDepth, g.w / 4);
  const int32_t depthY = std::min<int32_t>(kFrameDepth, g.h / 4);
  const Box rows = *b;
  const auto row = [&](int32_t y) {
    return isFrameLine(&g.v[static_cast<size_t>(y) * g.w + rows.x0], rows.x1 - rows.x0, 1, share);
  };
  for (int32_t y = 0; y < depthY; ++y) {
    if (row(y)) b->y0 = std::max(b->y0, y + 1);
    if (row(g.h - 1 - y)) b->y1 = std::min(b->y1, g.h - 1 - y);
  }
  const Box columns = *b;
  const auto column = [&](int32_t x) {
    return isFrameLine(&g.v[static_cast<size_t>(columns.y0) * g.w + x], columns.y1 - columns.y0, g.w, share);
  };
  for (int32_t x = 0; x < depthX; ++x) {
    if (column(x)) b->x0 = std::max(b->x0, x + 1);
    if (column(g.w - 1 - x)) b->x1 = std::min(b->x1, g.w - 1 - x);
  }
}

// The inside of the control's frame: solid lines near the edges first (the
// frame, a neighbour's frame), then, within them, lines marked at least
// every other pixel (a dotted focus ring). Within what the solid lines
// leave, a frame's corners do not make a letter's stem or a bar that
// meets the frame look like a frame line.
Box insideFrame(const Grey& g) {
  Box b{0, 0, g.w, g.h};
  stripFrameLines(g, kSolidLine, &b);
  stripFrameLines(g, kDottedLine, &b);
  if (b.x1 <= b.x0 || b.y1 <= b.y0) return Box{0, 0, g.w, g.h};
  return b;
}

// Calls found(box) for each 8-connected part of the pixels of region r
// darker than level; boxes in g's coordinates, right and bottom inclusive.
template <class Found>
void forEachPart(const Grey& g, const Box& r, int level, Found found) {
  const int32_t w = r.x1 - r.x0, h = r.y1 - r.y0;
  std::vector<unsigned char> seen(static_cast<size_t>(w) * h, 0);
  const auto take = [&](int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= w || y >= h || seen[static_cast<size_t>(y) * w + x] || g.at(r.x0 + x, r.y0 + y) >= level)
      return false;
    seen[static_cast<size_t>(y) * w + x] = 1;
    return true;
  };
  std::vector<std::pair<int32_t, int32_t>> stack;
  for (int32_t y0 = 0; y0 < h; ++y0)
    for (int32_t x0 = 0; x0 < w; ++x0) {
      if (!take(x0, y0)) continue;
      Box p{x0, y0, x0, y0};
      stack.assign(1, {x0, y0});
      while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        p.x0 = std::min(p.x0, x), p.y0 = std::min(p.y0, y), p.x1 = std::max(p.x1, x), p.y1 = std::max(p.y1, y);
        for (int32_t dy = -1; dy <= 1; ++dy)
          for (int32_t dx = -1; dx <= 1; ++dx)
            if (take(x + dx, y + dy)) stack.push_back({x + dx, y + dy});
      }
      found(Box{r.x0 + p.x0, r.y0 + p.y0, r.x0 + p.x1, r.y0 + p.y1});
    }
}

// The smallest box around the text inside, widened by a pixel; false when
// there is none. Specks and slivers touching the inside's edge (a rounded
// frame's corners, a neighbour's edge) are not text.
bool textBox(const Grey& g, const Box& inside, Box* out) {
  const int32_t w = inside.x1 - inside.x0, h = inside.y1 - inside.y0;
  Box t{inside.x1, inside.y1, -1, -1};
  forEachPart(g, inside, 160, [&](const Box& p) {
    const int32_t pw = p.x1 - p.x0 + 1, ph = p.y1 - p.y0 + 1;
    const bool touches = p.x0 == inside.x0 || p.y0 == inside.y0 || p.x1 == inside.x1 - 1 || p.y1 == inside.y1 - 1;
    const bool speck = pw <= 3 && ph <= 3;
    const bool sliver = (pw <= 2 && ph * 2 >= h) || (ph <= 2 && pw * 2 >= w);
    if (touches && (speck || sliver)) return;
    t.x0 = std::min(t.x0, p.x0), t.y0 = std::min(t.y0, p.y0), t.x1 = std::max(t.x1, p.x1), t.y1 = std::max(t.y1, p.y1);
  });
  if (t.x1 < 0) return false;
  *out = {std::max(inside.x0, t.x0 - 1), std::max(inside.y0, t.y0 - 1), std::min(inside.x1, t.x1 + 2),
          std::min(inside.y1, t.y1 + 2)};
  return true;
}

// The glyphs of a prepared picture from left to right: its dark parts, those
// above one another taken together (the dot of an i, the bars of =).
std::vector<Box> glyphsOf(const Grey& page) {
  std::vector<Box> parts;
  forEachPart(page, Box{0, 0, page.w, page.h}, 128, [&](const Box& p) { parts.push_back(p); });
  std::sort(parts.begin(), parts.end(), [](const Box& a, const Box& b) { return a.x0 < b.x0; });
  std::vector<Box> glyphs;
  for (const Box& p : parts)
    if (!glyphs.empty() && p.x0 <= glyphs.back().x1) {
      Box& q = glyphs.back();
      q.y0 = std::min(q.y0, p.y0), q.x1 = std::max(q.x1, p.x1), q.y1 = std::max(q.y1, p.y1);
    } else {
      glyphs.push_back(p);
    }
  return glyphs;
}

// The box of g enlarged scale times (bilinear), on white with margin pixels each side.
Grey enlarge(const Grey& g, const Box& b, int scale, int margin) {
  const int32_t bw = b.x1 - b.x0, bh = b.y1 - b.y0;
  Grey out;
  out.w = bw * scale + 2 * margin, out.h = bh * scale + 2 * margin;
  out.v.assign(static_cast<size_t>(out.w) * out.h, 255);
  for (int32_t y = 0; y < bh * scale; ++y) {
    const double sy = std::clamp((y + 0.5) / scale - 0.5, 0.0, bh - 1.0);
    const int32_t y0 = static_cast<int32_t>(sy), y1 = std::min(y0 + 1, bh - 1);
    const double fy = sy - y0;
    for (int32_t x = 0; x < bw * scale; ++x) {
      const double sx = std::clamp((x + 0.5) / scale - 0.5, 0.0, bw - 1.0);
      const int32_t x0 = static_cast<int32_t>(sx), x1 = std::min(x0 + 1, bw - 1);
      const double fx = sx - x0;
      const double top = g.at(b.x0 + x0, b.y0 + y0) * (1 - fx) + g.at(b.x0 + x1, b.y0 + y0) * fx;
      const double bottom = g.at(b.x0 + x0, b.y0 + y1) * (1 - fx) + g.at(b.x0 + x1, b.y0 + y1) * fx;
      out.at(margin + x, margin + y) = static_cast<unsigned char>(std::lround(top * (1 - fy) + bottom * fy));
    }
  }
  return out;
}

std::string trimmed(const char* text) {
  std::string s = text != nullptr ? text : "";
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// One character of a reading, with what the engine thought of it.
struct Symbol {
  std::string text;  // UTF-8
  bool startsWord;
  bool ambiguous;           // another character was nearly as likely, or the engine's choices disagree with it
  int top = 0, bottom = 0;  // rows of its glyph in the prepared picture (bottom inclusive), when measured
};

bool isAsciiAlnum(const std::string& s) { return s.size() == 1 && std::isalnum(static_cast<unsigned char>(s[0])); }
bool isLower(const std::string& s) { return s.size() == 1 && std::islower(static_cast<unsigned char>(s[0])); }
bool isOneOf(const std::string& s, const char* set) { return s.size() == 1 && std::strchr(set, s[0]) != nullptr; }
// Letters whose small and capital forms differ only in size.
bool isCaseless(const std::string& s) { return isOneOf(s, "cosuvwxzCOSUVWXZ"); }

// Characters the engine puts for glyphs it does not know (brackets, bars,
// rules, marks); a label holding one is not trusted.
bool isSuspicious(const std::string& s) {
  static const char* const kSuspicious[] = {
      "|",      "`",      "~",      "{",      "}",      "\u00A2", "\u00A3", "\u00A5", "\u00A6", "\u00A7", "\u00A9",
      "\u00AB", "\u00AC", "\u00AE", "\u00BB", "\u2013", "\u2014", "\u2018", "\u2019", "\u201C", "\u201D", "\u20AC"};
  for (const char* k : kSuspicious)
    if (s == k) return true;
  return false;
}

// Digits raised above the line become superscripts (x², m³); true when a
// letter is raised, which the engine does not read as such (the ^ of y^x).
bool markSuperscripts(std::vector<Symbol>& symbols) {
  int baseline = -1, top = 1 << 30;
  for (const Symbol& s : symbols) {
    top = std::min(top, s.top);
    if (isAsciiAlnum(s.text) && !isOneOf(s.text, "gjpqyQ")) baseline = std::max(baseline, s.bottom);
  }
  if (baseline < 0) return false;
  const int line = baseline - top + 1;
  static const char* const kSuperDigits[] = {"\u2070", "\u00B9", "\u00B2", "\u00B3", "\u2074",
                                             "\u2075", "\u2076", "\u2077", "\u2078", "\u2079"};
  bool raisedLetter = false;
  for (Symbol& s : symbols) {
    if (!isAsciiAlnum(s.text) || 10 * (baseline - s.bottom) <= 3 * line) continue;
    if (std::isdigit(static_cast<unsigned char>(s.text[0])))
      s.text = kSuperDigits[s.text[0] - '0'];
    else
      raisedLetter = true;
  }
  return raisedLetter;
}

int medianOf(std::vector<int> v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// Checks one word, [first, last), true when a character of it stays in
// doubt. With the glyphs measured, the case of the letters that differ only
// in size is set from their height against the word's other letters.
bool wordInDoubt(Symbol* first, Symbol* last, bool measured) {
  const size_t length = static_cast<size_t>(last - first);
  for (Symbol* s = first; s != last; ++s)
    if (s->ambiguous || isSuspicious(s->text)) return true;
  // A capital I before small letters in a short word may as well be an l
  // (In, ln); so may a lone l, and a word of nothing but strokes (ll, Il).
  if (length <= 3 &&
      ((length == 1 && first->text == "l") || (length > 1 && first->text == "I" && isLower(first[1].text))))
    return true;
  if (length > 1 && std::all_of(first, last, [](const Symbol& s) { return isOneOf(s.text, "Il"); })) return true;
  // Heights above the word's baseline: of small letters without ascenders; of capitals, digits and ascenders.
  std::vector<int> bottoms, small, tall;
  for (Symbol* s = first; measured && s != last; ++s)
    if (isAsciiAlnum(s->text) && !isOneOf(s->text, "gjpqyQ")) bottoms.push_back(s->bottom);
  const int baseline = bottoms.empty() ? 0 : medianOf(bottoms);
  for (Symbol* s = first; !bottoms.empty() && s != last; ++s) {
    if (isOneOf(s->text, "aemnrgpqy")) small.push_back(baseline - s->top + 1);
    if (isOneOf(s->text, "ABDEFGHKLMNPRT0123456789bdfhk")) tall.push_back(baseline - s->top + 1);
  }
  if (small.empty() && tall.empty()) {
    // Nothing to measure against: such a letter alone, or some of either case, cannot be told.
    int lower = 0, upper = 0;
    for (Symbol* s = first; s != last; ++s)
      if (isCaseless(s->text)) ++(isLower(s->text) ? lower : upper);
    return (length == 1 && lower + upper == 1) || (lower > 0 && upper > 0);
  }
  const int x = small.empty() ? 0 : medianOf(small), cap = tall.empty() ? 0 : medianOf(tall);
  for (Symbol* s = first; s != last; ++s) {
    if (!isCaseless(s->text)) continue;
    const int h = baseline - s->top + 1;
    const bool capital = x > 0 && cap > 0 ? h - x > cap - h : x > 0 ? 5 * h > 6 * x : 20 * h > 17 * cap;
    const unsigned char c = static_cast<unsigned char>(s->text[0]);
    s->text[0] = static_cast<char>(capital ? std::toupper(c) : std::tolower(c));
  }
  return false;
}

// The engine's reading of a prepared picture, with its confidence, whatever
// it is; confidence 0 when a character of it is in doubt.
ControlLabel recognise(const Grey& page) {
  tesseract::TessBaseAPI* api = engine();
  if (api == nullptr) return {};
  api->SetImage(page.v.data(), page.w, page.h, 1, page.w);
  if (api->Recognize(nullptr) != 0) {
    api->Clear();
    return {};
  }
  std::vector<Symbol> symbols;
  float least = 100;
  if (std::unique_ptr<tesseract::ResultIterator> it{api->GetIterator()}) {
    do {
      std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_SYMBOL));
      if (text == nullptr || trimmed(text.get()).empty()) continue;
      Symbol s;
      s.text = trimmed(text.get());
      s.startsWord = symbols.empty() || it->IsAtBeginningOf(tesseract::RIL_WORD);
      if (it->IsAtBeginningOf(tesseract::RIL_WORD)) least = std::min(least, it->Confidence(tesseract::RIL_WORD));
      // The engine's choices for this character, best first.
      tesseract::ChoiceIterator choice(*it);
      const char* best = choice.GetUTF8Text();
      const float bestConfidence = choice.Confidence();
      const float next = choice.Next() ? choice.Confidence() : 0;
      s.ambiguous = best == nullptr || s.text != best || bestConfidence - next < kChoiceMargin;
      symbols.push_back(s);
    } while (it->Next(tesseract::RIL_SYMBOL));
  }
  api->Clear();
  if (symbols.empty()) return {};
  // The engine's own boxes of characters are rough: where the glyphs match
  // the characters one to one, theirs are used.
  const std::vector<Box> glyphs = glyphsOf(page);
  const bool measured = glyphs.size() == symbols.size();
  bool doubt = false;
  if (measured) {
    for (size_t i = 0; i < symbols.size(); ++i) symbols[i].top = glyphs[i].y0, symbols[i].bottom = glyphs[i].y1;
    doubt = markSuperscripts(symbols);
  }
  ControlLabel label;
  for (size_t i = 0, end; i < symbols.size(); i = end) {
    for (end = i + 1; end < symbols.size() && !symbols[end].startsWord;) ++end;
    doubt = wordInDoubt(&symbols[i], &symbols[0] + end, measured) || doubt;
    if (i > 0) label.text += ' ';
    for (size_t k = i; k < end; ++k) label.text += symbols[k].text;
  }
  label.confidence = doubt ? 0 : std::clamp(static_cast<int>(std::lround(least)), 0, 100);
  return label;
}

// The reading of a picture. Below the threshold the text is enlarged once
// more by one step (one step less at the largest) and read again: a text
// both readings agree on, one of them at kAgreedConfidence or more, counts
// as read at the threshold. The second reading alone is taken only where
// the first has a character in doubt and the second is very sure ("=" first
// read as a dash); it is sometimes sure of a wrong text where the first was
// right ("4" read "A" at 84).
ControlLabel readUnfiltered(const unsigned char* bgr, int32_t width, int32_t height, size_t stride) {
  if (bgr == nullptr || width <= 0 || height <= 0 || width > CONTROL_LABEL_MAX_WIDTH ||
      height > CONTROL_LABEL_MAX_HEIGHT || stride < static_cast<size_t>(width) * 3)
    return {};
  Grey g = toGrey(bgr, width, height, stride);
  if (!normalise(g)) return {};
  Box text;
  if (!textBox(g, insideFrame(g), &text)) return {};
  const int32_t th = text.y1 - text.y0;
  const int scale = std::clamp(static_cast<int>(std::lround(static_cast<double>(kTextRows) / th)), 1, 4);
  const ControlLabel first = recognise(enlarge(g, text, scale, kMargin));
  if (first.confidence >= CONTROL_LABEL_MIN_CONFIDENCE || first.text.empty()) return first;
  const ControlLabel second = recognise(enlarge(g, text, scale < 4 ? scale + 1 : scale - 1, kMargin));
  if (first.text == second.text && std::max(first.confidence, second.confidence) >= kAgreedConfidence)
    return {first.text, CONTROL_LABEL_MIN_CONFIDENCE};
  if (first.confidence == 0 && second.confidence >= kSecondAloneConfidence) return second;
  return first;
}

}  // namespace

ControlLabel readControlLabel(const unsigned char* bgr, int32_t width, int32_t height, size_t stride) {
  ControlLabel label = readUnfiltered(bgr, width, height, stride);
  if (label.confidence < CONTROL_LABEL_MIN_CONFIDENCE) return {};
  return label;
}
