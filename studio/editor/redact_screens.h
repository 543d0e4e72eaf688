// redact_screens.h: the editor's "Redact" mode ("Redact" in "More >",
// Ctrl+R): a rectangle dragged in the frame view and shown as the box it
// becomes, the box's colour, the frames, the question, and the worker of
// redaction.h with its progress.
#pragma once

int openRedactMode();
