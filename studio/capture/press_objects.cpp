// press_objects.cpp: the press side file's lines. Role and name are cut
// and escaped a whole character at a time, so the cut never splits a UTF-8
// sequence or an escape, and the reader takes only the escapes the writer
// makes: a line it takes is written back exactly as it stood. The file is
// read a byte at a time with at most one line's worth kept, whatever the
// file holds.
#include "studio/capture/press_objects.h"

#include "pal/pal_fs.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The bytes of the character starting at text[at]: a lead byte with the
// continuation bytes its form asks for, as many of them as are there; any
// other byte stands alone.
size_t characterLength(const std::string& text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const size_t want = lead >= 0xF0 && lead <= 0xF7 ? 4 : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xC0 && lead <= 0xDF ? 2 : 1;
  size_t n = 1;
  while (n < want && at + n < text.size() && (static_cast<unsigned char>(text[at + n]) & 0xC0) == 0x80) ++n;
  return n;
}

// text escaped, as many whole characters as fit cap bytes of the escaped form.
std::string escapeField(const std::string& text, size_t cap) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t at = 0; at < text.size();) {
    const size_t n = characterLength(text, at);
    std::string piece;
    const auto c = static_cast<unsigned char>(text[at]);
    if (c == '\\' || c == ',') piece = {'\\', static_cast<char>(c)};
    else if (c < 0x20) piece = {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    else piece = text.substr(at, n);
    if (out.size() + piece.size() > cap) break;
    out += piece;
    at += n;
  }
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower case is never written
}

// The field as written back to its bytes; false for a field over cap, a
// raw byte below 0x20 or an escape the writer never makes.
bool unescapeField(const std::string& field, size_t cap, std::string* out) {
  if (field.size() > cap) return false;
  out->clear();
  for (size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (i + 1 >= field.size()) return false;
    const char e = field[++i];
    if (e == '\\' || e == ',') {
      *out += e;
    } else if (e == 'x' && i + 2 < field.size() && hexDigit(field[i + 1]) >= 0 && hexDigit(field[i + 2]) >= 0) {
      const int v = hexDigit(field[i + 1]) * 16 + hexDigit(field[i + 2]);
      if (v >= 0x20) return false;
      *out += static_cast<char>(v);
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

// A decimal integer, '-' allowed in front, within lo..hi.
bool parseNumber(const std::string& text, int64_t lo, int64_t hi, int64_t* out) {
  size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
  const bool negative = i == 1;
  if (i == text.size()) return false;
  // Built on the negative side, which holds INT64_MIN.
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const int digit = text[i] - '0';
    if (v < (INT64_MIN + digit) / 10) return false;
    v = v * 10 - digit;
  }
  if (!negative) {
    if (v == INT64_MIN) return false;
    v = -v;
  }
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

// The line's fields split at bare commas: a backslash takes the byte after it along.
std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ',') {
      fields.emplace_back();
      continue;
    }
    fields.back() += line[i];
    if (line[i] == '\\' && i + 1 < line.size()) fields.back() += line[++i];
  }
  return fields;
}

enum class LineRead { kLine, kSkipped, kEnd };

// The next line without its line end. A line over the cap is read through
// to its end but not kept; so is a last line without a line end, which is
// an append cut short.
LineRead nextLine(std::FILE* f, std::string* line) {
  line->clear();
  bool over = false;
  int c;
  while ((c = std::fgetc(f)) != EOF) {
    if (c == '\n') {
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return over || line->size() > PRESS_LINE_CAP ? LineRead::kSkipped : LineRead::kLine;
    }
    if (line->size() <= PRESS_LINE_CAP) *line += static_cast<char>(c);  // room for the '\r' of a line at the cap
    else over = true;
  }
  return line->empty() && !over ? LineRead::kEnd : LineRead::kSkipped;
}

}  // namespace

std::string pressLine(const PressObject& p) {
  char numbers[80];
  std::snprintf(numbers, sizeof numbers, ",%d,%d,%d,%d,", p.extents[0], p.extents[1], p.extents[2], p.extents[3]);
  return std::to_string(p.time) + "," + escapeField(p.role, PRESS_ROLE_CAP) + numbers +
         escapeField(p.name, PRESS_NAME_CAP) + "\r\n";
}

bool readPressLine(const std::string& line, PressObject* out) {
  if (line.size() > PRESS_LINE_CAP) return false;
  const std::vector<std::string> f = splitFields(line);
  if (f.size() != 7) return false;
  PressObject p;
  if (!parseNumber(f[0], 0, INT64_MAX, &p.time) || !unescapeField(f[1], PRESS_ROLE_CAP, &p.role) ||
      !unescapeField(f[6], PRESS_NAME_CAP, &p.name))
    return false;
  for (int i = 0; i < 4; ++i) {
    int64_t v = 0;
    if (!parseNumber(f[2 + i], i < 2 ? INT32_MIN : 1, INT32_MAX, &v)) return false;
    p.extents[i] = static_cast<int32_t>(v);
  }
  *out = std::move(p);
  return true;
}

bool appendPressLine(const std::string& path, const PressObject& p) {
  const std::string line = pressLine(p);
  const int fd = pal_FsOpen(path.c_str(), PAL_FS_WRITE | PAL_FS_CREATE | PAL_FS_APPEND, 0666);
  if (fd < 0) return false;
  // One write, so a line of another run's append never lands inside it.
  int64_t done;
  do done = pal_FsWrite(fd, line.data(), line.size());
  while (done < 0 && errno == EINTR);
  const bool closed = pal_FsClose(fd) == 0;
  return closed && done == static_cast<int64_t>(line.size());
}

bool readPressFile(const std::string& path, std::vector<PressObject>* out) {
  out->clear();
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return errno == ENOENT || errno == ENOTDIR;
  std::string line;
  PressObject p;
  for (LineRead r; (r = nextLine(f.get(), &line)) != LineRead::kEnd;)
    if (r == LineRead::kLine && readPressLine(line, &p)) out->push_back(p);
  return std::ferror(f.get()) == 0;
}
