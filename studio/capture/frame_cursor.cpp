// frame_cursor.cpp: sequential decoding of a recording, cropped.
#include "studio/capture/frame_cursor.h"

#include "demo/demo_frames.h"
#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kStopCheckEvery = 1024;  // records indexed between two looks at pal_StopRequested

// Fills a record's fields from its line; false when it is not a whole record's line.
bool parseLine(const char* line, RecordEntry* r) {
  RecordFields v;
  if (!parseRecordLine(line, 11, &v)) return false;
  *r = RecordEntry{0, 0, v.mouseX, v.mouseY, v.W, v.H, v.x, v.y, v.w, v.h, v.time, v.click, false};
  r->key = r->w == r->W && r->h == r->H;
  return true;
}

}  // namespace

std::vector<RecordEntry> indexRecording(const char* path) {
  std::vector<RecordEntry> records;
  const int fd = pal_FsOpen(path, PAL_FS_READ, 0);
  if (fd < 0) return records;
  const int64_t size = std::max<int64_t>(pal_FsSize(fd), 0);
  char line[REC_LINE_LIMIT + 1];
  for (int64_t at = 0; at < size;) {
    if (records.size() % kStopCheckEvery == 0 && pal_StopRequested()) break;  // the program is ending
    const int64_t got = pal_FsReadAt(fd, line, REC_LINE_LIMIT, at);
    if (got <= 0) break;
    line[got] = '\0';
    char* end = static_cast<char*>(std::memchr(line, '\n', static_cast<size_t>(got)));
    if (end != nullptr) end[1] = '\0';
    RecordEntry r;
    if (!parseLine(line, &r)) break;
    r.offset = at;
    r.pixels = at + static_cast<int64_t>(std::strlen(line));
    if (r.w * r.h * 3 > size - r.pixels) break;  // pixels cut short
    records.push_back(r);
    at = r.pixels + r.w * r.h * 3;
  }
  pal_FsClose(fd);
  return records;
}

FrameCursor::FrameCursor(const char* path, const int32_t crop[4]) {
  std::memcpy(crop_, crop, sizeof crop_);
  if (crop[2] < 1 || crop[3] < 1) return;
  file_ = std::fopen(path, "rb");
  if (file_ == nullptr) return;
  screen_.assign(size_t{3} * crop[2] * crop[3], 0);
  written_.assign(static_cast<size_t>(crop[3]), 0);
  records_ = indexRecording(path);
}

FrameCursor::~FrameCursor() {
  if (file_ != nullptr) std::fclose(file_);
}

void FrameCursor::note(int32_t row, int32_t x0, int32_t x1) {
  const size_t rowBytes = size_t{3} * crop_[2];
  if (savedAt_[static_cast<size_t>(row)] < 0) {
    savedAt_[static_cast<size_t>(row)] = static_cast<int32_t>(savedRows_.size());
    std::memcpy(&saved_[rowBytes * savedRows_.size()], &screen_[rowBytes * static_cast<size_t>(row)], rowBytes);
    savedRows_.push_back(row);
    spans_.push_back(x0);
    spans_.push_back(x1);
  } else {
    int32_t* span = &spans_[2 * static_cast<size_t>(savedAt_[static_cast<size_t>(row)])];
    span[0] = std::min(span[0], x0);
    span[1] = std::max(span[1], x1);
  }
  changed_[0] = std::min<int64_t>(changed_[0], x0);
  changed_[1] = std::min<int64_t>(changed_[1], row);
  changed_[2] = std::max<int64_t>(changed_[2], x1);
  changed_[3] = std::max<int64_t>(changed_[3], row);
}

int64_t FrameCursor::apply(int64_t offset, bool noting) {
  const auto it = std::lower_bound(records_.begin(), records_.end(), offset,
                                   [](const Record& r, int64_t at) { return r.offset < at; });
  if (it == records_.end() || it->offset != offset) return -1;
  const int64_t pixels = it->pixels;
  const int64_t x = it->x, y = it->y, w = it->w, h = it->h;
  const int64_t cx0 = std::max<int64_t>(x, crop_[0]), cx1 = std::min<int64_t>(x + w, int64_t{crop_[0]} + crop_[2]);
  const int64_t cy0 = std::max<int64_t>(y, crop_[1]), cy1 = std::min<int64_t>(y + h, int64_t{crop_[1]} + crop_[3]);
  if (cx0 < cx1 && cy0 < cy1) {
    // The rows inside the crop in one read, then their part inside it.
    const size_t span = static_cast<size_t>((cy1 - cy0) * w * 3);
    if (block_.size() < span) block_.resize(span);
    const int fd = pal_FsDescriptorOf(file_);
    size_t got = 0;
    while (got < span) {
      const int64_t at = pixels + (cy0 - y) * w * 3 + static_cast<int64_t>(got);
      const int64_t n = pal_FsReadAt(fd, block_.data() + got, span - got, at);
      if (n <= 0) return -1;
      got += static_cast<size_t>(n);
    }
    const size_t bytes = static_cast<size_t>(cx1 - cx0) * 3;
    const uint64_t stamp = ++clock_;
    for (int64_t r = cy0; r < cy1; ++r) {
      unsigned char* dst = &screen_[size_t{3} * (static_cast<size_t>(r - crop_[1]) * crop_[2] + (cx0 - crop_[0]))];
      const unsigned char* src = &block_[static_cast<size_t>(((r - cy0) * w + (cx0 - x)) * 3)];
      if (noting) {
        if (std::memcmp(dst, src, bytes) == 0) continue;
        size_t first = 0, last = bytes - 1;
        while (dst[first] == src[first]) ++first;
        while (dst[last] == src[last]) --last;
        note(static_cast<int32_t>(r - crop_[1]), static_cast<int32_t>(cx0 - crop_[0] + first / 3),
             static_cast<int32_t>(cx0 - crop_[0] + last / 3));
      }
      std::memcpy(dst, src, bytes);
      written_[static_cast<size_t>(r - crop_[1])] = stamp;
    }
  }
  return pixels + w * h * 3;
}

bool FrameCursor::seek(int64_t keyAt, int64_t recordAt) {
  if (file_ == nullptr || keyAt < 0 || recordAt < keyAt) return false;
  if (cursor_ == recordAt) return true;
  // Forward from the cursor when it lies between the key record and the
  // frame's record (a key record on the way replaces everything anyway).
  if (cursor_ >= keyAt && cursor_ < recordAt) return applyFrom(next_, recordAt, false);
  if (late_.at >= keyAt && late_.at <= recordAt && late_.at > kept_.at) {  // back to the later checkpoint, then on
    restore(late_);
    return cursor_ == recordAt || applyFrom(next_, recordAt, false);
  }
  if (kept_.at >= keyAt && kept_.at <= recordAt) {  // back to the checkpoint, then on
    restore(kept_);
    return cursor_ == recordAt || applyFrom(next_, recordAt, false);
  }
  return applyFrom(keyAt, recordAt, false);
}

void FrameCursor::take(Kept& copy) {
  const size_t rowBytes = size_t{3} * crop_[2];
  if (copy.pixels.size() != screen_.size()) {
    copy.pixels = screen_;
  } else {
    for (size_t row = 0; row < written_.size(); ++row)
      if (written_[row] > copy.stamp)
        std::memcpy(&copy.pixels[row * rowBytes], &screen_[row * rowBytes], rowBytes);
  }
  copy.at = cursor_;
  copy.next = next_;
  copy.stamp = clock_;
}

void FrameCursor::restore(const Kept& copy) {
  const size_t rowBytes = size_t{3} * crop_[2];
  const uint64_t stamp = ++clock_;
  for (size_t row = 0; row < written_.size(); ++row)
    if (written_[row] > copy.stamp) {
      std::memcpy(&screen_[row * rowBytes], &copy.pixels[row * rowBytes], rowBytes);
      written_[row] = stamp;
    }
  cursor_ = copy.at;
  next_ = copy.next;
}

void FrameCursor::lateCheckpoint() {
  if (cursor_ >= 0) take(late_);
}

void FrameCursor::checkpoint() {
  if (cursor_ >= 0) take(kept_);
}

bool FrameCursor::applyFrom(int64_t at, int64_t recordAt, bool noting) {
  while (at >= 0 && at <= recordAt) {
    const int64_t following = pal_StopRequested() ? -1 : apply(at, noting);
    if (following < 0) {
      cursor_ = next_ = -1;
      return false;
    }
    cursor_ = at;
    next_ = following;
    at = following;
  }
  return cursor_ == recordAt;
}

bool FrameCursor::advanceNoting(int64_t recordAt, int32_t region[4]) {
  region[0] = region[1] = region[2] = region[3] = 0;
  if (file_ == nullptr || cursor_ < 0 || recordAt <= cursor_) return false;
  if (savedAt_.empty()) {
    savedAt_.assign(static_cast<size_t>(crop_[3]), -1);
    saved_.resize(screen_.size());  // room for every row, allocated once
  }
  for (int32_t row : savedRows_) savedAt_[static_cast<size_t>(row)] = -1;
  savedRows_.clear();
  spans_.clear();
  changed_[0] = changed_[1] = INT64_MAX;
  changed_[2] = changed_[3] = -1;
  if (!applyFrom(next_, recordAt, true)) return false;
  if (changed_[2] >= 0) {
    region[0] = static_cast<int32_t>(changed_[0]);
    region[1] = static_cast<int32_t>(changed_[1]);
    region[2] = static_cast<int32_t>(changed_[2] - changed_[0] + 1);
    region[3] = static_cast<int32_t>(changed_[3] - changed_[1] + 1);
  }
  return true;
}

const unsigned char* FrameCursor::rowBefore(int32_t y) const {
  const size_t rowBytes = size_t{3} * crop_[2];
  const int32_t slot = savedAt_.empty() ? -1 : savedAt_[static_cast<size_t>(y)];
  return slot < 0 ? &screen_[rowBytes * static_cast<size_t>(y)] : &saved_[rowBytes * static_cast<size_t>(slot)];
}

bool FrameCursor::rowSpan(int32_t y, int32_t* x0, int32_t* x1) const {
  const int32_t slot = savedAt_.empty() ? -1 : savedAt_[static_cast<size_t>(y)];
  if (slot < 0) return false;
  *x0 = spans_[2 * static_cast<size_t>(slot)];
  *x1 = spans_[2 * static_cast<size_t>(slot) + 1];
  return true;
}
