// Raw memory files of any content loaded anywhere: the bytes land at the address, cut at $FFFF.
#include "fuzz_machine.h"
#include "fuzz_support.h"

#include "cpu/bus.h"
#include "debugger/memfile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool built = build_machine("");
    (void)built;
    FuzzedDataProvider input(data, size);
    uint32_t start = input.ConsumeIntegral<uint16_t>();
    std::string bytes = input.ConsumeRemainingBytesAsString();
    write_file(fuzz_path("memory.bin"), bytes);
    std::memset(RAMptr, 0xA5, 0x10000);

    long stored = load_binary(fuzz_path("memory.bin"), start);
    size_t expected = std::min<size_t>(bytes.size() % 0x10000, 0x10000 - start);
    require(stored == long(expected), "every byte up to $FFFF is stored");
    require(!std::memcmp(RAMptr + start, bytes.data(), expected), "the bytes land at the address");
    auto untouched = [](const uint8_t* from, const uint8_t* to) {
        return std::all_of(from, to, [](uint8_t b) { return b == 0xA5; });
    };
    require(untouched(RAMptr, RAMptr + start) && untouched(RAMptr + start + expected, RAMptr + 0x10000),
            "nothing else in memory changes");
    return 0;
}
