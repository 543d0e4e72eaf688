// bitmap_screens.h: the editor's bitmap export ("ExportBMP", Ctrl+E) and
// import ("Import BMP", Ctrl+I): the export message, the import's
// confirmation screen and its progress while the worker runs.
#pragma once

// Writes the current frame's bitmap and shows where it went.
int exportBitmapCommand();
// Reads the range boxes and the bitmap; on success opens the confirmation
// screen, otherwise shows the refusal and stays in the editor.
int importBitmapCommand();
