// The page's entry points: the machine starts on our ROMs from the preloaded program folder,
// and the page's animation frames run it on an absolute deadline.
#include "frontend/web/web_host.h"

#include "cpu/bus.h"
#include "frontend/commands.h"
#include "frontend/savestate.h"
#include "frontend/speed.h"
#include "frontend/startup.h"
#include "host/ids.h"
#include "machine/disk.h"
#include "machine/loop.h"
#include "machine/window_keys.h"

#include <emscripten.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

// The page's own pacing, as the loop paces itself on the desktop: the emulated time of the
// slices run against the real time since an origin, which moves after a stall or at a new speed.
struct {
    double origin_ms = 0, cycles = 0;
    uint32_t speed = 0;
    bool anchored = false;
} pacing;

constexpr double MAX_LAG_MS = 100, FRAME_BUDGET_MS = 12;

void slice()
{
    pacing.cycles += run_slice_unpaced();
    if (loop_hooks.on_slice_end)
        loop_hooks.on_slice_end();
}

std::string last_text;

} // namespace

extern "C" {

// Runs the slices that are due by `now_ms` (in warp, as many as fit in the frame's budget).
EMSCRIPTEN_KEEPALIVE void web_frame(double now_ms)
{
    if (warp()) {
        pacing.anchored = false;
        do
            slice();
        while (emscripten_get_now() < now_ms + FRAME_BUDGET_MS);
        return;
    }
    if (!pacing.anchored || pacing.speed != SpeedPos)
        pacing = {now_ms, 0, SpeedPos, true};
    if (now_ms > pacing.origin_ms + pacing.cycles / (10.0 * SpeedPos) + MAX_LAG_MS)
        pacing = {now_ms, 0, SpeedPos, true};
    while (pacing.origin_ms + pacing.cycles / (10.0 * SpeedPos) <= now_ms &&
           emscripten_get_now() < now_ms + FRAME_BUDGET_MS)
        slice();
}

EMSCRIPTEN_KEEPALIVE const uint8_t* web_pixels() { return web_host.rgba(); }
EMSCRIPTEN_KEEPALIVE int web_width() { return web_host.surface().width; }
EMSCRIPTEN_KEEPALIVE int web_height() { return web_host.surface().height; }

// A key of the page: set 1 code, bit 7 for a release; the character for a key-down, or 0.
EMSCRIPTEN_KEEPALIVE void web_key(int scan, int c, int ctrl) { window_key(uint32_t(scan), char(c), ctrl != 0); }
EMSCRIPTEN_KEEPALIVE void web_keys_let_go() { window_keys_let_go(); }

// A menu command; `file` answers its file chooser ("" for none), `clipboard` Paste Text.
EMSCRIPTEN_KEEPALIVE void web_command(int id, const char* file, const char* clipboard)
{
    web_host.file_answers.clear();
    if (*file)
        web_host.file_answers.push_back(file);
    web_host.clipboard = clipboard;
    menu_command(id);
}

// A diskette image into drive 0 (A) or 1 (B); false when it cannot be used.
EMSCRIPTEN_KEEPALIVE int web_disk(int drive, const char* path) { return disk_attach(drive, path); }

// The whole machine into or out of a state file; the text says what went wrong, "" for nothing.
EMSCRIPTEN_KEEPALIVE const char* web_save_state(const char* path)
{
    last_text = save_state(path);
    return last_text.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* web_load_state(const char* path)
{
    std::string notes;
    last_text = load_state(path, notes);
    return last_text.c_str();
}

// The speed as the meter's bar sets it: 100, 200, 300 (400 %) or 400 (warp).
EMSCRIPTEN_KEEPALIVE void web_speed_bar(int position) { speed_scroll(SCROLL_THUMB_RELEASED, position); }

EMSCRIPTEN_KEEPALIVE int web_peek(int address) { return RAMptr[address & 0xFFFF]; }
EMSCRIPTEN_KEEPALIVE double web_cycles() { return double(cycle_now()); }
EMSCRIPTEN_KEEPALIVE int web_speed() { return int(SpeedPos); }
}

int main()
{
    host = &web_host;
    std::filesystem::create_directories("/quarzel/FILES");
    std::ofstream("/quarzel/KCS.com") << "The Kansas City decoder is part of the page.\n";  // where the emulation looks for it
    if (!start_machine("/quarzel/quarzel", ""))
        return 1;
    pace_restart();
    SetRes();
    EM_ASM({ Module.machineStarted(); });
    return 0;
}
