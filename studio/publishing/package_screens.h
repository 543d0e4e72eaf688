// package_screens.h: the sharing screens opened from the demo screen, in
// its window: "Simulation" (the package dialog and the packaging screen),
// "HTML5" and "Demo Guide" (a dialog, the page written, where it is).
//
// The publishing family shares a demo:
//   - screens (this header, mirrit_screens.h): loop thread only, on
//     studio/kit; they return to the demo screen through the kit;
//   - workers, free of window calls, each run on a thread the screens start
//     and poll: package_writer.h (the simulation package, with
//     line_pool.h's row pool and the scrub of unreachable frames),
//     web_export.h (the HTML5 page, with its script and style in page/,
//     and the Demo Guide), mirrit.h (the Mirrit text output);
//     publishing_support.h holds their refusals and file helpers, and
//     interrupted_exports.h removes what an interrupted one left, at start-up.
// Every worker writes under a temporary name and renames it over what was
// handed out only once complete.
#pragma once

#include <cstdint>

// The package dialog; the preparation starts as it opens.
int packageDialogHandler(int32_t event[4], char* name);
// The packaging screen: the wrapped files written, then the result.
int packagingScreenHandler(int32_t event[4], char* name);

// The dialogs of the HTML5 page and of the Demo Guide.
int html5DialogHandler(int32_t event[4], char* name);
int guideDialogHandler(int32_t event[4], char* name);

// The package preparation's progress in tenths of a per cent (its three phases).
int64_t packagePrepareTenths();
