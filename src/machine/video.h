// Video memory at $D000 and the graphics memory, drawn cell by cell into the main window.
#pragma once
#include "host/host.h"

#include <cstdint>

extern uint32_t screen;
extern uint32_t FullscreenEnabled;
extern uint32_t GEnable;
extern uint32_t VIDCpoke;
extern int zoomx, zoomy, offx, offy;

// Glyph sets (256 glyphs stacked vertically) and pixel pattern sets, chosen by the screen layout.
extern const Surface* font_window_s;
extern const Surface* font_window_d;
extern const Surface* font_window_dx;
extern const Surface* font_window_fd;
extern const Surface* font_window_fdx;
extern const Surface* pixel_window_s;
extern const Surface* pixel_window_d;
extern const Surface* pixel_window_f;

void VIDCREAD();
void VIDCWRITE();
void CVIDCREAD();
void CVIDCWRITE();
void GDCWRITE();

void OSI_VIDC(unsigned addr);
void OSI_GDC(unsigned addr);
void restvid();
void restgdc();
void clrvid();
void ToggleGraphik();

// A rectangle copy from a glyph or pattern set (source column 0) into the main window.
void blit(const Surface* src, int src_y, int x, int y, int w, int h);

class Fields;
// The state section "VID ": the display mode bits and the graphics switch.
void video_section(Fields& f);
