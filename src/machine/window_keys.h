// The window's keys: PC keys as the layout file maps them, or translated to the OSI keys that
// carry their characters, on their way into the typist's queue.
#pragma once
#include <cstdint>

// A key event of the window: set 1 code with bit 7 for a release, the character the desktop's
// layout gives for a key-down (0 for none; the letter when Ctrl is held) and Ctrl. Hot keys
// act at once; everything else waits its turn in the typist's queue. With Translate on, a key
// that gives a character presses the OSI key carrying it, with the OSI Shift it needs, and Ctrl
// with a letter is a whole stroke of its control character.
void window_key(uint32_t scan, char c, bool ctrl);
// A PC key is down in the window: a person's key held for a moment would be held for many
// seconds of warp.
bool window_keys_held();
// Every key goes up once the keys before have been seen (the window lost the keyboard).
void window_keys_let_go();
