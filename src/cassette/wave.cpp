#include "cassette/wave.h"

#include "config/config.h"
#include "host/host.h"
#include "machine/tape.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>
#include <vector>

std::string error;
uint32_t w_freq;
uint32_t pos_inc = 1, start_offs, Small = 1;
uint32_t wave_pos;
uint8_t wave_b[1028];
std::FILE* Tempfile;
std::string KCSfile;

int Baud = 0;
int SPARITY = 1, SBITS = 1, SSTOP = 1;
int Foffset = 0;
int Hysteresis = 3;

namespace {

uint64_t data_end;  // the end of the data chunk (its length may claim more than the file has)

uint32_t le(const uint8_t* b, int n)
{
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; i--)
        v = (v << 8) | b[i];
    return v;
}

int refuse(const char* text)
{
    std::fclose(in);
    in = nullptr;
    error = text;
    return 0;
}

// The 16 bytes of a "fmt " chunk: "" when the format is usable, else the refusal.
const char* check_format(const uint8_t* f)
{
    if (le(f, 2) != 1)
        return "Wav file uses unsupported data format";
    uint32_t channels = le(f + 2, 2);
    if (channels != 1 && channels != 2)
        return "Wav file neither stereo nor mono";
    w_freq = le(f + 4, 4);
    if (w_freq != 22050)
        return "Only sample rates of 22.05 kHz supported";
    uint32_t bits = le(f + 14, 2);
    if (bits != 8 && bits != 16)
        return "Wav file neither 8 nor 16 bit";
    Small = bits == 8;
    pos_inc = channels * (bits / 8);
    start_offs = Small ? 0 : 1;
    return "";
}

} // namespace

// The chunks are walked by their lengths (with the pad byte of odd lengths), so that a
// longer "fmt " chunk or chunks of any size before "data" are read correctly.
int Get_wav()
{
    error.clear();
    if (!FileMenue("*.wav"))  // opened as tape input, exactly as the File menu opens one
        return 0;

    uint8_t head[12];
    if (std::fread(head, 1, 12, in) != 12 || std::memcmp(head, "RIFF", 4) || std::memcmp(head + 8, "WAVE", 4))
        return refuse("Doesn't appear to be a valid wav file");
    bool format = false, data = false;
    uint8_t chunk[8];
    while (std::fread(chunk, 1, 8, in) == 8) {
        uint32_t length = le(chunk + 4, 4);
        long body = std::ftell(in);
        if (!std::memcmp(chunk, "fmt ", 4)) {
            uint8_t f[16];
            if (length < 16 || std::fread(f, 1, 16, in) != 16)
                return refuse("Doesn't appear to be a valid wav file");
            const char* problem = check_format(f);
            if (*problem)
                return refuse(problem);
            format = true;
        } else if (!std::memcmp(chunk, "data", 4)) {
            wave_pos = uint32_t(body);
            data_end = uint64_t(body) + length;
            data = true;
        }
        if (std::fseek(in, body + long(length) + (length & 1), SEEK_SET) != 0)
            break;
    }
    if (!format || !data)
        return refuse("Doesn't appear to be a valid wav file");
    return 1;
}

// Blocks of 256 frames up to the end of the data chunk; the limiter replaces a jump of
// more than 128 between output samples by the mean of the two.
void ConvertWave()
{
    uint8_t prev = 0x80;
    uint32_t block = 256 * pos_inc;
    for (;;) {
        uint32_t want = data_end > wave_pos ? uint32_t(std::min<uint64_t>(block, data_end - wave_pos)) : 0;
        std::fseek(in, wave_pos, SEEK_SET);
        size_t got = std::fread(wave_b, 1, want, in);
        if (got == 0)
            break;
        uint8_t flip = Small ? 0 : 0x80;
        std::memset(wave_b + got, 0x80 ^ flip, block - got);  // the last block ends in silence
        uint8_t last = wave_b[255 * pos_inc + start_offs] ^ flip;
        for (int k = 0; k < 256; k++) {
            uint8_t s = wave_b[start_offs + k * pos_inc] ^ flip;
            int d = prev > s ? prev - s : s - prev;
            uint8_t o = d > 0x80 ? (prev >> 1) + (s >> 1) : s;
            wave_b[k] = o;
            prev = o;
        }
        wave_pos += block;
        prev = last;
        if (Tempfile)
            std::fwrite(wave_b, 1, 256, Tempfile);
        if (got < block)
            break;
    }
    std::fseek(in, 0, SEEK_END);
}

std::string kcs_options()
{
    std::string text = "-X -R ";
    if (Baud == 1)
        text += "-B1 ";
    else if (Baud == 2)
        text += "-B2 ";
    text += SPARITY == 1 ? "-E " : "-O ";
    if (SBITS == 1)
        text += "-D ";
    if (SSTOP == 1)
        text += "-S ";
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "-F%02d -H%02d", Foffset, Hysteresis);
    return text + numbers;
}

namespace {

// A name of our own in the temporary folder, created exclusively, so that two conversions
// at the same time never share one file.
std::string create_temp()
{
    std::random_device seed;
    std::mt19937 rng(seed());
    for (int attempt = 0; attempt < 100; attempt++) {
        char name[32];
        std::snprintf(name, sizeof name, "/QRZL%08X.$$$", unsigned(rng()));
        std::string path = host->temp_dir() + name;
        Tempfile = std::fopen(path.c_str(), "wbx");
        if (Tempfile)
            return path;
        if (errno != EEXIST)
            break;
    }
    return "";
}

void decoding_error(const std::string& text) { host->message_box(text, "Wave decoding ERROR", MSG_ERROR); }

// Failures that no other parameter set would mend are named as they are. The decoded file
// is created empty here, in place of an old one.
bool can_decode(const std::string& decoder)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(decoder, ec)) {
        decoding_error("The decoder " + decoder + " is missing");
        return false;
    }
    std::FILE* f = std::fopen(KCSfile.c_str(), "wb");
    if (!f) {
        decoding_error("Unable to create the decoded file " + KCSfile);
        return false;
    }
    std::fclose(f);
    return true;
}

} // namespace

void KCSConvert()
{
    if (!Get_wav()) {
        if (!error.empty())
            host->message_box(error, "Wave reading ERROR", MSG_ERROR);
        return;
    }
    std::string temp = create_temp();
    if (temp.empty()) {
        decoding_error("Unable to create a temporary file in " + host->temp_dir());
        return;
    }
    ConvertWave();
    std::fclose(Tempfile);
    Tempfile = nullptr;
    KCSfile = sztFileHome + "FILES/KCS.BAS";
    if (!host->kcs_dialog()) {
        std::remove(temp.c_str());
        return;
    }

    std::string decoder = sztFileHome + "KCS.com";
    std::vector<std::string> args = {decoder};
    std::istringstream options(kcs_options());
    for (std::string word; options >> word;)
        args.push_back(word);
    args.push_back(temp);
    args.push_back(KCSfile);
    if (can_decode(decoder)) {
        int status = host->run_program(args, true);
        if (status == -1)
            decoding_error("Unable to run the decoder " + decoder);
        else if (status != 0)
            host->message_box("Use different parameter set\n for decoding tape data", "Wave decoding ERROR", MSG_INFO);
    }
    std::remove(temp.c_str());
}
