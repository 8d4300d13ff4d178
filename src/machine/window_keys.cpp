#include "machine/window_keys.h"

#include "machine/keyboard.h"
#include "machine/typist.h"

#include <bitset>

namespace {

// What translated_down pressed for each PC scan code; row -1 for nothing.
struct Translated {
    OsiKey key = {-1, 0};
    bool shift = false;
};
Translated translated[128];
// The PC keys of the window that are down now.
std::bitset<128> held;

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

} // namespace

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
