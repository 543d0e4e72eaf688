// pal_codepage.cpp: Windows-1252 <-> Unicode, and the file system's
// spelling of texts.
#include "pal/pal_codepage.h"

namespace {

// Code points of the bytes 0x80 .. 0x9F; 0 where the code page has none.
// Every other byte is its own code point (0xA0 .. 0xFF are Latin-1).
constexpr uint16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
constexpr uint32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 character at text[*at], moving *at past it; returns
// the code point, or -1 for a malformed byte (then *at moves by one).
// Overlong forms, surrogates and values beyond U+10FFFF are malformed.
int32_t decodeUtf8(std::string_view text, size_t* at) {
  const auto lead = static_cast<unsigned char>(text[*at]);
  ++*at;
  if (lead < 0x80) return lead;
  int more;
  uint32_t c, least;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3, c = lead & 0x07, least = 0x10000;
  } else {
    return -1;
  }
  size_t p = *at;
  for (int i = 0; i < more; ++i, ++p) {
    if (p >= text.size() || (static_cast<unsigned char>(text[p]) & 0xC0) != 0x80) return -1;
    c = (c << 6) | (static_cast<unsigned char>(text[p]) & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
  *at = p;
  return static_cast<int32_t>(c);
}

}  // namespace

uint32_t pal_Cp1252CodePoint(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte; }

unsigned char pal_Cp1252Byte(uint32_t codePoint) {
  if (codePoint == 0) return 0;
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<unsigned char>(codePoint);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == codePoint) return static_cast<unsigned char>(0x80 + i);
  return 0;
}

std::string pal_Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (const char ch : text) {
    const uint32_t c = pal_Cp1252CodePoint(static_cast<unsigned char>(ch));
    appendUtf8(out, c == 0 && ch != '\0' ? kReplacement : c);
  }
  return out;
}

std::string pal_Utf8ToCp1252(std::string_view text, int* refused) {
  std::string out;
  out.reserve(text.size());
  int left = 0;
  for (size_t at = 0; at < text.size();) {
    const int32_t c = decodeUtf8(text, &at);
    const unsigned char byte = c < 0 ? 0 : pal_Cp1252Byte(static_cast<uint32_t>(c));
    if (byte != 0 || c == 0) {
      out += static_cast<char>(byte);
      continue;
    }
    ++left;
  }
  if (refused != nullptr) *refused = left;
  return out;
}

#ifdef _WIN32
std::string pal_SystemText(std::string_view text) { return std::string(text); }

bool pal_TextFromSystem(std::string_view system, std::string* text) {
  *text = std::string(system);
  return true;
}
#else
std::string pal_SystemText(std::string_view text) { return pal_Cp1252ToUtf8(text); }

bool pal_TextFromSystem(std::string_view system, std::string* text) {
  int refused = 0;
  *text = pal_Utf8ToCp1252(system, &refused);
  return refused == 0;
}
#endif
