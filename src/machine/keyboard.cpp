#include "machine/keyboard.h"

#include "cpu/bus.h"
#include "cpu/loop.h"
#include "frontend/commands.h"
#include "host/host.h"
#include "host/ids.h"
#include "machine/tape.h"
#include "machine/typist.h"
#include "machine/video.h"

#include <bitset>

const OsiKey OSI_SHIFT_LEFT = {7, 2}, OSI_SHIFT_RIGHT = {7, 1}, OSI_CTRL = {7, 6};

uint32_t key_matrix[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
uint32_t gScan;
uint32_t irqkey;
uint32_t caps = 1;
KeyRecord key_ref[128];
SpecialKey key_function[9];
uint32_t Translate;
uint64_t row_reads[8];

namespace {

// The legends of the OSI keyboard: each row from bit 7 down, lower and upper legend.
struct Legend {
    OsiKey key;
    char plain, shifted;
};

const Legend legends[] = {
    {{0, 7}, '1', '!'},  {{0, 6}, '2', '"'},  {{0, 5}, '3', '#'}, {{0, 4}, '4', '$'}, {{0, 3}, '5', '%'},
    {{0, 2}, '6', '&'},  {{0, 1}, '7', '\''}, {{1, 7}, '8', '('}, {{1, 6}, '9', ')'}, {{1, 5}, '0', '@'},
    {{1, 4}, ':', '*'},  {{1, 3}, '-', '='},  {{2, 7}, '.', '>'}, {{2, 6}, 'L', '\\'}, {{2, 5}, 'O', '_'},
    {{2, 4}, '\n', 0},   {{2, 3}, '\r', 0},   {{3, 7}, 'W', 0},   {{3, 6}, 'E', 0},   {{3, 5}, 'R', 0},
    {{3, 4}, 'T', 0},    {{3, 3}, 'Y', 0},    {{3, 2}, 'U', 0},   {{3, 1}, 'I', 0},   {{4, 7}, 'S', 0},
    {{4, 6}, 'D', 0},    {{4, 5}, 'F', 0},    {{4, 4}, 'G', 0},   {{4, 3}, 'H', 0},   {{4, 2}, 'J', 0},
    {{4, 1}, 'K', '['},  {{5, 7}, 'X', 0},    {{5, 6}, 'C', 0},   {{5, 5}, 'V', 0},   {{5, 4}, 'B', 0},
    {{5, 3}, 'N', '^'},  {{5, 2}, 'M', ']'},  {{5, 1}, ',', '<'}, {{6, 7}, 'Q', 0},   {{6, 6}, 'A', 0},
    {{6, 5}, 'Z', 0},    {{6, 4}, ' ', 0},    {{6, 3}, '/', '?'}, {{6, 2}, ';', '+'}, {{6, 1}, 'P', 0},
};

// What translated_down pressed for each PC scan code; row -1 for nothing.
struct Translated {
    OsiKey key = {-1, 0};
    bool shift = false;
};
Translated translated[128];
// The PC keys of the window that are down now.
std::bitset<128> held;

enum Action { POST, FULLSCREEN, OPEN_TAPE, SAVE_TAPE, GRAPHICS, CAPS, RESET, SPECIAL };

struct HotKey {
    uint8_t scan;
    Action action;
    int arg; // menu command or special key number
};

const HotKey hot_keys[] = {
    {0x57, POST, CMD_DEBUGGER},         // F11
    {0x41, POST, CMD_PAUSE},            // F7
    {0x3E, FULLSCREEN, CMD_FULLSCREEN}, // F4
    {0x44, OPEN_TAPE, 0},               // F10
    {0x43, SAVE_TAPE, 0},               // F9
    {0x42, GRAPHICS, 0},                // F8
    {0x3A, CAPS, 0},                    // Caps Lock
    {0x58, RESET, 0},                   // F12
    {0x3B, POST, CMD_HELP},             // F1
    {0x3F, POST, CMD_QUICK_SAVE},       // F5
    {0x40, POST, CMD_QUICK_LOAD},       // F6
    {0x0F, SPECIAL, 8},                 // Tab
    {0x47, SPECIAL, 6},                 // Home
    {0x4F, SPECIAL, 7},                 // End
    {0x4B, SPECIAL, 2},                 // Left
    {0x4D, SPECIAL, 3},                 // Right
    {0x48, SPECIAL, 0},                 // Up
    {0x50, SPECIAL, 1},                 // Down
    {0x52, SPECIAL, 4},                 // Insert
    {0x53, SPECIAL, 5},                 // Delete
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

char upper_case(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

bool is_letter(char c) { return upper_case(c) >= 'A' && upper_case(c) <= 'Z'; }

// The legend carrying c, a letter in either case; null for none.
const Legend* legend_for(char c)
{
    if (c == 0)
        return nullptr;
    for (const Legend& l : legends)
        if (upper_case(c) == l.plain || upper_case(c) == l.shifted)
            return &l;
    return nullptr;
}

const HotKey* hot_key_for(uint32_t scan)
{
    for (const HotKey& k : hot_keys)
        if (scan == k.scan)
            return &k;
    return nullptr;
}

bool is_command(const HotKey& k) { return k.action != CAPS && k.action != SPECIAL; }

// The PC key event in gScan: its hot key (the commands only when `commands`), Shift Lock engaged
// by a key-down, every key let go by the release of an extended key.
void key_event(bool commands)
{
    irqkey = 0;
    if (gScan <= 0x7F) {
        const HotKey* k = hot_key_for(gScan);
        if (k && (commands || !is_command(*k)))
            hot_key(*k);
        if (caps == 1)
            key_matrix[7] &= 0xFE;
    }
    if (gScan > 0xC6) {
        CIA_Clear();
        gScan = 0;
    }
}

// Letters leave the Shift keys as the PC's Shift keys set them, so that Shift Lock decides
// their case as on the OSI; but K to O carry [ \ ] ^ _ above them, so these letters go in
// unshifted, or a capital N typed with Shift would be ^ and a capital O would rub out. Every
// other character sets the OSI Shift as its legend needs.
bool translated_down(uint32_t scan, char c)
{
    const Legend* l = legend_for(c);
    if (!l)
        return false;
    bool shifted = upper_case(c) != l->plain;
    bool letter = is_letter(c);
    KeyEvent e;
    e.down = osi_bit(l->key);
    if (!letter && shifted)
        e.down |= osi_bit(OSI_SHIFT_LEFT);
    else if (!letter || l->shifted)
        e.up = osi_bit(OSI_SHIFT_LEFT) | osi_bit(OSI_SHIFT_RIGHT);
    translated[scan] = {l->key, !letter && shifted};
    type_key(e);
    return true;
}

// Releases what translated_down pressed for `scan`; false when it pressed nothing.
bool translated_up(uint32_t scan)
{
    Translated& t = translated[scan];
    if (t.key.row < 0)
        return false;
    KeyEvent e;
    e.up = osi_bit(t.key) | (t.shift ? osi_bit(OSI_SHIFT_LEFT) : 0);
    type_key(e);
    t = Translated();
    return true;
}

// Ctrl with a letter, typed however quickly or released in whatever order, is its control
// character and nothing else.
bool control_stroke(char c)
{
    const Legend* l = legend_for(c);
    if (!l)
        return false;
    uint64_t keys = osi_bit(l->key) | osi_bit(OSI_CTRL);
    type_key({keys, 0, -1, false});
    type_key({0, keys, -1, false});
    return true;
}

} // namespace

uint64_t osi_bit(OsiKey key) { return uint64_t(1) << (key.row * 8 + key.column); }

bool osi_key_for(char c, OsiKey& key, bool& shifted)
{
    const Legend* l = legend_for(c);
    if (!l)
        return false;
    key = l->key;
    shifted = upper_case(c) != l->plain;
    return true;
}

// A pending PC key event must not be applied again over the change.
void osi_change(uint64_t down, uint64_t up)
{
    CIA2();
    gScan = 0;
    for (int r = 0; r < 8; r++) {
        key_matrix[r] |= uint8_t(up >> (r * 8));
        key_matrix[r] &= ~uint8_t(down >> (r * 8));
    }
    if (down && caps == 1)
        key_matrix[7] &= 0xFE;
    refresh_columns();
}

void apply_scan(uint32_t scan)
{
    gScan = scan;
    key_event(false);
    CIA2();
}

// A PC key of the positional keyboard: a plain key is the matrix position the layout file gives
// it, so that its change can go with the next one's; Caps Lock, the special keys, the hot keys
// and the release of an extended key (which lets go of every key) act through gScan.
void positional(uint32_t scan)
{
    uint32_t code = scan & 0x7F;
    const KeyRecord& k = key_ref[code];
    if (hot_key_for(code) || scan > 0xC6) {
        type_key({0, 0, int(scan), false});
        return;
    }
    uint64_t keys = k.row < 8 ? uint64_t(uint8_t(~k.mask)) << (k.row * 8) : 0;
    type_key(scan < 0x80 ? KeyEvent{keys, 0, -1, false} : KeyEvent{0, keys, -1, false});
}

void window_key(uint32_t scan, char c, bool ctrl)
{
    uint32_t code = scan & 0x7F;
    held[code] = scan < 0x80;
    if (scan == 0x01 && type_pasting()) {  // Esc stops a paste
        type_cancel();
        return;
    }
    if (scan > 0x7F) {
        if (!translated_up(code))
            positional(scan);
        return;
    }
    if (const HotKey* k = hot_key_for(scan); k && is_command(*k))
        hot_key(*k);
    if (Translate && ctrl && is_letter(c) && control_stroke(c))
        return;
    if (!Translate || !c || !translated_down(code, c))
        positional(scan);
}

bool window_keys_held() { return held.any(); }

void window_keys_let_go()
{
    held.reset();
    for (Translated& t : translated)
        t = Translated();
    type_key({0, ALL_KEYS, -1, false});
}

void CIA_Clear()
{
    for (uint32_t& row : key_matrix)
        row = 0xFF;
    *keyptr = 0xFF;
}

// The column byte follows the row latch also without a pending event, since typed and
// translated keys are held in the matrix with no event pending.
void CIA2()
{
    const KeyRecord& k = key_ref[gScan & 0x7F];
    if (gScan != 0 && gScan <= 0x7F)
        press(k.row, k.mask);
    else if (gScan != 0)
        release(k.row, k.mask);
    refresh_columns();
}

void CIA1() { key_event(true); }

void KEYBREAD()
{
    if (memoryaddress & 1) {
        readvalue = 0xFF;
        return;
    }
    type_poll();
    for (int r = 0; r < 8; r++)
        if (!(*keyscanptr & (0x80 >> r)))
            row_reads[r]++;
    CIA2();
    readvalue = *keyptr;
}

void KEYBWRITE()
{
    RAMptr[memoryaddress & 0xDF00] = writevalue;
    PokeFlag = 1;
}
