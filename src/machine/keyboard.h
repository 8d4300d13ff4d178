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

extern uint32_t key_matrix[8];
extern uint32_t gScan;
extern uint32_t irqkey;
extern uint32_t caps;
extern KeyRecord key_ref[128];
extern SpecialKey key_function[9];

void KEYBREAD();
void KEYBWRITE();
void CIA1();
void CIA2();
void CIA_Clear();
