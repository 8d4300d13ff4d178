// Screen layout: glyph sets, display modes, window size and full-screen scaling.
#pragma once
#include "host/host.h"

#include <cstdint>

// The two character generators: 256 glyphs of 8 rows, bit 7 leftmost.
extern const uint8_t font_game[2048];
extern const uint8_t font_alternate[2048];

extern int sWinX, sWinY;

// Builds the glyph and pixel pattern sets (once, at start-up, after the desktop size is known).
void make_glyph_sets();
// Game font (false) or alternate font (true) for the window-mode glyph sets.
void select_font(bool alternate);
void SetScreenCheck(int mode);
