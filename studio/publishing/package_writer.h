// package_writer.h: sharing the current demo as a simulation, without
// window calls. Preparation (the unreachable-frame scrub, the flow pass and
// the row pass) writes the temporary piece files in the demo's folder;
// packaging compresses the line pool, writes the header and then one
// wrapped file per system whose programs are in the system folder. The
// screens read the progress and show the results.
#pragma once

#include "studio/publishing/publishing_support.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Progress shared with the screens: the phase and 0 .. 1000 within it.
// Preparation: phases 1 (scrub), 2 (flow pass), 3 (row pass). Packaging:
// 1 (compression), 2 (header), 3 (Mac), 4 (Windows), 5 (clean-up); the
// Linux file is written inside phase 4, before the Windows one.
extern std::atomic<int> gPackagePhase;
extern std::atomic<int> gPackageProgress;
// Set by "Cancel"; the row pass stops after its current frame and clears it.
extern std::atomic<int> gPackageCancel;

enum PackageType { PACKAGE_SMALL = 1, PACKAGE_FAST = 2 };

struct PackageSettings {
  std::string name;       // the package name (demo-name rules), at most 49 characters
  std::string notes;      // splash-screen notes, at most 49 characters
  bool redBoxes = true;   // "Enable Red Help Boxes and Speaker Notes"
  int type = PACKAGE_SMALL;
};

// The wrapped files a packaging can write, by the system files present:
// Linux (UWL, ZPL), Mac OS X (UWM, ZPI, ZPM), Windows (UWW, ZPW).
struct WrapTarget {
  const char* system;     // "Linux", "MacOSX", "Windows"
  bool possible;          // all its system files are present
  std::string missing;    // otherwise the first missing file's name
};
std::vector<WrapTarget> wrapTargets();

// Removes the frames no instruction path reaches from frame 0 or the home frame.
void scrubUnreachableFrames();

// Preparation of the current demo (gCurrDemoName, its model loaded): the
// scrub, "tmpFlowDat.tmp", "tmpStackDat.tmp" and "tmpLinesDat.tmp". 1 done,
// 0 cancelled or the program ending (no piece left); -1 with *why (the
// alert's title, code and reason) when a file cannot be written or the demo
// is beyond what a package can hold (rows, row width, sizes).
int preparePackage(publishing::Failure* why);

// Packaging after a complete preparation: "tmpStackCompr.tmp",
// "tmpHeadDat.tmp", then "<program>Demo_Packages/NAME/NAME MacOSX", "NAME
// Linux" and "NAME Windows.exe" for the possible targets, each written under
// a temporary name and renamed when complete; the temporary pieces are
// deleted at the end. 1; 0 when the program is ending (the file being
// written is removed, those finished stay); or -1 with *why (nothing
// half-written is left under a final name).
int writePackages(const PackageSettings& settings, publishing::Failure* why);

// Deletes the current demo's temporary pieces (a preparation that will not
// be packaged).
void removePackagePieces();
// The same for the demo folder at demoFolder (no trailing '/').
void removePackagePiecesIn(const std::string& demoFolder);
// Removes the unfinished wrapped files of the package name (spelled as the
// file system spells it, as read from the folder) from its folder (ending
// in '/'); the number removed.
int removeUnfinishedPackages(const std::string& folder, const std::string& name);

// The folder the package NAME is written to: "<program>Demo_Packages/NAME/".
std::string packageFolderPath(const std::string& name);
