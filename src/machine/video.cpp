#include "machine/video.h"

#include "cpu/bus.h"
#include "host/ids.h"
#include "host/state_fields.h"
#include "machine/memory.h"

#include <algorithm>
#include <cstring>

uint32_t screen;
uint32_t FullscreenEnabled;
uint32_t GEnable;
uint32_t VIDCpoke;
int zoomx = 1, zoomy = 1, offx, offy;

const Surface* font_window_s;
const Surface* font_window_d;
const Surface* font_window_dx;
const Surface* font_window_fd;
const Surface* font_window_fdx;
const Surface* pixel_window_s;
const Surface* pixel_window_d;
const Surface* pixel_window_f;

void blit(const Surface* src, int src_y, int x, int y, int w, int h)
{
    if (!src)
        return;
    Surface& dst = host->surface();
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = std::min({x + w, dst.width, x + src->width});
    int y1 = std::min({y + h, dst.height, y + src->height - src_y});
    if (x0 >= x1 || y0 >= y1 || src_y + (y0 - y) < 0)
        return;
    for (int row = y0; row < y1; row++) {
        const uint32_t* from = &src->pixels[size_t(src_y + row - y) * src->width + (x0 - x)];
        std::copy(from, from + (x1 - x0), &dst.pixels[size_t(row) * dst.width + x0]);
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

void OSI_VIDC(unsigned addr)
{
    VIDCpoke = 1;
    unsigned o = addr & 0x7FF;
    int c = RAMptr[addr & 0xFFFF];
    unsigned mode = screen & 7;
    bool wide = mode & 2;
    if (!wide && o > 0x3FF)
        return;
    int col = wide ? (o & 63) : (o & 31);
    int row = wide ? (o >> 6) : (o >> 5);
    if (FullscreenEnabled) {
        if (mode & 1)
            return;
        if (wide)
            blit(font_window_fdx, 16 * c * zoomy, (8 * col + offx) * zoomx, (16 * row + offy) * zoomy, 8 * zoomx, 16 * zoomy);
        else
            blit(font_window_fd, 16 * c * zoomy, (16 * col + offx) * zoomx, (16 * row + offy) * zoomy, 16 * zoomx, 16 * zoomy);
        return;
    }
    switch (mode) {
    case 0:
    case 2: blit(font_window_s, 8 * c, 8 * col + 24, 8 * row + 16, 8, 8); break;
    case 4: blit(font_window_d, 16 * c, 16 * col + 16, 16 * row + 24, 16, 16); break;
    case 6: blit(font_window_dx, 16 * c, 8 * col + 16, 16 * row + 24, 8, 16); break;
    default: break;
    }
}

void OSI_GDC(unsigned addr)
{
    unsigned o = addr & 0x1FFF;
    int v = RAMptr[addr & 0xFFFF];
    int column = o & 31, line = o >> 5;
    if (FullscreenEnabled) {
        blit(pixel_window_f, 2 * v * zoomy, (16 * column + offx) * zoomx, (2 * line + offy) * zoomy, 16 * zoomx, 2 * zoomy);
        return;
    }
    switch (screen & 7) {
    case 0: blit(pixel_window_s, v, 8 * column + 24, line + 16, 8, 1); break;
    case 2: blit(pixel_window_d, 2 * v, 16 * column + 24, line + 16, 16, 1); break;
    case 4:
    case 6: blit(pixel_window_d, 2 * v, 16 * column + 16, 2 * line + 24, 16, 2); break;
    default: break;
    }
}

void restvid()
{
    uint32_t end = VIDCadr + 0x400 + ((screen & 2) << 9);
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
