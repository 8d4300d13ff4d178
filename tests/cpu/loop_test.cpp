#include "machine/window_keys.h"
#include "machine_setup.h"

#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/tape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// A machine running through NOPs from $0300 to $7FFF, with interrupt handlers that count.
void nop_machine()
{
    fresh_machine();
    std::fill(RAMptr + 0x0300, RAMptr + 0x8000, 0xEA);
    set_vectors(0x0200, 0x0300, 0x0210);
    load(0x0200, {0xE8, 0x40});  // NMI: INX, RTI
    load(0x0210, {0xC8, 0x40});  // IRQ: INY, RTI
    reset_cpu();
}

// A NOP and a jump back: slices of exactly 60000 cycles.
void loop_machine()
{
    nop_machine();
    load(0x0300, {0xEA, 0x4C, 0x00, 0x03});
    pace_restart();
}

// Each slice's cycles take cycles x 100 / speed microseconds on an absolute deadline, so the
// speed holds however much the host's sleeps overshoot.
TEST(Loop, PacingKeepsTheSpeedWhateverTheSleepsOvershoot)
{
    for (uint32_t speed : {100u, 400u}) {
        for (uint64_t oversleep : {0u, 2000u, 15600u}) {
            SCOPED_TRACE(testing::Message() << speed << " % with sleeps " << oversleep << " us too long");
            loop_machine();
            SpeedPos = speed;
            test_host->oversleep_us = oversleep;
            uint64_t cycles = 0;
            while (test_host->now_us < 20000000) {
                run_slice();
                cycles += clocks;
            }
            double percent = cycles * 100.0 / double(test_host->now_us);
            EXPECT_NEAR(percent, speed, speed * 0.002);
        }
    }
}

// While the program takes bytes from the tape input the loop runs at warp, and a second of
// emulated time after the last byte it is back at the chosen speed; without FastLoad, or with
// Warp chosen, the tape makes no difference. A key held down in the window holds the speed.
TEST(Loop, FastTapeLoadingWarpsUntilTheTapeIsQuiet)
{
    for (int fast : {1, 0}) {
        SCOPED_TRACE(fast);
        loop_machine();
        // LDA $F000; LSR; BCC *-4; LDA $F001; JMP $0300
        load(0x0300, {0xAD, 0x00, 0xF0, 0x4A, 0x90, 0xFA, 0xAD, 0x01, 0xF0, 0x4C, 0x00, 0x03});
        SpeedPos = 200;
        FastLoad = fast;
        write_file(temp_path("warp.bas"), std::string(4000, 'A'));
        ASSERT_EQ(tape_open_input(temp_path("warp.bas")), 1);
        std::vector<uint64_t> slice_us;
        for (int i = 0; i < 60; i++) {
            uint64_t before = test_host->now_us;
            run_slice();
            slice_us.push_back(test_host->now_us - before);
        }
        EXPECT_EQ(in, nullptr) << "the whole tape was read";
        EXPECT_NEAR(double(slice_us[2]), fast ? 0 : 30000, 10);
        EXPECT_NEAR(double(slice_us.back()), 30000, 10) << "back at 200 %";
        EXPECT_EQ(SpeedPos, 200u);
    }
    WarpEnable = 1;
    run_slice();
    uint64_t before = test_host->now_us;
    run_slice();
    EXPECT_EQ(test_host->now_us, before) << "Warp chosen";
    window_key(0x1E, 'a', false);
    run_slice();
    EXPECT_NEAR(double(test_host->now_us - before), 30000, 10) << "a key held in the window: at 200 %";
    window_key(0x9E, 0, false);
    before = test_host->now_us;
    run_slice();
    EXPECT_EQ(test_host->now_us, before) << "warp again once it is let go";
}

// After a stall (a modal dialog held the loop) the loop starts from the present instead of
// racing through the time it lost.
TEST(Loop, PacingStartsAgainAfterAStall)
{
    loop_machine();
    for (int i = 0; i < 3; i++)
        run_slice();
    test_host->now_us += 500000;
    run_slice();
    uint64_t before = test_host->now_us;
    run_slice();
    EXPECT_EQ(test_host->now_us - before, 60000u) << "the slice after the stall takes its own time";

    SpeedPos = 400;
    before = test_host->now_us;
    run_slice();
    run_slice();
    EXPECT_EQ(test_host->now_us - before, 30000u) << "a new speed paces from a new origin";
}

TEST(Loop, PeriodicIrqWaitsWhileInterruptsAreDisabled)
{
    nop_machine();
    IEnable = 1;
    IRQ_Interrupt = 1000;
    R.P |= FLAG_I;
    run_slice();  // 30000 passes
    EXPECT_EQ(IRQ, 1) << "pending under I";
    EXPECT_EQ(irq_counter, 30000u % 1001) << "raised on every 1001st pass";
    EXPECT_EQ(R.Y, 0);

    load(R.PC, {0x58, 0xEA});  // CLI, NOP
    uint32_t cli_at = R.PC;
    R.S = 0xFF;
    step();  // CLI
    step();  // IRQ entry, then INY in the same step
    EXPECT_EQ(R.Y, 1);
    EXPECT_EQ(IRQ, 0);
    EXPECT_EQ(R.PC, 0x0211u);
    EXPECT_EQ(RAMptr[0x01FF], (cli_at + 1) >> 8);
    EXPECT_EQ(RAMptr[0x01FE], (cli_at + 1) & 0xFF);
    EXPECT_EQ(RAMptr[0x01FD] & 0x30, 0x20) << "pushed with B clear, bit 5 set";
    EXPECT_TRUE(R.P & FLAG_I);
}

TEST(Loop, NmiComesFirstAndIgnoresTheInterruptFlag)
{
    nop_machine();
    R.P |= FLAG_I;
    IRQ = NMI = 1;
    step();
    EXPECT_EQ(R.X, 1) << "the first NMI handler instruction runs in the entry step";
    EXPECT_EQ(R.PC, 0x0201u);
    EXPECT_EQ(NMI, 0);
    EXPECT_EQ(IRQ, 1);
    step();  // RTI restores I set: the IRQ still waits
    EXPECT_EQ(IRQ, 1);

    nop_machine();
    IRQ = NMI = 1;
    step();
    EXPECT_EQ(R.X, 1);
    EXPECT_EQ(IRQ, 1) << "NMI entry set I";
}

TEST(Loop, ResetClearsProcessorAndInterrupts)
{
    nop_machine();
    R.A = R.X = R.Y = 5;
    R.S = 0x10;
    IEnable = 1;
    IRQ = NMI = 1;
    clocks = 99;
    key_matrix[3] = 0x00;
    gScan = irqkey = 0x1E;
    test_host->marks[112] = true;
    Reset();
    EXPECT_EQ(R.A + R.X + R.Y, 0);
    EXPECT_EQ(R.S, 0xFF);
    EXPECT_EQ(R.P, 0x20);
    EXPECT_EQ(R.PC, 0x0300u);
    EXPECT_EQ(IEnable + IRQ + NMI, 0);
    EXPECT_FALSE(test_host->marks[112]);
    EXPECT_EQ(key_matrix[3], 0xFFu);
    EXPECT_EQ(gScan + irqkey, 0u);
    EXPECT_EQ(clocks, 0u);
}

TEST(Loop, BreakpointStopsBeforeTheInstructionAndOpensTheDebugger)
{
    nop_machine();
    stop_loc = 0x0305;
    run_slice();
    EXPECT_EQ(R.PC, 0x0305u);
    EXPECT_EQ(RPC_old, 0x0304u);
    EXPECT_EQ(DEnable, 1);
    EXPECT_EQ(SEnable, 0);
    EXPECT_EQ(test_host->posted, std::vector<int>{109});
    EXPECT_EQ(test_host->debugger_refreshes, 0);

    run_slice();  // dispatches 109: the instruction at the breakpoint runs as a single step
    EXPECT_TRUE(test_host->debugger_open);
    EXPECT_EQ(test_host->debugger_text, "Debugger");
    EXPECT_TRUE(test_host->marks[109]);
    EXPECT_TRUE(test_host->marks[122]);
    EXPECT_EQ(RPC_old, 0x0305u);
    EXPECT_EQ(R.PC, 0x0306u);
    EXPECT_EQ(test_host->debugger_refreshes, 1);
    EXPECT_EQ(SEnable, 0);
    EXPECT_EQ(test_host->now_us, 120000u) << "a debugger slice still lasts the full slice time";

    run_slice();  // halted: nothing runs
    EXPECT_EQ(R.PC, 0x0306u);
    EXPECT_EQ(test_host->debugger_refreshes, 1);
}

TEST(Loop, SingleStepRunAndStepOver)
{
    nop_machine();
    test_host->debugger_open = true;
    DEnable = 1;
    SEnable = 1;  // single step
    SMode = 0;
    run_slice();
    EXPECT_EQ(R.PC, 0x0301u);
    EXPECT_EQ(test_host->debugger_refreshes, 1);
    EXPECT_EQ(SEnable, 0);

    SEnable = SMode = 1;  // run: a redraw every 51 passes
    test_host->debugger_refreshes = 0;
    for (int i = 0; i < 15; i++)
        run_slice();  // 34 passes of 2 + 1 cycles each
    EXPECT_EQ(R.PC, 0x0301u + 510);
    EXPECT_EQ(test_host->debugger_refreshes, 10);

    nop_machine();
    test_host->debugger_open = true;
    load(0x0300, {0x20, 0x00, 0x04});  // JSR $0400
    load(0x0400, {0xEA, 0xEA, 0x60});
    DEnable = 1;
    SEnable = 0;
    SMode = 1;
    trace_loc = 0x0303;
    run_slice();
    EXPECT_EQ(R.PC, 0x0303u);
    EXPECT_EQ(RPC_old, 0x0300u) << "the JSR shows as the last instruction";
    EXPECT_EQ(trace_loc, 0xFFFFu);
    EXPECT_EQ(SMode, 0);
    EXPECT_EQ(SEnable, 0);
    EXPECT_EQ(test_host->debugger_refreshes, 1);
}

// An undocumented opcode runs as on the chip, then stops in the debugger when asked.
TEST(Loop, UndefinedOpcodeStopsInTheDebuggerWhenAsked)
{
    nop_machine();
    CodeERR = 1;
    load(0x0300, {0xA7, 0x10});  // LAX $10
    RAMptr[0x10] = 0x5A;
    run_slice();
    EXPECT_EQ(R.PC, 0x0302u);
    EXPECT_EQ(R.A + R.X, 2 * 0x5A);
    EXPECT_TRUE(test_host->debugger_open);
    EXPECT_EQ(test_host->debugger_text, "Debugger ERR - Undefined Instruction");
    EXPECT_EQ(DEnable, 1);
    EXPECT_EQ(SEnable, 0);
    run_slice();
    EXPECT_EQ(R.PC, 0x0302u) << "stays halted";
}

// A JAM halts the processor on its opcode whatever Stop on Error code says. The debugger
// opens and says so once; closed, the machine stays halted, interrupts and all, until a reset
// starts it again.
TEST(Loop, JamHaltsTheProcessorUntilAReset)
{
    nop_machine();
    IEnable = 1;
    IRQ_Interrupt = 100;
    NMI_Interrupt = 150;
    load(0x0305, {0x02});
    run_slice();
    EXPECT_EQ(R.PC, 0x0305u);
    EXPECT_TRUE(test_host->debugger_open);
    EXPECT_EQ(test_host->debugger_text, "Processor halted by JAM at $0305");
    EXPECT_EQ(DEnable, 1);
    EXPECT_EQ(SEnable, 0);

    test_host->close_debugger();
    uint64_t before = cycle_now();
    for (int i = 0; i < 3; i++)
        run_slice();
    EXPECT_EQ(R.PC, 0x0305u);
    EXPECT_FALSE(test_host->debugger_open) << "told once";
    EXPECT_EQ(R.X + R.Y, 0) << "no interrupt handler ran";
    EXPECT_EQ(IRQ + NMI, 2) << "both lines wait";
    EXPECT_GE(cycle_now() - before, 3 * 60000u) << "time goes on";

    Reset();
    EXPECT_EQ(halt_text(), "");
    run_slice();
    EXPECT_EQ(R.PC, 0x0305u);
    EXPECT_TRUE(test_host->debugger_open) << "running again, the processor meets the JAM again";
}

TEST(Loop, KeyEventReachesKeyboardWhileHalted)
{
    nop_machine();
    DEnable = 1;
    SEnable = 0;
    gScan = irqkey = 0x1E;
    run_slice();
    EXPECT_EQ(irqkey, 0u);
    EXPECT_EQ(R.PC, 0x0300u);
}

TEST(Loop, AbortEndsAfterTheSliceAndClosesToolWindows)
{
    nop_machine();
    test_host->debugger_open = true;
    test_host->speed_window = true;
    test_host->events.push_back([] { Abort = 0; });
    run_loop();
    EXPECT_EQ(clocks, 60000u) << "the last slice still runs";
    EXPECT_FALSE(test_host->debugger_open);
    EXPECT_FALSE(test_host->speed_window);
    EXPECT_EQ(DEnable, 0);
    EXPECT_TRUE(test_host->sent.empty());

    nop_machine();
    DEnable = 1;  // paused without the window: the loop switches pause off
    test_host->events.push_back([] { Abort = 0; });
    run_loop();
    EXPECT_EQ(test_host->sent, std::vector<int>{122});
    EXPECT_EQ(DEnable, 0);
}

// The cycle counts a device page at $9000 saw when it was read.
std::vector<uint64_t> device_reads;

void record_read()
{
    device_reads.push_back(cycle_now());
    readvalue = 0x5A;
}

// Everything a pass may touch.
struct PassState {
    Registers r;
    uint32_t effective = eff_adr, last = RPC_old;
    uint32_t clocks, irq, nmi, timer, irq_counter, nmi_counter;
    int denable, senable, poked = PokeFlag;
    std::vector<uint8_t> memory;
    std::vector<uint64_t> reads = device_reads;

    PassState()
        : r(R), clocks(::clocks), irq(IRQ), nmi(NMI), timer(Hardware_timer), irq_counter(::irq_counter),
          nmi_counter(::nmi_counter), denable(DEnable), senable(SEnable), memory(RAMptr, RAMptr + 0x10000)
    {
    }
    bool operator==(const PassState& o) const
    {
        return !std::memcmp(&r, &o.r, sizeof r) && effective == o.effective && last == o.last &&
               clocks == o.clocks && irq == o.irq && nmi == o.nmi && timer == o.timer &&
               irq_counter == o.irq_counter && nmi_counter == o.nmi_counter && denable == o.denable &&
               senable == o.senable && poked == o.poked && memory == o.memory && reads == o.reads;
    }
};

// A program that counts in memory and reads a device page with interrupts on, periods of both
// lines, the tape timer running down and a breakpoint late in the slice.
void busy_machine(uint32_t breakpoint)
{
    nop_machine();
    readMEMORY[0x90] = record_read;
    device_reads.clear();
    // CLI; INC $1000; BNE *-3; INC $1001; LDA $9000; JMP $0301
    load(0x0300, {0x58, 0xEE, 0x00, 0x10, 0xD0, 0xFB, 0xEE, 0x01, 0x10, 0xAD, 0x00, 0x90, 0x4C, 0x01, 0x03});
    load(0x0200, {0xEE, 0x02, 0x10, 0x40});                                                   // NMI: INC $1002, RTI
    load(0x0210, {0xEE, 0x03, 0x10, 0x40});                                                   // IRQ: INC $1003, RTI
    IEnable = 1;
    IRQ_Interrupt = 777;
    NMI_Interrupt = 1234;
    Hardware_timer = 50;
    stop_loc = breakpoint;
}

// Instructions run back to back within a slice do exactly what one pass at a time does.
TEST(Loop, SliceDoesWhatSinglePassesDo)
{
    for (uint32_t breakpoint : {0xFFFFu, 0x0306u}) {
        busy_machine(breakpoint);
        RAMptr[0x1001] = 0x30;  // the breakpoint after 48 rounds of the outer count
        run_slice();
        PassState sliced;

        busy_machine(breakpoint);
        RAMptr[0x1001] = 0x30;
        t_check = 60000;
        while (::clocks < t_check)
            run_pass();
        CIA2();  // as the slice's wait does
        EXPECT_TRUE(PassState() == sliced) << "breakpoint " << std::hex << breakpoint;
        EXPECT_GT(RAMptr[0x1002] + RAMptr[0x1003], 0) << "interrupts were taken";
        if (breakpoint == 0xFFFF) {
            EXPECT_GT(sliced.reads.size(), 10u) << "the device was read";
        }
    }
}

// Instructions back to back do what single steps do where the operands wrap past $FFFF, where
// pages are crossed and branches taken, and where an undocumented opcode or a JAM stops the
// processor.
TEST(Loop, RunOfInstructionsDoesWhatSingleStepsDo)
{
    const struct {
        uint32_t pc;
        std::vector<uint8_t> code;
        int count;
        bool stop_on_error, stops;
        uint8_t a;
    } cases[] = {
        {0xFFFE, {0xAD, 0x34}, 2, false, false, 0x5A},  // LDA $1234 with its high byte at $0000, then NOP
        {0xFFFF, {0xA9}, 2, false, false, 0x12},        // LDA #$12 from $0000, then NOP
        // LDY #$F0; LDA ($00),Y from $12EA + $F0; BEQ to $0402
        {0x03F0, {0xA0, 0xF0, 0xB1, 0x00, 0xF0, 0x0A}, 3, false, false, 0x00},
        {0x0300, {0xA9, 0x55, 0xEA, 0x80, 0x77}, 3, true, true, 0x55},    // LDA #$55; NOP; NOP #$77
        {0x0300, {0xA9, 0x55, 0xEA, 0x80, 0x77}, 3, false, false, 0x55},
        {0x0300, {0xA9, 0x55, 0x02}, 2, false, true, 0x55},  // LDA #$55; JAM
    };
    for (const auto& k : cases) {
        auto setup = [&] {
            nop_machine();
            map_all_ram();
            std::copy(k.code.begin(), k.code.end(), RAMptr + k.pc);
            load(0x0000, {0x12, 0xEA});
            load(0x1234, {0x5A});
            R.PC = k.pc;
            CodeERR = k.stop_on_error;
        };
        setup();
        for (int i = 0; i < k.count; i++)
            _6502();
        PassState stepped;
        setup();
        EXPECT_EQ(run_instructions(k.count), uint32_t(k.count));
        EXPECT_TRUE(PassState() == stepped) << std::hex << k.pc;
        EXPECT_EQ(R.A, k.a);
        EXPECT_EQ(SEnable, k.stops ? 0 : 1);
    }
}

TEST(Loop, TimerWithoutResolutionIsReported)
{
    nop_machine();
    test_host->timer_ok = false;
    Abort = 0;
    run_loop();
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].caption, "Emulation Speed Checker");
    EXPECT_EQ(test_host->messages[0].icon, MSG_INFO);
    EXPECT_EQ(clocks, 0u) << "start-up failed: the loop is not entered";
}

} // namespace
