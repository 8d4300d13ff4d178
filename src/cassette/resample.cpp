#include "resample.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// 32 zero crossings on either side with beta 8 give a transition band of about 0.07 of the
// lower rate and some 80 dB in the stop band: at 22050 the band is flat to 9 kHz and stopped
// from 10.7 kHz.
constexpr int ZEROS = 32;
constexpr int STEPS = 256;  // table points per zero crossing, linearly interpolated
constexpr double BETA = 8;

double bessel_i0(double x)
{
    double sum = 1, term = 1;
    for (int k = 1; term > 1e-12 * sum; k++) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

const std::vector<float>& kernel()
{
    static const std::vector<float> table = [] {
        std::vector<float> t(ZEROS * STEPS + 1);
        for (int i = 0; i <= ZEROS * STEPS; i++) {
            double u = double(i) / STEPS, x = u / ZEROS;
            double sinc = i ? std::sin(std::numbers::pi * u) / (std::numbers::pi * u) : 1;
            t[size_t(i)] = float(sinc * bessel_i0(BETA * std::sqrt(1 - x * x)) / bessel_i0(BETA));
        }
        return t;
    }();
    return table;
}

// The input index at or before the output instant n, and the fraction beyond it; exact for
// recordings of any length.
int64_t instant(const Resampler& r, uint64_t n, double& fraction)
{
    uint64_t position = n * r.rate;
    fraction = double(position % STREAM_RATE) / STREAM_RATE;
    return int64_t(position / STREAM_RATE);
}

uint64_t held_end(const Resampler& r) { return r.base + r.held.size(); }

} // namespace

void resampler_start(Resampler& r, uint32_t rate)
{
    r = Resampler{};
    r.rate = rate;
    r.scale = 0.9 * std::min(rate, STREAM_RATE) / rate;
    r.reach = int64_t(std::ceil(ZEROS / r.scale));
}

void resampler_push(Resampler& r, const float* x, size_t n)
{
    double fraction;
    int64_t first = instant(r, r.made, fraction) - r.reach + 1;
    if (first > int64_t(r.base)) {
        size_t drop = std::min(r.held.size(), size_t(uint64_t(first) - r.base));
        r.held.erase(r.held.begin(), r.held.begin() + ptrdiff_t(drop));
        r.base += drop;
    }
    r.held.insert(r.held.end(), x, x + n);
}

void resampler_end(Resampler& r) { r.ended = true; }

bool resampler_ready(const Resampler& r)
{
    double fraction;
    return r.ended || int64_t(held_end(r)) > instant(r, r.made, fraction) + r.reach;
}

bool resampler_done(const Resampler& r)
{
    double fraction;
    return r.ended && instant(r, r.made, fraction) >= int64_t(held_end(r));
}

float resampler_next(Resampler& r)
{
    double fraction;
    int64_t whole = instant(r, r.made++, fraction);
    int64_t from = std::max(whole - r.reach + 1, int64_t(r.base));
    int64_t to = std::min(whole + r.reach, int64_t(held_end(r)) - 1);
    const float* t = kernel().data();
    const float* x = r.held.data() + (from - int64_t(r.base));
    double step = r.scale * STEPS, sum = 0;
    double at = (double(from - whole) - fraction) * step;  // in table points, negative before the instant
    for (int64_t k = 0; k <= to - from; k++, at += step) {
        double u = std::fabs(at);
        size_t i = size_t(u);
        if (i < ZEROS * STEPS)
            sum += x[k] * (t[i] + (t[i + 1] - t[i]) * (u - double(i)));
    }
    return float(sum * r.scale);
}
