#include "frontend/speed.h"

#include "config/config.h"
#include "cpu/bus.h"
#include "host/host.h"
#include "host/ids.h"
#include "machine/loop.h"
#include "machine/video.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

extern const uint8_t speed_test_program[];
extern const uint32_t speed_test_program_size;

uint32_t aw_speed[6];
uint32_t t_time;
uint32_t t_speed;
int SpRun = -1;
int SpRunC;
uint32_t ZW_SpeedPos, ZW_GEnable;
Registers ZW_R;
uint8_t Ram_tmp[16384];
const uint8_t* Spdptr = speed_test_program;
uint32_t Speed_size = speed_test_program_size;
SpeedView spd;

namespace {

// Where the meter's measurement started, and at what speed.
struct Meter {
    uint64_t from_us, from_cycles;
    int64_t smoothed;
    uint32_t speed;
    bool warp, fresh;
};
Meter meter;

void meter_restart()
{
    t_time = 0;
    meter = {host->clock_us(), cycle_now(), 0, SpeedPos, warp(), true};
}

const uint32_t TEST_PROGRAM = 0x0400, MEMORY_TEST = 0x0400, SCREEN_TEST = 0x0403, BITMAP_TEST = 0x0406,
               OPCODE_TEST = 0x0409;
const uint32_t VIDEO_COPY = 0x1400, GRAPHICS_COPY = 0x1C00, GRAPHICS = 0x8000;
const int MEASUREMENTS_PER_PHASE = 50;

void copy(uint32_t to, uint32_t from, uint32_t count) { std::memmove(RAMptr + to, RAMptr + from, count); }

void redraw_graphics()
{
    if (GEnable)
        restgdc();
    else
        VIDCpoke = 1;
}

void clear_and_redraw()
{
    clrvid();
    restvid();
    redraw_graphics();
}

void start_phase(uint32_t entry, int phase)
{
    R.PC = entry;
    SpRun = phase;
    SpRunC = MEASUREMENTS_PER_PHASE;
}

void run_test()
{
    if (Speed_size < 1 || Speed_size > 4095 || SpRun > 0)
        return;
    spd.button = "Wait";
    SpRun = 5;
    ZW_SpeedPos = SpeedPos;
    SpRunC = 0;
    SpeedPos = 4000;
    std::memcpy(Ram_tmp, RAMptr, sizeof Ram_tmp);
    copy(VIDEO_COPY, 0xD000, 0x800);
    copy(GRAPHICS_COPY, GRAPHICS, 0x2000);
    std::memcpy(RAMptr + TEST_PROGRAM, Spdptr, Speed_size);
    ZW_GEnable = GEnable;
    ZW_R = R;
}

void finish_test()
{
    SpRun = 0;
    copy(GRAPHICS, GRAPHICS_COPY, 0x2000);
    std::memcpy(RAMptr, Ram_tmp, sizeof Ram_tmp);
    GEnable = ZW_GEnable;
    restvid();
    redraw_graphics();
    SpeedPos = ZW_SpeedPos;
    R = ZW_R;
    spd.button = "Close";
}

// Each phase records the speed the one before it ran at. The first runs the opcode routine.
void next_phase()
{
    switch (SpRun) {
    case 5: start_phase(OPCODE_TEST, 4); break;
    case 4:
        aw_speed[5] = aw_speed[1];
        start_phase(BITMAP_TEST, 3);
        clear_and_redraw();
        GEnable = 1;
        break;
    case 3:
        aw_speed[4] = aw_speed[1];
        start_phase(SCREEN_TEST, 2);
        clear_and_redraw();
        GEnable = 0;
        break;
    case 2:
        aw_speed[3] = aw_speed[1];
        start_phase(MEMORY_TEST, 1);
        copy(0xD000, VIDEO_COPY, 0x800);
        restvid();
        break;
    case 1:
        aw_speed[2] = aw_speed[1];
        finish_test();
        break;
    default: break;
    }
}

std::string line(const char* format, uint32_t value)
{
    char text[40];
    std::snprintf(text, sizeof text, format, int(value));
    return text;
}

std::string meter_text()
{
    std::string text = line("Emulation: %i %%\n", aw_speed[1]);
    if (SpRun == -1)
        return text;
    text += "\n";
    const struct {
        int shown_from;
        const char* format;
        int result;
    } results[] = {{4, "OpCode: %i %%\n", 5}, {3, "Bitmap: %i %%\n", 4}, {2, "Screen: %i %%\n", 3}, {1, "Memory: %i %%\n", 2}};
    for (auto r : results)
        if (SpRun <= r.shown_from)
            text += line(r.format, aw_speed[r.result]);
    return text;
}

} // namespace

void speed_open()
{
    spd.bar = WarpEnable ? 400 : int(std::clamp<uint32_t>(Speed, 100, 300));
    aw_speed[1] = SpeedPos;
    meter_restart();
    spd.meter = "no data";
    spd.button = SpRun > 0 ? "Wait" : "Close";
}

void speed_closed()
{
    if (SpRun > 0)
        SpRun = 0;
    SpRunC = 0;
    spd.button = "Close";
}

bool speed_command(int id)
{
    if (id == SPD_RUN_TEST)
        run_test();
    return id == SPD_CLOSE && SpRun <= 0;
}

void set_warp(bool on)
{
    WarpEnable = on;
    host->check_menu(CMD_WARP, on);
}

// The bar's own position is where each scroll starts; the speed may step past its ends,
// where the factor stays as it was. Its fourth place is Warp.
void speed_scroll(int code, int position)
{
    Speed = spd.bar;
    if (code == SCROLL_THUMB_RELEASED)
        Speed = (((uint32_t(position) & 0xFFFF) + 50) / 100 % 5) * 100;
    else if (code == SCROLL_LINE_LEFT)
        Speed -= 100;
    else if (code == SCROLL_LINE_RIGHT)
        Speed += 100;
    if (code != SCROLL_OTHER)
        spd.bar = int(std::clamp<uint32_t>(Speed, 100, 400));
    const uint32_t factors[] = {0, 100, 200, 400};
    if (Speed / 100 >= 1 && Speed / 100 <= 3) {
        SpeedPos = factors[Speed / 100];
        set_warp(false);
    } else if (Speed / 100 == 4) {
        set_warp(true);
    }
    aw_speed[1] = SpeedPos;
}

bool run_speed_test(std::string& report)
{
    if (!host->speed_exists())
        host->open_speed();
    speed_command(SPD_RUN_TEST);
    const char* names[] = {"OpCode", "Bitmap", "Screen", "Memory"};
    double seconds[4] = {};
    auto clock = std::chrono::steady_clock::now;
    auto started = clock();
    for (int phase = SpRun; SpRun > 0 && Abort; phase = SpRun) {
        run_slice();
        if (SpRun == phase)
            continue;
        if (phase <= 4)
            seconds[4 - phase] = std::chrono::duration<double>(clock() - started).count();
        started = clock();
    }
    const uint32_t results[] = {aw_speed[5], aw_speed[4], aw_speed[3], aw_speed[2]};
    for (int i = 0; i < 4; i++) {
        char text[64];
        std::snprintf(text, sizeof text, "%s: %u %% in %.2f s\n", names[i], unsigned(results[i]), seconds[i]);
        report += text;
    }
    host->close_speed();
    return SpRun == 0;
}

// Every ten slices: the cycles run over the host time they took, in percent of 1 MHz, rounded,
// smoothed in 1/256 units so that a steady speed reads as itself. A new speed starts the
// measurement again.
void Speed_display()
{
    uint64_t now = host->clock_us(), cycles = cycle_now();
    if (meter.speed != SpeedPos || meter.warp != warp()) {
        meter_restart();
        return;
    }
    if (++t_time <= 9)
        return;
    uint64_t elapsed = std::max<uint64_t>(now - meter.from_us, 1);
    t_speed = uint32_t(((cycles - meter.from_cycles) * 100 + elapsed / 2) / elapsed);
    int64_t target = int64_t(t_speed) * 256;
    meter.smoothed = meter.fresh ? target : meter.smoothed + (target - meter.smoothed) / 4;
    meter.fresh = false;
    aw_speed[1] = uint32_t((meter.smoothed + 128) / 256);
    t_time = 0;
    meter.from_us = now;
    meter.from_cycles = cycles;
    if (host->speed_exists()) {
        if (SpRunC > 0)
            SpRunC--;
        spd.meter = meter_text();
        if (SpRun != -1 && SpRunC == 0)
            next_phase();
        host->refresh_speed();
    }
}
