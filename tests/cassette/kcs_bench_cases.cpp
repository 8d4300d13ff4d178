#include "cassette/kcs_bench_cases.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstddef>
#include <random>

namespace kcs_cases {

namespace {

// A second-order Butterworth section (the audio cookbook's), low- or high-pass.
Samples butterworth(const Samples& in, double frequency, bool high)
{
    double w = 2 * std::numbers::pi * frequency / RATE, c = std::cos(w), alpha = std::sin(w) / std::sqrt(2.0);
    double b0 = high ? (1 + c) / 2 : (1 - c) / 2, b1 = high ? -(1 + c) : 1 - c;
    double a0 = 1 + alpha, a1 = -2 * c, a2 = 1 - alpha;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    Samples out;
    for (double x : in) {
        double y = (b0 * x + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2) / a0;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        out.push_back(y);
    }
    return out;
}

Samples band(const Samples& s, double high_pass, double low_pass)
{
    return butterworth(butterworth(s, high_pass, true), low_pass, false);
}

// Every sample through f(sample, seconds).
template <class F> Samples each(const Samples& s, F f)
{
    Samples out;
    for (size_t n = 0; n < s.size(); n++)
        out.push_back(f(s[n], double(n) / RATE));
    return out;
}

// Reads the recording `step(seconds)` samples on per sample, as a tape at that speed.
template <class F> Samples read_at(const Samples& s, F step)
{
    Samples out;
    for (double t = 0; t + 1 < double(s.size()); t += step(double(out.size()) / RATE)) {
        size_t i = size_t(t);
        out.push_back(s[i] + (s[i + 1] - s[i]) * (t - double(i)));
    }
    return out;
}

// The tape's speed swinging by +-depth at `frequency`.
Samples wow(const Samples& s, double depth, double frequency)
{
    return read_at(s, [=](double t) { return 1 + depth * std::sin(2 * std::numbers::pi * frequency * t); });
}

Samples speed(const Samples& s, double factor)
{
    return read_at(s, [=](double) { return factor; });
}

Samples fade(const Samples& s, double lowest_gain, double frequency)
{
    return each(s, [=](double x, double t) {
        return x * (1 - (1 - lowest_gain) * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * frequency * t)));
    });
}

// Drops of `gain` lasting `length` seconds, every `every` seconds, with edges of half a ms.
Samples dropouts(const Samples& s, double every, double length, double gain)
{
    return each(s, [=](double x, double t) {
        double into = std::fmod(t, every) - every / 2, ramp = 0.0005;
        double depth = std::clamp((length / 2 + ramp - std::fabs(into)) / ramp, 0.0, 1.0);
        return x * (1 - (1 - gain) * depth);
    });
}

Samples hum(const Samples& s, double amplitude, double mains)
{
    return each(s, [=](double x, double t) {
        double w = 2 * std::numbers::pi * mains * t;
        return 0.5 * x + amplitude * (std::sin(w) + std::sin(3 * w + 1) / 3);
    });
}

Samples clip(const Samples& s, double gain, double offset, double level)
{
    return each(s, [=](double x, double) { return std::clamp(x * gain + offset, -level, level); });
}

Samples noise(const Samples& s, double snr_db, unsigned seed)
{
    double power = 0;
    for (double x : s)
        power += x * x / double(s.size());
    std::mt19937 rng(seed);
    std::normal_distribution<double> hiss(0, std::sqrt(power * std::pow(10, -snr_db / 10)));
    return each(s, [&](double x, double) { return x + hiss(rng); });
}

Samples square(const Samples& s)
{
    return each(s, [](double x, double) { return x > 0 ? 100.0 : -100.0; });
}

Samples from(const Samples& s, double start) { return Samples(s.begin() + std::ptrdiff_t(start), s.end()); }

// A case whose bytes all stay in the recording.
Case whole(const std::string& name, std::function<Samples(const Samples&)> wear, bool damaging = false)
{
    return {name, [=](const Recording& r) { return Degraded{wear(r.samples), r.bytes, damaging}; }};
}

// An OSI's square wave through a worn recorder: band-limited with the treble down,
// 3 % slow with wow and flutter, hum, fades, DC drift and hiss.
Samples worn(const Samples& s)
{
    Samples w = speed(wow(wow(band(square(s), 250, 1800), 0.015, 0.7), 0.005, 9), 0.97);
    w = each(fade(hum(w, 8, 50), 0.4, 0.3), [](double x, double t) { return x + 15 * std::sin(0.9 * t); });
    return noise(w, 14, 5);
}

} // namespace

double Recording::byte_start(size_t k) const
{
    return (leader_seconds * format.baud + double(k * size_t(format.frame_bits))) * bit_samples();
}

std::vector<Format> formats()
{
    return {{"8N2", 300, {"-D", "-S"}, 11},
            {"8N1", 300, {"-D", "-N"}, 10},
            {"8N2", 1200, {"-B2", "-D", "-S"}, 11},
            {"8N1", 1200, {"-B2", "-D", "-N"}, 10}};
}

std::vector<Case> cases()
{
    return {
        whole("clean", [](const Samples& s) { return s; }),
        whole("band 200 Hz-4 kHz", [](const Samples& s) { return band(s, 200, 4000); }),
        whole("band 300 Hz-3 kHz", [](const Samples& s) { return band(s, 300, 3000); }),
        whole("treble lost (1 kHz)", [](const Samples& s) { return butterworth(s, 1000, false); }),
        whole("square, 300 Hz-3 kHz", [](const Samples& s) { return band(square(s), 300, 3000); }),
        whole("fades to -20 dB", [](const Samples& s) { return fade(s, 0.1, 0.25); }),
        whole("dropouts 4 ms -20 dB", [](const Samples& s) { return dropouts(s, 0.25, 0.004, 0.1); }),
        whole("wow 2 % 0.5 Hz", [](const Samples& s) { return wow(s, 0.02, 0.5); }),
        whole("flutter 2 % 10 Hz", [](const Samples& s) { return wow(s, 0.02, 10); }),
        whole("4 % slow", [](const Samples& s) { return speed(s, 0.96); }),
        whole("DC drift", [](const Samples& s) {
            return each(s, [](double x, double t) { return 0.6 * x + 45 * std::sin(2 * std::numbers::pi * 0.3 * t); });
        }),
        whole("hum 50 Hz 0 dB", [](const Samples& s) { return hum(s, 45, 50); }),
        whole("hum 60 Hz 0 dB", [](const Samples& s) { return hum(s, 45, 60); }),
        whole("clipped", [](const Samples& s) { return clip(s, 4, 0, 60); }),
        whole("clipped off centre", [](const Samples& s) { return clip(s, 4, 150, 60); }),
        whole("inverted", [](const Samples& s) { return each(s, [](double x, double) { return -x; }); }),
        whole("hiss 6 dB", [](const Samples& s) { return noise(s, 6, 3); }),
        {"leader 20 ms", [](const Recording& r) {
             return Degraded{from(r.samples, r.byte_start(0) - 0.02 * RATE), r.bytes};
         }},
        {"starts mid-byte", [](const Recording& r) {
             return Degraded{from(r.samples, r.byte_start(3) + 4.5 * r.bit_samples()),
                             std::vector<uint8_t>(r.bytes.begin() + 4, r.bytes.end())};
         }},
        whole("worn tape", worn),
        whole("dropouts to silence", [](const Samples& s) { return dropouts(s, 0.25, 0.003, 0); }, true),
        whole("dropouts into hiss", [](const Samples& s) { return noise(dropouts(s, 0.25, 0.004, 0.02), 26, 4); },
              true),
    };
}

Samples noise_only(double seconds, double rms)
{
    std::mt19937 rng(11);
    std::normal_distribution<double> hiss(0, rms);
    return each(Samples(size_t(seconds * RATE)), [&](double, double) { return hiss(rng); });
}

Samples silence(double seconds) { return Samples(size_t(seconds * RATE), 0.0); }

Samples from_wav8(const std::string& wav)
{
    Samples s;
    for (size_t i = 44; i < wav.size(); i++)
        s.push_back(uint8_t(wav[i]) - 128.0);
    return s;
}

std::string raw8(const Samples& s)
{
    std::string out;
    for (double x : s)
        out += char(std::clamp<long>(std::lround(x) + 128, 0, 255));
    return out;
}

std::vector<uint8_t> random_bytes(size_t count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < count; i++)
        bytes.push_back(uint8_t(rng()));
    return bytes;
}

size_t bytes_right(const std::string& got, const std::vector<uint8_t>& sent)
{
    std::vector<size_t> row(sent.size() + 1, 0), next(sent.size() + 1, 0);
    for (char g : got) {
        for (size_t j = 0; j < sent.size(); j++)
            next[j + 1] = uint8_t(g) == sent[j] ? row[j] + 1 : std::max(row[j + 1], next[j]);
        std::swap(row, next);
    }
    return row.back();
}

} // namespace kcs_cases
