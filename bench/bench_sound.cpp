// The sound device's cost: the host time it takes to render ten seconds of emulated sound at
// 48 kHz, for a quiet DAC and for a 440 Hz square wave, as a share of the time they stand for.
#include "cpu/cpu.h"
#include "machine/board.h"
#include "machine/memory.h"
#include "machine/memory_map.h"
#include "machine/sound.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr uint64_t SECONDS = 10, CLOCK = 1'000'000, HALF_PERIOD = 1136;

double render(bool toggling)
{
    cycles_done = clocks = 0;
    Board600D = 1;
    board_control = CONTROL_DAC;
    *keyscanptr = 0;
    sound_start(48000);
    auto start = std::chrono::steady_clock::now();
    for (uint64_t at = 0; at < SECONDS * CLOCK; at += HALF_PERIOD) {
        cycles_done = at;
        if (toggling) {
            sound_latch();
            *keyscanptr ^= 0xFF;
        }
        if (at % 60000 < HALF_PERIOD) {  // once a slice, as the window takes them
            sound_render(at);
            sound_samples.clear();
        }
    }
    sound_render(SECONDS * CLOCK);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sound_start(0);
    return seconds;
}

} // namespace

int main()
{
    AllocMem();
    for (bool toggling : {false, true}) {
        double host = render(toggling);
        std::printf("%-12s %.1f ms for %llu s of sound: %.3f %% of a core\n", toggling ? "square wave" : "quiet DAC",
                    host * 1000, static_cast<unsigned long long>(SECONDS), 100 * host / SECONDS);
    }
}
