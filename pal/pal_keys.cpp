// pal_keys.cpp: a key press as an event record: the virtual-key code, the
// modifier state and the character, the same on every window system.
// Letters follow the effective shift (Shift exclusive-or Caps Lock); digits
// and punctuation follow the Shift key alone, as on a real keyboard.
#include "pal/pal.h"

#include <cstring>

namespace {

// Unshifted and shifted characters of the punctuation keys (US layout).
struct Punctuation {
  int vk;
  char plain, shifted;
};
constexpr Punctuation kPunctuation[] = {{186, ';', ':'}, {187, '=', '+'}, {188, ',', '<'}, {189, '-', '_'},
                                        {190, '.', '>'}, {191, '/', '?'}, {192, '`', '~'}, {219, '[', '{'},
                                        {220, '\\', '|'}, {221, ']', '}'}, {222, '\'', '"'}};
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

int characterOf(const pal_Key& key, int modifier) {
  if (modifier >= PAL_MOD_CONTROL) return 0;
  const int vk = key.vk;
  if (vk >= 'A' && vk <= 'Z') return modifier == PAL_MOD_SHIFT ? vk : vk + 32;
  if (vk >= '0' && vk <= '9') return key.shift ? kShiftedDigits[vk - '0'] : vk;
  for (const Punctuation& p : kPunctuation)
    if (p.vk == vk) return key.shift ? p.shifted : p.plain;
  if (vk == VK_SPACE) return ' ';
  // Backspace, Tab, Enter, Escape, arrows, Delete, function and other
  // navigation keys produce no character; keypad operators bring their own.
  return key.character;
}

}  // namespace

void pal_MapKeyToEventCode(const pal_Key& key, int32_t event[4]) {
  if (key.vk < 0) return;  // Shift, Control, Alt or Caps Lock alone: no event
  if (key.vk == 0) {
    event[0] = PAL_EV_NO_KEY;
    event[1] = event[2] = event[3] = 0;
    return;
  }
  int modifier = PAL_MOD_NONE;
  if (key.control) modifier = PAL_MOD_CONTROL;
  else if (key.alt) modifier = PAL_MOD_ALT;
  else if (key.shift != key.capsLock) modifier = PAL_MOD_SHIFT;
  event[0] = PAL_EV_KEY;
  event[1] = characterOf(key, modifier);
  event[2] = modifier;
  event[3] = key.vk;
}
