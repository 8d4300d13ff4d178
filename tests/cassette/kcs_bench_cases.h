// Recordings of known bytes, made by KCS.com's encoder and then worn as cassettes wear
// them: what the decoder's tests and its bench both decode.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kcs_cases {

constexpr double RATE = 22050;

// Samples centred on 0, in 8-bit units, RATE per second.
using Samples = std::vector<double>;

struct Format {
    const char* name;  // "8N2"
    int baud;
    std::vector<std::string> options;  // KCS.com's, for encoding and decoding alike
    int frame_bits;
};

// 300 and 1200 baud, each 8N2 (the OSI format) and 8N1.
std::vector<Format> formats();

// What the encoder made: its samples and where the data begins.
struct Recording {
    Samples samples;
    std::vector<uint8_t> bytes;
    Format format;
    double leader_seconds;

    double bit_samples() const { return RATE / format.baud; }
    // The sample where byte k's start bit begins.
    double byte_start(size_t k) const;
};

struct Degraded {
    Samples samples;
    std::vector<uint8_t> expected;  // the bytes wholly in the recording
    bool damaging = false;          // some bytes cannot be read: they are to be counted
};

struct Case {
    std::string name;
    std::function<Degraded(const Recording&)> make;
};

// One case per way a tape goes wrong, and one "worn tape" with most of them at once.
// Dropouts to silence or into hiss destroy bits: those cases are damaging.
std::vector<Case> cases();

// Inputs without data, for the decoder's speed only.
Samples noise_only(double seconds, double rms);
Samples silence(double seconds);

Samples from_wav8(const std::string& wav);
// Headerless 8-bit unsigned samples, as Quarzel's conversion hands them to the decoder.
std::string raw8(const Samples& s);
std::vector<uint8_t> random_bytes(size_t count, unsigned seed);

// The sent bytes that come out in order (the longest common subsequence): a byte lost,
// garbled or inserted costs one, and nothing more.
size_t bytes_right(const std::string& got, const std::vector<uint8_t>& sent);

} // namespace kcs_cases
