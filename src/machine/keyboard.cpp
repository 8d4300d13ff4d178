#include "machine/keyboard.h"

#include "cpu/bus.h"
#include "cpu/loop.h"
#include "frontend/commands.h"
#include "host/host.h"
#include "machine/tape.h"
#include "machine/video.h"

uint32_t key_matrix[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
uint32_t gScan;
uint32_t irqkey;
uint32_t caps = 1;
KeyRecord key_ref[128];
SpecialKey key_function[9];

namespace {

enum Action { POST, FULLSCREEN, OPEN_TAPE, SAVE_TAPE, GRAPHICS, CAPS, RESET, SPECIAL };

struct HotKey {
    uint8_t scan;
    Action action;
    int arg; // menu command or special key number
};

const HotKey hot_keys[] = {
    {0x57, POST, 109},      // F11 debugger
    {0x41, POST, 122},      // F7 pause
    {0x3E, FULLSCREEN, 125},// F4
    {0x44, OPEN_TAPE, 0},   // F10
    {0x43, SAVE_TAPE, 0},   // F9
    {0x42, GRAPHICS, 0},    // F8
    {0x3A, CAPS, 0},        // Caps Lock
    {0x58, RESET, 0},       // F12
    {0x3B, POST, 107},      // F1 help
    {0x0F, SPECIAL, 8},     // Tab
    {0x47, SPECIAL, 6},     // Home
    {0x4F, SPECIAL, 7},     // End
    {0x4B, SPECIAL, 2},     // Left
    {0x4D, SPECIAL, 3},     // Right
    {0x48, SPECIAL, 0},     // Up
    {0x50, SPECIAL, 1},     // Down
    {0x52, SPECIAL, 4},     // Insert
    {0x53, SPECIAL, 5},     // Delete
};

void press(int row, int mask)
{
    if (row >= 0 && row < 8)
        key_matrix[row] &= mask;
}

void release(int row, int mask)
{
    if (row >= 0 && row < 8)
        key_matrix[row] |= uint8_t(~mask);
}

void refresh_columns()
{
    uint8_t v = 0xFF;
    for (int r = 0; r < 8; r++)
        if (!(*keyscanptr & (0x80 >> r)))
            v &= key_matrix[r];
    *keyptr = v;
}

void special_key(int n)
{
    gScan = 0x80;
    const SpecialKey& k = key_function[n];
    press(k.row1, k.mask1);
    press(k.row2, k.mask2);
    release(key_ref[0].row, key_ref[0].mask);
    refresh_columns();
}

void hot_key(const HotKey& k)
{
    switch (k.action) {
    case POST: host->post_command(k.arg); break;
    case FULLSCREEN:
        host->post_command(k.arg);
        ShowMenu(FullscreenEnabled ? 1 : 0);
        break;
    case OPEN_TAPE: FileMenue(""); break;
    case SAVE_TAPE: FileSaveMenue(); break;
    case GRAPHICS: ToggleGraphik(); break;
    case CAPS: caps = 1 - caps; break;
    case RESET: Reset(); break;
    case SPECIAL: special_key(k.arg); break;
    }
}

} // namespace

void CIA_Clear()
{
    for (uint32_t& row : key_matrix)
        row = 0xFF;
    *keyptr = 0xFF;
}

void CIA2()
{
    if (gScan == 0)
        return;
    const KeyRecord& k = key_ref[gScan & 0x7F];
    if (gScan <= 0x7F)
        press(k.row, k.mask);
    else
        release(k.row, k.mask);
    refresh_columns();
}

void CIA1()
{
    irqkey = 0;
    if (gScan <= 0x7F) {
        for (const HotKey& k : hot_keys) {
            if (gScan == k.scan) {
                hot_key(k);
                break;
            }
        }
        if (caps == 1)
            key_matrix[7] &= 0xFE;
    }
    if (gScan > 0xC6) {
        CIA_Clear();
        gScan = 0;
    }
}

void KEYBREAD()
{
    if (memoryaddress & 1) {
        readvalue = 0xFF;
        return;
    }
    CIA2();
    readvalue = *keyptr;
}

void KEYBWRITE()
{
    RAMptr[memoryaddress & 0xDF00] = writevalue;
    PokeFlag = 1;
}
