// web_export.h: the current demo as one self-contained HTML5 page, and as a
// printable Demo Guide, without window calls. Frames are PNG images inside
// the pages as data URIs; author texts are escaped so the pages always
// stay well-formed and run none of them.
#pragma once

#include "studio/publishing/publishing_support.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Progress of the export running, 0 .. 1000, read by the screens.
extern std::atomic<int> gExportProgress;

struct WebExportSettings {
  std::string name;   // the package or guide name (demo-name rules), at most 49 characters
  std::string notes;  // splash-screen or title-page notes, at most 49 characters
};

// "<program>Demo_Packages/NAME/NAME.html" and "<program>Demo_Guides/NAME/NAME.html".
std::string html5PagePath(const std::string& name);
std::string guidePagePath(const std::string& name);

// Writes the HTML5 page of the current demo (gCurrDemoName, its model
// loaded; the unreachable frames are scrubbed first), under a temporary
// name renamed over the page when complete. 1; 0 when the program is
// ending; -1 with *why (the alert's title, code and reason). Unless the
// result is 1 the temporary file is removed and the page written before,
// if any, is left as it was. Frames whose PNG could not be encoded are
// written as transparent placeholders and named in *warnings.
int writeHtml5Page(const WebExportSettings& settings, publishing::Failure* why, std::vector<std::string>* warnings);

// Writes the Demo Guide of the current demo the same way.
int writeDemoGuide(const WebExportSettings& settings, publishing::Failure* why, std::vector<std::string>* warnings);

// "<program>Demo_Guides/NAME/NAME.md" and its pictures' folder "NAME_files".
std::string markdownGuidePath(const std::string& name);
std::string markdownPicturesPath(const std::string& name);
// Writes the Demo Guide as CommonMark: a title, the notes, then a section
// per step (its heading, its note, its picture linked relatively), the
// pictures as "step-N.png" in NAME_files. The pictures are written into a
// hidden folder and the page under a temporary name; only once both are
// complete do they replace the guide written before. Results as above.
int writeMarkdownGuide(const WebExportSettings& settings, publishing::Failure* why,
                       std::vector<std::string>* warnings);
// Author text as CommonMark text that stays text: every ASCII punctuation
// character backslash-escaped, bytes above 127 (Windows-1252) as numeric
// character references, control characters as spaces, blanks at a line's
// start dropped (they would make code), line feeds as hard line breaks.
std::string markdownText(const std::string& text);

// ---- Shared by both pages ----------------------------------------------------------
// Base64 of bytes (standard alphabet, '=' padding, no line breaks).
std::string base64Encode(const unsigned char* bytes, size_t count);
// Author text for a page: & < > " ' escaped, line feeds as <BR> (carriage
// returns dropped), bytes above 127 (Windows-1252) as numeric character
// references of their Unicode code points.
std::string htmlText(const std::string& text);
// A PNG of w x h pixels of 8-bit RGBA rows as a "data:image/png;base64,"
// URI; empty when encoding fails.
std::string pngDataUri(const unsigned char* rgba, int32_t w, int32_t h);
// The same PNG as bytes, for a file of its own; empty when encoding fails.
std::vector<unsigned char> pngBytes(const unsigned char* rgba, int32_t w, int32_t h);
// A wholly transparent w x h PNG as a data URI, the stand-in for a picture
// that could not be encoded; a transparent 1 x 1 when not even that can be.
std::string transparentPngUri(int32_t w, int32_t h);
// Makes the pixels that rounded top corners cut off a w x h frame fully
// transparent (0, 0, 0, 0) in an RGBA picture of its part from (x0, y0),
// rw x rh pixels: row 0 loses its four outermost pixels at each end, rows 1
// to 3 one, and row 1 one more.
void clearRoundedCorners(unsigned char* rgba, int32_t x0, int32_t y0, int32_t rw, int32_t rh, int32_t w, int32_t h);
