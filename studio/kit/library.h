// library.h: the demo library as every room of the authoring program sees
// it: the program folder, the library folder, the current demo, where each
// demo's files live and the rule for demo names.
//
// The program folder holds the program and its system files. The library
// folder (the program folder unless one is given, as an installed program
// is given one in the user's documents) holds what the author makes: the
// capture slot (TempCapture.DMR and .DMW), the replay pair (pmra.*), the
// shared outputs (Demo_Packages, Demo_Guides) and the "Demos" folder with
// one folder per demo, NAME/NAME.DMR, .DMW, .DMD (and the optional side
// file .DMA, which the slot holds as TempCapture.DMA).
// A demo's name is its folder's name, so the name rule keeps every name a
// plain, portable folder name. Names are Windows-1252 like every stored
// text; the paths spell them as the file system does (UTF-8 on Linux).
//
// Threads: the paths and demoNameCode are pure and callable anywhere. The
// folders are set once at start-up; the current demo is changed only
// by the loop thread or by the one worker it has handed the demo to.
// validateDemoName may show an alert, so it belongs to the loop thread.
#pragma once

#include <string>

constexpr int DEMO_NAME_LEN = 70;  // 69 characters + NUL
constexpr int DEMO_NAME_MAX = DEMO_NAME_LEN - 1;

extern char gProgramFolder[500];           // the authoring program's folder, ending in "/"
extern char gLibraryFolder[500];           // the author's library, ending in "/"; empty: the program folder
extern char gCurrDemoName[DEMO_NAME_LEN];  // the demo being worked on

// ---- Folders ----------------------------------------------------------------
// Sets gProgramFolder to program (empty: the program's own folder), which
// must be a folder, and gLibraryFolder to library (empty: the program
// folder), which need not exist yet. True, or false with *why saying which
// folder is wrong.
bool setStudioFolders(const std::string& program, const std::string& library, std::string* why);
// Creates the library folder and the folders above it that are missing; false when it cannot.
bool makeLibraryFolder();

// ---- Paths ------------------------------------------------------------------
std::string libraryFolderPath();                                     // "<library>", ending in "/"
std::string demosFolderPath();                                       // "<library>Demos/"
std::string demoFolderPath(const std::string& name);                 // "<library>Demos/NAME"
std::string demoFilePath(const std::string& name, const char* ext);  // ".../NAME/NAME.DMR" etc.
std::string captureSlotPath(const char* ext);                        // "<library>TempCapture.DMR" etc.

// ---- Demo names -------------------------------------------------------------
// The first rule a name breaks: -9 empty, -8 longer than 69 characters,
// -7 starts with a space, -6 ends with one, -1 holds a character that is not
// printable or one of & ? . / > ^ < \ : * ! ; , | and the double quote, or a
// byte of 128 and above that is not a letter (0xC0 .. 0xFF, Œ œ Š š Ž ž Ÿ);
// 1 good.
int demoNameCode(const char* name);
// The message of a rule code; empty for 1.
const char* demoNameMessage(int code);
// 1 for a good name, else the rule's negative code; with showAlerts 1 the
// rule's message is shown in an alert titled "Bad Demo Name".
int validateDemoName(const char* name, int showAlerts);
