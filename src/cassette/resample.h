// Resampling a recording to the decoder's 22050 samples per second. Each output sample is
// the input under a Kaiser-windowed sinc low-pass at 0.45 of the lower of the two rates,
// taken at the output instant: any ratio works, and nothing above the new Nyquist frequency
// folds back into the tones. The input is pushed in pieces and only what the next output
// samples need is held.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t STREAM_RATE = 22050;

struct Resampler {
    uint32_t rate = STREAM_RATE;  // the input's
    double scale = 1;             // the kernel's zero crossings per input sample
    int64_t reach = 0;            // input samples on either side of an output instant
    uint64_t made = 0;            // output samples so far
    uint64_t base = 0;            // the input index of held[0]
    bool ended = false;           // no more input comes; it is silent from here
    std::vector<float> held;
};

void resampler_start(Resampler& r, uint32_t rate);
void resampler_push(Resampler& r, const float* x, size_t n);
void resampler_end(Resampler& r);
// The next output sample can be made from the input held.
bool resampler_ready(const Resampler& r);
// The input has ended and every output sample before its end is made.
bool resampler_done(const Resampler& r);
// Only when ready and not done.
float resampler_next(Resampler& r);
