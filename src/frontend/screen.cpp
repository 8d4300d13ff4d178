#include "frontend/screen.h"

#include "host/ids.h"
#include "machine/board.h"
#include "machine/video.h"

int sWinX = 1024, sWinY = 768;

namespace {

Surface font_window_s1, font_window_d1, font_window_d1x;
Surface font_window_s2, font_window_d2, font_window_d2x;
Surface font_window_fd_set, font_window_fdx_set;
Surface pixel_s, pixel_d, pixel_f;

constexpr uint32_t WHITE = 0xFFFFFFFF;
constexpr uint32_t BLACK = 0xFF000000;

// One byte per 8-pixel row, bit 7 leftmost.
Surface from_bits(const uint8_t* rows, int count)
{
    Surface s{8, count, std::vector<uint32_t>(size_t(8) * count)};
    for (int y = 0; y < count; y++)
        for (int x = 0; x < 8; x++)
            s.pixels[size_t(y) * 8 + x] = (rows[y] & (0x80 >> x)) ? WHITE : BLACK;
    return s;
}

// Nearest-neighbour stretch of a whole surface.
Surface stretch(const Surface& src, int width, int height)
{
    Surface s{width, height, std::vector<uint32_t>(size_t(width) * height)};
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            s.pixels[size_t(y) * width + x] = src.pixels[size_t(y * src.height / height) * src.width + x * src.width / width];
    return s;
}

} // namespace

void make_glyph_sets()
{
    font_window_s1 = from_bits(font_game, 2048);
    font_window_d1 = stretch(font_window_s1, 16, 4096);
    font_window_d1x = stretch(font_window_s1, 8, 4096);
    font_window_s2 = from_bits(font_alternate, 2048);
    font_window_d2 = stretch(font_window_s2, 16, 4096);
    font_window_d2x = stretch(font_window_s2, 8, 4096);

    uint8_t values[256];
    for (int v = 0; v < 256; v++)
        values[v] = v;
    pixel_s = from_bits(values, 256);
    pixel_d = stretch(pixel_s, 16, 512);
    pixel_f = stretch(pixel_d, 16 * zoomx, 512 * zoomy);
    pixel_window_s = &pixel_s;
    pixel_window_d = &pixel_d;
    pixel_window_f = &pixel_f;
    font_window_fd = &font_window_fd_set;
    font_window_fdx = &font_window_fdx_set;
    select_font(false);
}

void select_font(bool alternate)
{
    font_window_s = alternate ? &font_window_s2 : &font_window_s1;
    font_window_d = alternate ? &font_window_d2 : &font_window_d1;
    font_window_dx = alternate ? &font_window_d2x : &font_window_d1x;
}

void SetScreenCheck(int mode)
{
    host->check_menu(CMD_32X32, !(mode & 2));
    host->check_menu(CMD_64X32, mode & 2);
    host->check_menu(CMD_GAME_FONT, !(mode & 0x10));
    select_font(mode & 0x10);
    host->check_menu(CMD_DOUBLE_FONTS, mode & 4);
    host->check_menu(CMD_SMALL_FONTS, !(mode & 4));
    for (int tint : {TINT_WHITE, TINT_GREEN, TINT_AMBER})
        host->check_menu(CMD_TINT_WHITE + tint, ScreenTint == uint32_t(tint));

    // The 600 board's 64 x 16 format takes the room of 64 x 32.
    bool wide = (mode & 2) || board_64x16();
    if (!FullscreenEnabled) {
        if (mode & 4)
            host->set_client_size(544, 568);
        else
            host->set_client_size(wide ? 560 : 304, 296);
        host->invalidate();
        return;
    }
    const Surface& source = (mode & 4) ? *font_window_d : *font_window_s;
    if (wide)
        font_window_fdx_set = stretch(source, 8 * zoomx, 4096 * zoomy);
    else
        font_window_fd_set = stretch(source, 16 * zoomx, 4096 * zoomy);
    offx = ((sWinX - 512 * zoomx) >> 1) / zoomx;
    offy = ((sWinY - 512 * zoomy) >> 1) / zoomy;
    host->set_client_size(sWinX, sWinY);
    host->invalidate();
}
