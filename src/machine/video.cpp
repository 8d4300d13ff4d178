#include "machine/video.h"

#include "cpu/bus.h"
#include "host/ids.h"
#include "host/state_fields.h"
#include "machine/board.h"
#include "machine/memory.h"

#include <algorithm>
#include <cstring>

uint32_t screen;
uint32_t FullscreenEnabled;
uint32_t GEnable;
uint32_t VIDCpoke;
int zoomx = 1, zoomy = 1, offx, offy;
uint32_t ScreenTint;
VideoHooks video_hooks;

const Surface* font_window_s;
const Surface* font_window_d;
const Surface* font_window_dx;
const Surface* font_window_fd;
const Surface* font_window_fdx;
const Surface* pixel_window_s;
const Surface* pixel_window_d;
const Surface* pixel_window_f;

namespace {

constexpr uint32_t BLACK = 0xFF000000, WHITE = 0xFFFFFFFF;
constexpr uint32_t tint_colours[] = {WHITE, 0xFF33FF66, 0xFFFFB000};

// Colour code bits 0, 1, 2 are red, green and blue.
uint32_t shade(int code, uint32_t level)
{
    return BLACK | ((code & 1) ? level << 16 : 0) | ((code & 2) ? level << 8 : 0) | ((code & 4) ? level : 0);
}

Ink monochrome() { return {tint_colours[ScreenTint], BLACK}; }

// Bit 0 of the colour byte swaps the colours; bits 1 to 3 are the code, 0 for white on black,
// any other the colour on a darker shade of it.
Ink cell_ink(unsigned offset)
{
    if (!colour_shown())
        return monochrome();
    uint8_t b = RAMptr[COLOURadr + offset];
    int code = (b >> 1) & 7;
    Ink ink = code ? Ink{shade(code, 0xFF), shade(code, 0x50)} : Ink{WHITE, BLACK};
    if (b & 1)
        std::swap(ink.fg, ink.bg);
    return ink;
}

} // namespace

DisplayFormat display_format()
{
    if (board_64x16())
        return FORMAT_64X16;
    return (screen & 2) ? FORMAT_64X32 : FORMAT_32X32;
}

int display_columns() { return display_format() == FORMAT_32X32 ? 32 : 64; }
int display_rows() { return display_format() == FORMAT_64X16 ? 16 : 32; }

void blit(const Surface* src, int src_y, int x, int y, int w, int h, Ink ink, int tall)
{
    if (!src)
        return;
    Surface& dst = host->surface();
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = std::min({x + w, dst.width, x + src->width});
    int y1 = std::min({y + h * tall, dst.height, y + (src->height - src_y) * tall});
    if (x0 >= x1 || y0 >= y1 || src_y + (y0 - y) / tall < 0)
        return;
    for (int row = y0; row < y1; row++) {
        const uint32_t* from = &src->pixels[size_t(src_y + (row - y) / tall) * src->width + (x0 - x)];
        uint32_t* to = &dst.pixels[size_t(row) * dst.width + x0];
        for (int i = 0; i < x1 - x0; i++)
            to[i] = (from[i] & 0xFFFFFF) ? ink.fg : ink.bg;
    }
    host->repaint(x0, y0, x1 - x0, y1 - y0);
}

void VIDCREAD() { readvalue = RAMptr[memoryaddress]; }
void CVIDCREAD() { readvalue = RAMptr[memoryaddress]; }

void VIDCWRITE()
{
    RAMptr[memoryaddress] = writevalue;
    OSI_VIDC(memoryaddress);
}

void CVIDCWRITE()
{
    RAMptr[memoryaddress] = writevalue;
    OSI_VIDC(memoryaddress);
}

// Graphics memory exists only when the configuration installs it; otherwise whatever
// lies at its address (extension RAM or ROM) is neither painted nor cleared.
static bool graphics_shown() { return GEnable && RAMGDC == 1; }

void GDCWRITE()
{
    PokeFlag = 1;
    RAMptr[memoryaddress] = writevalue;
    if (GEnable)
        OSI_GDC(memoryaddress);
}

void COLOURWRITE()
{
    RAMptr[memoryaddress] = writevalue;
    if (colour_shown())
        OSI_VIDC(VIDCadr + (memoryaddress & 0x7FF));
}

void FORMATREAD()
{
    DisplayFormat f = display_format();
    readvalue = (memoryaddress >> 8) | (f == FORMAT_64X16 ? 1 : 0) | (f == FORMAT_64X32 ? 2 : 0);
}

void display_control_changed(uint8_t before)
{
    uint8_t changed = (before ^ board_control) & (CONTROL_64X16 | CONTROL_COLOUR);
    if ((changed & CONTROL_64X16) && video_hooks.on_format_change)
        video_hooks.on_format_change();
    else if (changed)
        restvid();
}

// The 64 x 16 format lays its 64-character lines out as the 64 x 32 one does, each line twice
// as tall.
void OSI_VIDC(unsigned addr)
{
    VIDCpoke = 1;
    unsigned o = addr & 0x7FF;
    DisplayFormat format = display_format();
    if ((screen & 1) || (format != FORMAT_64X32 && o > 0x3FF))
        return;
    bool wide = format != FORMAT_32X32;
    int col = wide ? (o & 63) : (o & 31);
    int row = wide ? (o >> 6) : (o >> 5);
    int tall = format == FORMAT_64X16 ? 2 : 1;
    int c = RAMptr[addr & 0xFFFF];
    Ink ink = cell_ink(o);
    if (FullscreenEnabled) {
        if (wide)
            blit(font_window_fdx, 16 * c * zoomy, (8 * col + offx) * zoomx, (16 * tall * row + offy) * zoomy, 8 * zoomx, 16 * zoomy, ink, tall);
        else
            blit(font_window_fd, 16 * c * zoomy, (16 * col + offx) * zoomx, (16 * row + offy) * zoomy, 16 * zoomx, 16 * zoomy, ink);
        return;
    }
    switch ((screen & 4) | (wide ? 2 : 0)) {
    case 0: blit(font_window_s, 8 * c, 8 * col + 24, 8 * row + 16, 8, 8, ink); break;
    case 2: blit(font_window_s, 8 * c, 8 * col + 24, 8 * tall * row + 16, 8, 8, ink, tall); break;
    case 4: blit(font_window_d, 16 * c, 16 * col + 16, 16 * row + 24, 16, 16, ink); break;
    case 6: blit(font_window_dx, 16 * c, 8 * col + 16, 16 * tall * row + 24, 8, 16, ink, tall); break;
    }
}

void OSI_GDC(unsigned addr)
{
    unsigned o = addr & 0x1FFF;
    int v = RAMptr[addr & 0xFFFF];
    int column = o & 31, line = o >> 5;
    Ink ink = monochrome();
    if (FullscreenEnabled) {
        blit(pixel_window_f, 2 * v * zoomy, (16 * column + offx) * zoomx, (2 * line + offy) * zoomy, 16 * zoomx, 2 * zoomy, ink);
        return;
    }
    switch (screen & 7) {
    case 0: blit(pixel_window_s, v, 8 * column + 24, line + 16, 8, 1, ink); break;
    case 2: blit(pixel_window_d, 2 * v, 16 * column + 24, line + 16, 16, 1, ink); break;
    case 4:
    case 6: blit(pixel_window_d, 2 * v, 16 * column + 16, 2 * line + 24, 16, 2, ink); break;
    default: break;
    }
}

void restvid()
{
    uint32_t end = VIDCadr + (display_format() == FORMAT_64X32 ? 0x800 : 0x400);
    for (uint32_t a = VIDCadr; a < end && a <= 0xFFFF; a++)
        OSI_VIDC(a);
    VIDCpoke = 1;
}

void restgdc()
{
    if (!graphics_shown())
        return;
    VIDCpoke = 0;
    for (uint32_t a = GDCadr; a < GDCadr + 0x2000 && a <= 0xFFFF; a++)
        if (RAMptr[a])
            OSI_GDC(a);
}

static void fill(uint32_t from, uint32_t count, uint8_t value)
{
    if (from < 0x10000)
        std::memset(RAMptr + from, value, std::min(count, 0x10000 - from));
}

void clrvid()
{
    fill(VIDCadr, 0x800, 0x20);
    if (graphics_shown())
        fill(GDCadr, 0x2000, 0);
}

void ToggleGraphik()
{
    GEnable = !GEnable;
    host->check_menu(CMD_GRAPHIC_MODE, GEnable);
    restvid();
}

void video_section(Fields& f)
{
    uint32_t mode = f.value("screen", screen, 0, 0x16);
    f.require(!(mode & ~0x16u), "screen", "is no display mode");
    f.value("GEnable", GEnable, 0, 1);
}
