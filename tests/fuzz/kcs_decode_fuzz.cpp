// KCS.com decoding any sample stream or WAV file (read and resampled as Quarzel reads it)
// with any of its options: an exit status it documents (0 to 4), never a crash.
#include "fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>

int kcs_main(int argc, char** argv);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    std::vector<std::string> args = {"KCS.com"};
    for (const std::string& option : kcs_format_options(input.ConsumeIntegral<uint8_t>()))
        args.push_back(option);
    uint8_t flags = input.ConsumeIntegral<uint8_t>();
    if (flags & 1)
        args.push_back("-X");
    if (flags & 2)
        args.push_back("-R");
    args.push_back("-F" + std::to_string(input.ConsumeIntegralInRange(-64, 64)));
    args.push_back("-H" + std::to_string(input.ConsumeIntegralInRange(0, 16)));
    write_file(fuzz_path("samples"), input.ConsumeRemainingBytesAsString());
    args.push_back(fuzz_path("samples"));
    args.push_back(fuzz_path("decoded"));
    std::remove(args.back().c_str());  // a new file, as write_file makes one
    int status = call_main(kcs_main, args);
    require(status >= 0 && status <= 4, "KCS.com exits with a documented status");
    return 0;
}
