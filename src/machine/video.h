// Video memory at $D000 and the graphics memory, drawn cell by cell into the main window.
#pragma once
#include "host/host.h"

#include <cstdint>

extern uint32_t screen;
extern uint32_t FullscreenEnabled;
extern uint32_t GEnable;
extern uint32_t VIDCpoke;
extern int zoomx, zoomy, offx, offy;
extern uint32_t ScreenTint;  // the monochrome screen's colour, a ScreenTintColour

enum ScreenTintColour { TINT_WHITE, TINT_GREEN, TINT_AMBER };

// What the display shows of video memory: the Screen menu's format, unless the 600 board's
// register asks for 64 x 16.
enum DisplayFormat { FORMAT_32X32, FORMAT_64X16, FORMAT_64X32 };
DisplayFormat display_format();
int display_columns();
int display_rows();

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
// The expander's colour memory: a write redraws the cell it colours.
void COLOURWRITE();
// $D800 read: the display format, bit 0 for 64 x 16, bit 1 for 64 x 32, so that a ROM can
// lay out its screen for either.
void FORMATREAD();

// The control register changed from `before`: a new format resizes the window, colour
// switched on or off redraws it.
void display_control_changed(uint8_t before);
struct VideoHooks {
    void (*on_format_change)() = nullptr;
};
extern VideoHooks video_hooks;

void OSI_VIDC(unsigned addr);
void OSI_GDC(unsigned addr);
void restvid();
void restgdc();
void clrvid();
void ToggleGraphik();

// The colours of a lit and of an unlit pixel.
struct Ink {
    uint32_t fg, bg;
};
// A rectangle copy from a glyph or pattern set (source column 0) into the main window, in the
// ink's colours, each source row repeated `tall` times.
void blit(const Surface* src, int src_y, int x, int y, int w, int h, Ink ink, int tall = 1);

class Fields;
// The state section "VID ": the display mode bits and the graphics switch.
void video_section(Fields& f);
