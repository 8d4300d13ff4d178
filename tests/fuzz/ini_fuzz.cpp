// Any configuration file: the machine is built from it and runs a few time slices.
#include "fuzz_machine.h"
#include "fuzz_support.h"
#include "machine/memory_map.h"

#include "cpu/bus.h"
#include "machine/loop.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    // File names stay inside the private folder: a path could name a device whose read blocks.
    if (text.find('/') != std::string::npos)
        return -1;
    if (build_machine(text))
        run_slices(2);
    require(RAMTOP >= 0x03FF && RAMTOP <= 0x7FFF, "RAMTOP stays in its range");
    for (int p = 0; p < 256; p++)
        require(readMEMORY[p] && writeMEMORY[p], "every page has its handlers");
    return 0;
}
