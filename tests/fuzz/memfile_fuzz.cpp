// Raw memory files of any content loaded anywhere: the bytes land at the address, cut at $FFFF.
// The tape, listing and binary savers run over the same memory.
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
    mfd.start = input.ConsumeRandomLengthString(6);
    mfd.length = input.ConsumeRandomLengthString(6);
    bool autostart = input.ConsumeBool();
    std::string bytes = input.ConsumeRemainingBytesAsString();
    write_file(fuzz_path("memory.bin"), bytes);
    std::memset(RAMptr, 0xA5, 0x10000);

    bool whole;
    long stored = load_binary(fuzz_path("memory.bin"), start, &whole);
    size_t expected = std::min<size_t>(bytes.size(), 0x10000 - start);
    require(stored == long(expected), "every byte up to $FFFF is stored");
    require(whole == (bytes.size() <= 0x10000 - start), "a file that does not fit is told");
    require(!std::memcmp(RAMptr + start, bytes.data(), expected), "the bytes land at the address");
    auto untouched = [](const uint8_t* from, const uint8_t* to) {
        return std::all_of(from, to, [](uint8_t b) { return b == 0xA5; });
    };
    require(untouched(RAMptr, RAMptr + start) && untouched(RAMptr + start + expected, RAMptr + 0x10000),
            "nothing else in memory changes");

    get_Sadress();
    require(S_dis >= 0 && L_dis >= 0 && S_dis + L_dis <= 0xFFFF, "the range ends at $FFFF at most");
    size_t binary = binary_bytes().size();
    require(binary <= size_t(0x10000 - S_dis) && (binary % 256 == 0 || S_dis + binary == 0x10000),
            "whole pages, cut at $FFFF");
    if (L_dis > 0x800)
        return 0;  // long texts only repeat what short ones show, at many times the cost
    size_t tape = tape_text(autostart).size();
    require(tape == 6 + size_t(L_dis + 1) * 3 + 1 + (autostart ? 5 : 0), "one byte and RETURN per address");
    require(listing_text().rfind("6502 Disassembled Code", 0) == 0, "the listing has its header");
    return 0;
}
