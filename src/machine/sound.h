// The 600D board's control register at $D800 and its DAC: while bit 4 of the register is set,
// every byte written to the keyboard row latch at $DF00 is also the DAC's output level. The
// level is turned into 16-bit samples on emulated time, so that a recording is exact.
#pragma once
#include <cstdint>
#include <vector>

extern int Board600D;           // the board has the control register and the DAC
extern uint8_t board_control;   // what was last written to $D800
extern int SoundEnable;         // the window plays the sound
extern uint32_t SoundVolume;    // 0 to 100 percent

constexpr uint8_t CONTROL_DAC = 0x10;

// The page handler of $D800-$DBFF, write-only.
void CTRLWRITE();
// Called while the processor writes the row latch, before it takes the new value.
void sound_latch();

// From now on samples at `rate` per second gather in sound_samples; 0 stops them.
void sound_start(uint32_t rate);
// The samples up to `cycle`, appended to sound_samples.
void sound_render(uint64_t cycle);
extern std::vector<int16_t> sound_samples;

class Fields;
// The state section "BRD ": the board model and its control register.
void board_section(Fields& f);
