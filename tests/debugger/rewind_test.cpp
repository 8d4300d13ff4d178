// Going back in time: after instructions forward and as many back, the whole state is the one
// saved there, across keys typed, tape bytes read and interrupts, and a Run Back stops where a
// breakpoint held.
#include "machine_setup.h"

#include "cpu/bus.h"
#include "debugger/breakpoints.h"
#include "debugger/debugger.h"
#include "debugger/rewind.h"
#include "frontend/savestate.h"
#include "host/ids.h"
#include "machine/loop.h"
#include "machine/tape.h"
#include "machine/typist.h"

#include <gtest/gtest.h>

namespace {

template <class Done> void run_slices_until(Done done, int most = 3000)
{
    for (int i = 0; i < most && !done(); i++)
        run_slice();
    ASSERT_TRUE(done());
}

// The state between two slices; the next slice starts with a snapshot of it.
struct Mark {
    std::string state;
    uint64_t count;
};

Mark mark_here()
{
    test_host->inputs++;
    return {state_image(), instructions_done};
}

// Where two states of the same machine differ first, by section.
std::string first_difference(const std::string& a, const std::string& b)
{
    size_t at = 24;
    while (at + 8 <= a.size()) {
        size_t n = uint8_t(a[at + 4]) | uint8_t(a[at + 5]) << 8 | uint8_t(a[at + 6]) << 16;
        for (size_t i = at + 8; i < at + 8 + n; i++)
            if (i >= b.size() || a[i] != b[i])
                return " differs in " + a.substr(at, 4) + " at byte " + std::to_string(i - at - 8);
        at += 8 + n;
    }
    return "";
}

void expect_back_at(const Mark& m, const char* where)
{
    SCOPED_TRACE(where);
    ASSERT_EQ(step_back(instructions_done - m.count), "");
    EXPECT_EQ(instructions_done, m.count);
    EXPECT_TRUE(state_image() == m.state) << "the whole state" << first_difference(m.state, state_image());
    EXPECT_EQ(DEnable, 1) << "halted in the debugger";
}

TEST(History, BackToTheWholeStateAcrossKeysTapeAndInterrupts)
{
    build_from_ini("[ROM]\nBASIC=" QUARZEL_PROGRAM_DIR "/basic.rom\nKERNEL=" QUARZEL_PROGRAM_DIR
                   "/monitor.rom\n[IRQ_NMI]\nNMI_Interrupt=1500\n");
    IEnable = 1;  // the System menu's switch: an NMI every 1501 passes
    run_slices_until([] { return cycle_now() > 2'000'000; });
    Mark booted = mark_here();
    run_slice();

    ASSERT_EQ(type_text("M"), "");  // the monitor's machine-code monitor
    run_slices_until([] { return !type_busy(); });
    run_slices_until([] { return cycle_now() > 3'000'000; });
    Mark typed = mark_here();
    run_slice();

    // LDA #'Q'; STA $D100; JMP * from the tape, started by the monitor's L.
    write_file(temp_path("history.lod"), ".0300/A9\r51\r8D\r00\rD1\r4C\r05\r03\r.0300G");
    ASSERT_EQ(tape_open_input(temp_path("history.lod")), 1);
    ASSERT_EQ(type_text("L"), "");
    run_slices_until([] { return R.PC == 0x0305 && RAMptr[0xD100] == 'Q'; });

    // The debugger runs the program to the RTI of an NMI's handler; the state is taken where
    // it halts.
    Open_Processor("Debugger");
    unsigned rti = RAMptr[0x0208] | RAMptr[0x0209] << 8;  // where the monitor's NMI vector points
    ASSERT_EQ(RAMptr[rti], 0x40);
    char at[8];
    std::snprintf(at, sizeof at, "%04X", rti);
    ASSERT_EQ(add_breakpoint(at), "");
    // While it runs, the window's tenth refresh takes the state at the end of a pass, some
    // slices on, which only a run forward from the snapshot of the Run button reaches again.
    uint64_t clicked = instructions_done;
    debugger_command(DBG_RUN);
    void (*refresh)() = loop_hooks.on_debugger_refresh;
    static Mark running;
    static int refreshes;
    running = {}, refreshes = 0;
    loop_hooks.on_debugger_refresh = [] {
        if (++refreshes == 10)
            running = {state_image(), instructions_done};
    };
    run_slices_until([&] { return SMode == 0 && SEnable == 0; });
    loop_hooks.on_debugger_refresh = refresh;
    ASSERT_EQ(RAMptr[R.PC], 0x40) << "halted at the RTI";
    Mark halted = {state_image(), instructions_done};
    for (int i = 0; i < 3; i++) {
        debugger_command(DBG_SINGLE_STEP);
        run_slice();
    }
    EXPECT_EQ(R.PC, 0x0305u) << "the NMI returned";

    uint64_t before = instructions_done;
    EXPECT_EQ(run_back(), "Ran back to breakpoint " + std::string(at));
    EXPECT_EQ(instructions_done, halted.count);
    EXPECT_TRUE(state_image() == halted.state)
        << "Run Back: the whole state at the breakpoint" << first_difference(halted.state, state_image());
    EXPECT_LT(halted.count, before);

    debugger_command(DBG_SINGLE_STEP);
    run_slice();
    expect_back_at(halted, "the breakpoint, halted");
    ASSERT_LT(running.count, halted.count);
    ASSERT_GT(running.count, clicked + 100) << "instructions to run forward";
    expect_back_at(running, "run forward from a snapshot");
    expect_back_at(typed, "across the tape's bytes and the interrupts");
    expect_back_at(booted, "across the key typed");
    EXPECT_NE(step_back(instructions_done + 1), "") << "before the program started";
    EXPECT_LE(history_bytes(), HISTORY_BYTES);
}

} // namespace
