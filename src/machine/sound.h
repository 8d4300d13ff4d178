// The 600D board's DAC: while its bit of the control register is set, every byte written to the
// keyboard row latch at $DF00 is also the DAC's output level. The level is turned into 16-bit
// samples on emulated time, so that a recording is exact.
#pragma once
#include <cstdint>
#include <vector>

extern int SoundEnable;         // the window plays the sound
extern uint32_t SoundVolume;    // 0 to 100 percent

// Called while the processor writes the row latch, before it takes the new value.
void sound_latch();

// From now on samples at `rate` per second gather in sound_samples; 0 stops them.
void sound_start(uint32_t rate);
// The samples up to `cycle`, appended to sound_samples.
void sound_render(uint64_t cycle);
extern std::vector<int16_t> sound_samples;
// After a state load: the next rendering starts from the cycle it is given.
void sound_resync();
