#include "machine/sound.h"

#include "cpu/cpu.h"
#include "machine/board.h"
#include "machine/memory.h"

#include <algorithm>
#include <cmath>
#include <numbers>

int SoundEnable = 1;
uint32_t SoundVolume = 100;
std::vector<int16_t> sound_samples;

namespace {

// The level is integrated over sub-samples at eight times the rate (a box filter, exact to the
// cycle), which a windowed sinc brings down to the rate below its Nyquist frequency; a DC
// blocker takes the level's offset away, so that a quiet DAC at any level plays as silence.
constexpr int OVERSAMPLE = 8, TAPS = 192;
// One cycle is OVERSAMPLE * rate ticks, so that a sub-sample is a whole number of them.
constexpr uint64_t SUB_TICKS = 1'000'000;
constexpr double DC_CUTOFF_HZ = 5;
constexpr double SCALE = 192;  // a steady swing from 0 to 255 stays clear of the 16-bit limits

struct Output {
    uint32_t rate = 0;
    bool resync = true;
    uint64_t at = 0;     // the cycle rendered up to
    uint64_t phase = 0;  // ticks into the sub-sample
    double area = 0;
    double taps[TAPS], history[TAPS];
    int head = 0, count = 0;
    int steady = 0;  // sub-samples in a row of the same value
    double pole = 0, dc_in = 0, dc_out = 0;
} out;

double dac_level()
{
    if (!Board600D || !(board_control & CONTROL_DAC))
        return 0;
    return *keyscanptr - 127.5;
}

void make_taps()
{
    const double cutoff = 0.40 / OVERSAMPLE, pi = std::numbers::pi;
    double sum = 0;
    for (int n = 0; n < TAPS; n++) {
        double x = n - (TAPS - 1) / 2.0;
        double sinc = std::sin(2 * pi * cutoff * x) / (pi * x);
        double window = 0.42 - 0.5 * std::cos(2 * pi * n / (TAPS - 1)) + 0.08 * std::cos(4 * pi * n / (TAPS - 1));
        out.taps[n] = sinc * window;
        sum += out.taps[n];
    }
    for (double& t : out.taps)
        t /= sum;
}

// A history of one value filters to that value: the taps add up to 1.
void emit(double last)
{
    double y = last;
    if (out.steady < TAPS) {
        y = 0;
        for (int k = 0; k < TAPS; k++)
            y += out.taps[k] * out.history[(out.head + k) % TAPS];
    }
    double z = y - out.dc_in + out.pole * out.dc_out;
    out.dc_in = y;
    out.dc_out = z;
    sound_samples.push_back(int16_t(std::clamp(std::lround(z * SCALE), -32768L, 32767L)));
}

void sub_sample(double value)
{
    out.steady = value == out.history[(out.head + TAPS - 1) % TAPS] ? out.steady + 1 : 0;
    out.history[out.head] = value;
    out.head = (out.head + 1) % TAPS;
    if (++out.count == OVERSAMPLE) {
        out.count = 0;
        emit(value);
    }
}

} // namespace

void sound_latch()
{
    if (board_control & CONTROL_DAC)
        sound_render(cycle_now());
}

void sound_start(uint32_t rate)
{
    out = Output();  // the history zeroed too
    out.rate = rate;
    sound_samples.clear();
    if (!rate)
        return;
    make_taps();
    out.pole = std::exp(-2 * std::numbers::pi * DC_CUTOFF_HZ / rate);
    out.at = cycle_now();
    out.resync = false;
}

void sound_render(uint64_t cycle)
{
    if (!out.rate)
        return;
    if (out.resync || cycle < out.at) {
        out.at = cycle;
        out.resync = false;
    }
    uint64_t ticks = (cycle - out.at) * OVERSAMPLE * out.rate;
    out.at = cycle;
    double v = dac_level();
    while (out.phase + ticks >= SUB_TICKS) {
        uint64_t take = SUB_TICKS - out.phase;
        sub_sample((out.area + v * double(take)) / SUB_TICKS);
        out.area = 0;
        out.phase = 0;
        ticks -= take;
    }
    out.area += v * double(ticks);
    out.phase += ticks;
}

void sound_resync() { out.resync = true; }
