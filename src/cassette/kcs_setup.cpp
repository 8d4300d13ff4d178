#include "cassette/kcs_setup.h"

#include "cassette/wave.h"
#include "host/ids.h"
#include "machine/tape.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

// The output is chosen with a save chooser, where a new name can be typed; a cancelled
// chooser keeps the file that was chosen before.
static void choose_output()
{
    DiskSelect(std::filesystem::path(KCSfile).parent_path().string(), 0, "KCS.BAS");
    if (sztFileName != "KCS.BAS")
        KCSfile = sztFileName;
}

void kcs_setup_click(int control)
{
    switch (control) {
    case KCS_300_BAUD: Baud = 0; break;
    case KCS_600_BAUD: Baud = 1; break;
    case KCS_1200_BAUD: Baud = 2; break;
    case KCS_PARITY: SPARITY = !SPARITY; break;
    case KCS_BITS: SBITS = !SBITS; break;
    case KCS_STOP: SSTOP = !SSTOP; break;
    case KCS_OUTPUT: choose_output(); break;
    default: break;
    }
}

void kcs_setup_scroll(int control, int code)
{
    int step = code == SCROLL_LINE_LEFT ? -1 : code == SCROLL_LINE_RIGHT ? 1 : 0;
    if (control == KCS_FREQUENCY)
        Foffset = std::clamp(Foffset + step, -64, 64);
    else if (control == KCS_HYSTERESIS)
        Hysteresis = std::clamp(Hysteresis + step, 0, 16);
}

std::string kcs_value_text(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%3d", value);
    return text;
}
