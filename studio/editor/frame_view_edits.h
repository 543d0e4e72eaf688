// frame_view_edits.h: what the author changes in the frame view and the
// note editor: a speaker note's text, position and sharing; dragging a red
// box's corner, drawing a new box, moving a note. Points are frame pixels
// (crop coordinates); rectangles are stored in recorded-screen pixels.
// No window calls.
#pragma once

#include <cstdint>
#include <string>

// ---- Speaker notes ------------------------------------------------------------------
constexpr int NOTE_TEXT_CAP = 997;  // characters SpeakerNoteEditBox holds
// The text the note editor opens with for frame (empty for none and for
// the default "Click in a red box").
std::string noteEditorText(int32_t frame);
// True when another frame has frame's note.
bool noteShared(int32_t frame);
// "OK": stores text as frame's note (gEditCount + 1). Empty text (after
// trailing line feeds are removed) removes the note; 997 characters or more
// are cut to 996 and *truncated is set. Returns false when no text record
// is free (nothing changed).
bool storeNoteText(int32_t frame, const std::string& text, bool* truncated);
// "Reset Position": frame's note and every frame sharing it go to the
// default place (gEditCount + 1 when one moved).
void resetNotePosition(int32_t frame);
// "Remove Sharing": frame gets its own copy of the note (gEditCount + 1).
// False when no record is free.
bool removeNoteSharing(int32_t frame);
// Gives every frame sharing frame's note frame's note position.
void spreadNotePosition(int32_t frame);

// ---- Boxes -------------------------------------------------------------------------------
// The corner of the shown frame's boxes (gCurrInstrList, types other than T
// and K) nearest to frame point p by horizontal plus vertical distance,
// below 16: its list position, with the opposite corner in anchor and the
// corner in moving (frame pixels). -1 when none is that near.
int findBoxCorner(const int32_t p[2], int32_t anchor[2], int32_t moving[2]);
// The rectangle (recorded-screen pixels) of a drag from anchor to release,
// normalised and clamped to the crop.
void dragRectangle(const int32_t anchor[2], const int32_t release[2], int32_t rect[4]);
// Sets instruction gCurrInstrList[listPos]'s rectangle to rect, and every
// other instruction whose rectangle equalled the old one.
void moveBox(int listPos, const int32_t rect[4]);
// A new L box for gEditorFrame from a drag on empty ground (a lone T
// instruction goes and the frame is named "Click"); false (nothing added)
// when the drag is under 7 pixels wide or 6 high, or a table is full.
bool addBox(const int32_t anchor[2], const int32_t release[2]);
