// studio_states.h: the numbers every room of the authoring program agrees
// on: the screens of the main state machine (a screen's window returns the
// state that comes next), the program's version and the name of its
// system files folder. Constants only; nothing to call.
#pragma once

// Screens of the main state machine; a state below 1 ends the program.
enum {
  STATE_HOME = 10,
  STATE_CAPTURE = 20,
  STATE_ABSTRACT = 30,
  STATE_DEMO = 35,
  STATE_PRESENT = 40,
  STATE_EDITOR = 50
};
constexpr int PICTOMIRA_VERSION = 151;
constexpr const char* SYSTEM_FOLDER_NAME = "zPictomiraSystemFiles";
