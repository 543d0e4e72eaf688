// publishing_support.h: what the publishing workers share: refusing with an
// alert's title, code and reason, naming files and frames in those reasons,
// making folders and removing what an unfinished export made, and every
// frame's instructions in table order.
#pragma once

#include "demo/demo_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace publishing {

// Sets *why to text and returns -1.
int refuse(std::string* why, const std::string& text);

// Why a publishing worker gave up, as its screen shows it: the alert's
// title, the code its text begins with (empty for none) and the reason.
struct Failure {
  std::string title, code, why;
  // The alert's text: the code, " - ", the reason (or the reason alone).
  std::string text() const { return code.empty() ? why : code + " - " + why; }
};
// Sets the reason (keeping the title and code) and returns -1.
int refuse(Failure* failure, const std::string& why);
// Sets the title, the code and the reason and returns -1.
int refuse(Failure* failure, const char* title, const std::string& code, const std::string& why);
// A name or path in single quotes, for a reason.
std::string quoted(const std::string& s);
// "frame N" by the frame's number.
std::string frameName(int32_t f);
// Creates the folder at path unless it is there: 1, or -1 with *failure.
int makeFolder(const std::string& path, Failure* failure);
// Where file is written in folder (ending in '/') until it is complete:
// ".FILE.partial", hidden beside the file it becomes.
std::string unfinishedPath(const std::string& folder, const std::string& file);
// Removes the folder at path when it is empty (an export's folder that
// received nothing); a folder that holds anything stays.
void removeIfEmpty(const std::string& path);

// The instructions of frames 0 .. frames - 1 in table order, as indexes
// into gInstrData; instructions owned by no such frame are left out.
struct FrameInstructions {
  std::vector<int32_t> first, order;  // frame f's: order[first[f]] .. order[first[f + 1] - 1]
  explicit FrameInstructions(int32_t frames);
  int32_t count(int32_t f) const { return first[f + 1] - first[f]; }
  const int32_t* list(int32_t f) const { return order.data() + first[f]; }
  const InstrRec& at(int32_t f, int32_t k) const { return gInstrData[order[first[f] + k]]; }
  // True when frame f has an instruction of type.
  bool has(int32_t f, int32_t type) const {
    for (int32_t k = 0; k < count(f); ++k)
      if (at(f, k).type == type) return true;
    return false;
  }
};

}  // namespace publishing
