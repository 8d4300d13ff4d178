// KCS.com: decodes Kansas City Standard cassette audio into bytes, and encodes bytes
// as a KCS recording. See usage_text.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../../src/cassette/wav_reader.h"

namespace {

const char* usage_text =
    "usage: KCS.com [options] SAMPLES OUTPUT        decode a recording into bytes\n"
    "       KCS.com -W [options] INPUT OUTPUT.wav   encode bytes as a recording\n"
    "\n"
    "SAMPLES are a WAV file (PCM, 8 or 16 bit, mono or stereo, 8000 to 96000 samples per\n"
    "second: the left channel is read and resampled to 22050 per second) or, when the file\n"
    "does not begin as a WAV file does, headerless 8-bit unsigned mono samples at 22050 per\n"
    "second (as Quarzel's Convert KCS Wave Files writes them).\n"
    "Kansas City Standard: a 0 bit is 1200 Hz, a 1 bit 2400 Hz; at 300 baud 4 or 8 cycles,\n"
    "at 600 baud 2 or 4, at 1200 baud 1 or 2. Every byte is a start bit (0), the data bits\n"
    "(lowest first), a parity bit, and stop bits (1); the line rests at 1 between bytes and\n"
    "in the leader.\n"
    "\n"
    "  -B1, -B2   600 or 1200 baud (default 300)\n"
    "  -D         8 data bits (default 7)\n"
    "  -S         2 stop bits (default 1)\n"
    "  -E, -O, -N even, odd or no parity. The word formats are those of the 6850 serial chip:\n"
    "             8 data bits with 2 stop bits is 8N2 (the parity flag has no effect);\n"
    "             8 data bits with 1 stop bit is 8E1, 8O1 or, with -N, 8N1;\n"
    "             7 data bits always carry parity: 7E2, 7O2, 7E1, 7O1 (-N counts as even).\n"
    "             OSI tapes are 300 baud 8N2: -D -S.\n"
    "  -Fn        shift the decision between the two tones, -64 to 64 (default 0); positive\n"
    "             values need more 2400 Hz energy before a bit counts as 1\n"
    "  -Hn        zero-crossing hysteresis in sample units, 0 to 16 (default 3): where the\n"
    "             two tones' energies are too close to call, the crossings of the signal\n"
    "             through a band of +-n around its mean decide\n"
    "  -X         text output: bit 7 cleared and NUL bytes dropped, as a tape input wants it\n"
    "  -R         report: speed, bytes, errors and a recording that ends inside a byte\n"
    "             (the bytes before it are decoded) on standard error\n"
    "  -W         encode INPUT (any bytes) as a WAV file, 22050 Hz, 8-bit mono\n"
    "  -Ln        with -W: seconds of leader tone before the data (default 5)\n"
    "\n"
    "Decoding removes the DC offset, finds the tape speed from the leader tone (recordings\n"
    "may run several percent off), decides each bit by the energy of the two tones over the\n"
    "bit (quadrature sums), and synchronises on every start bit to a fraction of a sample.\n"
    "Exit status: 0 when bytes were decoded; 1 bad usage, unreadable input or a WAV file that\n"
    "cannot be read; 2 no carrier; 3 nothing decoded; 4 too many framing errors (the bytes\n"
    "are written all the same).\n";

constexpr double RATE = 22050.0;

struct Options {
    int baud = 300;
    int data_bits = 7;
    int stop_bits = 1;
    char parity = 0;  // 'E', 'O', 'N'; 0 until given
    int shift = 0;
    int hysteresis = 3;
    bool text = false, report = false, encode = false;
    int leader = 5;
    std::string input, output;

    // The 6850 formats: 8 bits with 2 stop bits have no parity; 7 bits always have one.
    bool has_parity() const
    {
        if (data_bits == 8)
            return stop_bits == 1 && (parity == 'E' || parity == 'O');
        return true;
    }
    bool odd() const { return parity == 'O'; }
    int frame_bits() const { return 1 + data_bits + (has_parity() ? 1 : 0) + stop_bits; }
};

bool parse_int(const char* text, int low, int high, int& value)
{
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high)
        return false;
    value = int(v);
    return true;
}

// Returns false on bad usage.
bool parse(int argc, char** argv, Options& o)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (a[0] != '-' || !a[1]) {
            files.push_back(a);
            continue;
        }
        std::string s = a;
        if (s == "-B1") o.baud = 600;
        else if (s == "-B2") o.baud = 1200;
        else if (s == "-D") o.data_bits = 8;
        else if (s == "-S") o.stop_bits = 2;
        else if (s == "-E" || s == "-O" || s == "-N") o.parity = s[1];
        else if (s == "-X") o.text = true;
        else if (s == "-R") o.report = true;
        else if (s == "-W") o.encode = true;
        else if (s[1] == 'F' && parse_int(a + 2, -64, 64, o.shift)) continue;
        else if (s[1] == 'H' && parse_int(a + 2, 0, 16, o.hysteresis)) continue;
        else if (s[1] == 'L' && parse_int(a + 2, 0, 600, o.leader)) continue;
        else return false;
    }
    if (files.size() != 2)
        return false;
    o.input = files[0];
    o.output = files[1];
    return true;
}

bool read_all(std::FILE* f, std::vector<uint8_t>& bytes)
{
    uint8_t buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    return !std::ferror(f);
}

bool read_file(const std::string& path, std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bool ok = read_all(f, bytes);
    std::fclose(f);
    return ok;
}

const char* wav_problem_text(WavProblem problem)
{
    switch (problem) {
    case WavProblem::not_pcm: return "not PCM";
    case WavProblem::channels: return "neither mono nor stereo";
    case WavProblem::rate: return "sample rate out of range";
    case WavProblem::bits: return "neither 8 nor 16 bits per sample";
    default: return "no fmt and data chunks";
    }
}

// 1 when the WAV file cannot be read, with the message given.
int read_wav(std::FILE* f, const std::string& path, std::vector<uint8_t>& samples)
{
    WavLayout w;
    if (WavProblem problem = read_wav_layout(f, w); problem != WavProblem::none) {
        std::fprintf(stderr, "KCS: %s: %s (WAV files of 8 or 16-bit PCM, mono or stereo, 8000 to 96000 "
                     "samples per second can be read)\n", path.c_str(), wav_problem_text(problem));
        return 1;
    }
    WavStream stream;
    wav_stream_start(stream, f, w);
    uint8_t buffer[4096];
    for (size_t n; (n = wav_stream_read(stream, buffer, sizeof buffer)) > 0;)
        samples.insert(samples.end(), buffer, buffer + n);
    return 0;
}

bool starts_as_wav(std::FILE* f)
{
    uint8_t head[12];
    bool wav = std::fread(head, 1, 12, f) == 12 && !std::memcmp(head, "RIFF", 4) && !std::memcmp(head + 8, "WAVE", 4);
    std::rewind(f);
    return wav;
}

// The stream to decode, from a WAV file or as it is; 0, or the exit status with the message given.
int read_samples(const std::string& path, std::vector<uint8_t>& samples)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "KCS: cannot read %s\n", path.c_str());
        return 1;
    }
    int status = 0;
    if (starts_as_wav(f))
        status = read_wav(f, path, samples);
    else
        read_all(f, samples);
    if (std::ferror(f)) {
        std::fprintf(stderr, "KCS: cannot read %s\n", path.c_str());
        status = 1;
    }
    std::fclose(f);
    return status;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// --- encoding ------------------------------------------------------------------------

void put32(std::vector<uint8_t>& v, uint32_t x)
{
    for (int i = 0; i < 4; i++)
        v.push_back(uint8_t(x >> (8 * i)));
}

std::vector<uint8_t> encode(const std::vector<uint8_t>& data, const Options& o)
{
    std::vector<int> bits(size_t(o.leader * o.baud), 1);
    for (uint8_t byte : data) {
        bits.push_back(0);
        int ones = 0;
        for (int i = 0; i < o.data_bits; i++) {
            int b = (byte >> i) & 1;
            ones += b;
            bits.push_back(b);
        }
        if (o.has_parity())
            bits.push_back((ones & 1) ^ (o.odd() ? 1 : 0));
        for (int i = 0; i < o.stop_bits; i++)
            bits.push_back(1);
    }
    bits.insert(bits.end(), size_t(o.baud / 2), 1);

    double bit_length = RATE / o.baud, phase = 0;
    size_t count = size_t(bits.size() * bit_length);
    std::vector<uint8_t> wav = {'R', 'I', 'F', 'F'};
    put32(wav, uint32_t(36 + count));
    for (const char* s : {"WAVEfmt "})
        wav.insert(wav.end(), s, s + 8);
    put32(wav, 16);
    wav.insert(wav.end(), {1, 0, 1, 0});
    put32(wav, 22050);
    put32(wav, 22050);
    wav.insert(wav.end(), {1, 0, 8, 0, 'd', 'a', 't', 'a'});
    put32(wav, uint32_t(count));
    for (size_t n = 0; n < count; n++) {
        double f = bits[std::min(bits.size() - 1, size_t(n / bit_length))] ? 2400 : 1200;
        phase += 2 * M_PI * f / RATE;
        wav.push_back(uint8_t(std::lround(128 + 100 * std::sin(phase))));
    }
    return wav;
}

// --- decoding ------------------------------------------------------------------------

// What a window of the signal holds: its quadrature sums against the mark and the space
// tone (their norms are the tones' energies there) and its power.
struct Window {
    std::complex<double> mark, space;
    double power = 0;
};

Window operator-(const Window& a, const Window& b) { return {a.mark - b.mark, a.space - b.space, a.power - b.power}; }

Window between(const Window& a, const Window& b, double f)
{
    return {a.mark + (b.mark - a.mark) * f, a.space + (b.space - a.space) * f, a.power + (b.power - a.power) * f};
}

// Prefix sums of the windows' terms over a stretch of the samples, so that any window,
// fractional bounds included, costs O(1). The stretch moves on as the decoder does.
class Sums {
public:
    Sums(const std::vector<float>& x, double space_frequency) : x(x), space_step(2 * M_PI * space_frequency / RATE) {}

    Window over(double a, double b)
    {
        cover(a, b);
        return at(b) - at(a);
    }

private:
    static constexpr size_t CHUNK = 1 << 18;

    // Only a recording with samples is asked; a window past its end reads as silence.
    void cover(double a, double b)
    {
        size_t first = size_t(std::clamp(std::floor(a), 0.0, double(x.size() - 1)));
        size_t last = size_t(std::ceil(b)) + 1;
        if (!sums.empty() && first >= base && last < base + sums.size())
            return;
        base = first;
        size_t end = std::min(x.size(), base + std::max(CHUNK, last - base + 1));
        sums.assign(end - base + 1, Window{});
        // The space tone's phasor turns sample by sample; the mark tone's is its square.
        std::complex<double> turn = std::polar(1.0, -space_step), phasor = std::polar(1.0, -space_step * double(base));
        for (size_t n = base; n < end; n++, phasor *= turn) {
            double v = x[n];
            const Window& s = sums[n - base];
            sums[n - base + 1] = {s.mark + v * phasor * phasor, s.space + v * phasor, s.power + v * v};
        }
    }

    Window at(double t) const
    {
        t = std::clamp(t - double(base), 0.0, double(sums.size() - 1));
        size_t i = std::min(size_t(t), sums.size() - 2);
        return between(sums[i], sums[i + 1], t - double(i));
    }

    const std::vector<float>& x;
    double space_step;
    size_t base = 0;
    std::vector<Window> sums;
};

struct Stats {
    size_t frames = 0, framing = 0, parity = 0;
    double speed = 1;
    bool carrier = false;
    bool cut = false;  // the recording ends inside a byte
};

class Decoder {
public:
    Decoder(const std::vector<uint8_t>& samples, const Options& o) : o(o)
    {
        remove_dc(samples);
        stats.speed = find_speed();
        sums = std::make_unique<Sums>(x, 1200 * stats.speed);
        bit = RATE / (o.baud * stats.speed);
    }

    std::vector<uint8_t> run()
    {
        std::vector<uint8_t> out;
        double t = 0;
        while (find_start(t)) {
            if (t + (o.frame_bits() - 0.1) * bit > double(x.size())) {
                stats.cut = true;
                break;
            }
            int value;
            t = frame(t, value);
            if (value >= 0)
                out.push_back(uint8_t(value));
        }
        return out;
    }

    Stats stats;

private:
    // The signal less its local mean over two periods of the low tone.
    void remove_dc(const std::vector<uint8_t>& s)
    {
        const size_t w = 37;
        x.resize(s.size());
        double sum = 0;
        for (size_t n = 0; n < s.size() + w / 2; n++) {
            if (n < s.size())
                sum += s[n];
            if (n >= w)
                sum -= s[n - w];
            if (n >= w / 2) {
                size_t c = n - w / 2;
                size_t count = std::min(n + 1, w) - (n >= s.size() ? n + 1 - s.size() : 0);
                x[c] = float(s[c] - sum / double(count));
            }
        }
    }

    // The leader is the mark tone: its measured frequency over 2400 Hz is the tape's speed.
    double find_speed()
    {
        const size_t span = 8192;
        for (size_t start = 0; start + span <= x.size(); start += span / 2) {
            double power = 0;
            for (size_t n = start; n < start + span; n++)
                power += double(x[n]) * x[n];
            if (power / span < 4)
                continue;
            double f = mark_frequency(start, span);
            // A pure tone puts about half of its power into the matching sum.
            if (f >= 2100 && f <= 2700 && std::norm(tone_sum(start, span, f)) / (double(span) * power) > 0.3)
                return f / 2400;
        }
        return 1;
    }

    // The signal mixed down by 2400 Hz and summed over blocks of 18 samples, which all but
    // cancels the space tone and the mirror image; the mean phase step from block to block
    // is the mark tone's offset from 2400 Hz. Linear in the span, unlike a search over
    // candidate frequencies.
    double mark_frequency(size_t start, size_t span)
    {
        const size_t block = 18;
        std::complex<double> previous = 0, steps = 0;
        for (size_t b = start; b + block <= start + span; b += block) {
            std::complex<double> sum = tone_sum(b, block, 2400);
            steps += sum * std::conj(previous);
            previous = sum;
        }
        return 2400 + std::arg(steps) * RATE / (2 * M_PI * block);
    }

    std::complex<double> tone_sum(size_t start, size_t count, double frequency)
    {
        std::complex<double> s = 0;
        double w = 2 * M_PI * frequency / RATE;
        for (size_t n = start; n < start + count; n++)
            s += std::polar(double(x[n]), -w * double(n));
        return s;
    }

    // Above 0 for the mark tone, below 0 for the space tone, from -1 to 1; nan without a carrier.
    double decision(double a, double b)
    {
        Window w = sums->over(a, b);
        double em = std::norm(w.mark), es = std::norm(w.space);
        double n = b - a, p = w.power;
        if (p < 4 * n || (em + es) < 0.1 * n * p)
            return NAN;
        stats.carrier = true;
        double d = (em - es) / (em + es) - o.shift / 64.0;
        if (std::fabs(d) < 0.1)
            d = crossings_decision(a, b);
        return d;
    }

    // Counts the crossings through the hysteresis band: a mark bit has twice a space bit's.
    double crossings_decision(double a, double b)
    {
        int crossings = 0, side = 0;
        for (size_t i = size_t(std::max(0.0, a)); i < size_t(std::min(b, double(x.size()))); i++) {
            int s = x[i] > o.hysteresis ? 1 : x[i] < -o.hysteresis ? -1 : 0;
            if (s && s != side) {
                crossings += side != 0;
                side = s;
            }
        }
        double expected_space = 2 * 1200 * stats.speed * (b - a) / RATE;
        return crossings > 1.5 * expected_space ? 0.05 : -0.05;
    }

    // Moves t to the next mark-to-space edge; false at the end of the recording. The search
    // strides over steady stretches (an edge turns the decision for a whole bit) and goes
    // back sample by sample where the decision turned.
    bool find_start(double& t)
    {
        const double stride = std::max(1.0, std::floor(bit / 8));
        double previous = NAN, step = 0;
        for (; t + bit < double(x.size()); t += step) {
            double d = decision(t, t + bit);
            if (previous > 0 && !(d > 0) && edge_before(t, int(step), previous))
                return true;
            previous = d;
            step = t + stride + bit < double(x.size()) ? stride : 1;
        }
        return false;
    }

    // Looks sample by sample at the `count` windows up to t, after one whose decision was
    // `previous`; at a mark-to-space edge t moves to it.
    bool edge_before(double& t, int count, double previous)
    {
        double from = t - count;
        for (int k = 1; k <= count; k++) {
            double u = from + k, d = decision(u, u + bit);
            if (previous > 0 && d <= 0) {
                // The window straddles the edge half way: interpolate the crossing.
                t = u - 1 + previous / (previous - d) + bit / 2;
                return true;
            }
            previous = d;
        }
        return false;
    }

    // Reads the frame whose start bit begins at t; value = the byte, or -1 for a false start.
    double frame(double t, int& value)
    {
        auto bit_at = [&](int i) {
            double a = t + (i + 0.1) * bit, b = t + (i + 0.9) * bit;
            double d = decision(a, b);
            return std::isnan(d) ? -1 : d > 0 ? 1 : 0;
        };
        value = -1;
        if (bit_at(0) != 0)
            return t + bit / 2;
        int byte = 0, ones = 0;
        for (int i = 0; i < o.data_bits; i++) {
            int b = bit_at(1 + i);
            if (b < 0)
                return t + bit / 2;
            byte |= b << i;
            ones += b;
        }
        int next = 1 + o.data_bits;
        stats.frames++;
        if (o.has_parity() && ((ones + bit_at(next++)) & 1) != (o.odd() ? 1 : 0))
            stats.parity++;
        bool stopped = true;
        for (int i = 0; i < o.stop_bits; i++)
            stopped = stopped && bit_at(next + i) == 1;
        if (!stopped)
            stats.framing++;
        value = byte;
        return t + (next + o.stop_bits - 1) * bit;  // the search starts on the last stop bit
    }

    const Options& o;
    std::vector<float> x;
    std::unique_ptr<Sums> sums;
    double bit;
};

} // namespace

// The whole program; a fuzz target calls it with its own arguments (built with KCS_NO_MAIN).
int kcs_main(int argc, char** argv)
{
    Options o;
    if (argc == 2 && (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help"))) {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (!parse(argc, argv, o)) {
        std::fputs(usage_text, stderr);
        return 1;
    }
    if (!o.parity)
        o.parity = o.data_bits == 8 ? 'N' : 'E';
    std::vector<uint8_t> input;
    if (o.encode) {
        if (!read_file(o.input, input)) {
            std::fprintf(stderr, "KCS: cannot read %s\n", o.input.c_str());
            return 1;
        }
        if (!write_file(o.output, encode(input, o))) {
            std::fprintf(stderr, "KCS: cannot write %s\n", o.output.c_str());
            return 1;
        }
        return 0;
    }
    if (int status = read_samples(o.input, input))
        return status;

    Decoder decoder(input, o);
    std::vector<uint8_t> bytes = decoder.run();
    if (o.text) {
        for (uint8_t& b : bytes)
            b &= 0x7F;
        bytes.erase(std::remove(bytes.begin(), bytes.end(), 0), bytes.end());
    }
    const Stats& s = decoder.stats;
    if (o.report)
        std::fprintf(stderr, "KCS: %d baud, tape speed %+.1f %%, %zu bytes, %zu framing and %zu parity errors\n",
                     o.baud, (s.speed - 1) * 100, s.frames, s.framing, s.parity);
    if (o.report && s.cut)
        std::fprintf(stderr, "KCS: the recording ends inside a byte; the bytes before it are decoded\n");
    if (!s.carrier) {
        std::fprintf(stderr, "KCS: no carrier found in %s\n", o.input.c_str());
        return 2;
    }
    if (!write_file(o.output, bytes)) {
        std::fprintf(stderr, "KCS: cannot write %s\n", o.output.c_str());
        return 1;
    }
    if (s.frames == 0) {
        std::fprintf(stderr, "KCS: no data decoded\n");
        return 3;
    }
    if (s.framing > std::max<size_t>(2, s.frames / 20)) {
        std::fprintf(stderr, "KCS: too many framing errors (%zu of %zu bytes)\n", s.framing, s.frames);
        return 4;
    }
    return 0;
}

#ifndef KCS_NO_MAIN
int main(int argc, char** argv) { return kcs_main(argc, argv); }
#endif
