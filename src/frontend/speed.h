// The "Emulation Speed Meter": the meter, measured once per time slice while its window is
// open, the speed factor chosen on its scroll bar, and the speed test.
#pragma once
#include "cpu/cpu.h"

#include <cstdint>
#include <string>

extern uint32_t aw_speed[6];  // [1] the running speed; [2]-[5] Memory, Screen, Bitmap, OpCode
extern uint32_t t_time;
extern uint32_t t_speed;
extern int SpRun;   // the test phase: -1 never run, 0 idle, 5 to 1 running
extern int SpRunC;  // measurements left in the phase
extern uint32_t ZW_SpeedPos, ZW_GEnable;
extern Registers ZW_R;
extern uint8_t Ram_tmp[16384];
extern const uint8_t* Spdptr;
extern uint32_t Speed_size;

// The window's controls as the user sees them.
struct SpeedView {
    std::string meter = "no data";  // "Relative speed of"
    std::string button = "Close";   // "Wait" while a test runs
    int bar = 100;                  // the scroll bar, 100 to 400 (300 is 400 %, 400 Warp)
};
extern SpeedView spd;

// The window opens (the bar at the configured speed) or has gone. A test that was still
// running when it went is abandoned: the machine it ran on has been rebuilt or is ending.
void speed_open();
void speed_closed();
// A button (SpeedControl id); true when the window is to close.
bool speed_command(int id);
// Warp on or off, with the menu's check mark.
void set_warp(bool on);
// The scroll bar (ScrollCode); `position` is where a released thumb stopped.
void speed_scroll(int code, int position);
// One meter step, after every time slice while the window is open.
void Speed_display();
// The test as the window runs it, with the window open for it: the four results, each with
// the seconds of host time its phase took. False when the machine ended first.
bool run_speed_test(std::string& report);
