// ROM images and keyboard layouts of any content and size, extension ROMs at any address:
// the machine is built from them and runs with random key events.
#include "fuzz_machine.h"
#include "fuzz_support.h"
#include "machine/memory_map.h"

#include "cpu/bus.h"
#include "machine/keyboard.h"
#include "machine/loop.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>

namespace {

std::string hex(uint32_t v)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", unsigned(v));
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    std::string ini = "[ROM]\nBASIC=b.rom\nKERNEL=k.rom\n[Keyboard]\nKEYFILE=key.dat\n[EXTENSIONS]\n";
    const char* extensions[] = {"ROMEXT1", "ROMEXT2", "ROMEXT3"};
    for (int i = input.ConsumeIntegralInRange(0, 3); i > 0; i--)
        ini += std::string(extensions[i - 1]) + "=" + hex(input.ConsumeIntegral<uint16_t>()) + ",e" + std::to_string(i) + ".rom\n";
    // Each file: some bytes of the input, padded with NOPs to a length around the limits.
    const struct {
        const char* name;
        size_t longest;
    } files[] = {{"b.rom", 9000}, {"k.rom", 3000}, {"key.dat", 400}, {"e1.rom", 0x8100}, {"e2.rom", 0x8100}, {"e3.rom", 0x8100}};
    for (auto [name, longest] : files) {
        size_t length = input.ConsumeIntegralInRange<size_t>(0, longest);
        std::string bytes = input.ConsumeRandomLengthString(length);
        bytes.resize(length, '\xEA');
        write_file(fuzz_path(name), bytes);
    }

    if (build_machine(ini)) {
        for (int i = 0; i < 3 && Abort; i++) {
            gScan = irqkey = input.ConsumeIntegral<uint8_t>();
            run_slice();
        }
    }
    const uint32_t loaded[3][2] = {{ROMEX1, ROMEX1size}, {ROMEX2, ROMEX2size}, {ROMEX3, ROMEX3size}};
    for (auto [address, length] : loaded)
        require(length <= 0x8000 && address + length <= 0x10000, "an extension ROM fits in memory");
    return 0;
}
