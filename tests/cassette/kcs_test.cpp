// Recordings through `quarzel --headless --convert-kcs` and the decoder KCS.com: our own
// encoder's output, degraded as old tapes are, and an independent modem's.
#include "cassette/kcs_bench_cases.h"
#include "e2e/headless_fixture.h"
#include "host/process.h"

#include <cmath>
#include <numbers>
#include <cstdlib>
#include <random>
#include <sstream>

namespace {

struct Audio {
    std::vector<double> samples;  // centred on 0, in 8-bit units
};

std::string u16(uint32_t v) { return {char(v), char(v >> 8)}; }
std::string u32(uint32_t v) { return u16(v) + u16(v >> 16); }

Audio read_wav8(const std::string& bytes)
{
    Audio a;
    for (size_t i = 44; i < bytes.size(); i++)
        a.samples.push_back(uint8_t(bytes[i]) - 128.0);
    return a;
}

std::string wav(const Audio& a, int bits, int channels, uint32_t rate = 22050)
{
    std::string data;
    for (double s : a.samples) {
        for (int c = 0; c < channels; c++) {
            if (bits == 8)
                data += char(std::clamp<long>(std::lround(s) + 128, 0, 255));
            else
                data += u16(uint16_t(std::clamp<long>(std::lround(s * 256), -32768, 32767)));
        }
    }
    uint32_t frame = channels * bits / 8;
    return "RIFF" + u32(uint32_t(36 + data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(channels) + u32(rate) +
           u32(rate * frame) + u16(frame) + u16(bits) + "data" + u32(uint32_t(data.size())) + data;
}

// The tape running `factor` times its speed.
Audio speed(const Audio& a, double factor)
{
    Audio out;
    for (double t = 0; t + 1 < a.samples.size(); t += factor) {
        size_t i = size_t(t);
        double f = t - i;
        out.samples.push_back(a.samples[i] * (1 - f) + a.samples[i + 1] * f);
    }
    return out;
}

Audio transform(const Audio& a, double gain, double offset, double noise_power, std::mt19937& rng)
{
    std::normal_distribution<double> noise(0, std::sqrt(noise_power));
    Audio out;
    for (double s : a.samples)
        out.samples.push_back(s * gain + offset + (noise_power > 0 ? noise(rng) : 0));
    return out;
}

double power(const Audio& a)
{
    double p = 0;
    for (double s : a.samples)
        p += s * s;
    return p / a.samples.size();
}

class Kcs : public Headless {
protected:
    std::string kcs = std::string(QUARZEL_PROGRAM_DIR) + "/KCS.com";
    // KCS.com with these arguments (words between blanks), its standard error into `err`; its
    // exit status, -1 when it did not end normally.
    int decoder(const std::string& arguments, const fs::path& err = {})
    {
        std::vector<std::string> args = {kcs};
        std::istringstream words(arguments);
        for (std::string w; words >> w;)
            args.push_back(w);
        return start_program(args, true, {"", "", err.string()});
    }
    // A BASIC listing as a SAVE writes it.
    std::string listing()
    {
        std::string text;
        for (int line = 1; line <= 12; line++)
            text += std::to_string(line * 10) + " PRINT \"LINE " + std::to_string(line) + " OF THE TAPE\"\r" +
                    std::string(10, '\0') + "\n";
        return text;
    }
    std::string without_nuls(std::string s)
    {
        s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
        return s;
    }
    Audio encode(const std::string& text, const std::string& baud_option)
    {
        write_file(dir / "text", text);
        EXPECT_EQ(decoder("-W " + baud_option + " -D -S -L1 " + (dir / "text").string() + " " +
                          (dir / "base.wav").string()),
                  0);
        return read_wav8(slurp(dir / "base.wav"));
    }
    // The decoded text, or "exit N" when the conversion failed.
    std::string convert(const std::string& wav_bytes, const std::string& baud)
    {
        write_file(dir / "in.wav", wav_bytes);
        Result r = run({"--headless", "--baud", baud, "--convert-kcs", (dir / "in.wav").string(),
                        (dir / "out.bas").string()});
        return r.status ? "exit " + std::to_string(r.status) + ": " + r.err : slurp(dir / "out.bas");
    }
};

TEST_F(Kcs, RoundTripsThroughOldTapes)
{
    std::mt19937 rng(7);
    std::string text = listing();
    for (auto [baud, option] : {std::pair{"300", ""}, {"600", "-B1"}, {"1200", "-B2"}}) {
        Audio clean = encode(text, option);
        double noise_20db = power(clean) / 100;
        struct Case {
            const char* name;
            std::string wav;
        } cases[] = {
            {"clean", wav(clean, 8, 1)},
            {"noise at 20 dB", wav(transform(clean, 1, 0, noise_20db, rng), 8, 1)},
            {"half amplitude", wav(transform(clean, 0.5, 0, 0, rng), 8, 1)},
            {"DC offset", wav(transform(clean, 0.7, 30, 0, rng), 8, 1)},
            {"16-bit stereo", wav(clean, 16, 2)},
            {"3 % fast", wav(speed(clean, 1.03), 8, 1)},
            {"3 % slow, noisy", wav(transform(speed(clean, 0.97), 1, 0, noise_20db, rng), 8, 1)},
        };
        for (const Case& c : cases)
            EXPECT_EQ(convert(c.wav, baud), without_nuls(text)) << baud << " baud, " << c.name;
    }
}

// The recording as another rate samples it, interpolated from the 22050 one.
std::string at_rate(const Audio& a, uint32_t rate, int bits, int channels)
{
    return wav(speed(a, 22050.0 / rate), bits, channels, rate);
}

TEST_F(Kcs, RecordingsAtOtherRatesDecodeAlike)
{
    std::string text = listing();
    for (auto [baud, option] : {std::pair{"300", ""}, {"1200", "-B2"}}) {
        Audio clean = encode(text, option);
        struct Case {
            const char* name;
            std::string wav;
        } cases[] = {
            {"44100 Hz, 16-bit stereo", at_rate(clean, 44100, 16, 2)},
            {"48000 Hz, 8-bit mono", at_rate(clean, 48000, 8, 1)},
            {"96000 Hz, 16-bit mono", at_rate(clean, 96000, 16, 1)},
            {"11025 Hz, 8-bit mono", at_rate(clean, 11025, 8, 1)},
        };
        for (const Case& c : cases)
            EXPECT_EQ(convert(c.wav, baud), without_nuls(text)) << baud << " baud, " << c.name;
    }
}

TEST_F(Kcs, DecoderReadsWavFilesItself)
{
    std::string text = listing();
    Audio clean = encode(text, "");
    std::string out = (dir / "out").string(), err = (dir / "err").string();
    auto decode = [&](const std::string& wav_bytes) {
        write_file(dir / "in.wav", wav_bytes);
        return decoder("-D -S " + (dir / "in.wav").string() + " " + out, err);
    };
    EXPECT_EQ(decode(slurp(dir / "base.wav")), 0) << slurp(err);
    EXPECT_EQ(slurp(out), text) << "its own recording, NUL bytes and all";
    EXPECT_EQ(decode(at_rate(clean, 44100, 16, 2)), 0) << slurp(err);
    EXPECT_EQ(slurp(out), text) << "44100 Hz, 16-bit stereo";
    EXPECT_EQ(decode(at_rate(clean, 8000, 8, 1)), 0) << slurp(err);
    EXPECT_EQ(slurp(out), text) << "8000 Hz, 8-bit mono";

    struct {
        std::string wav;
        const char* reason;
    } unusable[] = {
        {wav(clean, 8, 1, 7999), "sample rate out of range"},
        {wav(clean, 8, 1, 96001), "sample rate out of range"},
        {"RIFF" + u32(4) + "WAVE", "no fmt and data chunks"},
    };
    for (const auto& u : unusable) {
        write_file(out, "old");
        EXPECT_EQ(decode(u.wav), 1) << u.reason;
        EXPECT_NE(slurp(err).find(u.reason), std::string::npos) << slurp(err);
        EXPECT_EQ(slurp(out), "old") << "nothing written";
    }
}

TEST_F(Kcs, DecodesAnIndependentModemsRecording)
{
    if (std::system("command -v minimodem >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "minimodem is not installed";
    std::string text = "10 PRINT \"MINIMODEM\"\r\n20 GOTO 10\r\n";
    write_file(dir / "text", text);
    std::string command = "minimodem --tx -f " + (dir / "mm.wav").string() +
                          " -R 22050 --mark 2400 --space 1200 --startbits 1 --stopbits 2 300 < " +
                          (dir / "text").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(convert(slurp(dir / "mm.wav"), "300"), text);
}

TEST_F(Kcs, RecordingCutInsideAByteKeepsTheBytesBeforeIt)
{
    std::string text = listing().substr(0, 30);
    encode(text, "");
    std::string samples = slurp(dir / "base.wav").substr(44);
    const double bit = 22050.0 / 300;
    const int leader_bits = 300, frame_bits = 11;  // -L1 at 300 baud, 8N2
    std::string raw = (dir / "cut.raw").string(), out = (dir / "cut.out").string(), err = (dir / "err").string();
    for (int byte : {0, 12, 29}) {
        for (double at : {1.5, 4.2, 9.7, 10.5}) {  // data bits to the middle of the last stop bit
            write_file(raw, samples.substr(0, size_t((leader_bits + frame_bits * byte + at) * bit)));
            int status = decoder("-R -D -S " + raw + " " + out, err);
            EXPECT_EQ(status, byte ? 0 : 3) << "byte " << byte << ", bit " << at << ": " << slurp(err);
            EXPECT_EQ(slurp(out), text.substr(0, byte)) << "byte " << byte << ", bit " << at;
            EXPECT_NE(slurp(err).find("ends inside a byte"), std::string::npos) << slurp(err);
        }
    }
}

TEST_F(Kcs, FailuresExitWithAMessage)
{
    std::string silence = wav(Audio{std::vector<double>(20000, 0.0)}, 8, 1);
    std::string result = convert(silence, "300");
    EXPECT_NE(result.find("exit 4: "), std::string::npos) << result;
    EXPECT_NE(result.find("Wave decoding ERROR: No Kansas City tape signal found in " + (dir / "in.wav").string()),
              std::string::npos)
        << result;

    std::string wrong = convert(wav(encode(listing(), "-B2"), 8, 1), "300");
    EXPECT_EQ(wrong.rfind("exit 4", 0), 0u) << "1200 baud read as 300";

    // Random sample streams: the decoder ends with some exit status, never a crash.
    std::mt19937 rng(99);
    for (int round = 0; round < 20; round++) {
        std::string samples(rng() % 30000, '\0');
        for (char& c : samples)
            c = char(rng() % (round % 2 ? 256 : 8) + (round % 2 ? 0 : 124));
        write_file(dir / "random.raw", samples);
        int status = decoder("-X -R -E -D -S -F00 -H03 " + (dir / "random.raw").string() + " " +
                                 (dir / "random.out").string(),
                             dir / "random.err");
        EXPECT_GE(status, 0) << "round " << round;
        EXPECT_LE(status, 4) << "round " << round;
    }
}

// KCS.com on recordings of known bytes in each format, worn as cassettes wear them.
class KcsWorn : public Kcs {
protected:
    kcs_cases::Recording encode(const kcs_cases::Format& f)
    {
        std::vector<uint8_t> bytes = kcs_cases::random_bytes(size_t(f.baud / 10), 3);
        write_file(dir / "bytes", std::string(bytes.begin(), bytes.end()));
        EXPECT_EQ(decoder("-W -L1 " + options(f) + path("bytes") + " " + path("clean.wav")), 0);
        return {kcs_cases::from_wav8(slurp(dir / "clean.wav")), bytes, f, 1.0};
    }
    struct Decoded {
        std::string bytes, report;
        int status;
    };
    Decoded decode(const kcs_cases::Samples& samples, const kcs_cases::Format& f)
    {
        write_file(dir / "worn.raw", kcs_cases::raw8(samples));
        int status = decoder("-R " + options(f) + path("worn.raw") + " " + path("out"), dir / "report");
        return {slurp(dir / "out"), text_of(slurp(dir / "report")), status};
    }
    static std::string options(const kcs_cases::Format& f)
    {
        std::string text;
        for (const std::string& o : f.options)
            text += o + " ";
        return text;
    }
    std::string path(const char* name) { return (dir / name).string(); }
    static std::string bytes(const std::vector<uint8_t>& v) { return {v.begin(), v.end()}; }
};

// The places of the framing errors that the report gives: "... at 1.120 s, 1.367 s and 2 more".
std::vector<double> framing_errors(const std::string& report)
{
    std::vector<double> at;
    size_t from = report.find("framing errors at ");
    if (from == std::string::npos)
        return at;
    std::istringstream line(report.substr(from, report.find('\n', from) - from));
    for (std::string word, previous; line >> word; previous = word)
        if (word == "s" || word == "s,")
            at.push_back(std::stod(previous));
    return at;
}

TEST_F(KcsWorn, EveryWearThatLeavesTheBitsDecodesExactly)
{
    for (const kcs_cases::Format& f : kcs_cases::formats()) {
        kcs_cases::Recording clean = encode(f);
        for (const kcs_cases::Case& c : kcs_cases::cases()) {
            kcs_cases::Degraded worn = c.make(clean);
            if (worn.damaging)
                continue;
            Decoded d = decode(worn.samples, f);
            EXPECT_EQ(d.status, 0) << c.name << ", " << f.baud << " baud " << f.name << ": " << d.report;
            EXPECT_EQ(d.bytes, bytes(worn.expected)) << c.name << ", " << f.baud << " baud " << f.name;
        }
    }
}

kcs_cases::Case named(const std::string& name)
{
    for (const kcs_cases::Case& c : kcs_cases::cases())
        if (c.name == name)
            return c;
    ADD_FAILURE() << "no case " << name;
    return {};
}

// Dropouts to silence of 3 ms every 0.25 s, the first at 0.125 s, destroy bits: each
// damaged byte is reported where it is, no byte is lost unreported, and the bytes after
// the last dropout all come out.
TEST_F(KcsWorn, DamagedBytesAreCountedWhereTheyAreAndTheRestKept)
{
    kcs_cases::Case dropouts = named("dropouts to silence");
    for (const kcs_cases::Format& f : kcs_cases::formats()) {
        kcs_cases::Recording clean = encode(f);
        kcs_cases::Degraded worn = dropouts.make(clean);
        Decoded d = decode(worn.samples, f);
        std::vector<double> at = framing_errors(d.report);
        std::string where = std::to_string(f.baud) + " baud " + f.name + ": " + d.report;
        size_t right = kcs_cases::bytes_right(d.bytes, worn.expected);
        EXPECT_LT(right, worn.expected.size()) << where;
        EXPECT_GE(right + at.size(), worn.expected.size()) << where;
        double frame = f.frame_bits / double(f.baud);
        for (double t : at)
            EXPECT_LT(std::fabs(std::remainder(t - 0.125, 0.25)), frame) << t << " s, " << where;

        double end = clean.byte_start(clean.bytes.size()) / kcs_cases::RATE;
        double last = 0.125 + 0.25 * std::floor((end - 0.125) / 0.25);
        size_t k = 0;
        while (clean.byte_start(k) / kcs_cases::RATE < last + 0.002)
            k++;
        ASSERT_LT(k, clean.bytes.size()) << where;
        std::string after = bytes({clean.bytes.begin() + std::ptrdiff_t(k), clean.bytes.end()});
        ASSERT_GE(d.bytes.size(), after.size()) << where;
        EXPECT_EQ(d.bytes.substr(d.bytes.size() - after.size()), after) << where;
    }
}

// One bit of byte k sounded as the other tone, as a splice or a crease does: the byte is
// counted as damaged where it is, and every byte, it included (its data bits are whole),
// comes out in its place: the framing finds the bytes after it again at once.
TEST_F(KcsWorn, AFalseStartOrStopBitCostsNoByte)
{
    const size_t k = 20;
    for (const kcs_cases::Format& f : kcs_cases::formats()) {
        kcs_cases::Recording clean = encode(f);
        for (int bit : {0, f.frame_bits - 1}) {
            kcs_cases::Samples s = clean.samples;
            double from = clean.byte_start(k) + bit * clean.bit_samples(), tone = bit ? 1200 : 2400;
            for (size_t n = size_t(from); n < size_t(from + clean.bit_samples()); n++)
                s[n] = 100 * std::sin(2 * std::numbers::pi * tone * (double(n) - from) / kcs_cases::RATE);
            Decoded d = decode(s, f);
            std::string where = std::to_string(f.baud) + " baud " + f.name + ", bit " + std::to_string(bit);
            EXPECT_EQ(d.bytes, bytes(clean.bytes)) << where;
            std::vector<double> at = framing_errors(d.report);
            ASSERT_EQ(at.size(), 1u) << where << ": " << d.report;
            EXPECT_NEAR(at[0], clean.byte_start(k) / kcs_cases::RATE, 0.5 / f.baud) << where;
        }
    }
}

} // namespace
