// BASIC programs on our BASIC and, when the C1P ROM dumps are at hand, on the machine's own
// BASIC: the emulated cycles from RUN to the end of each, and their ratio.
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

// Each ends in printing "DONE", which shows only once it ran.
const struct {
    const char* name;
    const char* listing;
} programs[] = {
    {"numbers", "10 DIM A(10):T=0\r"
                "20 FOR I=1 TO 1000\r"
                "30 T=T+I*I/7+SQR(I)\r"
                "40 A(I/100)=T\r"
                "50 NEXT\r"
                "60 PRINT \"D\";\"ONE\"\r"},
    {"strings", "10 A$=\"\":N=0\r"
                "20 FOR I=1 TO 300\r"
                "30 B$=STR$(I):A$=RIGHT$(A$+B$+\",\",40)\r"
                "40 C$=MID$(A$,I-INT(I/20)*20+1,5):N=N+LEN(C$)+ASC(B$)\r"
                "50 IF LEFT$(C$,1)=\",\" THEN N=N+1\r"
                "60 NEXT\r"
                "70 PRINT \"D\";\"ONE\"\r"},
    {"arrays", "10 DIM A(300),B(20,20)\r"
               "20 FOR I=0 TO 300:A(I)=300-I:NEXT\r"
               "30 FOR I=0 TO 20:FOR J=0 TO 20:B(I,J)=A(I+J)+A(J):NEXT:NEXT\r"
               "40 S=0:FOR K=1 TO 5:FOR I=0 TO 20:S=S+B(I,20-I)*B(20-I,I):NEXT:NEXT\r"
               "50 FOR I=1 TO 100:J=A(I):A(I)=A(300-I):A(300-I)=J:NEXT\r"
               "60 PRINT \"D\";\"ONE\"\r"},
};

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
uint64_t cycles(const std::string& config, const char* program)
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
    type_text(program);
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
    std::string basic = QUARZEL_TESTDATA_DIR "/osi/basic-osi.rom", monitor = QUARZEL_TESTDATA_DIR "/osi/syn600.rom";
    bool compare = std::filesystem::exists(basic) && std::filesystem::exists(monitor);
    if (!compare)
        std::printf("the C1P ROM dumps are not in %s/osi: no comparison\n", QUARZEL_TESTDATA_DIR);
    std::string ini = (std::filesystem::temp_directory_path() / "quarzel-bench-c1p.ini").string();
    if (compare)
        std::ofstream(ini) << "[ROM]\nBASIC=" << basic << "\nKERNEL=" << monitor << "\n[RAM]\nRAMTOP=0x7FFF\n";
    bool all = true;
    for (const auto& p : programs) {
        uint64_t ours = cycles("", p.listing);
        std::printf("%-8s Quarzel BASIC: %llu cycles\n", p.name, (unsigned long long)ours);
        all = all && ours;
        if (!compare)
            continue;
        uint64_t theirs = cycles(ini, p.listing);
        std::printf("%-8s C1P BASIC:     %llu cycles\n", p.name, (unsigned long long)theirs);
        if (ours && theirs)
            std::printf("%-8s ratio: %.2f (ours / the C1P's)\n", p.name, double(ours) / double(theirs));
        all = all && theirs;
    }
    if (compare)
        std::filesystem::remove(ini);
    return all ? 0 : 1;
}
