// Checking and converting WAV files for the KCS decoder.
#include "machine_setup.h"

#include "cassette/wave.h"
#include "config/config.h"
#include "cpu/bus.h"
#include "machine/tape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <set>
#include <sstream>

namespace {

std::string u16(uint32_t v) { return {char(v), char(v >> 8)}; }
std::string u32(uint32_t v) { return u16(v) + u16(v >> 16); }

std::string fmt_chunk(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, const std::string& extra = "")
{
    std::string body = u16(tag) + u16(channels) + u32(rate) + u32(rate * channels * bits / 8) +
                       u16(channels * bits / 8) + u16(bits) + extra;
    return "fmt " + u32(uint32_t(body.size())) + body;
}

std::string riff(const std::string& chunks) { return "RIFF" + u32(uint32_t(chunks.size() + 4)) + "WAVE" + chunks; }

std::string data_chunk(const std::string& samples)
{
    return "data" + u32(uint32_t(samples.size())) + samples + (samples.size() % 2 ? std::string(1, '\0') : "");
}

// Runs the conversion of a WAV file into the temporary sample stream; returns the stream.
std::string convert(const std::string& wav)
{
    write_file(temp_path("in.wav"), wav);
    test_host->file_answers.push_back(temp_path("in.wav"));
    EXPECT_EQ(Get_wav(), 1) << error;
    Tempfile = std::fopen(temp_path("samples").c_str(), "wb");
    ConvertWave();
    std::fclose(Tempfile);
    Tempfile = nullptr;
    std::ifstream f(temp_path("samples"), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

TEST(Wave, ConversionAndLimiter)
{
    build_from_ini("");
    std::string out = convert(riff(fmt_chunk(1, 1, 22050, 8) + data_chunk("\x80\x10\xF0\x80")));
    ASSERT_EQ(out.size(), 256u) << "whole blocks of 256 samples";
    EXPECT_EQ(out.substr(0, 4), "\x80\x10\x80\x80") << "the jump from $10 to $F0 becomes the mean";
    EXPECT_EQ(in != nullptr, true) << "the file stays open as tape input, at its end";
    EXPECT_EQ(Peek(0xF001), 0xFF);
    EXPECT_EQ(in, nullptr);

    std::string words = u16(0x8000) + u16(0x7FFF) + u16(0x0000);
    out = convert(riff(fmt_chunk(1, 1, 22050, 16) + data_chunk(words)));
    EXPECT_EQ(out.substr(0, 3), std::string("\x00\x7F\x80", 3)) << "high bytes, sign flipped, then limited";

    std::string stereo = u16(0x1234) + u16(0x5678) + u16(0x2345) + u16(0x6789);
    out = convert(riff(fmt_chunk(1, 2, 22050, 16) + data_chunk(stereo)));
    EXPECT_EQ(out.substr(0, 2), "\x92\xA3") << "the left channel's high bytes";

    out = convert(riff(fmt_chunk(1, 1, 22050, 8) + data_chunk(std::string(1000, '\x90'))));
    EXPECT_EQ(out.size(), 1024u);
    out = convert(riff(fmt_chunk(1, 1, 22050, 8) + data_chunk(std::string(512, '\x90'))));
    EXPECT_EQ(out.size(), 512u) << "no stale block after an exact multiple";
}

TEST(Wave, HeadersAreWalkedByTheirLengths)
{
    build_from_ini("");
    convert(riff(fmt_chunk(1, 1, 22050, 8) + data_chunk(std::string(256, '\x90'))));
    std::string list = "LIST" + u32(5) + "abcde" + std::string(1, '\0');
    std::string out = convert(riff(fmt_chunk(1, 1, 22050, 8, u16(0)) + list + data_chunk("\x41\x42\x43") + list));
    EXPECT_EQ(out.substr(0, 3), "\x41\x42\x43") << "an 18-byte fmt chunk and other chunks around the data";
    EXPECT_EQ(out.substr(3, 253), std::string(253, '\x80')) << "after the data chunk, silence, not the last file";
    out = convert(riff(fmt_chunk(1, 2, 22050, 16) + data_chunk(u16(0x1000) + u16(0))));
    EXPECT_EQ(out.substr(0, 2), "\x90\x80") << "16-bit stereo ends in silence too";
}

// `frames` frames of a tone on the left channel, `amplitude` in 8-bit units; the right
// channel carries a 3 kHz tone that the conversion must not take.
std::string tone(uint32_t rate, int bits, int channels, double frequency, double amplitude, size_t frames)
{
    std::string samples;
    for (size_t n = 0; n < frames; n++) {
        for (int c = 0; c < channels; c++) {
            double f = c ? 3000 : frequency, a = c ? 120 : amplitude;
            double v = a * std::sin(2 * std::numbers::pi * f * double(n) / rate);
            samples += bits == 8 ? std::string(1, char(std::lround(128 + v))) : u16(uint16_t(std::lround(256 * v)));
        }
    }
    return riff(fmt_chunk(1, channels, rate, bits) + data_chunk(samples));
}

// The stream's middle half, away from the edges where the filter sees the silence around
// the recording, as levels centred on 0.
std::vector<double> middle(const std::string& stream, size_t samples)
{
    std::vector<double> levels;
    for (size_t n = samples / 4; n < samples * 3 / 4; n++)
        levels.push_back(uint8_t(stream[n]) - 128.0);
    return levels;
}

// The amplitude of a frequency in the levels (a quadrature sum), and their RMS.
std::pair<double, double> amplitude_and_rms(const std::vector<double>& levels, double frequency)
{
    std::complex<double> sum = 0;
    double power = 0;
    for (size_t n = 0; n < levels.size(); n++) {
        sum += std::polar(levels[n], -2 * std::numbers::pi * frequency * double(n) / 22050);
        power += levels[n] * levels[n];
    }
    return {2 * std::abs(sum) / double(levels.size()), std::sqrt(power / double(levels.size()))};
}

TEST(Wave, OtherRatesAreResampledThroughALowPass)
{
    build_from_ini("");
    for (uint32_t rate : {8000u, 11025u, 44100u, 48000u, 96000u}) {
        for (auto [bits, channels] : {std::pair{8, 1}, {16, 2}}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(bits) + " bit, " + std::to_string(channels) +
                         " channels");
            size_t frames = rate / 2, samples = (frames * 22050 + rate - 1) / rate;
            std::string out = convert(tone(rate, bits, channels, 1000, 100, frames));
            EXPECT_EQ(out.size(), (samples + 255) / 256 * 256) << "half a second, in whole blocks";
            auto [amplitude, rms] = amplitude_and_rms(middle(out, samples), 1000);
            EXPECT_NEAR(amplitude, 100, 2) << "the tone passes at its level";
            EXPECT_NEAR(rms, amplitude / std::sqrt(2), 1) << "and nothing else comes with it";
        }
    }

    // Without the low-pass these would fold back to 7050, 10550 and 7950 Hz at full level.
    for (auto [rate, frequency] : {std::pair{44100u, 15000.0}, {48000u, 11500.0}, {96000u, 30000.0}}) {
        std::string out = convert(tone(rate, 16, 1, frequency, 100, rate / 2));
        for (double level : middle(out, 11025))
            ASSERT_LE(std::fabs(level), 1) << rate << " Hz, a tone of " << frequency << " Hz";
    }
}

TEST(Wave, ResampledStreamIsLimitedAndUsesTheWholeSixteenBits)
{
    build_from_ini("");
    // The low-pass turns the edges of a full-scale square wave into jumps of some 186.
    std::string square;
    for (int n = 0; n < 22050; n++)
        square += n / 20 % 2 ? '\xFF' : '\x00';
    std::string out = convert(riff(fmt_chunk(1, 1, 44100, 8) + data_chunk(square)));
    int widest = 0, low = 255, high = 0;
    for (size_t n = 1; n < out.size(); n++) {
        if (n % 256)
            widest = std::max(widest, std::abs(uint8_t(out[n]) - uint8_t(out[n - 1])));
        low = std::min<int>(low, uint8_t(out[n]));
        high = std::max<int>(high, uint8_t(out[n]));
    }
    EXPECT_LE(widest, 128) << "the limiter works on the resampled stream";
    EXPECT_EQ(low, 0) << "and the square wave still swings from rail to rail";
    EXPECT_EQ(high, 255);

    // Below one step of 8 bits: the high byte alone would give $80 and $7F.
    for (auto [word, level] : {std::pair{uint16_t(0x00C0), '\x81'}, {uint16_t(0xFFC0), '\x80'}}) {
        std::string constant;
        for (int n = 0; n < 4410; n++)
            constant += u16(word);
        out = convert(riff(fmt_chunk(1, 1, 44100, 16) + data_chunk(constant)));
        EXPECT_EQ(out.substr(500, 1000), std::string(1000, level)) << word;
    }
}

// Recorders that stream write no length (0) or one they did not reach.
TEST(Wave, DataChunkWithoutATrueLengthRunsToTheEndOfTheFile)
{
    build_from_ini("");
    std::string samples(1000, '\x90');
    for (uint32_t length : {0u, 100000u}) {
        std::string out = convert(riff(fmt_chunk(1, 1, 22050, 8) + "data" + u32(length) + samples));
        ASSERT_EQ(out.size(), 1024u) << length;
        EXPECT_EQ(out.substr(0, 1000), samples) << length;
        EXPECT_EQ(out.substr(1000), std::string(24, '\x80')) << length;

        out = convert(riff(fmt_chunk(1, 1, 44100, 8) + "data" + u32(length) + samples));
        ASSERT_EQ(out.size(), 512u) << length;
        EXPECT_EQ(out.substr(50, 400), std::string(400, '\x90')) << length;
    }
}

TEST(Wave, RefusalsAreReported)
{
    build_from_ini("");
    struct { std::string wav; const char* text; } cases[] = {
        {"RIFX" + u32(4) + "WAVE", "Doesn't appear to be a valid wav file"},
        {riff(data_chunk("\x80")), "Doesn't appear to be a valid wav file"},
        {riff(fmt_chunk(3, 1, 22050, 8) + data_chunk("\x80")), "Wav file uses unsupported data format"},
        {riff(fmt_chunk(1, 3, 22050, 8) + data_chunk("\x80")), "Wav file neither stereo nor mono"},
        {riff(fmt_chunk(1, 1, 7999, 8) + data_chunk("\x80")), "Only sample rates of 8 to 96 kHz supported"},
        {riff(fmt_chunk(1, 2, 96001, 16) + data_chunk("\x80")), "Only sample rates of 8 to 96 kHz supported"},
        {riff(fmt_chunk(1, 1, 22050, 24) + data_chunk("\x80")), "Wav file neither 8 nor 16 bit"},
    };
    for (const auto& c : cases) {
        write_file(temp_path("bad.wav"), c.wav);
        test_host->file_answers.push_back(temp_path("bad.wav"));
        test_host->messages.clear();
        KCSConvert();
        ASSERT_EQ(test_host->messages.size(), 1u) << c.text;
        EXPECT_EQ(test_host->messages[0].text, c.text);
        EXPECT_EQ(test_host->messages[0].caption, "Wave reading ERROR");
        EXPECT_EQ(test_host->messages[0].icon, MSG_ERROR);
        EXPECT_EQ(in, nullptr);
    }
    test_host->messages.clear();
    KCSConvert();  // the chooser cancelled: nothing to say
    EXPECT_TRUE(test_host->messages.empty());
}

TEST(Wave, DecoderOptions)
{
    EXPECT_EQ(kcs_options(), "-X -R -E -D -S -F00 -H03");
    Baud = 2;
    SPARITY = SBITS = SSTOP = 0;
    Foffset = -5;
    Hysteresis = 16;
    EXPECT_EQ(kcs_options(), "-X -R -B2 -O -F-5 -H16");
    Baud = 0;
    SPARITY = SBITS = SSTOP = 1;
    Foffset = 0;
    Hysteresis = 3;
}

// A conversion replaces the decoded file only with what it decoded, and with the user's consent;
// one that finds nothing, or whose decoder dies half way, leaves the old file as it was.
TEST(Wave, ConversionsKeepAGoodFileAndSayWhatTheyWrote)
{
    build_from_ini("");
    const std::string folder = temp_path("conversions/"), decoded = folder + "KCS.BAS";
    std::filesystem::create_directories(folder);
    const std::string kcs = std::string(QUARZEL_PROGRAM_DIR) + "/KCS.com";
    write_file(temp_path("program.bas"), "10 PRINT 1\r");
    ASSERT_EQ(std::system(("\"" + kcs + "\" -W -D -S -L1 " + temp_path("program.bas") + " " + temp_path("tape.wav")).c_str()), 0);
    std::mt19937 rng(7);
    std::string noise;
    for (int i = 0; i < 44100; i++)
        noise += char(rng());
    write_file(temp_path("noise.wav"), riff(fmt_chunk(1, 1, 22050, 8) + data_chunk(noise)));
#ifndef _WIN32
    std::filesystem::create_directories(temp_path("dying"));
    write_file(temp_path("dying/KCS.com"), "#!/bin/sh\nfor a; do out=$a; done\nprintf 10 > \"$out\"\nkill -9 $$\n");
    std::filesystem::permissions(temp_path("dying/KCS.com"), std::filesystem::perms::owner_all);
#endif
    const struct {
        const char* what;
        std::string wav, home;
        bool agree;
        std::string file, message;
        MsgIcon icon;
    } cases[] = {
        {"white noise", "noise.wav", QUARZEL_PROGRAM_DIR, true, "GOOD",
         "No Kansas City tape signal found in " + temp_path("noise.wav"), MSG_ERROR},
#ifndef _WIN32
        {"a decoder killed half way", "tape.wav", temp_path("dying"), true, "GOOD",
         "The decoder " + temp_path("dying") + "/KCS.com did not finish", MSG_ERROR},
#endif
        {"the user keeps the old file", "tape.wav", QUARZEL_PROGRAM_DIR, false, "GOOD", "", MSG_INFO},
        {"a recording", "tape.wav", QUARZEL_PROGRAM_DIR, true, "10 PRINT 1\r", decoded + ": 11 bytes, 0 damaged", MSG_INFO},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(decoded, "GOOD");
        sztFileHome = c.home + "/";
        test_host->file_answers = {temp_path(c.wav)};
        test_host->kcs_output = decoded;
        test_host->answers = {c.agree};
        test_host->messages.clear();
        test_host->questions.clear();
        KCSConvert();
        std::ifstream f(decoded, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(f), {}), c.file);
        if (c.message.empty()) {
            EXPECT_TRUE(test_host->messages.empty());
        } else {
            ASSERT_EQ(test_host->messages.size(), 1u);
            EXPECT_EQ(test_host->messages[0].text, c.message);
            EXPECT_EQ(test_host->messages[0].icon, c.icon);
        }
        EXPECT_EQ(test_host->questions.size(), c.icon == MSG_INFO ? 1u : 0u) << "replacing a file is asked first";
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "no temporary file is left";
    }
}

// Cut and scrambled headers: each file is either refused with one of the five texts or
// converted into whole blocks of no more samples than the file holds.
TEST(Wave, DamagedFilesAreRefusedOrConvertedSafely)
{
    const std::set<std::string> refusals = {
        "Doesn't appear to be a valid wav file", "Wav file uses unsupported data format",
        "Wav file neither stereo nor mono", "Only sample rates of 8 to 96 kHz supported", "Wav file neither 8 nor 16 bit"};
    std::mt19937 rng(4242);
    std::string good = riff(fmt_chunk(1, 2, 22050, 16, u16(0)) + "LIST" + u32(3) + "abc" + std::string(1, '\0') +
                            data_chunk(std::string(3000, '\x55')));
    build_from_ini("");
    int accepted = 0, refused = 0;
    for (int round = 0; round < 400; round++) {
        std::string wav = good.substr(0, rng() % (good.size() + 1));
        for (int flips = rng() % 8; flips > 0 && !wav.empty(); flips--)
            wav[rng() % std::min<size_t>(wav.size(), 80)] = char(rng());
        write_file(temp_path("r.wav"), wav);
        test_host->file_answers.push_back(temp_path("r.wav"));
        if (Get_wav()) {
            accepted++;
            Tempfile = std::fopen(temp_path("r.raw").c_str(), "wb");
            ConvertWave();
            std::fclose(Tempfile);
            Tempfile = nullptr;
            auto size = std::filesystem::file_size(temp_path("r.raw"));
            EXPECT_EQ(size % 256, 0u);
            EXPECT_LE(size, (wav.size() * 22050 + wave_layout.rate - 1) / wave_layout.rate + 255);
        } else {
            refused++;
            EXPECT_EQ(refusals.count(error), 1u) << error;
        }
        tape_close_all();
    }
    EXPECT_GT(accepted, 10);
    EXPECT_GT(refused, 10);
}

// The temporary folder as the conversion sees it, private to the test.
struct TempFolder {
    std::string path;
    explicit TempFolder(const std::string& name) : path(temp_path(name))
    {
        std::filesystem::create_directories(path);
    }
    size_t files() const
    {
        auto it = std::filesystem::directory_iterator(path);
        return size_t(std::distance(it, std::filesystem::directory_iterator()));
    }
};

void convert_silence(const std::string& temp_folder)
{
    test_host->temp_folder = temp_folder;
    write_file(temp_path("silence.wav"), riff(fmt_chunk(1, 1, 22050, 8) + data_chunk(std::string(5000, '\x80'))));
    test_host->file_answers.push_back(temp_path("silence.wav"));
    test_host->messages.clear();
    KCSConvert();
}

TEST(Wave, TemporaryFileIsPrivateAndRemoved)
{
    TempFolder tmp("private");
    std::string other = tmp.path + "/QRZL_TMP.$$$";
    write_file(other, "another conversion's samples");
    build_from_ini("");
    sztFileHome = std::string(QUARZEL_PROGRAM_DIR) + "/";
    test_host->kcs_output = temp_path("decoded.bas");
    convert_silence(tmp.path);
    EXPECT_EQ(tmp.files(), 1u) << "our samples are gone";
    std::ifstream f(other, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(f), {}), "another conversion's samples");

    test_host->kcs_ok = false;
    convert_silence(tmp.path);
    test_host->kcs_ok = true;
    EXPECT_TRUE(test_host->messages.empty());
    EXPECT_EQ(tmp.files(), 1u) << "also after Cancel";
}

TEST(Wave, DecoderFailuresSayWhatFailed)
{
    TempFolder tmp("failures");
    build_from_ini("");  // the program folder is the test's folder, without KCS.com
    test_host->kcs_output = temp_path("decoded.bas");
    convert_silence(tmp.path);
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].text, "The decoder " + temp_path("KCS.com") + " is missing");
    EXPECT_EQ(test_host->messages[0].caption, "Wave decoding ERROR");

    sztFileHome = std::string(QUARZEL_PROGRAM_DIR) + "/";
    test_host->kcs_output = temp_path("no such folder/decoded.bas");
    convert_silence(tmp.path);
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].text, "Unable to create the decoded file " + temp_path("no such folder/decoded.bas"));

    convert_silence(temp_path("no such folder"));
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].text, "Unable to create a temporary file in " + temp_path("no such folder"));
    EXPECT_EQ(tmp.files(), 0u);
}

} // namespace
