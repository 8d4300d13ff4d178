#include "machine_setup.h"

#include "cpu/cpu.h"
#include "machine/loop.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <string>

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

    // JSR $3456 at $01FD with the stack over its operand: the low byte is read before the
    // pushes, the high byte after them, where the return address' high byte now lies.
    load(0x01FD, {0x20, 0x56, 0x34});
    R.PC = 0x01FD;
    R.S = 0xFF;
    step();
    EXPECT_EQ(R.PC, 0x0156u);
    EXPECT_EQ(eff_adr, 0x0156u);
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

// Indexed reads take a cycle more when the index carries into the next page, stores and
// read-modify-write instructions do not; a branch taken takes one more, two when its target
// lies in another page than the instruction after it.
TEST(Instructions, CyclesCountPageCrossingsAndBranchesTaken)
{
    fresh_machine();
    map_all_ram();
    load(0x0020, {0xF0, 0x12});  // the pointer $12F0
    struct { uint32_t pc; std::array<uint8_t, 3> code; uint8_t x, y, p; uint32_t cycles; } cases[] = {
        {0x0300, {0xBD, 0xF0, 0x12}, 0x0F, 0, 0x20, 4},  // LDA $12F0,X within the page
        {0x0300, {0xBD, 0xF0, 0x12}, 0x10, 0, 0x20, 5},  // ... and into the next
        {0x0300, {0xFD, 0xFF, 0xFF}, 0x01, 0, 0x20, 5},  // SBC $FFFF,X: to $0000
        {0x0300, {0xB9, 0xF0, 0x12}, 0, 0x10, 0x20, 5},  // LDA $12F0,Y
        {0x0300, {0xBE, 0xF0, 0x12}, 0, 0x10, 0x20, 5},  // LDX $12F0,Y
        {0x0300, {0xB1, 0x20}, 0, 0x0F, 0x20, 5},        // LDA ($20),Y
        {0x0300, {0xB1, 0x20}, 0, 0x10, 0x20, 6},
        {0x0300, {0xB3, 0x20}, 0, 0x10, 0x20, 6},        // LAX ($20),Y
        {0x0300, {0x1C, 0xF0, 0x12}, 0x10, 0, 0x20, 4},  // NOP $12F0,X
        {0x0300, {0x9D, 0xF0, 0x12}, 0x10, 0, 0x20, 5},  // STA $12F0,X, page crossed or not
        {0x0300, {0x9D, 0xF0, 0x12}, 0x00, 0, 0x20, 5},
        {0x0300, {0x91, 0x20}, 0, 0x10, 0x20, 6},        // STA ($20),Y
        {0x0300, {0xFE, 0xF0, 0x12}, 0x10, 0, 0x20, 7},  // INC $12F0,X
        {0x0300, {0xDB, 0xF0, 0x12}, 0, 0x10, 0x20, 7},  // DCP $12F0,Y
        {0x0300, {0xD0, 0x10}, 0, 0, 0x22, 2},           // BNE not taken
        {0x0300, {0xD0, 0x10}, 0, 0, 0x20, 3},           // taken to $0312
        {0x0300, {0xD0, 0x80}, 0, 0, 0x20, 4},           // taken to $0282
        {0x02FD, {0x10, 0x01}, 0, 0, 0x20, 4},           // BPL from $02FD to $0300
        {0x02FE, {0x10, 0x00}, 0, 0, 0x20, 3},           // BPL from $02FE to $0300, the next instruction
    };
    for (const auto& k : cases) {
        std::copy(k.code.begin(), k.code.end(), RAMptr + k.pc);
        R.PC = k.pc;
        R.X = k.x;
        R.Y = k.y;
        R.P = k.p;
        clocks = 0;
        step();
        EXPECT_EQ(clocks, k.cycles) << std::hex << int(k.code[0]) << " at " << k.pc;
    }
}

// The undocumented opcodes as the NMOS chip runs them: each from the registers `in` with the
// byte m at `at`, to the registers `out` and the byte `m_out` there.
TEST(Instructions, UndocumentedOpcodesAsOnTheNmosChip)
{
    struct Regs { uint8_t a, x, y, s, p; };
    struct {
        std::array<uint8_t, 3> code;
        Regs in;
        uint16_t at;
        uint8_t m;
        Regs out;
        uint8_t m_out;
        uint32_t cycles, length;
    } cases[] = {
        {{0xA7, 0x10}, {0, 0, 0, 0xFF, 0x20}, 0x10, 0x80, {0x80, 0x80, 0, 0xFF, 0xA0}, 0x80, 3, 2},           // LAX
        {{0x87, 0x10}, {0xF0, 0x3C, 0, 0xFF, 0x22}, 0x10, 0, {0xF0, 0x3C, 0, 0xFF, 0x22}, 0x30, 3, 2},        // SAX
        {{0xC7, 0x10}, {0x42, 0, 0, 0xFF, 0x20}, 0x10, 0x43, {0x42, 0, 0, 0xFF, 0x23}, 0x42, 5, 2},           // DCP
        {{0xE7, 0x10}, {0x50, 0, 0, 0xFF, 0x29}, 0x10, 0x08, {0x41, 0, 0, 0xFF, 0x29}, 0x09, 5, 2},           // ISC, D
        {{0x07, 0x10}, {0x10, 0, 0, 0xFF, 0x20}, 0x10, 0x81, {0x12, 0, 0, 0xFF, 0x21}, 0x02, 5, 2},           // SLO
        {{0x27, 0x10}, {0xFF, 0, 0, 0xFF, 0x21}, 0x10, 0x81, {0x03, 0, 0, 0xFF, 0x21}, 0x03, 5, 2},           // RLA
        {{0x47, 0x10}, {0xC0, 0, 0, 0xFF, 0x20}, 0x10, 0x81, {0x80, 0, 0, 0xFF, 0xA1}, 0x40, 5, 2},           // SRE
        {{0x67, 0x10}, {0x01, 0, 0, 0xFF, 0x21}, 0x10, 0x02, {0x82, 0, 0, 0xFF, 0xA0}, 0x81, 5, 2},           // RRA
        {{0x67, 0x10}, {0x19, 0, 0, 0xFF, 0x28}, 0x10, 0x12, {0x28, 0, 0, 0xFF, 0x28}, 0x09, 5, 2},           // RRA, D
        {{0x0B, 0x80}, {0xFF, 0, 0, 0xFF, 0x20}, 0x10, 0, {0x80, 0, 0, 0xFF, 0xA1}, 0, 2, 2},                 // ANC
        {{0x4B, 0x03}, {0xFF, 0, 0, 0xFF, 0x20}, 0x10, 0, {0x01, 0, 0, 0xFF, 0x21}, 0, 2, 2},                 // ALR
        {{0x6B, 0xFF}, {0xC0, 0, 0, 0xFF, 0x21}, 0x10, 0, {0xE0, 0, 0, 0xFF, 0xA1}, 0, 2, 2},                 // ARR
        {{0x6B, 0xFF}, {0x66, 0, 0, 0xFF, 0x28}, 0x10, 0, {0x99, 0, 0, 0xFF, 0x69}, 0, 2, 2},                 // ARR, D
        {{0xCB, 0x02}, {0x0F, 0xF3, 0, 0xFF, 0x20}, 0x10, 0, {0x0F, 0x01, 0, 0xFF, 0x21}, 0, 2, 2},           // SBX
        {{0x8B, 0xFF}, {0x01, 0x0F, 0, 0xFF, 0x20}, 0x10, 0, {0x0F, 0x0F, 0, 0xFF, 0x20}, 0, 2, 2},           // ANE
        {{0xAB, 0xF0}, {0, 0, 0, 0xFF, 0x20}, 0x10, 0, {0xE0, 0xE0, 0, 0xFF, 0xA0}, 0, 2, 2},                 // LXA
        {{0xEB, 0x01}, {0x05, 0, 0, 0xFF, 0x21}, 0x10, 0, {0x04, 0, 0, 0xFF, 0x21}, 0, 2, 2},                 // SBC
        {{0xBB, 0xFF, 0x11}, {0, 0, 0x02, 0xF0, 0x20}, 0x1201, 0x3C, {0x30, 0x30, 0x02, 0x30, 0x20}, 0x3C, 5, 3},  // LAS
        {{0x9E, 0x00, 0x12}, {0, 0xFF, 0x01, 0xFF, 0x20}, 0x1201, 0, {0, 0xFF, 0x01, 0xFF, 0x20}, 0x13, 5, 3},     // SHX
        {{0x9C, 0x00, 0x12}, {0, 0x01, 0xFF, 0xFF, 0x20}, 0x1201, 0, {0, 0x01, 0xFF, 0xFF, 0x20}, 0x13, 5, 3},     // SHY
        {{0x9F, 0x00, 0x12}, {0xFF, 0x0F, 0x01, 0xFF, 0x20}, 0x1201, 0, {0xFF, 0x0F, 0x01, 0xFF, 0x20}, 0x03, 5, 3},  // SHA
        {{0x9B, 0x00, 0x12}, {0xF0, 0x3F, 0x01, 0xFF, 0x20}, 0x1201, 0, {0xF0, 0x3F, 0x01, 0x30, 0x20}, 0x10, 5, 3},  // TAS
        {{0x0C, 0x34, 0x12}, {0, 0, 0, 0xFF, 0x20}, 0x10, 0, {0, 0, 0, 0xFF, 0x20}, 0, 3, 3},                 // NOP abs
        {{0x14, 0x10}, {0, 0, 0, 0xFF, 0x20}, 0x10, 0, {0, 0, 0, 0xFF, 0x20}, 0, 4, 2},                       // NOP zp,X
        {{0x80, 0x10}, {0, 0, 0, 0xFF, 0x20}, 0x10, 0, {0, 0, 0, 0xFF, 0x20}, 0, 2, 2},                       // NOP #
        {{0x1A}, {0, 0, 0, 0xFF, 0x20}, 0x10, 0, {0, 0, 0, 0xFF, 0x20}, 0, 2, 1},                             // NOP
        {{0x02}, {0, 0, 0, 0xFF, 0x20}, 0x10, 0, {0, 0, 0, 0xFF, 0x20}, 0, 3, 0},                             // JAM
    };
    fresh_machine();
    map_all_ram();
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "opcode " << int(k.code[0]) << " " << Op[k.code[0]]);
        std::copy(k.code.begin(), k.code.end(), RAMptr + 0x0300);
        RAMptr[k.at] = k.m;
        R.PC = 0x0300;
        R.A = k.in.a, R.X = k.in.x, R.Y = k.in.y, R.S = k.in.s, R.P = k.in.p;
        clocks = 0;
        step();
        const uint8_t got[] = {R.A, R.X, R.Y, R.S, R.P}, want[] = {k.out.a, k.out.x, k.out.y, k.out.s, k.out.p};
        for (int i = 0; i < 5; i++)
            EXPECT_EQ(int(got[i]), int(want[i])) << "AXYSP"[i];
        EXPECT_EQ(RAMptr[k.at], k.m_out);
        EXPECT_EQ(clocks, k.cycles);
        EXPECT_EQ(R.PC, 0x0300 + k.length);
        if (k.code[0] != 0x02) {
            EXPECT_FALSE(test_host->debugger_open) << "Stop on Error code is off";
        }
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
        {0x02, "JAM", addr_implied, 3},  {0xA3, "LAX", addr_indx, 6},    {0x97, "SAX", addr_zpagey, 4},
        {0xD3, "DCP", addr_indy, 8},     {0xFF, "ISC", addr_absx, 7},    {0x9B, "TAS", addr_absy, 5},
        {0x93, "SHA", addr_indy, 6},     {0xEB, "SBC", addr_immediate, 2}, {0xDC, "NOP", addr_absx, 4},
    };
    for (auto r : rows) {
        EXPECT_STREQ(Op[r.op], r.text);
        EXPECT_EQ(Mode[r.op], r.mode) << std::hex << int(r.op);
        EXPECT_EQ(Ticks[r.op], r.cycles) << std::hex << int(r.op);
    }
    // The 56 mnemonics, the four accumulator shifts and 20 undocumented ones; 12 opcodes JAM.
    std::set<std::string> texts;
    int jams = 0;
    for (int i = 0; i < 256; i++) {
        texts.insert(Op[i]);
        jams += std::strcmp(Op[i], "JAM") == 0;
    }
    EXPECT_EQ(texts.size(), 80u);
    EXPECT_EQ(jams, 12);
}

} // namespace
