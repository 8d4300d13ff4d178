// KCS.com: decodes Kansas City Standard cassette audio into bytes, and encodes bytes
// as a KCS recording. See usage_text.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    "  -R         report on standard error: speed, bytes, errors and where in the recording\n"
    "             (seconds from its start) the damaged bytes are, and a recording that ends\n"
    "             inside a byte (the bytes before it are decoded)\n"
    "  -W         encode INPUT (any bytes) as a WAV file, 22050 Hz, 8-bit mono\n"
    "  -Ln        with -W: seconds of leader tone before the data (default 5)\n"
    "\n"
    "Decoding removes the DC offset, finds the tape speed from the leader tone (recordings\n"
    "may run several percent off), weighs the two tones' energy over every bit (quadrature\n"
    "sums, each tone measured against its usual level, as tapes lose the high tone), follows\n"
    "the bit clock on every change of tone through wow and flutter, and frames the bits as the\n"
    "most good bytes allow: after a damaged byte the next ones are found again. A damaged\n"
    "byte is written and counted as a framing error.\n"
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
        phase += 2 * std::numbers::pi * f / RATE;
        wav.push_back(uint8_t(std::lround(128 + 100 * std::sin(phase))));
    }
    return wav;
}

// --- decoding ------------------------------------------------------------------------
//
// Each stage is a pass over the recording, so that any recording, noise and silence
// included, decodes in time linear in its length: the DC removal, the speed from the
// leader, the tones' balance under a window of one bit slid sample by sample, its edges,
// the bit clock, and the framing (two passes over the bits).

// A window's sums against the space and the mark tone (their norms are the tones'
// energies there) and its power.
struct Window {
    std::complex<double> space, mark;
    double power = 0;
};

struct Bit {
    double at;      // the centre, in samples
    int value;      // 1 mark, 0 space, -1 no carrier
    uint8_t share;  // of the power in the tones, in 255ths
};

struct Frame {
    int byte = 0;
    bool whole = true;   // every bit has a carrier
    bool framed = true;  // a space start bit and mark stop bits
    bool parity_ok = true;

    bool damaged() const { return !whole || !framed; }
};

struct Stats {
    size_t frames = 0;
    std::vector<double> framing, parity;  // where the errors are, in seconds
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
        bit = RATE / (o.baud * stats.speed);
        width = std::max<size_t>(2, size_t(std::lround(bit)));
    }

    std::vector<uint8_t> run()
    {
        balance();
        std::vector<Bit> bits = clock(edges());
        drop_weak(bits);
        for (const Bit& b : bits)
            stats.carrier = stats.carrier || b.value >= 0;
        return frames(bits);
    }

    Stats stats;

private:
    // The signal less its local mean over two periods of the space tone.
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

    // The leader is the mark tone: its frequency over 2400 Hz is the tape's speed. The signal
    // is mixed down by 2400 Hz and summed over blocks of 18 samples, which all but cancels
    // the space tone; the phase steps from block to block give the tone's offset. A stretch
    // of about 0.1 s whose steps agree and that the mark tone fills is leader.
    double find_speed() const
    {
        const size_t block = 18, blocks = 120;
        const std::complex<double> turn = std::polar(1.0, -2 * std::numbers::pi * 2400 / RATE);
        std::complex<double> phasor = 1, sum = 0, previous = 0, steps = 0;
        double agreement = 0, tone = 0, power = 0;
        for (size_t n = 0, count = 0; n < x.size(); n++, phasor *= turn) {
            sum += double(x[n]) * phasor;
            power += double(x[n]) * x[n];
            if ((n + 1) % block)
                continue;
            steps += sum * std::conj(previous);
            agreement += std::abs(sum) * std::abs(previous);
            tone += std::norm(sum);
            previous = sum;
            sum = 0;
            phasor /= std::abs(phasor);
            if (++count % blocks)
                continue;
            double f = 2400 + std::arg(steps) * RATE / (2 * std::numbers::pi * block);
            // A pure tone puts about half of its power into the matching sum.
            if (power > 4.0 * double(block * blocks) && std::abs(steps) > 0.9 * agreement &&
                tone > 0.3 * double(block) * power && f >= 2100 && f <= 2700)
                return f / 2400;
            steps = 0;
            agreement = tone = power = 0;
        }
        return 1;
    }

    // For every position of a window of one bit: above 0 where the mark tone carries more
    // of the energy, below 0 for the space tone, from -1 to 1; NaN without a carrier.
    // Sliding sums: what enters the window is added, what leaves it taken off again.
    void balance()
    {
        const std::complex<double> turn = std::polar(1.0, -2 * std::numbers::pi * 1200 * stats.speed / RATE);
        std::complex<double> phasor = 1;
        std::vector<Window> ring(width);
        Window w;
        Levels levels;
        d.assign(x.size() >= width ? x.size() - width + 1 : 0, NAN);
        shares.assign(d.size(), 0);
        for (size_t n = 0; n < x.size(); n++, phasor *= turn) {
            double v = x[n];
            Window in = {v * phasor, v * phasor * phasor, v * v}, &out = ring[n % width];
            w = {w.space + in.space - out.space, w.mark + in.mark - out.mark, w.power + in.power - out.power};
            out = in;
            if (n % 1024 == 0)
                phasor /= std::abs(phasor);
            if (n + 1 >= width)
                d[n + 1 - width] = judge(w, levels, shares[n + 1 - width]);
        }
    }

    // The tones' typical energies where each is alone. The tape and the recorder pass the
    // two tones unequally (the mark tone often much weaker): weighed by these, a window
    // half of either tone balances at 0, and the edges stay where the bits change.
    struct Levels {
        double mark = 0, space = 0;
        size_t marks = 0, spaces = 0;

        // The mean of the windows seen, then of about the last 4096.
        void learn(double em, double es)
        {
            if (em > 20 * es)
                mark += (em - mark) / double(std::min<size_t>(++marks, 4096));
            else if (es > 20 * em)
                space += (es - space) / double(std::min<size_t>(++spaces, 4096));
        }
        double mark_weight() const { return mark > 0 && space > 0 ? std::clamp(space / mark, 1.0 / 30, 30.0) : 1; }
    };

    // The balance, and the share of the window's power that the tones hold (a pure tone's
    // is 1/2, that of noise 2/width) in 255ths. No carrier: near silence, or a small share.
    float judge(const Window& w, Levels& levels, uint8_t& share) const
    {
        double es = std::norm(w.space), em = std::norm(w.mark), n = double(width);
        if (w.power < 2 * n)
            return NAN;
        double tones = (em + es) / (n * w.power);
        share = uint8_t(std::min(tones, 1.0) * 255);
        if (tones < 0.15)
            return NAN;
        levels.learn(em, es);
        em *= levels.mark_weight();
        return float((em - es) / (em + es) - o.shift / 64.0);
    }

    // Where the balance changes sign, in samples (the window's centre), passing through a
    // band of +-0.3 so that noise about 0 makes no edge. None across a loss of carrier.
    std::vector<double> edges() const
    {
        const double band = 0.3, centre = (double(width) - 1) / 2;
        std::vector<double> found;
        int side = 0;
        double zero = 0;
        for (size_t s = 1; s < d.size(); s++) {
            if (std::isnan(d[s]) || std::isnan(d[s - 1])) {
                side = 0;
                continue;
            }
            if ((d[s - 1] > 0) != (d[s] > 0))
                zero = double(s) - 1 + d[s - 1] / (d[s - 1] - d[s]);
            int now = d[s] > band ? 1 : d[s] < -band ? -1 : side;
            if (side && now != side)
                found.push_back(zero + centre);
            side = now;
        }
        return found;
    }

    // The bit clock. An edge moves the next bit's centre by half of its offset from the
    // boundary expected before it, and the bit length by a little, which follows wow and
    // flutter; once locked, an edge far from any boundary is noise. After a stretch without
    // edges (the leader, or the start of the recording) the clock takes its phase from the
    // next edge, so that the bits before it are read in step with it too.
    std::vector<Bit> clock(const std::vector<double>& found)
    {
        std::vector<Bit> bits;
        double length = bit, last = -1e30;
        size_t e = 0;
        for (double centre = bit / 2; !d.empty(); centre += length) {
            bool locked = centre - last < 12 * length;
            if (!locked && e < found.size())
                centre = in_step(centre, found[e], length);
            for (; e < found.size() && found[e] < centre; e++) {
                double offset = found[e] - (centre - length / 2);
                if (locked && std::fabs(offset) > 0.4 * length)
                    continue;
                centre += offset * (locked ? 0.5 : 1.0);
                length = std::clamp(length + (locked ? 0.02 * offset : 0.0), 0.92 * bit, 1.08 * bit);
                last = found[e];
            }
            if (centre + length / 2 > double(x.size()))
                break;
            bits.push_back(bit_at(centre, length));
        }
        return bits;
    }

    // The centre nearest to `centre` that has a boundary at `edge`; not before the first.
    double in_step(double centre, double edge, double length) const
    {
        double c = centre + std::remainder(edge - length / 2 - centre, length);
        return c < bit / 2 - 1 ? c + length : c;
    }

    // Bits whose tones, with their neighbours', hold less than a sixth of the power have no
    // carrier: over one bit at 1200 baud noise often holds 0.15, and would make bytes of hiss.
    static void drop_weak(std::vector<Bit>& bits)
    {
        std::vector<int> share;
        for (const Bit& b : bits)
            share.push_back(b.share);
        for (size_t k = 0; k < bits.size(); k++) {
            size_t from = k ? k - 1 : k, to = std::min(k + 2, bits.size());
            int sum = 0;
            for (size_t i = from; i < to; i++)
                sum += share[i];
            if (sum < 255 / 6.0 * double(to - from))
                bits[k].value = -1;
        }
    }

    // The balance at the centre decides; where it is too close to call, the crossings do.
    Bit bit_at(double centre, double length) const
    {
        double s = std::max(0.0, centre - (double(width) - 1) / 2);
        size_t i = std::min(size_t(s), d.size() - 1), j = std::min(i + 1, d.size() - 1);
        double v = d[i] + (d[j] - d[i]) * (s - double(i));
        int value = std::isnan(v)            ? -1
                    : std::fabs(v) < 0.1     ? crossings_decision(centre - length / 2, centre + length / 2)
                                             : v > 0;
        return {centre, value, shares[i]};
    }

    // Counts the crossings through the hysteresis band: a mark bit has twice a space bit's.
    int crossings_decision(double a, double b) const
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
        return crossings > 1.5 * expected_space;
    }

    Frame read_frame(const std::vector<Bit>& bits, size_t k) const
    {
        Frame f;
        f.framed = bits[k].value == 0;
        int ones = 0;
        for (int i = 0; i < o.data_bits; i++) {
            int b = bits[k + 1 + size_t(i)].value;
            f.whole = f.whole && b >= 0;
            f.byte |= (b == 1) << i;
            ones += b == 1;
        }
        size_t next = k + 1 + size_t(o.data_bits);
        if (o.has_parity()) {
            int p = bits[next++].value;
            f.whole = f.whole && p >= 0;
            f.parity_ok = ((ones + (p == 1)) & 1) == (o.odd() ? 1 : 0);
        }
        for (int i = 0; i < o.stop_bits; i++)
            f.framed = f.framed && bits[next + size_t(i)].value == 1;
        return f;
    }

    // A good byte scores well; a damaged one only with a frame next to it, so that it is
    // kept and counted inside a block but noise alone makes none.
    static double score(const Frame& f)
    {
        if (f.damaged())
            return -0.5;
        return f.parity_ok ? 4 : 2;
    }

    // A start bit should follow a mark. One after a space bit (where a recording begins
    // inside a byte) or at the edge of a loss of carrier (where a dropout's edge sounds like
    // a space) is doubtful: unless a frame ends there, it takes a good frame following at
    // once for it to count.
    static double doubt(const std::vector<Bit>& bits, size_t k) { return k == 0 || bits[k - 1].value != 1 ? 4.5 : 0; }

    enum : uint8_t { START = 1, LINKED = 2 };

    // The framing of the bits that scores most, found backwards over them (dynamic
    // programming): per bit whether a frame starts there when none must (START), and
    // whether the next frame follows it at once (LINKED), which scores a little more, as
    // the bytes of a block do. A frame whose start bit was lost between two such frames is
    // kept as a damaged one (bridged). After a false or damaged frame the bytes that
    // follow are found again, wherever they start.
    std::vector<uint8_t> plan(const std::vector<Bit>& bits) const
    {
        const size_t length = size_t(o.frame_bits()), m = bits.size();
        std::vector<double> best(m + 1, 0), chain(m + 1, -INFINITY), bridged(m + 1, -INFINITY);
        std::vector<uint8_t> choice(m, LINKED);
        for (size_t k = m; k-- > 0;) {
            best[k] = best[k + 1];
            if (k + length > m)
                continue;
            double framed = score(read_frame(bits, k));
            if (bits[k].value != 0) {
                bridged[k] = framed + chain[k + length] + 1;
                continue;
            }
            double linked = std::max(chain[k + length], bridged[k + length]) + 1;
            chain[k] = framed + std::max(linked, best[k + length]);
            double entered = chain[k] - doubt(bits, k);
            choice[k] = uint8_t((entered >= best[k] ? START : 0) | (linked >= best[k + length] ? LINKED : 0));
            best[k] = std::max(best[k], entered);
        }
        return choice;
    }

    std::vector<uint8_t> frames(const std::vector<Bit>& bits)
    {
        const size_t length = size_t(o.frame_bits()), m = bits.size();
        std::vector<uint8_t> choice = plan(bits), out;
        size_t k = 0, end = 0, due = SIZE_MAX;
        while (k < m) {
            if (k != due && !(choice[k] & START)) {
                k++;
                continue;
            }
            take(read_frame(bits, k), (bits[k].at - bit / 2) / RATE, out);
            due = choice[k] & LINKED ? k + length : SIZE_MAX;
            k = end = k + length;
        }
        stats.cut = ends_inside_a_byte(bits, std::max(end, m - std::min(m, length - 1)));
        return out;
    }

    void take(const Frame& f, double seconds, std::vector<uint8_t>& out)
    {
        stats.frames++;
        if (f.damaged())
            stats.framing.push_back(seconds);
        else if (!f.parity_ok)
            stats.parity.push_back(seconds);
        out.push_back(uint8_t(f.byte));
    }

    // A start bit too close to the end for its frame, with the carrier to the end.
    static bool ends_inside_a_byte(const std::vector<Bit>& bits, size_t from)
    {
        bool start = false;
        for (size_t k = from; k < bits.size(); k++) {
            if (bits[k].value < 0)
                return false;
            start = start || bits[k].value == 0;
        }
        return start;
    }

    const Options& o;
    std::vector<float> x, d;
    std::vector<uint8_t> shares;
    double bit;
    size_t width;
};

// "KCS: framing errors at 1.23 s, ..." with the first few places.
void report_places(const char* what, const std::vector<double>& seconds)
{
    if (seconds.empty())
        return;
    const size_t shown = 20;
    std::fprintf(stderr, "KCS: %s at", what);
    for (size_t i = 0; i < std::min(shown, seconds.size()); i++)
        std::fprintf(stderr, "%s %.3f s", i ? "," : "", seconds[i]);
    if (seconds.size() > shown)
        std::fprintf(stderr, " and %zu more", seconds.size() - shown);
    std::fputc('\n', stderr);
}

void report(const Options& o, const Stats& s)
{
    std::fprintf(stderr, "KCS: %d baud, tape speed %+.1f %%, %zu bytes, %zu framing and %zu parity errors\n", o.baud,
                 (s.speed - 1) * 100, s.frames, s.framing.size(), s.parity.size());
    report_places("framing errors", s.framing);
    report_places("parity errors", s.parity);
    if (s.cut)
        std::fprintf(stderr, "KCS: the recording ends inside a byte; the bytes before it are decoded\n");
}

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
        report(o, s);
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
    if (s.framing.size() > std::max<size_t>(2, s.frames / 20) || s.framing.size() == s.frames) {
        std::fprintf(stderr, "KCS: too many framing errors (%zu of %zu bytes)\n", s.framing.size(), s.frames);
        return 4;
    }
    return 0;
}

#ifndef KCS_NO_MAIN
int main(int argc, char** argv) { return kcs_main(argc, argv); }
#endif
