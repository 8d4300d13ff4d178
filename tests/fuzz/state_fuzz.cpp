// State files with any damage: the state of a machine running our ROMs with keys being typed
// into it, its DAC on and a character written on its diskette, cut short and patched byte by
// byte, its checksum mended or not. A refused one leaves the machine as it was; an accepted
// one is run on.
#include "fuzz_machine.h"
#include "fuzz_support.h"
#include "machine/memory_map.h"

#include "cpu/bus.h"
#include "frontend/savestate.h"
#include "machine/disk.h"
#include "machine/loop.h"
#include "machine/typist.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    require(build_machine("[ROM]\nBASIC=basic.rom\nKERNEL=monitor.rom\n[RAM]\nRAMTOP=0x7FFF\n[Board]\nModel=600D\n"),
            "our ROMs start");
    type_cancel();
    type_text("C\r\r10 ?1\r");
    run_slices(2);
    require(disk_create(fuzz_path("w.img")).empty() && disk_attach(0, fuzz_path("w.img")), "a new diskette is in");
    for (auto [address, value] : {std::pair{0xC001, 4}, {0xC003, 0}, {0xC002, 0xFF}, {0xC003, 4}, {0xC002, 0x2A},
                                  {0xC000, 0x40}, {0xC011, 'W'}, {0xC002, 0x2B}, {0xD800, 0x10}})
        Poke(address, uint8_t(value));  // drive A selected, the write current on for one character; the DAC on
    std::string path = fuzz_path("state.qst");
    require(save_state(path).empty(), "the state is written");
    std::string state = read_file(path);
    bool mend = input.ConsumeBool();
    state.resize(input.ConsumeIntegralInRange<size_t>(0, state.size()));
    while (input.remaining_bytes() >= 3) {
        size_t at = input.ConsumeIntegral<uint16_t>();
        uint8_t value = input.ConsumeIntegral<uint8_t>();
        if (!state.empty())
            state[at % std::min<size_t>(state.size(), 0x200)] = char(value);  // the header, every section but the memory
    }
    if (mend && state.size() >= 24) {
        uint32_t length = uint32_t(state.size() - 24);
        uint32_t sum = state_checksum(reinterpret_cast<const uint8_t*>(state.data()) + 24, length);
        std::memcpy(&state[16], &length, 4);  // the host is little-endian, as the file is
        std::memcpy(&state[20], &sum, 4);
    }
    write_file(path, state);

    std::string before(reinterpret_cast<const char*>(RAMptr), 0x10000);
    Registers r = R;
    std::string notes;
    if (!load_state(path, notes).empty()) {
        require(!std::memcmp(before.data(), RAMptr, 0x10000) && !std::memcmp(&r, &R, sizeof r),
                "a refused state leaves the machine as it was");
        return 0;
    }
    run_slices(2);
    return 0;
}
