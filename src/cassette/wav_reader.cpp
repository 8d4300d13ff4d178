#include "wav_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr size_t FRAMES = 256;  // frames read at a time

uint32_t le(const uint8_t* b, int n)
{
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; i--)
        v = (v << 8) | b[i];
    return v;
}

// The 16 bytes of a "fmt " chunk.
WavProblem check_format(const uint8_t* f, WavLayout& w)
{
    if (le(f, 2) != 1)
        return WavProblem::not_pcm;
    w.channels = le(f + 2, 2);
    if (w.channels != 1 && w.channels != 2)
        return WavProblem::channels;
    w.rate = le(f + 4, 4);
    if (w.rate < 8000 || w.rate > 96000)
        return WavProblem::rate;
    w.bits = le(f + 14, 2);
    if (w.bits != 8 && w.bits != 16)
        return WavProblem::bits;
    return WavProblem::none;
}

uint32_t frame_size(const WavLayout& w) { return w.channels * w.bits / 8; }

// Up to `count` frames at s.pos into `bytes`; a frame cut off by the end of the file is
// completed with silence.
size_t read_frames(WavStream& s, uint8_t* bytes, size_t count)
{
    uint32_t frame = frame_size(s.w);
    uint64_t left = s.w.data_end > s.pos ? s.w.data_end - s.pos : 0;
    size_t want = size_t(std::min<uint64_t>(count * frame, left));
    std::fseek(s.f, long(s.pos), SEEK_SET);
    size_t got = std::fread(bytes, 1, want, s.f);
    s.pos += got;
    size_t frames = (got + frame - 1) / frame;
    std::memset(bytes + got, s.w.bits == 8 ? 0x80 : 0, frames * frame - got);
    return frames;
}

size_t read_direct(WavStream& s, uint8_t* out, size_t n)
{
    uint8_t bytes[FRAMES * 4];
    uint32_t frame = frame_size(s.w);
    size_t made = 0;
    while (made < n) {
        size_t count = std::min(n - made, FRAMES);
        size_t frames = read_frames(s, bytes, count);
        for (size_t i = 0; i < frames; i++)
            out[made + i] = s.w.bits == 8 ? bytes[i * frame] : bytes[i * frame + 1] ^ 0x80;
        made += frames;
        if (frames < count)
            break;
    }
    return made;
}

// In units of the 8-bit samples, centred on 0.
float level(const uint8_t* frame, uint32_t bits)
{
    return bits == 8 ? float(frame[0]) - 128 : float(int16_t(frame[0] | frame[1] << 8)) / 256;
}

void feed(WavStream& s)
{
    uint8_t bytes[FRAMES * 4];
    float x[FRAMES];
    uint32_t frame = frame_size(s.w);
    size_t frames = read_frames(s, bytes, FRAMES);
    for (size_t i = 0; i < frames; i++)
        x[i] = level(bytes + i * frame, s.w.bits);
    resampler_push(s.r, x, frames);
    if (frames < FRAMES)
        resampler_end(s.r);
}

size_t read_resampled(WavStream& s, uint8_t* out, size_t n)
{
    size_t made = 0;
    while (made < n && !resampler_done(s.r)) {
        if (!resampler_ready(s.r)) {
            feed(s);
            continue;
        }
        out[made++] = uint8_t(std::clamp(std::lround(resampler_next(s.r)) + 128, 0L, 255L));
    }
    return made;
}

} // namespace

// The chunks are walked by their lengths (with the pad byte of odd lengths), so that a
// longer "fmt " chunk or chunks of any size before "data" are read correctly. A data chunk
// of length 0 is a recording streamed without its length: it runs to the end of the file.
WavProblem read_wav_layout(std::FILE* f, WavLayout& w)
{
    uint8_t head[12];
    if (std::fread(head, 1, 12, f) != 12 || std::memcmp(head, "RIFF", 4) || std::memcmp(head + 8, "WAVE", 4))
        return WavProblem::not_wav;
    bool format = false, data = false;
    uint8_t chunk[8];
    while (std::fread(chunk, 1, 8, f) == 8) {
        uint32_t length = le(chunk + 4, 4);
        long body = std::ftell(f);
        if (!std::memcmp(chunk, "fmt ", 4)) {
            uint8_t b[16];
            if (length < 16 || std::fread(b, 1, 16, f) != 16)
                return WavProblem::not_wav;
            if (WavProblem problem = check_format(b, w); problem != WavProblem::none)
                return problem;
            format = true;
        } else if (!std::memcmp(chunk, "data", 4)) {
            w.data_start = uint64_t(body);
            w.data_end = length ? uint64_t(body) + length : UINT64_MAX;
            data = true;
            if (!length)
                break;
        }
        if (std::fseek(f, body + long(length) + (length & 1), SEEK_SET) != 0)
            break;
    }
    return format && data ? WavProblem::none : WavProblem::not_wav;
}

void wav_stream_start(WavStream& s, std::FILE* f, const WavLayout& w)
{
    s.f = f;
    s.w = w;
    s.pos = w.data_start;
    resampler_start(s.r, w.rate);
}

size_t wav_stream_read(WavStream& s, uint8_t* out, size_t n)
{
    return s.w.rate == STREAM_RATE ? read_direct(s, out, n) : read_resampled(s, out, n);
}
