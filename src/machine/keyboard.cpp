#include "machine/keyboard.h"

#include "host/ids.h"
#include "host/state_fields.h"
#include "machine/memory.h"

const OsiKey OSI_SHIFT_LEFT = {7, 2}, OSI_SHIFT_RIGHT = {7, 1}, OSI_CTRL = {7, 6};

uint32_t key_matrix[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
uint32_t gScan;
uint32_t irqkey;
uint32_t caps = 1;
KeyRecord key_ref[128];
SpecialKey key_function[9];
uint32_t Translate;
uint64_t row_reads[8];
KeyboardHooks keyboard_hooks;

namespace {

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

} // namespace

char upper_case(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

bool is_letter(char c) { return upper_case(c) >= 'A' && upper_case(c) <= 'Z'; }

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

// Caps Lock and the special keys act on the matrix; the commands are for the layers above.
void hot_key(const HotKey& k)
{
    if (k.action == CAPS)
        caps = 1 - caps;
    else if (k.action == SPECIAL)
        special_key(k.arg);
    else if (keyboard_hooks.on_command_key)
        keyboard_hooks.on_command_key(k);
}


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

void keys_section(Fields& f)
{
    for (uint32_t& row : key_matrix)
        f.value("key_matrix", row, 0, U8);
    f.value("gScan", gScan, 0, U8);
    f.value("irqkey", irqkey, 0, U8);
    f.value("caps", caps, 0, 1);
}
