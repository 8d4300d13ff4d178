// A loop-heavy BASIC program on our BASIC and, when the C1P ROM dumps are at hand, on the
// machine's own BASIC: the emulated cycles from RUN to the end, and their ratio.
#include "config/config.h"
#include "cpu/bus.h"
#include "frontend/headless/headless_host.h"
#include "frontend/startup.h"
#include "machine/loop.h"
#include "machine/memory_map.h"
#include "machine/typist.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace {

const char* const PROGRAM = "10 DIM A(10):T=0\r"
                            "20 FOR I=1 TO 1000\r"
                            "30 T=T+I*I/7+SQR(I)\r"
                            "40 A(I/100)=T\r"
                            "50 NEXT\r"
                            "60 PRINT \"D\";\"ONE\"\r";  // "DONE" only once it ran

bool shown(const char* text)
{
    return std::string_view(reinterpret_cast<const char*>(RAMptr) + 0xD000, 0x400).find(text) != std::string_view::npos;
}

bool run_until(const char* text)
{
    for (int slice = 0; slice < 20000 && !shown(text); slice++)
        run_slice();
    return shown(text);
}

// Boots the configuration, answers BASIC's questions, types the program and runs it; the
// cycles from RUN to "DONE", or 0 when it did not get there.
uint64_t cycles(const std::string& config)
{
    HeadlessHost headless;
    host = &headless;
    Abort = 1;
    if (!start_machine(QUARZEL_PROGRAM_DIR "/quarzel", config) || !run_until("C/W/M ?")) {
        std::fprintf(stderr, "bench_basic: the machine did not start%s%s\n", headless.messages.empty() ? "" : ": ",
                     headless.messages.empty() ? "" : headless.messages[0].text.c_str());
        return 0;
    }
    type_text("C");
    run_until("MEMORY SIZE");
    type_text("\r");
    run_until("TERMINAL WIDTH");
    type_text("\r");
    run_until("OK");
    type_text(PROGRAM);
    type_text("RUN\r");
    while (type_busy())
        run_slice();
    uint64_t start = cycle_now();
    bool done = run_until("DONE");
    uint64_t taken = cycle_now() - start;
    Terminate();
    return done ? taken : 0;
}

} // namespace

int main()
{
    uint64_t ours = cycles("");
    std::printf("Quarzel BASIC: %llu cycles\n", (unsigned long long)ours);
    std::string basic = QUARZEL_TESTDATA_DIR "/osi/basic-osi.rom", monitor = QUARZEL_TESTDATA_DIR "/osi/syn600.rom";
    if (!std::filesystem::exists(basic) || !std::filesystem::exists(monitor)) {
        std::printf("the C1P ROM dumps are not in %s/osi: no comparison\n", QUARZEL_TESTDATA_DIR);
        return ours ? 0 : 1;
    }
    std::string ini = (std::filesystem::temp_directory_path() / "quarzel-bench-c1p.ini").string();
    std::ofstream(ini) << "[ROM]\nBASIC=" << basic << "\nKERNEL=" << monitor << "\n[RAM]\nRAMTOP=0x7FFF\n";
    uint64_t theirs = cycles(ini);
    std::filesystem::remove(ini);
    std::printf("C1P BASIC:     %llu cycles\n", (unsigned long long)theirs);
    if (ours && theirs)
        std::printf("ratio: %.2f (ours / the C1P's)\n", double(ours) / double(theirs));
    return ours && theirs ? 0 : 1;
}
