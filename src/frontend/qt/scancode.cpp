#include "frontend/qt/scancode.h"

#ifndef _WIN32
namespace {

// Linux evdev codes of the keys past the main block, with their set 1 codes.
const struct {
    uint32_t evdev;
    int set1;
} extended[] = {
    {96, 0x1C},  // keypad Enter
    {97, 0x1D},  // right Ctrl
    {98, 0x35},  // keypad /
    {99, 0x37},  // Print Screen
    {100, 0x38}, // right Alt
    {102, 0x47}, // Home
    {103, 0x48}, // Up
    {104, 0x49}, // Page Up
    {105, 0x4B}, // Left
    {106, 0x4D}, // Right
    {107, 0x4F}, // End
    {108, 0x50}, // Down
    {109, 0x51}, // Page Down
    {110, 0x52}, // Insert
    {111, 0x53}, // Delete
};

} // namespace
#endif

int set1_scan_code(uint32_t native)
{
#ifdef _WIN32
    return native & 0x7F;  // the scan code itself; bit 8 marks the E0 prefix
#else
    // X11 and Wayland report the evdev code plus 8; evdev codes 1 to 88 are the set 1 codes.
    if (native < 9)
        return 0;
    uint32_t evdev = native - 8;
    if (evdev <= 88)
        return int(evdev);
    for (auto k : extended)
        if (k.evdev == evdev)
            return k.set1;
    return 0;
#endif
}
