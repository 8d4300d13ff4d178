// Any tape read by our ROMs: BASIC's LOAD, or the monitor's L with its own commands on tape.
#include "fuzz_machine.h"
#include "fuzz_support.h"
#include "machine/memory_map.h"

#include "cpu/bus.h"
#include "machine/loop.h"
#include "machine/tape.h"
#include "machine/typist.h"

#include <string_view>

namespace {

bool screen_shows(const char* text)
{
    return std::string_view(reinterpret_cast<const char*>(RAMptr) + 0xD000, 0x800).find(text) != std::string_view::npos;
}

// Runs until the screen shows the text, at most `slices` time slices.
bool run_until_shown(const char* text, int slices)
{
    for (int i = 0; i < slices && Abort && !screen_shows(text); i++)
        run_slice();
    return screen_shows(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return -1;
    bool basic = data[0] & 1;
    write_file(fuzz_path("tape.bas"), std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    require(build_machine("[ROM]\nBASIC=basic.rom\nKERNEL=monitor.rom\n[RAM]\nRAMTOP=0x7FFF\n") &&
                run_until_shown("C/W/M ?", 50),
            "our ROMs start");
    type_text(basic ? "C\r\r" : "M");  // RETURN for MEMORY SIZE? and TERMINAL WIDTH?
    require(!basic || run_until_shown("OK", 50), "BASIC starts");
    require(tape_open_input(fuzz_path("tape.bas")), "the tape opens");
    type_text(basic ? "LOAD\r" : "L");
    for (int i = 0; i < 10 && in; i++)
        run_slices(1);
    run_slices(2);  // the program's answer to the end of the tape
    return 0;
}
