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
// Press or release one OSI key in the matrix; a press engages Shift Lock as every key-down does.
void osi_press(OsiKey key);
void osi_release(OsiKey key);
// Translate mode: PC key `scan` gave character c. Presses the OSI key that carries c, with the
// OSI Shift as c needs it; false when no OSI key carries c.
bool translated_down(uint32_t scan, char c);
// Releases what translated_down pressed for `scan`; false when it pressed nothing.
bool translated_up(uint32_t scan);

void KEYBREAD();
void KEYBWRITE();
void CIA1();
void CIA2();
void CIA_Clear();
