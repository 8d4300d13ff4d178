// Breakpoints with conditions and watchpoints on ranges, through the time-sliced loop.
#include "machine_setup.h"

#include "cpu/bus.h"
#include "debugger/breakpoints.h"
#include "machine/loop.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Runs the program at $0300 with A=$42 until the debugger halts the machine (or 20 slices
// have passed); what it said, "" when it did not halt.
std::string run_to_stop(std::vector<uint8_t> code, uint8_t x, uint8_t y, const char* watch)
{
    fresh_machine();
    map_all_ram();
    clear_breakpoints();
    EXPECT_EQ(add_watchpoint(watch), "") << watch;
    size_t end = 0x0300 + code.size();
    code.insert(code.end(), {0x4C, uint8_t(end), uint8_t(end >> 8)});  // JMP *
    for (size_t i = 0; i < code.size(); i++)
        RAMptr[0x0300 + i] = code[i];
    load(0x0080, {0x00, 0x02});
    R.PC = 0x0300;
    R.A = 0x42, R.X = x, R.Y = y, R.S = 0xFF;
    for (int slice = 0; slice < 20 && !DEnable; slice++)
        run_slice();
    return DEnable ? stop_reason : "";
}

struct WatchCase {
    std::vector<uint8_t> code;
    uint8_t x, y;
    const char* watch;
    const char* reason;  // "" for no stop
};

TEST(Watchpoints, EveryWritingModeTheStackAndTheRangesEnds)
{
    const WatchCase cases[] = {
        {{0x8D, 0x00, 0x02}, 0, 0, "0200", "$0300 STA $0200 wrote $42 to $0200"},
        {{0x85, 0x80}, 0, 0, "0080:W", "$0300 STA $80 wrote $42 to $0080"},
        {{0x95, 0x7F}, 1, 0, "0080", "$0300 STA $7F,X wrote $42 to $0080"},
        {{0x9D, 0xF0, 0x01}, 0x10, 0, "0200-020F", "$0300 STA $01F0,X wrote $42 to $0200"},
        {{0x99, 0x00, 0x02}, 0, 0x0F, "0200-020F", "$0300 STA $0200,Y wrote $42 to $020F"},
        {{0x99, 0x00, 0x02}, 0, 0x10, "0200-020F", ""},
        {{0x8D, 0xFF, 0x01}, 0, 0, "0200-020F", ""},
        {{0x81, 0x70}, 0x10, 0, "0200", "$0300 STA ($70,X) wrote $42 to $0200"},
        {{0x91, 0x80}, 0, 5, "0205:RW", "$0300 STA ($80),Y wrote $42 to $0205"},
        {{0x96, 0x7F}, 0x42, 1, "0080", "$0300 STX $7F,Y wrote $42 to $0080"},
        {{0x8C, 0x00, 0x02}, 0, 0x42, "0200", "$0300 STY $0200 wrote $42 to $0200"},
        {{0xEE, 0x00, 0x02}, 0, 0, "0200:W", "$0300 INC $0200 wrote $01 to $0200"},
        {{0x8F, 0x00, 0x02}, 0x0F, 0, "0200", "$0300 SAX $0200 wrote $02 to $0200"},
        {{0x06, 0x81}, 0, 0, "0081:W", "$0300 ASL $81 wrote $04 to $0081"},
        {{0xFE, 0xF0, 0x01}, 0x10, 0, "0200:W", "$0300 INC $01F0,X wrote $01 to $0200"},
        {{0x00, 0xEA}, 0, 0, "01FD-01FF:W", "$0300 BRK wrote $03 to $01FF"},
        {{0x48}, 0, 0, "0100-01FF:W", "$0300 PHA wrote $42 to $01FF"},
        {{0x20, 0x10, 0x03}, 0, 0, "01FF", "$0300 JSR $0310 wrote $03 to $01FF"},
        {{0x9D, 0xF0, 0xFF}, 0x20, 0, "0010", "$0300 STA $FFF0,X wrote $42 to $0010"},
        {{0x9D, 0xF0, 0xFF}, 0x20, 0, "FFF0-FFFF", ""},
        {{0xAD, 0x00, 0x02}, 0, 0, "0200:R", "$0300 LDA $0200 read $00 from $0200"},
        {{0xAD, 0x00, 0x02}, 0, 0, "0200:W", ""},
        {{0xB1, 0x80}, 0, 2, "0202:R", "$0300 LDA ($80),Y read $00 from $0202"},
    };
    for (const WatchCase& c : cases) {
        SCOPED_TRACE(c.watch);
        SCOPED_TRACE(c.code[0]);
        std::string reason = run_to_stop(c.code, c.x, c.y, c.watch);
        EXPECT_EQ(reason, *c.reason ? std::string("Stopped by watchpoint: ") + c.reason : "");
        if (*c.reason) {
            EXPECT_EQ(R.PC, c.code[0] == 0x20 ? 0x0310u : c.code[0] == 0x00 ? 0u : 0x0300u + c.code.size())
                << "after the instruction";
        }
    }
}

// Only the processor's own accesses count: not a loader's writes, nor a device handler's.
TEST(Watchpoints, LoadersAndTheDebuggerDoNotHitThem)
{
    run_to_stop({0xEA}, 0, 0, "0200-02FF");
    ASSERT_EQ(DEnable, 0);
    Poke(0x0210, 0x55);
    EXPECT_EQ(Peek(0x0210), 0x55) << "the watch passes the write on";
    EXPECT_EQ(debug_stop, 0);

    // A device page keeps its device behind the watch, and a rebuilt map keeps the watch.
    fresh_machine();
    ASSERT_EQ(add_watchpoint("D000-D3FF:W"), "");
    R.PC = 0x0300;
    load(0x0300, {0xA9, 0x41, 0x8D, 0x05, 0xD0, 0x4C, 0x05, 0x03});  // LDA #'A'; STA $D005; JMP *
    for (int slice = 0; slice < 5 && !DEnable; slice++)
        run_slice();
    EXPECT_EQ(stop_reason, "Stopped by watchpoint: $0302 STA $D005 wrote $41 to $D005");
    EXPECT_EQ(RAMptr[0xD005], 0x41) << "the screen got its character";
}

TEST(Breakpoints, ConditionsOnRegistersAndMemory)
{
    struct Case {
        const char* text;
        bool stops;
    };
    const Case cases[] = {
        {"0300", true},          {"0301", false},       {"0300:A=0D", true},    {"0300:a=0E", false},
        {"0300:X>10", true},     {"0300:X>11", false},  {"0300:Y<05", false},   {"0300:Y<06", true},
        {"0300:S!=FF", true},    {"0300:S!=FD", false}, {"0300:P>=B0", true},   {"0300:P>=B1", false},
        {"0300:A<=0D", true},    {"0300:A<=0C", false}, {"0300:(0200)=FF", true}, {"0300:(0201)=FF", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        fresh_machine();
        map_all_ram();
        R.PC = 0x0300, R.A = 0x0D, R.X = 0x11, R.Y = 0x05, R.S = 0xFD, R.P = 0x90;
        RAMptr[0x0200] = 0xFF;
        ASSERT_EQ(add_breakpoint(c.text), "");
        EXPECT_EQ(breakpoint_stops(), c.stops);
        EXPECT_EQ(stop_reason, c.stops ? std::string("Stopped at breakpoint ") + breakpoint_text(breakpoints[0]) : "");
        stop_reason.clear();
        breakpoints[0].enabled = false;
        apply_breakpoints();
        EXPECT_FALSE(breakpoint_stops()) << "disabled";
    }
    EXPECT_EQ(breakpoint_text(breakpoints[0]), "0300:(0201)=FF");

    for (const char* wrong : {"", "12345", "0300:", "0300:Q=1", "0300:A=100", "0300:A", "0300:(12345)=1", "G00"})
        EXPECT_NE(add_breakpoint(wrong), "") << wrong;
    for (const char* wrong : {"0210-0200", "0200:X", "0200-", "-0200", "0200:"})
        EXPECT_NE(add_watchpoint(wrong), "") << wrong;
}

// The condition is looked at each time the run comes by: X counts up to $11 before it stops.
TEST(Breakpoints, ARunStopsWhenTheConditionHolds)
{
    fresh_machine();
    map_all_ram();
    load(0x0300, {0xA2, 0x00, 0xE8, 0x4C, 0x02, 0x03});  // LDX #0; INX; JMP $0302
    R.PC = 0x0300;
    ASSERT_EQ(add_breakpoint("0303:X>10"), "");
    for (int slice = 0; slice < 5 && !DEnable; slice++)
        run_slice();
    EXPECT_EQ(R.PC, 0x0303u);
    EXPECT_EQ(R.X, 0x11);
    EXPECT_EQ(stop_reason, "Stopped at breakpoint 0303:X>10");
}

} // namespace
