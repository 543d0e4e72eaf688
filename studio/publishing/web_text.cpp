// web_text.cpp: what both web pages need to embed author texts and
// pictures safely: Base64, author text as HTML text, PNG data URIs (the
// encoder is the platform's: png_lodepng.cpp or png_wic.cpp), their
// transparent stand-ins and the rounded corners' cut. Pure functions of
// their arguments: callable from any thread at the same time.
#include "studio/publishing/web_export.h"

#include "pal/pal_codepage.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr const char* kPngUriPrefix = "data:image/png;base64,";

constexpr unsigned kReplacement = 0xFFFD;

// Appends the Base64 of count bytes to out.
void appendBase64(std::string& out, const unsigned char* in, size_t count) {
  out.reserve(out.size() + (count + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= count; i += 3) {
    const uint32_t v = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
    const char quad[4] = {kBase64[v >> 18], kBase64[(v >> 12) & 63], kBase64[(v >> 6) & 63], kBase64[v & 63]};
    out.append(quad, 4);
  }
  if (i == count) return;
  const bool two = count - i == 2;
  const uint32_t v = (uint32_t{in[i]} << 16) | (two ? uint32_t{in[i + 1]} << 8 : 0);
  const char quad[4] = {kBase64[v >> 18], kBase64[(v >> 12) & 63], two ? kBase64[(v >> 6) & 63] : '=', '='};
  out.append(quad, 4);
}

// Control characters other than tab, line feed, carriage return and form
// feed are errors in an HTML text; they become blanks.
bool strayControl(unsigned char c) { return (c < 32 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || c == 127; }

}  // namespace

std::string base64Encode(const unsigned char* bytes, size_t count) {
  std::string out;
  appendBase64(out, bytes, count);
  return out;
}

std::string htmlText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '\n': out += "<BR>"; break;
      case '\r': break;
      default:
        if (c >= 128) {
          unsigned code = pal_Cp1252CodePoint(c);
          if (code == 0) code = kReplacement;
          out += "&#" + std::to_string(code) + ";";
        } else {
          out += strayControl(c) ? ' ' : ch;
        }
    }
  }
  return out;
}

std::string markdownText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  bool lineStart = true;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\r') continue;
    if (c == '\n') {
      out += "\\\n";  // a hard line break
      lineStart = true;
      continue;
    }
    if (lineStart && (c == ' ' || c == '\t' || (c < 32 && c != '\n'))) continue;
    lineStart = false;
    if (c >= 128) {
      unsigned code = pal_Cp1252CodePoint(c);
      if (code == 0) code = kReplacement;
      out += "&#" + std::to_string(code) + ";";
    } else if (c < 32 || c == 127) {
      out += ' ';
    } else if (std::ispunct(c) != 0) {
      out += '\\';
      out += ch;
    } else {
      out += ch;
    }
  }
  while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\\\n") == 0) out.resize(out.size() - 2);
  return out;
}

std::string pngDataUri(const unsigned char* rgba, int32_t w, int32_t h) {
  const std::vector<unsigned char> png = pngBytes(rgba, w, h);
  if (png.empty()) return {};
  std::string uri = kPngUriPrefix;
  appendBase64(uri, png.data(), png.size());
  return uri;
}

std::string transparentPngUri(int32_t w, int32_t h) {
  // A transparent 1 x 1 PNG, for when not even a stand-in of the right size can be encoded.
  static const char* const kTiny =
      "data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVORK5CYII=";
  std::string uri;
  if (w > 0 && h > 0) {
    const std::vector<unsigned char> clear(static_cast<size_t>(w) * h * 4, 0);
    uri = pngDataUri(clear.data(), w, h);
  }
  return uri.empty() ? kTiny : uri;
}

void clearRoundedCorners(unsigned char* rgba, int32_t x0, int32_t y0, int32_t rw, int32_t rh, int32_t w, int32_t h) {
  const int32_t cut[4] = {4, 2, 1, 1};
  for (int32_t y = 0; y < std::min(h, 4); ++y)
    for (int32_t k = 0; k < std::min(cut[y], w); ++k)
      for (const int32_t x : {k, w - 1 - k})
        if (x >= x0 && x < x0 + rw && y >= y0 && y < y0 + rh)
          std::memset(rgba + (static_cast<size_t>(y - y0) * rw + (x - x0)) * 4, 0, 4);
}
