// publishing_support.cpp: what the publishing workers share.
#include "studio/publishing/publishing_support.h"

#include "pal/pal_codepage.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace publishing {

int refuse(std::string* why, const std::string& text) {
  *why = text;
  return -1;
}

int refuse(Failure* failure, const std::string& why) {
  failure->why = why;
  return -1;
}

int refuse(Failure* failure, const char* title, const std::string& code, const std::string& why) {
  failure->title = title;
  failure->code = code;
  failure->why = why;
  return -1;
}

std::string quoted(const std::string& s) {
  // A path is spelled as the file system spells it (UTF-8 on Linux); the
  // reason is a text of the code page, like every text the screens show.
  std::string shown;
  return "'" + (pal_TextFromSystem(s, &shown) ? shown : s) + "'";
}

std::string frameName(int32_t f) { return "frame " + std::to_string(gFrameData[f].frameId); }

int makeFolder(const std::string& path, Failure* failure) {
  if (pal_FsMakeFolder(path.c_str(), 0777) == 0) return 1;
  const int error = errno;
  pal_FsInfo info;
  if (error == EEXIST && pal_FsStat(path.c_str(), &info) && info.folder) return 1;
  return refuse(failure, "The folder " + quoted(path) + " cannot be created: " + std::strerror(error));
}

std::string unfinishedPath(const std::string& folder, const std::string& file) {
  return folder + "." + file + ".partial";
}

void removeIfEmpty(const std::string& path) { pal_FsRemoveFolder(path.c_str()); }

FrameInstructions::FrameInstructions(int32_t frames) : first(static_cast<size_t>(std::max(frames, 0)) + 1, 0) {
  frames = std::max(frames, 0);
  const int32_t instrs = std::clamp(gInstrCount, 0, DEMO_INSTR_CAP);
  for (int32_t i = 0; i < instrs; ++i)
    if (gInstrData[i].frame >= 0 && gInstrData[i].frame < frames) ++first[gInstrData[i].frame + 1];
  for (int32_t f = 0; f < frames; ++f) first[f + 1] += first[f];
  order.resize(static_cast<size_t>(first[frames]));
  std::vector<int32_t> fill(first.begin(), first.end() - 1);
  for (int32_t i = 0; i < instrs; ++i)
    if (gInstrData[i].frame >= 0 && gInstrData[i].frame < frames) order[fill[gInstrData[i].frame]++] = i;
}

}  // namespace publishing
