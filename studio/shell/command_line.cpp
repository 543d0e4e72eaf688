// command_line.cpp: Pictomira's commands without a window (see
// command_line.h). Every alert a worker would show becomes a line on
// standard error, and a fatal one ends the program with status 1.
#include "studio/shell/command_line.h"

#include "studio/shell/shell.h"

#include "studio/abstraction/abstraction.h"
#include "studio/abstraction/abstraction_screens.h"
#include "studio/abstraction/multipath.h"
#include "studio/capture/demo_files.h"
#include "studio/editor/frame_commands.h"
#include "studio/editor/redaction.h"
#include "studio/kit/library.h"
#include "studio/publishing/mirrit.h"
#include "studio/publishing/package_screens.h"
#include "studio/publishing/package_writer.h"
#include "studio/publishing/publishing_support.h"
#include "studio/publishing/web_export.h"

#include "demo/demo_model.h"
#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kUsage = 2, kFailed = 1;
constexpr size_t kSettingMax = 49;  // the dialogs' name and notes boxes

const char* const kHelp =
    "Usage: Pictomira [--folder DIR] [--library DIR] COMMAND\n"
    "With no command Pictomira opens its window (on the folders given).\n"
    "\n"
    "Commands:\n"
    "  --list                      the demos of the library, one a line: name, frames,\n"
    "                              recorded window (WIDTHxHEIGHT), date; tab-separated\n"
    "  --abstract                  makes the capture slot (or the replay pair pmra.DMR\n"
    "                              and pmra.DMW, with pmra.DMA when there is one, in\n"
    "                              the library) a demo\n"
    "  --multipath DEMO            adds MultiPath to DEMO and saves it\n"
    "  --publish KIND DEMO         shares DEMO where its dialog would: KIND is\n"
    "                              simulation, html5, guide, markdown or mirrit\n"
    "  --redact DEMO X,Y,W,H       paints a box over the rectangle (recorded-screen\n"
    "                              pixels) in DEMO's recording for good\n"
    "  --help                      this text\n"
    "  --version                   the program's version\n"
    "\n"
    "Options:\n"
    "  --folder DIR                the program folder, with zPictomiraSystemFiles\n"
    "                              (default: the program's own)\n"
    "  --library DIR               the library: Demos, Demo_Packages, Demo_Guides,\n"
    "                              the capture slot and the replay pair (default:\n"
    "                              the program folder); made when missing\n"
    "  --name NAME                 the new demo's name (default: the first free \"Demo N\")\n"
    "  --crop X,Y,W,H              the new demo's crop (default: the one found from the\n"
    "                              recorded windows)\n"
    "  --package-name NAME         the package or guide name (default: the demo's)\n"
    "  --notes TEXT                the splash screen or title page notes\n"
    "  --small, --fast             the simulation's package type (default: small)\n"
    "  --no-red-boxes, --no-notes  a simulation without red help boxes and speaker notes\n"
    "                              (the package dialog's one check box)\n"
    "  --frames A-B                the frames to redact, by frame number, hidden frames\n"
    "                              between them included (default: the whole demo)\n"
    "  --colour RRGGBB             the redaction box's colour (default: 000000, black)\n"
    "\n"
    "Progress goes to standard error, the files written to standard output.\n"
    "Exit status: 0 done, 1 failed (with the reason), 2 a usage error.\n";

struct Args {
  std::string folder, library, command, kind, demo, name, notes, newName, crop, rect, frames, colour;
  bool nameGiven = false;
  bool fast = false, small = false, noRedBoxes = false;
};

int usage(const std::string& message) {
  std::fprintf(stderr, "Pictomira: %s\nTry 'Pictomira --help'.\n", message.c_str());
  return kUsage;
}

// A file written, on a line of standard output, with Windows' own
// separators on Windows (the paths are put together with "/", which its
// calls take as well).
void printPath(std::string path) {
  if (gpal_PlatformFlag == 10) std::replace(path.begin(), path.end(), '/', '\\');
  std::printf("%s\n", path.c_str());
}

// Messages are texts of the code page (names and the workers' reasons);
// the terminal takes them as the system spells text.
int failed(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "Pictomira: %s\n", pal_SystemText(message).c_str());
  return kFailed;
}

// The names and texts of the arguments as the code page holds them; false
// after the usage message when one holds a character it cannot.
bool argumentTexts(Args* a) {
  for (std::string* text : {&a->demo, &a->name, &a->notes, &a->newName}) {
    std::string held;
    if (pal_TextFromSystem(*text, &held)) {
      *text = held;
      continue;
    }
    usage("'" + *text + "' holds a character that Pictomira's texts cannot hold (Windows-1252)");
    return false;
  }
  return true;
}

// Reads "X,Y,W,H" into crop; false unless it is four whole numbers.
bool readCrop(const std::string& text, int32_t crop[4]) {
  const char* p = text.c_str();
  for (int i = 0; i < 4; ++i) {
    char* end = nullptr;
    const long v = std::strtol(p, &end, 10);
    if (end == p || v < 0 || v > 65535 || *end != (i < 3 ? ',' : '\0')) return false;
    crop[i] = static_cast<int32_t>(v);
    p = end + (i < 3 ? 1 : 0);
  }
  return true;
}

// Reads "RRGGBB" (six hexadecimal digits) into rgb.
bool readColour(const std::string& text, uint32_t* rgb) {
  if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
  *rgb = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
  return true;
}

// Reads argv into *a; 0, or the usage error's status after its message.
int parse(int argc, char** argv, Args* a) {
  const auto setCommand = [a](const char* c) {
    if (!a->command.empty()) return false;
    a->command = c;
    return true;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    if (arg == "--help" || arg == "--version" || arg == "--list" || arg == "--abstract") {
      if (!setCommand(argv[i])) return usage("give one command only ('" + arg + "' after '" + a->command + "')");
    } else if (arg == "--publish") {
      if (!setCommand("--publish")) return usage("give one command only ('--publish' after '" + a->command + "')");
      if (!value(&a->kind) || !value(&a->demo)) return usage("'--publish' needs a KIND and a DEMO");
    } else if (arg == "--multipath") {
      if (!setCommand("--multipath")) return usage("give one command only ('--multipath' after '" + a->command + "')");
      if (!value(&a->demo)) return usage("'--multipath' needs a DEMO");
    } else if (arg == "--redact") {
      if (!setCommand("--redact")) return usage("give one command only ('--redact' after '" + a->command + "')");
      if (!value(&a->demo) || !value(&a->rect)) return usage("'--redact' needs a DEMO and X,Y,W,H");
    } else if (arg == "--frames") {
      if (!value(&a->frames)) return usage("'--frames' needs A-B");
    } else if (arg == "--colour") {
      if (!value(&a->colour)) return usage("'--colour' needs RRGGBB");
    } else if (arg == "--name") {
      if (!value(&a->newName)) return usage("'--name' needs a name");
    } else if (arg == "--crop") {
      if (!value(&a->crop)) return usage("'--crop' needs X,Y,W,H");
    } else if (arg == "--folder") {
      if (!value(&a->folder)) return usage("'--folder' needs a folder");
    } else if (arg == "--library") {
      if (!value(&a->library)) return usage("'--library' needs a folder");
    } else if (arg == "--package-name") {
      if (!value(&a->name)) return usage("'--package-name' needs a name");
      a->nameGiven = true;
    } else if (arg == "--notes") {
      if (!value(&a->notes)) return usage("'--notes' needs a text");
    } else if (arg == "--small") {
      a->small = true;
    } else if (arg == "--fast") {
      a->fast = true;
    } else if (arg == "--no-red-boxes" || arg == "--no-notes") {
      a->noRedBoxes = true;
    } else {
      return usage("unknown argument '" + arg + "'");
    }
  }
  if (a->command.empty()) return usage("no command given");
  if ((!a->newName.empty() || !a->crop.empty()) && a->command != "--abstract")
    return usage("'--name' and '--crop' belong to '--abstract'");
  int32_t crop[4];
  if (!a->crop.empty() && !readCrop(a->crop, crop)) return usage("'" + a->crop + "' is not a crop X,Y,W,H");
  if ((!a->frames.empty() || !a->colour.empty()) && a->command != "--redact")
    return usage("'--frames' and '--colour' belong to '--redact'");
  int32_t rect[4];
  if (a->command == "--redact" && !readCrop(a->rect, rect)) return usage("'" + a->rect + "' is not a rectangle X,Y,W,H");
  uint32_t colour = 0;
  if (!a->colour.empty() && !readColour(a->colour, &colour)) return usage("'" + a->colour + "' is not a colour RRGGBB");
  if (a->small && a->fast) return usage("'--small' and '--fast' exclude each other");
  if (a->command == "--publish" && a->kind != "simulation" && a->kind != "html5" && a->kind != "guide" &&
      a->kind != "markdown" && a->kind != "mirrit")
    return usage("unknown KIND '" + a->kind + "' (simulation, html5, guide, markdown or mirrit)");
  const bool simulationOption = a->small || a->fast || a->noRedBoxes;
  if (simulationOption && a->kind != "simulation")
    return usage("'--small', '--fast', '--no-red-boxes' and '--no-notes' belong to '--publish simulation'");
  if ((a->nameGiven || !a->notes.empty()) && (a->command != "--publish" || a->kind == "mirrit"))
    return usage("'--package-name' and '--notes' belong to '--publish simulation', 'html5', 'guide' or 'markdown'");
  return argumentTexts(a) ? 0 : kUsage;
}

// Progress on standard error while work runs on a thread of its own: one
// line rewritten in place on a terminal, a plain line every tenth otherwise.
int withProgress(const char* what, const std::function<int()>& percent, const std::function<int()>& work) {
  const bool terminal = pal_FsIsTerminal(2);
  std::atomic<bool> done{false};
  int result = 0;
  std::thread worker([&] {
    result = work();
    done = true;
  });
  int shown = -1;
  for (;;) {
    const bool finished = done.load();
    const int p = finished && result == 1 ? 100 : std::min(99, std::max(0, percent()));
    if (terminal ? p != shown : p / 10 != shown / 10 || shown < 0) {
      std::fprintf(stderr, terminal ? "\r%s: %3d%%" : "%s: %d%%\n", what, p);
      std::fflush(stderr);
      shown = p;
    }
    if (finished) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  worker.join();
  if (terminal) std::fputc('\n', stderr);
  return result;
}

int list() {
  static DemoListEntry entries[96];
  const int n = listDemos(entries);
  for (int i = 0; i < n; ++i) {
    std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%.69s", entries[i].name);
    char reason[300];
    const bool loaded = loadCurrentDemo(reason, sizeof reason) == 1;
    if (loaded)
      std::printf("%s\t%d\t%dx%d\t%s\n", pal_SystemText(entries[i].name).c_str(), gFrameCount, gCropSize[2], gCropSize[3], entries[i].date);
    else
      std::printf("%s\t?\t?\t%s\n", pal_SystemText(entries[i].name).c_str(), entries[i].date);
  }
  std::fflush(stdout);
  return 0;
}

// The demo DEMO of the library made current and loaded; empty, or why not.
std::string openDemo(const std::string& demo) {
  if (demoNameCode(demo.c_str()) != 1) return "'" + demo + "' is not a demo name: " + demoNameMessage(demoNameCode(demo.c_str()));
  const std::string data = demoFilePath(demo, ".DMD");
  if (!pal_FsStat(data.c_str(), nullptr))
    return "there is no demo '" + demo + "' in " + publishing::quoted(demosFolderPath());
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", demo.c_str());
  char why[400];
  if (loadCurrentDemo(why, sizeof why) != 1) return "the demo '" + demo + "' could not be opened: " + why;
  if (gFrameCount < 1) return "the demo '" + demo + "' has no frames";
  return {};
}

// The name and notes of a package or guide; empty, or why they cannot be.
std::string checkSettings(const std::string& name, const std::string& notes) {
  if (demoNameCode(name.c_str()) != 1)
    return "'" + name + "' cannot be the package name: " + demoNameMessage(demoNameCode(name.c_str()));
  if (name.size() > kSettingMax) return "the package name is longer than 49 characters";
  if (notes.size() > kSettingMax) return "the notes are longer than 49 characters";
  return {};
}

// Makes "<library>TOP/NAME"; false when it cannot be made.
bool makeOutputFolder(const char* top, const std::string& name) {
  const std::string folder = libraryFolderPath() + top;
  return pal_FindOrCreateDirectory(folder.c_str()) != -1 &&
         pal_FindOrCreateDirectory((folder + "/" + pal_SystemText(name)).c_str()) != -1;
}

// The web pages: the HTML5 page, the Demo Guide and its Markdown form.
struct WebKind {
  const char* top;       // the output folder under the library folder
  const char* progress;  // the progress line's words
  int (*write)(const WebExportSettings&, publishing::Failure*, std::vector<std::string>*);
  std::string (*path)(const std::string&);
};
const WebKind kHtml5{"Demo_Packages", "Writing the HTML5 page", writeHtml5Page, html5PagePath};
const WebKind kGuide{"Demo_Guides", "Writing the Demo Guide", writeDemoGuide, guidePagePath};
const WebKind kMarkdown{"Demo_Guides", "Writing the Markdown guide", writeMarkdownGuide, markdownGuidePath};

int publishWeb(const Args& a, const WebKind& kind) {
  WebExportSettings s;
  s.name = a.nameGiven ? a.name : a.demo;
  s.notes = a.notes;
  const std::string bad = checkSettings(s.name, s.notes);
  if (!bad.empty()) return failed(bad);
  if (!makeOutputFolder(kind.top, s.name))
    return failed(std::string("Export Fail: the folder for the page cannot be created in '") + kind.top + "'");
  publishing::Failure why;
  std::vector<std::string> warnings;
  const int r = withProgress(kind.progress, [] { return gExportProgress.load() / 10; },
                             [&] { return kind.write(s, &why, &warnings); });
  for (const std::string& w : warnings) std::fprintf(stderr, "Pictomira: %s\n", pal_SystemText(w).c_str());
  if (r == 0) return failed("stopped");
  if (r != 1) return failed(why.title + ": " + why.text());
  printPath(kind.path(s.name));
  return 0;
}

int prepare() {
  publishing::Failure why;
  const int r = withProgress("Preparing", [] { return static_cast<int>(packagePrepareTenths() / 10); },
                             [&] { return preparePackage(&why); });
  if (r == 1) return 0;
  return r == 0 ? failed("stopped") : failed(why.title + ": " + why.text());
}

int publishSimulation(const Args& a) {
  PackageSettings s;
  s.name = a.nameGiven ? a.name : a.demo;
  s.notes = a.notes;
  s.redBoxes = !a.noRedBoxes;
  s.type = a.fast ? PACKAGE_FAST : PACKAGE_SMALL;
  const std::string bad = checkSettings(s.name, s.notes);
  if (!bad.empty()) return failed(bad);
  if (!makeOutputFolder("Demo_Packages", s.name))
    return failed("Package Fail: the folder for the package cannot be created in 'Demo_Packages'");
  if (const int r = prepare(); r != 0) return r;
  publishing::Failure why;
  const int r = withProgress("Packaging", [] { return gPackagePhase.load() * 20 - 20 + gPackageProgress.load() / 50; },
                             [&] { return writePackages(s, &why); });
  if (r == 0) return failed("stopped");
  if (r != 1) return failed(why.title + ": " + why.text());
  const std::string folder = packageFolderPath(s.name);
  for (const WrapTarget& t : wrapTargets()) {
    if (!t.possible) continue;
    const std::string file = folder + pal_SystemText(s.name) + " " + t.system + (std::strcmp(t.system, "Windows") == 0 ? ".exe" : "");
    if (pal_FsStat(file.c_str(), nullptr)) printPath(file);
  }
  return 0;
}

int publishMirrit() {
  if (const int r = prepare(); r != 0) return r;
  MirritFailure why;
  const int r = writeMirrit(&why);
  if (r == 0) return failed("stopped");
  if (r != 1) return failed(why.code + ": " + why.why);
  const std::string folder = demoFolderPath(gCurrDemoName) + "/";
  printPath(folder + "DemoFlow.txt");
  printPath(folder + "DemoStack.bws");
  return 0;
}

bool exists(const std::string& path) { return pal_FsStat(path.c_str(), nullptr); }

int runAnalysis() {
  return withProgress("Reading the capture", [] { return gAbstractProgress.load() / 10; }, [] {
    analyseCapture();
    return 1;
  });
}

// The capture slot made a demo as "The Crop is Correct" and a name make it.
int abstractCapture(const Args& a) {
  if (!a.newName.empty() && demoNameCode(a.newName.c_str()) != 1)
    return failed("'" + a.newName + "' cannot be the demo's name: " + demoNameMessage(demoNameCode(a.newName.c_str())));
  replayCaptureIfPresent();
  if (!exists(captureSlotPath(".DMR")) || !exists(captureSlotPath(".DMW")))
    return failed("there is no capture to abstract in " + publishing::quoted(libraryFolderPath()));
  std::string name = a.newName;
  for (int n = 1; name.empty(); ++n)
    if (!exists(demoFolderPath("Demo " + std::to_string(n)))) name = "Demo " + std::to_string(n);
  if (exists(demoFolderPath(name))) return failed("Name has been used: A demo named '" + name + "' already exists");
  int32_t crop[4];
  if (!a.crop.empty()) readCrop(a.crop, crop);  // checked with the arguments
  gRecordedW = -1;  // the crop is found from the window file
  runAnalysis();
  if (!a.crop.empty() && gAbstractOutcome.load() != ABSTRACT_EMPTY) {
    if (crop[2] < MIN_CROP_SIDE || crop[3] < MIN_CROP_SIDE || int64_t{crop[0]} + crop[2] > gRecordedW ||
        int64_t{crop[1]} + crop[3] > gRecordedH)
      return failed("the crop " + a.crop + " does not fit the recorded " + std::to_string(gRecordedW) + "x" +
                    std::to_string(gRecordedH) + " screen at least " + std::to_string(MIN_CROP_SIDE) +
                    " pixels each way");
    std::copy(crop, crop + 4, gCropSize);
    runAnalysis();  // again with the given crop, as after the manual crop
  }
  if (gAbstractOutcome.load() == ABSTRACT_EMPTY || gFrameCount < 1)
    return failed("Nothing to Abstract: The capture holds nothing to abstract.  It is kept as it is until a later "
                  "capture replaces it.");
  if (gAbstractOutcome.load() == ABSTRACT_CUT)
    std::fprintf(stderr, "Pictomira: Capture Shortened: the capture holds %lld records; the first %d were kept\n",
                 static_cast<long long>(gAbstractRecordsRead), gFrameCount);
  withProgress("Building the steps", [] { return gAbstractProgress.load() / 10; }, [] {
    buildSteps();
    return 1;
  });
  if (pal_FindOrCreateDirectory(demosFolderPath().c_str()) == -1)
    return failed("the folder " + publishing::quoted(demosFolderPath()) + " cannot be created");
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", name.c_str());
  gCreateFilesProgress = 0;
  withProgress("Creating the files", [] { return gCreateFilesProgress.load() / 10; }, [] {
    createDemoFolder();
    return 1;
  });
  if (gCreateFilesProgress.load() < 1000) return failed("stopped");
  printPath(demoFilePath(name, ".DMD"));
  return 0;
}

int multiPath() {
  gMultiPathProgress = 0;
  withProgress("Adding MultiPath", [] { return std::min(99, gMultiPathProgress.load() / 10); }, [] {
    addMultiPath();
    return 1;
  });
  const MultiPathReport& r = gMultiPathReport;
  if (r.stopped) return failed("stopped");
  int status = 0;
  for (const MultiPathNotice& n : multiPathNotices(r, gCurrDemoName)) {
    std::fprintf(stderr, "Pictomira: %s: %s\n", n.title.c_str(), pal_SystemText(n.text).c_str());
    if (n.failed) status = kFailed;
  }
  if (status != 0) return status;
  std::fprintf(stderr, "MultiPath added %d instructions\n", r.added);
  printPath(demoFilePath(gCurrDemoName, ".DMD"));
  return 0;
}

// The frames "A-B" (or "A") read as the editor reads its range boxes:
// visible frames, B at or after A.
bool readRedactFrames(const std::string& text, Redaction* r, std::string* why) {
  if (text.empty()) return true;
  const size_t dash = text.find('-');
  const std::string from = text.substr(0, dash), to = dash == std::string::npos ? std::string() : text.substr(dash + 1);
  Outcome out;
  if (!readFrameRange(from.c_str(), to.c_str(), false, true, &out, &r->from, &r->to)) {
    *why = "the frames '" + text + "' cannot be redacted: " + out.notices[0].text;
    return false;
  }
  return true;
}

int redact(const Args& a) {
  Redaction r;
  readCrop(a.rect, r.rect);  // checked with the arguments
  if (!a.colour.empty()) readColour(a.colour, &r.colour);
  std::string why = checkRedactRect(r);
  if (!why.empty()) return failed(why);
  if (!readRedactFrames(a.frames, &r, &why)) return failed(why);
  RedactJob job = redactJobOf(r);
  int result = withProgress("Redacting", [] { return gRewriteProgress.load() / 10; },
                            [&] { return writeRedactedRecording(&job); });
  if (result == REWRITE_DONE) result = commitRewrite(&job);
  if (result == REWRITE_AT_NEXT_START) return failed("Redact Fail: " + job.why);
  if (result != REWRITE_DONE) return failed("Redact Fail: " + job.why + "; the demo was left unchanged");
  printPath(demoFilePath(gCurrDemoName, ".DMR"));
  return 0;
}

}  // namespace

bool windowFolders(int argc, char** argv, std::string* program, std::string* library) {
  for (int i = 1; i < argc; i += 2) {
    const std::string arg = argv[i];
    if (i + 1 >= argc || (arg != "--folder" && arg != "--library")) return false;
    *(arg == "--folder" ? program : library) = argv[i + 1];
  }
  return true;
}

int studioCommandLine(int argc, char** argv) {
  Args a;
  if (const int bad = parse(argc, argv, &a); bad != 0) return bad;
  if (a.command == "--help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (a.command == "--version") {
    std::printf("Pictomira %d\n", PICTOMIRA_VERSION);
    return 0;
  }
  // No window opens: every alert is a line on standard error, a fatal one
  // ends with status 1; the workers' trace lines stay off.
  pal_SetEnvironment("PICTOMIRA_ALERTS", "stderr");
  pal_SetEnvironment("PICTOMIRA_TRACES", "off");  // standard output holds only what was written
  pal_InitPAL();
  std::string why;
  if (!setStudioFolders(a.folder, a.library, &why)) return failed(why);
  if (!makeLibraryFolder()) return failed("the library folder " + publishing::quoted(libraryFolderPath()) + " cannot be created");
  if (a.command == "--list") return list();
  if (a.command == "--abstract") return abstractCapture(a);
  const std::string bad = openDemo(a.demo);
  if (!bad.empty()) return failed(bad);
  if (a.command == "--multipath") return multiPath();
  if (a.command == "--redact") return redact(a);
  if (a.kind == "html5") return publishWeb(a, kHtml5);
  if (a.kind == "guide") return publishWeb(a, kGuide);
  if (a.kind == "markdown") return publishWeb(a, kMarkdown);
  if (a.kind == "simulation") return publishSimulation(a);
  return publishMirrit();
}
