// The 8 x 8 keyboard matrix at $DF00 and the PC key events that drive it.
#pragma once
#include <cstdint>

// One PC scan code's place in the matrix: the row and the mask that clears its column bit.
struct KeyRecord {
    uint8_t row;
    uint8_t mask;
};

// A special key presses two matrix positions at once; a row outside 0-7 presses nothing.
struct SpecialKey {
    int row1, mask1, row2, mask2;
};

// A key of the OSI keyboard by its place in the matrix: row 0-7, column 0-7 (the row byte's bit).
struct OsiKey {
    int row, column;
};

extern const OsiKey OSI_SHIFT_LEFT, OSI_SHIFT_RIGHT, OSI_CTRL;

extern uint32_t key_matrix[8];
extern uint32_t gScan;
extern uint32_t irqkey;
extern uint32_t caps;
extern KeyRecord key_ref[128];
extern SpecialKey key_function[9];

// 1: a PC key that gives a character presses the OSI key carrying it (the window's choice).
extern uint32_t Translate;
// Keyboard reads made while each row was selected, so that typing can wait for the program.
extern uint64_t row_reads[8];

// The OSI key whose legend is c (letters in either case); shifted when c is its upper legend.
bool osi_key_for(char c, OsiKey& key, bool& shifted);
// The key's bit in a set of matrix positions (bit row * 8 + column).
uint64_t osi_bit(OsiKey key);
// Lets go of the OSI keys in `up` and presses those in `down` (bit row * 8 + column) in one
// change; a press engages Shift Lock as every key-down does.
void osi_change(uint64_t down, uint64_t up);
// A PC key event of the positional keyboard (set 1 code, bit 7 for a release) as the layout
// file maps it: Caps Lock, the special keys and the release of an extended key included, the
// hot keys that are commands left out.
void apply_scan(uint32_t scan);
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

void KEYBREAD();
void KEYBWRITE();
void CIA1();
void CIA2();
void CIA_Clear();
