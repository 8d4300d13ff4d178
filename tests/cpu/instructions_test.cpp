#include "machine_setup.h"

#include "cpu/cpu.h"
#include "machine/loop.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Runs one instruction placed at $0300 with the given A and P.
void run_at_0300(std::initializer_list<uint8_t> code, uint8_t a, uint8_t p)
{
    load(0x0300, code);
    R.PC = 0x0300;
    R.A = a;
    R.P = p;
    step();
}

struct ArithCase {
    uint8_t opcode, a, m, p_in, result, flags_set, flags_clear;
};

TEST(Instructions, AddAndSubtractBinaryAndDecimal)
{
    fresh_machine();
    const uint8_t N = FLAG_N, V = FLAG_V, Z = FLAG_Z, C = FLAG_C, D = FLAG_D;
    const ArithCase cases[] = {
        {0x69, 0x50, 0x50, 0x20, 0xA0, N | V, C | Z},
        {0x69, 0xFF, 0x01, 0x20, 0x00, Z | C, V | N},
        {0xE9, 0x50, 0xB0, 0x21, 0xA0, V | N, C},
        {0xE9, 0x05, 0x03, 0x20, 0x01, C, Z | N | V},
        {0x69, 0x58, 0x46, 0x28, 0x04, C, Z},
        // Z from the binary sum $9A, N from the intermediate $A0, as on the NMOS chip.
        {0x69, 0x99, 0x01, 0x28, 0x00, C | N, Z | V},
        {0xE9, 0x00, 0x01, 0x29, 0x99, N, C | Z | V},
        {0xE9, 0x46, 0x12, 0x29, 0x34, C, Z | N},
        // Decimal V as on the chip: 79 + 00 + 1 overflows the signed intermediate $80.
        {0x69, 0x79, 0x00, 0x29, 0x80, V | N, C},
        {0x69, 0x24, 0x56, 0x28, 0x80, V | N, C},
        // Decimal SBC: N and V from the binary difference $80 - $01 = $7F.
        {0xE9, 0x80, 0x01, 0x29, 0x79, V | C, N | Z},
        // Digits above 9 are adjusted as the chip adjusts them.
        {0xE9, 0x0A, 0x00, 0x29, 0x0A, C, Z | N | V},
        {0xE9, 0x20, 0x0F, 0x29, 0x1B, C, Z | N | V},
        {0xE9, 0x00, 0xFF, 0x28, 0xAA, Z, C | N | V},
    };
    for (const ArithCase& c : cases) {
        run_at_0300({c.opcode, c.m}, c.a, c.p_in);
        SCOPED_TRACE(testing::Message() << std::hex << "op " << int(c.opcode) << " a " << int(c.a) << " m " << int(c.m));
        EXPECT_EQ(R.A, c.result);
        EXPECT_EQ(R.P & c.flags_set, c.flags_set);
        EXPECT_EQ(R.P & c.flags_clear, 0);
        EXPECT_EQ(R.P & D, c.p_in & D);
    }
}

TEST(Instructions, CompareSetsCarryZeroNegative)
{
    fresh_machine();
    run_at_0300({0xC9, 0x42}, 0x42, 0x20 | FLAG_N);
    EXPECT_EQ(R.P & (FLAG_Z | FLAG_C | FLAG_N), FLAG_Z | FLAG_C);
    run_at_0300({0xC9, 0x02}, 0x01, 0x20 | FLAG_V);
    EXPECT_EQ(R.P & (FLAG_Z | FLAG_C | FLAG_N | FLAG_V), FLAG_N | FLAG_V);
}

TEST(Instructions, SubroutinesAndBreakPushWhatTheChipPushes)
{
    fresh_machine();
    map_all_ram();
    load(0x1234, {0x20, 0x00, 0x20});  // JSR $2000
    load(0x2000, {0x60});              // RTS
    R.PC = 0x1234;
    R.S = 0xFF;
    step();
    EXPECT_EQ(R.PC, 0x2000u);
    EXPECT_EQ(RAMptr[0x01FF], 0x12);
    EXPECT_EQ(RAMptr[0x01FE], 0x36);
    step();
    EXPECT_EQ(R.PC, 0x1237u);

    set_vectors(0, 0, 0x4000);
    load(0x0300, {0x00});
    R.PC = 0x0300;
    R.S = 0xFF;
    R.P = 0x20 | FLAG_N | FLAG_C | FLAG_D;
    step();
    EXPECT_EQ(R.PC, 0x4000u);
    EXPECT_EQ(RAMptr[0x01FF], 0x03);
    EXPECT_EQ(RAMptr[0x01FE], 0x02);
    EXPECT_EQ(RAMptr[0x01FD], 0x20 | 0x10 | FLAG_N | FLAG_C | FLAG_D);
    EXPECT_EQ(R.P, 0x20 | FLAG_N | FLAG_C | FLAG_D | FLAG_I);

    load(0x4000, {0x40});  // RTI restores P (bit 5 stays) and the return address
    step();
    EXPECT_EQ(R.PC, 0x0302u);
    EXPECT_EQ(R.P, 0x20 | 0x10 | FLAG_N | FLAG_C | FLAG_D);
}

TEST(Instructions, StatusPushAndPull)
{
    fresh_machine();
    R.S = 0xFF;
    run_at_0300({0x08}, 0, 0x20);
    EXPECT_EQ(RAMptr[0x01FF], 0x30);
    R.S = 0xFF;
    run_at_0300({0x08}, 0, 0xC3);
    EXPECT_EQ(RAMptr[0x01FF], 0xF3);
    RAMptr[0x01FF] = 0x00;
    R.S = 0xFE;
    run_at_0300({0x28}, 0, 0xFF);
    EXPECT_EQ(R.P, 0x20);
}

TEST(Instructions, AddressingWrapsAsOnTheChip)
{
    fresh_machine();
    map_all_ram();
    R.X = 1;
    RAMptr[0x0000] = 0x5A;
    run_at_0300({0xBD, 0xFF, 0xFF}, 0, 0x20);  // LDA $FFFF,X
    EXPECT_EQ(R.A, 0x5A);

    R.X = 0;
    load(0x00FF, {0x34});
    RAMptr[0x0000] = 0x12;
    RAMptr[0x0100] = 0x77;
    RAMptr[0x1234] = 0x99;
    run_at_0300({0xA1, 0xFF}, 0, 0x20);  // LDA ($FF,X): pointer from $FF and $00
    EXPECT_EQ(R.A, 0x99);
    R.Y = 1;
    RAMptr[0x1235] = 0x66;
    run_at_0300({0xB1, 0xFF}, 0, 0x20);  // LDA ($FF),Y
    EXPECT_EQ(R.A, 0x66);

    load(0x10FF, {0x00});
    load(0x1000, {0x50});
    load(0x1100, {0x60});
    run_at_0300({0x6C, 0xFF, 0x10}, 0, 0x20);  // JMP ($10FF): high byte from $1000
    EXPECT_EQ(R.PC, 0x5000u);

    load(0x0002, {0xF0, 0xF0});  // BEQ -16 at $0002
    R.PC = 0x0002;
    R.P = 0x20 | FLAG_Z;
    step();
    EXPECT_EQ(R.PC, 0xFFF4u);
    load(0x0300, {0xD0, 0x80});
    R.PC = 0x0300;
    R.P = 0x20;
    step();
    EXPECT_EQ(R.PC, 0x0282u);
    load(0x0300, {0xD0, 0x7F});
    R.PC = 0x0300;
    step();
    EXPECT_EQ(R.PC, 0x0381u);

    // An operand that runs past $FFFF comes from $0000.
    load(0x0000, {0x34, 0x12});
    RAMptr[0x1234] = 0x3C;
    RAMptr[0xFFFF] = 0xAD;  // LDA $1234
    R.PC = 0xFFFF;
    step();
    EXPECT_EQ(R.A, 0x3C);
    EXPECT_EQ(R.PC, 0x0002u);
}

TEST(Instructions, ImmediateOperandIsReadThroughThePageHandler)
{
    fresh_machine();
    static int reads;
    reads = 0;
    readMEMORY[0x03] = [] {
        reads++;
        readvalue = 0x42;
    };
    run_at_0300({0xA9, 0x00}, 0, 0x20);
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(R.A, 0x42);
}

TEST(Instructions, ReadModifyWriteOnRomKeepsTheByte)
{
    fresh_machine();
    RAMptr[0xA000] = 0xFF;
    run_at_0300({0xEE, 0x00, 0xA0}, 0, 0x20);  // INC $A000
    EXPECT_EQ(RAMptr[0xA000], 0xFF);
    EXPECT_EQ(R.P & (FLAG_Z | FLAG_N), FLAG_Z);
}

TEST(Instructions, TransfersClearEffectiveAddressOthersKeepIt)
{
    fresh_machine();
    run_at_0300({0xA5, 0x44}, 0, 0x20);
    EXPECT_EQ(eff_adr, 0x44u);
    run_at_0300({0xE8}, 0, 0x20);  // INX
    EXPECT_EQ(eff_adr, 0x44u);
    run_at_0300({0x48}, 0, 0x20);  // PHA
    EXPECT_EQ(eff_adr, 0x44u);
    PokeFlag = 0;
    R.X = 0x80;
    run_at_0300({0x9A}, 0, 0x20);  // TXS
    EXPECT_EQ(eff_adr, 0u);
    EXPECT_EQ(PokeFlag, 1);
    run_at_0300({0xBA}, 0, 0x20);  // TSX
    EXPECT_EQ(R.X, 0x80);
    EXPECT_EQ(R.P & FLAG_N, FLAG_N);
}

TEST(Instructions, UndefinedOpcodesSkipTheirOperands)
{
    fresh_machine();
    struct { uint8_t op; uint32_t next; uint32_t cycles; } cases[] = {
        {0x0C, 0x0303, 4}, {0x02, 0x0302, 2}, {0x03, 0x0301, 1}, {0x1C, 0x0303, 1}, {0x4B, 0x0301, 2},
    };
    for (auto c : cases) {
        clocks = 0;
        run_at_0300({c.op, 0xEA, 0xEA}, 0, 0x20);
        EXPECT_EQ(R.PC, c.next) << std::hex << int(c.op);
        EXPECT_EQ(clocks, c.cycles) << std::hex << int(c.op);
        EXPECT_STREQ(Op[c.op], "ERR");
    }
}

TEST(Instructions, OpcodeTableMatchesTheDataSheet)
{
    fresh_machine();
    struct { uint8_t op; const char* text; AddressRoutine mode; int cycles; } rows[] = {
        {0x00, "BRK", addr_implied, 7},  {0x20, "JSR", addr_abs, 6},     {0x4C, "JMP", addr_abs, 3},
        {0x6C, "JMP", addr_indirect, 5}, {0x76, "ROR", addr_zpagex, 6},  {0x7E, "ROR", addr_absx, 7},
        {0x91, "STA", addr_indy, 6},     {0x9D, "STA", addr_absx, 5},    {0xBD, "LDA", addr_absx, 4},
        {0xB1, "LDA", addr_indy, 5},     {0x1E, "ASL", addr_absx, 7},    {0xEA, "NOP", addr_implied, 2},
        {0x0A, "ASL A", addr_implied, 2}, {0xB6, "LDX", addr_zpagey, 4}, {0x96, "STX", addr_zpagey, 4},
    };
    for (auto r : rows) {
        EXPECT_STREQ(Op[r.op], r.text);
        EXPECT_EQ(Mode[r.op], r.mode) << std::hex << int(r.op);
        EXPECT_EQ(Ticks[r.op], r.cycles) << std::hex << int(r.op);
    }
    int undefined = 0;
    for (int i = 0; i < 256; i++)
        undefined += std::strcmp(Op[i], "ERR") == 0;
    EXPECT_EQ(undefined, 105);
}

} // namespace
