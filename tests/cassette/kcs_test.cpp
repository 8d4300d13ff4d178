// Recordings through `quarzel --headless --convert-kcs` and the decoder KCS.com: our own
// encoder's output, degraded as old tapes are, and an independent modem's.
#include "e2e/headless_fixture.h"

#include <cmath>
#include <cstdlib>
#include <random>

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
        std::string command = kcs + " -W " + baud_option + " -D -S -L1 " + (dir / "text").string() + " " +
                              (dir / "base.wav").string();
        EXPECT_EQ(std::system(command.c_str()), 0);
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
        int status = std::system((kcs + " -D -S " + (dir / "in.wav").string() + " " + out + " 2>" + err).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
            int status = std::system((kcs + " -R -D -S " + raw + " " + out + " 2>" + err).c_str());
            ASSERT_TRUE(WIFEXITED(status)) << "byte " << byte << ", bit " << at;
            EXPECT_EQ(WEXITSTATUS(status), byte ? 0 : 3) << "byte " << byte << ", bit " << at << ": " << slurp(err);
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
    EXPECT_NE(result.find("Wave decoding ERROR: Use different parameter set"), std::string::npos) << result;
    EXPECT_NE(result.find("no carrier"), std::string::npos) << "the decoder says why";

    std::string wrong = convert(wav(encode(listing(), "-B2"), 8, 1), "300");
    EXPECT_EQ(wrong.rfind("exit 4", 0), 0u) << "1200 baud read as 300";

    // Random sample streams: the decoder ends with some exit status, never a crash.
    std::mt19937 rng(99);
    for (int round = 0; round < 20; round++) {
        std::string samples(rng() % 30000, '\0');
        for (char& c : samples)
            c = char(rng() % (round % 2 ? 256 : 8) + (round % 2 ? 0 : 124));
        write_file(dir / "random.raw", samples);
        std::string command = kcs + " -X -R -E -D -S -F00 -H03 " + (dir / "random.raw").string() + " " +
                              (dir / "random.out").string() + " 2>/dev/null";
        int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw)) << "round " << round;
        EXPECT_LE(WEXITSTATUS(raw), 4) << "round " << round;
    }
}

} // namespace
