// html5_assets.h: the HTML5 page's script and style, kept as files of their
// own in studio/publishing/page/ and built into the program as they are (the
// build turns each into one of these arrays through cmake/embed_text.cmake).
// Each is the file's text without its CRs, ending in a NUL; the page writer
// gives it the page's line ends.
#pragma once

// page/html5_loader.js: the player's state and its frame loader.
extern const unsigned char kHtml5LoaderJs[];
// page/html5_controls.js: stepping, the modes, touch, the hint and the keys.
extern const unsigned char kHtml5ControlsJs[];
// page/html5_page.css: the page's style.
extern const unsigned char kHtml5PageCss[];
// page/html5_browser_check.js: the warning on a browser the page was not made for.
extern const unsigned char kHtml5BrowserCheckJs[];
