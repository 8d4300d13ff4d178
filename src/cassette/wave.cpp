#include "cassette/wave.h"

#include "config/config.h"
#include "host/files.h"
#include "host/host.h"
#include "machine/tape.h"

#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

std::string error;
WavLayout wave_layout;
std::FILE* Tempfile;
std::string KCSfile;

int Baud = 0;
int SPARITY = 1, SBITS = 1, SSTOP = 1;
int Foffset = 0;
int Hysteresis = 3;

namespace {

const char* refusal(WavProblem problem)
{
    switch (problem) {
    case WavProblem::not_pcm: return "Wav file uses unsupported data format";
    case WavProblem::channels: return "Wav file neither stereo nor mono";
    case WavProblem::rate: return "Only sample rates of 8 to 96 kHz supported";
    case WavProblem::bits: return "Wav file neither 8 nor 16 bit";
    default: return "Doesn't appear to be a valid wav file";
    }
}

// A jump of more than 128 from one sample to the next becomes the mean of the two. The
// block's last sample as it was read, not as limited, leads into the next block.
void limit(uint8_t* block, uint8_t& prev)
{
    uint8_t last = block[255];
    for (int k = 0; k < 256; k++) {
        uint8_t s = block[k];
        int d = prev > s ? prev - s : s - prev;
        block[k] = d > 0x80 ? (prev >> 1) + (s >> 1) : s;
        prev = block[k];
    }
    prev = last;
}

} // namespace

int Get_wav()
{
    error.clear();
    if (!FileMenue("*.wav"))  // opened as tape input, exactly as the File menu opens one
        return 0;
    WavProblem problem = read_wav_layout(in, wave_layout);
    if (problem == WavProblem::none)
        return 1;
    std::fclose(in);
    in = nullptr;
    error = refusal(problem);
    return 0;
}

// Whole blocks of 256 samples of the stream; the last one ends in silence.
void ConvertWave()
{
    WavStream stream;
    wav_stream_start(stream, in, wave_layout);
    uint8_t block[256], prev = 0x80;
    for (size_t got; (got = wav_stream_read(stream, block, 256)) > 0;) {
        std::memset(block + got, 0x80, 256 - got);
        limit(block, prev);
        if (Tempfile)
            std::fwrite(block, 1, 256, Tempfile);
        if (got < 256)
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
    std::string path;
    Tempfile = create_unique((std::filesystem::path(host->temp_dir()) / "QRZL").string(), ".$$$", path);
    return path;
}

void decoding_error(const std::string& text) { host->message_box(text, "Wave decoding ERROR", MSG_ERROR); }

// The decoder's report; a few lines.
std::string read_text(const std::string& path)
{
    std::vector<uint8_t> text;
    read_whole(path, text, 1 << 20);
    return {text.begin(), text.end()};
}

// The damaged bytes the decoder's report counts: "..., N framing and M parity errors".
long damaged_bytes(const std::string& report)
{
    size_t at = report.find(" bytes, ");
    unsigned long framing = 0, parity = 0;
    if (at != std::string::npos)
        std::sscanf(report.c_str() + at + 8, "%lu framing and %lu parity", &framing, &parity);
    return long(framing + parity);
}

// The decoder writes into `decoded`, a new file beside KCSfile, and its report into `report`.
// Only a file with bytes in it replaces KCSfile, and an existing one only with the user's yes.
void run_decoder(const std::string& decoder, const std::string& samples, const std::string& decoded,
                 const std::string& report)
{
    std::vector<std::string> args = {decoder};
    std::istringstream options(kcs_options());
    for (std::string word; options >> word;)
        args.push_back(word);
    args.push_back(samples);
    args.push_back(decoded);
    int status = host->run_program(args, true, report);
    std::error_code ec;
    uintmax_t bytes = std::filesystem::file_size(decoded, ec);
    if (status == -1) {
        decoding_error("The decoder " + decoder + " did not finish");
    } else if (status == 2 || status == 3 || (status == 0 && bytes == 0)) {
        decoding_error("No Kansas City tape signal found in " + tape_in_name);
    } else if (status != 0 && status != 4) {
        decoding_error("The decoder " + decoder + " failed on " + tape_in_name + ":\n" + read_text(report));
    } else {
        std::string counts =
            std::to_string(bytes) + " bytes, " + std::to_string(damaged_bytes(read_text(report))) + " damaged";
        if (std::filesystem::exists(KCSfile, ec) &&
            !host->ask(KCSfile + " exists. Replace it with the " + counts + " just decoded?", "Convert KCS Wave Files"))
            return;
        if (!replace_with(decoded, KCSfile))
            decoding_error("Unable to write the decoded file " + KCSfile);
        else if (status == 4)
            decoding_error(KCSfile + ": " + counts + ", too many to trust: try another parameter set");
        else
            host->message_box(KCSfile + ": " + counts, "Convert KCS Wave Files", MSG_INFO);
    }
}

void decode(const std::string& samples)
{
    std::string decoder = sztFileHome + "KCS.com";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(decoder, ec)) {
        decoding_error("The decoder " + decoder + " is missing");
        return;
    }
    std::string decoded = temp_beside(KCSfile);
    if (decoded.empty()) {
        decoding_error("Unable to create the decoded file " + KCSfile);
        return;
    }
    run_decoder(decoder, samples, decoded, samples + ".txt");
    std::remove(decoded.c_str());
    std::remove((samples + ".txt").c_str());
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
    KCSfile = data_path("FILES/KCS.BAS");
    if (host->kcs_dialog())
        decode(temp);
    std::remove(temp.c_str());
}
