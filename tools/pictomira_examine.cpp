// pictomira_examine: prints a demo data file (.DMD), a recording file's
// records (.DMR), a package's directory, texts and flow data, or a wrapped
// file's values, pieces and name in readable text, and says what is wrong
// with a damaged one. For authors and support: "why does my demo not open".
// Usage:
//   pictomira_examine [--kind dmd|dmr|package|wrap] [--save-package OUT] FILE
// Without --kind the kind is taken from the extension, else from the content.
// --save-package keeps a wrapped file's rebuilt package as OUT.
// Exit status: 0 the file is sound, 1 it is damaged, 2 wrong usage.
#include "pal/pal.h"
#include "tools/examine.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  std::string kind, path, savePackage;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--kind") == 0 && i + 1 < argc) kind = argv[++i];
    else if (std::strcmp(argv[i], "--save-package") == 0 && i + 1 < argc) savePackage = argv[++i];
    else path = argv[i];
  }
  if (path.empty() || (!kind.empty() && kind != "dmd" && kind != "dmr" && kind != "package" && kind != "wrap")) {
    std::fprintf(stderr, "usage: %s [--kind dmd|dmr|package|wrap] [--save-package OUT] FILE\n", argv[0]);
    return 2;
  }
  pal_InitPAL();
  return examineFile(path, kind, savePackage);
}
