// The debugger window's texts and buttons, on the headless host's window.
#include "machine_setup.h"

#include "config/config.h"
#include "cpu/bus.h"
#include "debugger/debugger.h"
#include "debugger/labels.h"
#include "frontend/commands.h"
#include "host/ids.h"
#include "machine/loop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

// A machine with the debugger open and halted at $0300, memory shown from `start`.
void open_halted(unsigned start = 0)
{
    fresh_machine();
    map_all_ram();
    R.PC = 0x0300;
    R.S = 0xFF;
    memd = start;
    MSEnable = 1;
    TraceMode = 1;
    t_check = 100;  // the debugger's time slice
    Open_Processor("Debugger");
    SEnable = SMode = 0;
}

// Passes of the loop until the machine halts again (at most `limit`).
void run_until_halted(int limit = 100000)
{
    for (int i = 0; i < limit && (SEnable || SMode); i++)
        run_pass();
}

std::string row(int r) { return dbg.dump.substr(r * 56, 56); }

TEST(Debugger, RegistersFlagsAndDumps)
{
    open_halted(0xFFF0);
    R.P = 0x00;
    R.A = 0x81;
    debugger_command(DBG_DISP_MEM);
    EXPECT_EQ(dbg.p, "0x20");
    EXPECT_EQ(dbg.p_bits, "00100000");
    EXPECT_EQ(dbg.a_bits, "10000001");
    EXPECT_EQ(dbg.pc_bits, "00000011 00000000");
    EXPECT_EQ(row(0).substr(0, 6), "$FFF0 ");
    EXPECT_EQ(row(1).substr(0, 6), "$0000 ") << "the dump wraps at $FFFF";

    fresh_machine();  // the default map: nothing answers at $E100 but the bus
    Open_Processor("Debugger");
    dbg.memory_start = "E100";
    debugger_command(DBG_DISP_MEM);
    EXPECT_EQ(row(0), "$E100  E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1\r\n");

    R.S = 0xFD;
    debugger_command(DBG_DISP_STACK);
    EXPECT_EQ(row(0).substr(0, 9), "$0180 -00");
    EXPECT_EQ(row(7).substr(0, 6), "$01F0 ");
    EXPECT_EQ(row(7).substr(42, 6), "-00 00") << "$01FC free, $01FD in use";
    EXPECT_EQ(row(8).substr(0, 9), "$0200  00");
    R.S = 0x40;
    debugger_command(DBG_DISP_STACK);
    EXPECT_EQ(row(0).substr(0, 6), "$0100 ");
    EXPECT_EQ(row(3).substr(0, 6), "$0130 ");
    EXPECT_EQ(row(3).substr(51, 3), "-00") << "$013F free";
    EXPECT_EQ(row(4).substr(0, 9), "$0140  00") << "$0140 in use";
}

TEST(Debugger, StepOverAJsrShowsTheJsr)
{
    open_halted();
    load(0x0300, {0x20, 0x10, 0x03, 0xEA});  // JSR $0310; NOP
    load(0x0310, {0xA2, 0x07, 0x60});        // LDX #7; RTS
    debugger_command(DBG_TRACE_INTO);
    ASSERT_EQ(TraceMode, 0);
    debugger_command(DBG_SINGLE_STEP);
    run_until_halted();
    EXPECT_EQ(R.PC, 0x0303u);
    EXPECT_EQ(R.X, 7);
    EXPECT_EQ(dbg.last, "$Adress Code\r\n$0300   JSR $0310");
    EXPECT_EQ(dbg.current, "$0303   NOP");

    debugger_command(DBG_TRACE_INTO);
    R.PC = 0x0300;
    debugger_command(DBG_SINGLE_STEP);
    run_until_halted();
    EXPECT_EQ(R.PC, 0x0310u) << "with Trace into subs the step enters the subroutine";
    EXPECT_EQ(dbg.next.substr(0, 21), "$0312   RTS\r\n$0313   ");
}

// Reset, SetPC and Hard-Reset end a step over a subroutine that never returns: the next
// refresh shows the machine and the next Single Step is one instruction.
TEST(Debugger, ResetsEndAPendingStepOver)
{
    for (int button : {DBG_RESET, DBG_SET_PC, DBG_HARD_RESET}) {
        SCOPED_TRACE(button);
        build_from_ini("[ROM]\nBASIC=" QUARZEL_PROGRAM_DIR "/basic.rom\nKERNEL=" QUARZEL_PROGRAM_DIR "/monitor.rom\n");
        map_all_ram();
        t_check = 100;
        R.PC = 0x0300;
        Open_Processor("Debugger");
        SEnable = SMode = 0;
        load(0x0300, {0x20, 0x10, 0x03, 0xEA, 0xEA});  // JSR $0310; NOP; NOP
        load(0x0310, {0x4C, 0x10, 0x03});              // JMP $0310
        TraceMode = 0;
        debugger_command(DBG_SINGLE_STEP);
        run_until_halted(1000);
        ASSERT_NE(trace_loc, 0xFFFFu);
        dbg.pc_field = "0303";
        debugger_command(button);
        EXPECT_EQ(trace_loc, 0xFFFFu);
        if (button == DBG_HARD_RESET)
            continue;
        debugger_command(DBG_SINGLE_STEP);
        run_until_halted(1000);
        EXPECT_EQ(SEnable, 0);
        unsigned next = button == DBG_SET_PC ? 0x0304 : (RAMptr[0xFFFC] | RAMptr[0xFFFD] << 8) + 1;  // NOP or CLD
        char shown[8];
        std::snprintf(shown, sizeof shown, "0x%04X", next);
        EXPECT_EQ(R.PC, next);
        EXPECT_EQ(dbg.pc, shown) << "one instruction and a full refresh";
    }
}

// A branch's effective address is where it goes, in four digits.
TEST(Debugger, BranchShowsItsTarget)
{
    open_halted();
    load(0x0300, {0xD0, 0xFC});  // BNE $02FE
    R.P = 0;
    debugger_command(DBG_SINGLE_STEP);
    run_until_halted();
    EXPECT_EQ(R.PC, 0x02FEu);
    EXPECT_EQ(dbg.effective, "0x02FE");
}

TEST(Debugger, SetPcWaitsForTheNextRefreshAndFieldsReadHex)
{
    open_halted();
    load(0x0300, {0xEA});
    debugger_command(DBG_SINGLE_STEP);
    run_until_halted();
    std::string shown = dbg.pc;
    dbg.pc_field = "12ab";
    debugger_command(DBG_SET_PC);
    EXPECT_EQ(R.PC, 0x12ABu);
    EXPECT_EQ(dbg.pc_field, "12AB");
    EXPECT_EQ(dbg.pc, shown) << "SetPC does not refresh";

    dbg.breakpoint = "";
    debugger_command(DBG_SET_BP);
    EXPECT_EQ(stop_loc, 0u) << "an empty field is 0000";
    dbg.breakpoint = "G1";
    debugger_command(DBG_SET_BP);
    EXPECT_EQ(stop_loc, 0u) << "no hex digit keeps the value";
    debugger_command(DBG_CLR_BP);
    EXPECT_EQ(stop_loc, 0xFFFFu);
    EXPECT_EQ(dbg.breakpoint, "FFFF");
}

TEST(Debugger, RunRefreshesEveryFiftyOnePassesAndStopsAtTheBreakpoint)
{
    open_halted();
    load(0x0300, {0x4C, 0x00, 0x03});  // JMP $0300
    debugger_command(DBG_RUN);
    std::vector<int> refreshed_at;
    for (int pass = 0; pass < 300; pass++) {
        int before = test_host->debugger_refreshes;
        run_pass();
        if (test_host->debugger_refreshes != before)
            refreshed_at.push_back(pass);
    }
    ASSERT_GE(refreshed_at.size(), 5u);
    for (size_t i = 1; i < refreshed_at.size(); i++)
        EXPECT_EQ(refreshed_at[i] - refreshed_at[i - 1], 51);

    load(0x0400, {0xEA, 0xEA, 0xEA});
    R.PC = 0x0400;
    stop_loc = 0x0402;
    run_until_halted();
    EXPECT_EQ(R.PC, 0x0402u);
}

// A configured breakpoint halts the machine; leaving the pause runs on past it.
TEST(Debugger, PauseGetsPastABreakpoint)
{
    fresh_machine();
    map_all_ram();
    load(0x0300, {0xEA, 0xEA, 0x4C, 0x00, 0x03});
    R.PC = 0x0300;
    stop_loc = 0x0301;
    for (int pass = 0; pass < 10 && !DEnable; pass++)
        run_pass();
    ASSERT_EQ(DEnable, 1);
    EXPECT_EQ(R.PC, 0x0301u);
    ASSERT_EQ(test_host->posted, std::vector<int>{CMD_DEBUGGER});
    menu_command(CMD_PAUSE);
    EXPECT_EQ(DEnable, 0);
    run_pass();
    run_pass();
    EXPECT_EQ(R.PC, 0x0300u) << "past the breakpoint and through the JMP";
    EXPECT_EQ(DEnable, 0);
}

// Edit Config passes the editor's own arguments on and says when the editor cannot start.
TEST(Debugger, EditConfigStartsTheUsersEditor)
{
    fresh_machine();
    SYS[6] = "/tmp/some.ini";
#ifdef _WIN32
    set_variable("VISUAL", "cmd /c rem");
#else
    set_variable("VISUAL", "true --wait");
#endif
    debugger_command(DBG_EDIT_CONFIG);
    EXPECT_TRUE(test_host->messages.empty());
    set_variable("VISUAL", "no-such-editor-anywhere -w");
    debugger_command(DBG_EDIT_CONFIG);
    set_variable("VISUAL", "");
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].text, "Unable to start the editor no-such-editor-anywhere for /tmp/some.ini");
}

// With Stop on Error code an undocumented opcode opens the window and halts after it. A JAM
// halts the processor on it; the window says so until PC moves.
TEST(Debugger, UndocumentedOpcodeOpensTheWindowAndAJamIsShown)
{
    fresh_machine();
    map_all_ram();
    load(0x0300, {0xEA, 0x80, 0x00, 0x02});  // NOP; NOP #$00; JAM
    R.PC = 0x0300;
    CodeERR = 1;
    for (int pass = 0; pass < 5; pass++)
        run_pass();
    EXPECT_TRUE(test_host->debugger_open);
    EXPECT_EQ(test_host->debugger_text, "Debugger ERR - Undefined Instruction");
    EXPECT_EQ(R.PC, 0x0303u);
    EXPECT_EQ(dbg.last, "$Adress Code\r\n$0301   NOP #00");
    EXPECT_EQ(dbg.status, "");

    for (int step = 0; step < 2; step++) {
        debugger_command(DBG_SINGLE_STEP);
        run_pass();
        EXPECT_EQ(R.PC, 0x0303u);
        EXPECT_EQ(dbg.status, "Processor halted by JAM at $0303");
        EXPECT_EQ(dbg.current, "$0303   JAM");
    }
    EXPECT_EQ(debugger_text().rfind("Processor halted by JAM at $0303\nA: 0x00", 0), 0u);
    dbg.pc_field = "0300";
    debugger_command(DBG_SET_PC);
    debugger_command(DBG_SINGLE_STEP);
    run_pass();
    EXPECT_EQ(R.PC, 0x0301u);
    EXPECT_EQ(dbg.status, "");
}

} // namespace

// Labels stand for addresses in the fields and in operands; a file with a line that is no
// label is refused whole.
TEST(Debugger, LabelsInFieldsAndOperands)
{
    open_halted();
    ASSERT_EQ(read_labels("al 000310 .sub\n# made by hand\nal C:0080 .count\nal C:0081 .count_2\nal 0310 .again\n"),
              "");
    EXPECT_EQ(with_labels("LDA $80,X"), "LDA count,X");
    EXPECT_EQ(with_labels("STA ($81),Y"), "STA (count_2),Y");
    EXPECT_EQ(with_labels("LDA #80"), "LDA #80");
    EXPECT_EQ(with_labels("JMP $0311"), "JMP $0311");
    EXPECT_EQ(label_names.at(0x0310), "sub") << "the first name of an address is shown";
    dbg.breakpoint = "again";
    debugger_command(DBG_SET_BP);
    EXPECT_EQ(stop_loc, 0x0310u);
    dbg.memory_start = ".count";
    debugger_command(DBG_DISP_MEM);
    EXPECT_EQ(memd, 0x0080u);
    dbg.pc_field = "sub";
    debugger_command(DBG_SET_PC);
    EXPECT_EQ(R.PC, 0x0310u);

    const char* wrong[] = {"al",           "al 010000 .x", "al C:12 .1x", "xx 0300 .a",
                           "al 0300 .a b", "al 0300 .a-b", "al 0300"};
    for (const char* line : wrong)
        EXPECT_EQ(read_labels(std::string("al 0200 .fine\n") + line), "line 2 is no label (al ADDRESS .name)") << line;
    EXPECT_EQ(label_addresses.count("sub"), 1u) << "the labels there were stay";
    EXPECT_NE(load_labels(temp_path("missing.lbl")), "");
    clear_labels();
}

// Write puts typed bytes at the memory start through the bus; Find moves the memory start to
// the next place that holds the bytes, wrapping past $FFFF, and says so.
TEST(Debugger, WriteAndFindInTheDump)
{
    build_from_ini("[ROM]\nBASIC=" QUARZEL_PROGRAM_DIR "/basic.rom\nKERNEL=" QUARZEL_PROGRAM_DIR "/monitor.rom\n");
    Open_Processor("Debugger");
    SEnable = SMode = 0;
    struct Case {
        const char* start;
        const char* bytes;
        const char* status;
        const char* row;
    };
    const Case cases[] = {
        {"0200", "A9 42,8D0002", "Wrote 5 bytes at $0200", "$0200  A9 42 8D 00 02 00"},
        {"D100", "48 49", "Wrote 2 bytes at $D100", "$D100  48 49 20 20 20 20"},  // the screen's page
        {"0210", "4", "Wrote 1 byte at $0210", "$0210  04 00 00"},
        {"0220", "A9 4G", "Write takes hex bytes: A9 42", "$0220  00 00"},
        {"0220", "", "Write takes hex bytes: A9 42", "$0220  00 00"},
    };
    for (const Case& c : cases) {
        dbg.memory_start = c.start;
        dbg.bytes = c.bytes;
        debugger_command(DBG_WRITE_MEM);
        EXPECT_EQ(dbg.status, c.status) << c.bytes;
        EXPECT_EQ(row(0).substr(0, std::string(c.row).size()), c.row) << c.bytes;
    }

    dbg.memory_start = "0000";
    dbg.find = "a9 42";
    debugger_command(DBG_FIND);
    EXPECT_EQ(dbg.memory_start, "0200");
    EXPECT_EQ(dbg.status, "Found A9 42 at $0200");
    EXPECT_EQ(row(0).substr(0, 12), "$0200  A9 42");
    dbg.memory_start = "0280";
    dbg.bytes = "A9 42";
    debugger_command(DBG_WRITE_MEM);
    dbg.memory_start = "0200";
    debugger_command(DBG_FIND);
    EXPECT_EQ(dbg.memory_start, "0280") << "the next one after the memory start";
    dbg.find = "A9 42 8D 00 02 00 00 00 00 00 00 00 00 00 00 00 04";
    dbg.memory_start = "FFF0";
    debugger_command(DBG_FIND);
    EXPECT_EQ(dbg.memory_start, "0200") << "past $FFFF";
    dbg.find = "A9 42 8D 00 02 00 00 00 00 00 00 00 00 00 00 00 05";
    debugger_command(DBG_FIND);
    EXPECT_EQ(dbg.status, "Not found: A9 42 8D 00 02 00 00 00 00 00 00 00 00 00 00 00 05");
    EXPECT_EQ(dbg.memory_start, "0200");
}
