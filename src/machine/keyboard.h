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

// The legends of the OSI keyboard: each row from bit 7 down, lower and upper legend.
struct Legend {
    OsiKey key;
    char plain, shifted;
};

enum Action { POST, FULLSCREEN, OPEN_TAPE, SAVE_TAPE, GRAPHICS, CAPS, RESET, SPECIAL };

// A PC key that does something of its own: a menu command or another command of the window,
// Caps Lock, or a special key that the layout file gives OSI keys for.
struct HotKey {
    uint8_t scan;
    Action action;
    int arg; // menu command or special key number
};

// What the keyboard tells the layers above; they fill it in at start-up.
struct KeyboardHooks {
    void (*on_command_key)(const HotKey&);  // a hot key that is a command went down
};
extern KeyboardHooks keyboard_hooks;

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
char upper_case(char c);
bool is_letter(char c);
// The legend carrying c, a letter in either case; null for none.
const Legend* legend_for(char c);
// The hot key of a set 1 code; null for none.
const HotKey* hot_key_for(uint32_t scan);
bool is_command(const HotKey& k);
void hot_key(const HotKey& k);
// The key's bit in a set of matrix positions (bit row * 8 + column).
uint64_t osi_bit(OsiKey key);
// Lets go of the OSI keys in `up` and presses those in `down` (bit row * 8 + column) in one
// change; a press engages Shift Lock as every key-down does.
void osi_change(uint64_t down, uint64_t up);
// A PC key event of the positional keyboard (set 1 code, bit 7 for a release) as the layout
// file maps it: Caps Lock, the special keys and the release of an extended key included, the
// hot keys that are commands left out.
void apply_scan(uint32_t scan);
void CIA1();
void CIA2();
void CIA_Clear();

class Fields;
// The state section "KEYS": the matrix, the pending key event, the key-check flag, Shift Lock.
void keys_section(Fields& f);
