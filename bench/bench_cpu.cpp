// Runs Klaus Dormann's 6502 functional test through the real bus and opcode table
// and reports emulated instructions per second and the emulated clock rate: the processor
// alone, then through the time-sliced loop.
#include "debugger/breakpoints.h"
#include "debugger/rewind.h"
#include "frontend/savestate.h"
#include "frontend/headless/headless_host.h"
#include "machine/loop.h"
#include "machine/memory_map.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : QUARZEL_TESTDATA_DIR "/6502_functional_test.bin";
    int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::ifstream f(path, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (image.size() != 65536) {
        std::fprintf(stderr, "bench_cpu: cannot read a 64 KiB image from %s\n", path);
        return 1;
    }
    HeadlessHost headless;
    host = &headless;
    AllocMem();
    init_cpu();
    for (int p = 0; p < 256; p++) {
        readMEMORY[p] = RAMREAD;
        writeMEMORY[p] = RAMWRITE;
    }

    auto restart = [&] {
        std::copy(image.begin(), image.end(), RAMptr);
        R.PC = 0x0400;
        R.S = 0xFF;
        R.P = 0x20;
    };

    // The processor alone runs instructions back to back up to the success address, with
    // time slices longer than the run.
    stop_loc = 0x3469;
    t_check = 1'000'000'000;
    uint64_t instructions = 0;
    auto alone = [&](const char* what) {
        double best = 0;
        for (int run = 0; run < runs; run++) {
            restart();
            clocks = 0;
            uint64_t cycles = 0;
            instructions = 0;
            auto start = std::chrono::steady_clock::now();
            while (R.PC != 0x3469) {
                instructions += run_instructions(UINT32_MAX);
                cycles += clocks;
                clocks = 0;
            }
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            double ips = instructions / seconds;
            best = std::max(best, ips);
            std::printf("run %d: %llu instructions, %llu cycles in %.3f s: %.1f M instructions/s, %.1f emulated MHz\n",
                        run + 1, (unsigned long long)instructions, (unsigned long long)cycles, seconds, ips / 1e6,
                        cycles / seconds / 1e6);
        }
        std::printf("best%s: %.1f M instructions/s\n", what, best / 1e6);
        return best;
    };
    double best = alone("");

    // A watchpoint on a byte the test never touches, in the zero page that it works in all
    // the time: every access to that page goes through the watch's handler.
    add_watchpoint("00FF");
    alone(" with a watchpoint on $00FF");
    if (debug_stop)
        std::fprintf(stderr, "bench_cpu: the watchpoint was hit\n");
    clear_breakpoints();

    // The same program through the time-sliced loop, unthrottled on the virtual clock,
    // with a breakpoint at the success address ending each run.
    auto through_loop = [&](const char* what) {
        double best_loop = 0;
        for (int run = 0; run < runs; run++) {
            restart();
            headless.events.clear();  // the debugger the breakpoint asked for
            DEnable = SMode = 0;
            SEnable = 1;
            auto start = std::chrono::steady_clock::now();
            while (!DEnable)
                run_slice();
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            best_loop = std::max(best_loop, instructions / seconds);
            if (R.PC != 0x3469) {
                std::fprintf(stderr, "bench_cpu: the loop stopped at %04X\n", unsigned(R.PC));
                return false;
            }
        }
        std::printf("through the loop%s: best %.1f M instructions/s, %.0f %% of the processor alone\n", what,
                    best_loop / 1e6, 100 * best_loop / best);
        return true;
    };
    if (!through_loop(""))
        return 1;

    // The history's snapshot every SNAPSHOT_CYCLES cycles, as the window and runner keep it.
    history_hooks.state_image = state_image;
    loop_hooks.on_slice_start = history_slice_start;
    if (!through_loop(" with the history's snapshots"))
        return 1;
    std::printf("history: %zu snapshots in %zu bytes\n", history_snapshots(), history_bytes());
    loop_hooks.on_slice_start = nullptr;

    // One instruction a call, as the debugger steps and as the loop runs while it has more to do.
    restart();
    auto start = std::chrono::steady_clock::now();
    while (R.PC != 0x3469)
        _6502();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("single steps: %.1f M instructions/s\n", instructions / seconds / 1e6);
    return 0;
}
