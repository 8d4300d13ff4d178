// A WAV recording read as the decoder's stream: the left channel, 22050 unsigned 8-bit
// samples per second. Quarzel's conversion and KCS.com read recordings alike with it.
#pragma once
#include "resample.h"

#include <cstdio>

struct WavLayout {
    uint32_t rate = 0, channels = 0, bits = 0;
    uint64_t data_start = 0;
    uint64_t data_end = 0;  // may lie past the end of the file: the samples end with the file
};

enum class WavProblem { none, not_wav, not_pcm, channels, rate, bits };

// Walks the chunks from the start of f.
WavProblem read_wav_layout(std::FILE* f, WavLayout& w);

struct WavStream {
    std::FILE* f = nullptr;
    WavLayout w;
    uint64_t pos = 0;  // the file offset of the next frame
    Resampler r;
};

void wav_stream_start(WavStream& s, std::FILE* f, const WavLayout& w);
// Up to n samples of the stream; fewer only at its end. At 22050 per second a sample is
// the high byte of the left channel as it is; at other rates the whole value is resampled.
size_t wav_stream_read(WavStream& s, uint8_t* out, size_t n);
