// Disk images of any content in both drives, and the controller's registers read and written
// in any order.
#include "fuzz_machine.h"
#include "fuzz_support.h"

#include "cpu/bus.h"
#include "machine/disk.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    std::string ini = "[DISK]\n";
    uint8_t drives = input.ConsumeIntegral<uint8_t>();
    if (drives & 1)
        ini += "DRIVE_A=a.img\n";
    if (drives & 2)
        ini += "DRIVE_B=b.img\n";
    std::vector<uint8_t> accesses = input.ConsumeBytes<uint8_t>(2 * input.ConsumeIntegralInRange(0, 3000));
    // Some bytes of the input, padded to any length up to a whole disk.
    for (const char* name : {"a.img", "b.img"}) {
        size_t length = input.ConsumeIntegralInRange<size_t>(0, 2 * BOOTSIZ + (MAXTRK - 1) * TRKSIZ + 100);
        std::string bytes = input.ConsumeRandomLengthString(length);
        bytes.resize(length, char(input.ConsumeIntegral<uint8_t>()));
        write_file(fuzz_path(name), bytes);
    }
    if (!build_machine(ini))
        return 0;
    // Each access: bit 7 write, bits 0-4 the register; then a value.
    for (size_t i = 0; i + 1 < accesses.size(); i += 2) {
        uint8_t what = accesses[i], value = accesses[i + 1];
        uint32_t address = 0xC000 + (what & 0x1F);
        if (what & 0x80)
            Poke(address, value);
        else
            Peek(address);
    }
    return 0;
}
