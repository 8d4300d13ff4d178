// The later 600 main board and its 630 Color Video Expander: the write-only control register at
// $D800 and what it switches.
#pragma once
#include <cstdint>

extern int Board600D;          // the board has the control register
extern int Colour630;          // the expander's colour memory at $E000-$E7FF is there
extern uint8_t board_control;  // what was last written to $D800

constexpr uint8_t CONTROL_64X16 = 0x01;   // 64 characters x 16 lines instead of 32 x 32
constexpr uint8_t CONTROL_COLOUR = 0x02;  // the expander's colours are shown
constexpr uint8_t CONTROL_DAC = 0x10;     // writes to $DF00 are also the DAC's level

constexpr uint32_t COLOURadr = 0xE000;

// The register's bit, on a board that has the register (and for colour, the expander). Every
// video write asks, so they are inline.
inline bool board_64x16() { return Board600D && (board_control & CONTROL_64X16); }
inline bool colour_shown() { return Board600D && Colour630 && (board_control & CONTROL_COLOUR); }
