// The 600D board's DAC, heard through the runner's --audio-out recording.
#include "e2e/headless_fixture.h"

#include <cmath>
#include <numbers>

namespace {

// LDA #enable; STA $D800; LDA #0; then every 5 * loops + 16 cycles STA $DF00 and EOR #$FF: 4
// + 2 + (loops * 5 - 1) for the DEX/BNE loop on one page + 2 + three NOPs + 3 for the JMP.
std::string square_wave(uint8_t enable, uint8_t loops)
{
    const uint8_t code[] = {
        0xA9, enable, 0x8D, 0x00, 0xD8, 0xA9, 0x00,  // $0300
        0x8D, 0x00, 0xDF, 0xA2, loops,               // $0307: STA $DF00; LDX #loops
        0xCA, 0xD0, 0xFD,                            // $030C: DEX; BNE $030C
        0x49, 0xFF, 0xEA, 0xEA, 0xEA,                // EOR #$FF; NOP; NOP; NOP
        0x4C, 0x07, 0x03,                            // JMP $0307
    };
    return std::string(std::begin(code), std::end(code));
}

uint32_t le(const std::string& s, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; i++)
        v |= uint32_t(uint8_t(s[at + i])) << (8 * i);
    return v;
}

struct Recording {
    uint32_t rate = 0, channels = 0, bits = 0;
    std::vector<int16_t> samples;
};

Recording read_recording(const std::string& wav)
{
    Recording r;
    if (wav.size() < 44 || wav.compare(0, 4, "RIFF") || wav.compare(8, 8, "WAVEfmt ") || wav.compare(36, 4, "data"))
        return r;
    r.channels = le(wav, 22, 2), r.rate = le(wav, 24, 4), r.bits = le(wav, 34, 2);
    size_t n = std::min<size_t>(le(wav, 40, 4), wav.size() - 44) / 2;
    for (size_t i = 0; i < n; i++)
        r.samples.push_back(int16_t(le(wav, 44 + 2 * i, 2)));
    return r;
}

// Rising zero crossings per second, from the first to the last, past a settling time.
double fundamental(const Recording& r)
{
    size_t first = 0, last = 0, count = 0;
    for (size_t i = r.rate / 10; i < r.samples.size(); i++)
        if (r.samples[i - 1] < 0 && r.samples[i] >= 0) {
            if (!count++)
                first = i;
            last = i;
        }
    return count < 2 ? 0 : double(count - 1) * r.rate / double(last - first);
}

double rms(const Recording& r)
{
    double sum = 0;
    size_t from = r.samples.size() / 2;
    for (size_t i = from; i < r.samples.size(); i++)
        sum += double(r.samples[i]) * r.samples[i];
    return std::sqrt(sum / double(r.samples.size() - from));
}

// The strongest tone between the harmonics of `hz`, in dB against the fundamental: what the
// square wave's harmonics above half the rate fold back to. Goertzel filters over a
// Hann-windowed fifth of a second, past the settling time.
double strongest_alias(const Recording& r, double hz)
{
    std::vector<double> x(r.rate / 5);
    for (size_t i = 0; i < x.size(); i++)
        x[i] = r.samples[r.rate + i] * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(x.size() - 1)));
    auto level = [&](double f) {
        double c = 2 * std::cos(2 * std::numbers::pi * f / r.rate), s1 = 0, s2 = 0;
        for (double v : x) {
            double s0 = v + c * s1 - s2;
            s2 = s1, s1 = s0;
        }
        return std::sqrt(std::max(s1 * s1 + s2 * s2 - c * s1 * s2, 0.0));
    };
    double fundamental = level(hz), strongest = 0;
    for (double f = 100; f < r.rate / 2.0; f += 5) {
        double harmonic = std::round((f / hz - 1) / 2) * 2 + 1;
        if (std::abs(f - harmonic * hz) > 60)
            strongest = std::max(strongest, level(f));
    }
    return 20 * std::log10(strongest / fundamental);
}

TEST_F(Headless, DacSquareWaveIsRecordedAtItsPitch)
{
    const struct {
        const char* board;
        uint8_t enable, loops;
        double hz;  // 0: silence
    } cases[] = {
        {"Model=600D", 0x10, 224, 1e6 / 2272},  // 440 Hz
        {"Model=600D", 0x10, 21, 1e6 / 242},    // 4132 Hz, its 7th harmonic and up past 22050 Hz
        {"Model=600D", 0xEF, 224, 0},           // every control bit but the DAC's
        {"", 0x10, 224, 0},                     // no register: the writes reach nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.board) + " enable " + std::to_string(c.enable));
        std::string program = QUARZEL_PROGRAM_DIR;
        write_file(dir / "sound.ini", "[ROM]\nBASIC=" + program + "/basic.rom\nKERNEL=" + program +
                                          "/monitor.rom\n[Board]\n" + c.board + "\n");
        write_file(dir / "square.bin", square_wave(c.enable, c.loops));
        fs::path wav = dir / "square.wav";
        std::vector<std::string> args = {"--headless", (dir / "sound.ini").string(), "--load",
                                         (dir / "square.bin").string() + "@0300", "--pc", "0300", "--wait", "2000000",
                                         "--audio-out", wav.string()};
        Result r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        std::string first = slurp(wav);
        ASSERT_EQ(run(args).status, 0);
        EXPECT_EQ(slurp(wav), first) << "on emulated time, every run records the same";
        Recording rec = read_recording(first);
        EXPECT_EQ(rec.rate, 44100u);
        EXPECT_EQ(rec.channels, 1u);
        EXPECT_EQ(rec.bits, 16u);
        EXPECT_NEAR(double(rec.samples.size()), 89964, 1) << "2,040,000 cycles of sound, to the end of an instruction";
        if (c.hz) {
            EXPECT_NEAR(fundamental(rec), c.hz, c.hz / 100);
            // Only the harmonics below 22050 Hz are left of the square wave's power.
            EXPECT_NEAR(rms(rec), 127.5 * 192, 127.5 * 192 * 0.08) << "a full swing of the DAC";
            EXPECT_LT(strongest_alias(rec, c.hz), -60);
        } else {
            EXPECT_EQ(rms(rec), 0);
        }
    }
}

} // namespace
