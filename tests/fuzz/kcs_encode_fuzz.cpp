// KCS.com encoding any bytes in any word format, and decoding the recording again: every
// byte comes back (with 7 data bits, its low 7 bits).
#include "fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

int kcs_main(int argc, char** argv);

namespace {

constexpr size_t wav_header = 44;
constexpr size_t most_bytes = 64;  // about two seconds at 300 baud

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    std::vector<std::string> format = kcs_format_options(input.ConsumeIntegral<uint8_t>());
    std::string bytes = input.ConsumeRemainingBytesAsString();
    if (bytes.size() > most_bytes)
        return -1;
    write_file(fuzz_path("bytes"), bytes);

    std::vector<std::string> encode = {"KCS.com", "-W", "-L1"};
    encode.insert(encode.end(), format.begin(), format.end());
    encode.insert(encode.end(), {fuzz_path("bytes"), fuzz_path("tape.wav")});
    require(call_main(kcs_main, encode) == 0, "the encoder succeeds");
    std::string wav = read_file(fuzz_path("tape.wav"));
    require(wav.size() > wav_header, "the recording has samples");
    write_file(fuzz_path("samples"), wav.substr(wav_header));

    std::vector<std::string> decode = {"KCS.com"};
    decode.insert(decode.end(), format.begin(), format.end());
    decode.insert(decode.end(), {fuzz_path("samples"), fuzz_path("decoded")});
    int status = call_main(kcs_main, decode);
    require(status == (bytes.empty() ? 3 : 0), "the decoder reads its own recording without error");

    bool seven = std::find(format.begin(), format.end(), "-D") == format.end();
    for (char& c : bytes)
        c = char(c & (seven ? 0x7F : 0xFF));
    require(read_file(fuzz_path("decoded")) == bytes, "every byte comes back");
    return 0;
}
