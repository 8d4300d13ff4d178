// Any file offered as a WAV recording: it is refused with a reason, or converted (through
// the resampler unless it is at 22050 Hz) into whole 256-byte blocks, no more than the file's
// frames at 22050 per second, whose samples the limiter keeps within 128 of each other.
#include "fuzz_machine.h"
#include "fuzz_support.h"

#include "cassette/wave.h"
#include "machine/tape.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool built = build_machine("");
    (void)built;
    write_file(fuzz_path("in.wav"), std::string(reinterpret_cast<const char*>(data), size));
    fuzz_host->file_answers.assign({fuzz_path("in.wav")});
    if (!Get_wav()) {
        require(!error.empty(), "a refused recording has a reason");
        return 0;
    }
    std::remove(fuzz_path("samples").c_str());
    Tempfile = std::fopen(fuzz_path("samples").c_str(), "wb");
    ConvertWave();
    std::fclose(Tempfile);
    Tempfile = nullptr;
    tape_close_all();

    std::string samples = read_file(fuzz_path("samples"));
    require(samples.size() % 256 == 0, "whole blocks");
    uint64_t rate = wave_layout.rate;
    require(samples.size() <= (size * 22050 + rate - 1) / rate + 255, "no more samples than the file holds");
    for (size_t i = 0; i < samples.size(); i++)
        require(i % 256 == 0 || std::abs(uint8_t(samples[i]) - uint8_t(samples[i - 1])) <= 128,
                "the limiter bounds the step between samples of a block");
    return 0;
}
