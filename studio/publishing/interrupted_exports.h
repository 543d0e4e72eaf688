// interrupted_exports.h: what a packaging, an HTML5 or Demo Guide export or
// a Mirrit output leaves behind when the program ended while it ran (killed,
// or the system went down), removed at start-up. No window calls.
#pragma once

// Under the library folder: the temporary pieces and the unfinished Mirrit
// files in every demo's folder, the unfinished wrapped files and pages in
// "Demo_Packages" and "Demo_Guides" (and such a folder when that was all it
// held). A Mirrit pair caught while it took the place of the earlier pair
// is completed or rolled back, so the folder holds one whole pair or the
// earlier one. Only names the publishing itself gives its unfinished files
// are touched.
void removeInterruptedExports();
