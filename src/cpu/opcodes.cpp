#include "cpu/cpu.h"

#include "cpu/instructions.h"

#include <cstring>

char Op[256][6];
AddressRoutine Mode[256];
int Ticks[256];
Routine Inst[256];

namespace {

struct OpcodeRow {
    const char* text;
    AddressRoutine mode;
    int cycles;
    void (*run)(Core&);
    Routine inst;
};

#define OP(text, mode, cycles, name) \
    {text, addr_##mode, cycles, i_##name<addr_##mode>, on_R<i_##name<addr_##mode>>}

// The NMOS 6502 with its published base cycle counts. Undefined opcodes are
// skipped with the operand bytes and cycles their row gives them.
constexpr OpcodeRow opcode_table[256] = {
    /* 00 */ OP("BRK",    implied,   7, brk),
    /* 01 */ OP("ORA",    indx,      6, ora),
    /* 02 */ OP("ERR",    immediate, 2, ERR),
    /* 03 */ OP("ERR",    implied,   1, ERR),
    /* 04 */ OP("ERR",    immediate, 2, ERR),
    /* 05 */ OP("ORA",    zpage,     3, ora),
    /* 06 */ OP("ASL",    zpage,     5, asl),
    /* 07 */ OP("ERR",    implied,   1, ERR),
    /* 08 */ OP("PHP",    implied,   3, php),
    /* 09 */ OP("ORA",    immediate, 2, ora),
    /* 0A */ OP("ASL A",  implied,   2, asla),
    /* 0B */ OP("ERR",    implied,   1, ERR),
    /* 0C */ OP("ERR",    abs,       4, ERR),
    /* 0D */ OP("ORA",    abs,       4, ora),
    /* 0E */ OP("ASL",    abs,       6, asl),
    /* 0F */ OP("ERR",    implied,   1, ERR),
    /* 10 */ OP("BPL",    relative,  2, bpl),
    /* 11 */ OP("ORA",    indy,      5, ora),
    /* 12 */ OP("ERR",    immediate, 2, ERR),
    /* 13 */ OP("ERR",    implied,   1, ERR),
    /* 14 */ OP("ERR",    immediate, 2, ERR),
    /* 15 */ OP("ORA",    zpagex,    4, ora),
    /* 16 */ OP("ASL",    zpagex,    6, asl),
    /* 17 */ OP("ERR",    implied,   1, ERR),
    /* 18 */ OP("CLC",    implied,   2, clc),
    /* 19 */ OP("ORA",    absy,      4, ora),
    /* 1A */ OP("ERR",    implied,   1, ERR),
    /* 1B */ OP("ERR",    implied,   1, ERR),
    /* 1C */ OP("ERR",    abs,       1, ERR),
    /* 1D */ OP("ORA",    absx,      4, ora),
    /* 1E */ OP("ASL",    absx,      7, asl),
    /* 1F */ OP("ERR",    implied,   1, ERR),
    /* 20 */ OP("JSR",    abs,       6, jsr),
    /* 21 */ OP("AND",    indx,      6, and),
    /* 22 */ OP("ERR",    immediate, 2, ERR),
    /* 23 */ OP("ERR",    implied,   1, ERR),
    /* 24 */ OP("BIT",    zpage,     3, bit),
    /* 25 */ OP("AND",    zpage,     3, and),
    /* 26 */ OP("ROL",    zpage,     5, rol),
    /* 27 */ OP("ERR",    implied,   1, ERR),
    /* 28 */ OP("PLP",    implied,   4, plp),
    /* 29 */ OP("AND",    immediate, 2, and),
    /* 2A */ OP("ROL A",  implied,   2, rola),
    /* 2B */ OP("ERR",    implied,   1, ERR),
    /* 2C */ OP("BIT",    abs,       4, bit),
    /* 2D */ OP("AND",    abs,       4, and),
    /* 2E */ OP("ROL",    abs,       6, rol),
    /* 2F */ OP("ERR",    implied,   1, ERR),
    /* 30 */ OP("BMI",    relative,  2, bmi),
    /* 31 */ OP("AND",    indy,      5, and),
    /* 32 */ OP("ERR",    immediate, 2, ERR),
    /* 33 */ OP("ERR",    implied,   1, ERR),
    /* 34 */ OP("ERR",    immediate, 2, ERR),
    /* 35 */ OP("AND",    zpagex,    4, and),
    /* 36 */ OP("ROL",    zpagex,    6, rol),
    /* 37 */ OP("ERR",    implied,   1, ERR),
    /* 38 */ OP("SEC",    implied,   2, sec),
    /* 39 */ OP("AND",    absy,      4, and),
    /* 3A */ OP("ERR",    implied,   1, ERR),
    /* 3B */ OP("ERR",    implied,   1, ERR),
    /* 3C */ OP("ERR",    abs,       4, ERR),
    /* 3D */ OP("AND",    absx,      4, and),
    /* 3E */ OP("ROL",    absx,      7, rol),
    /* 3F */ OP("ERR",    implied,   1, ERR),
    /* 40 */ OP("RTI",    implied,   6, rti),
    /* 41 */ OP("EOR",    indx,      6, eor),
    /* 42 */ OP("ERR",    immediate, 2, ERR),
    /* 43 */ OP("ERR",    implied,   1, ERR),
    /* 44 */ OP("ERR",    immediate, 2, ERR),
    /* 45 */ OP("EOR",    zpage,     3, eor),
    /* 46 */ OP("LSR",    zpage,     5, lsr),
    /* 47 */ OP("ERR",    implied,   1, ERR),
    /* 48 */ OP("PHA",    implied,   3, pha),
    /* 49 */ OP("EOR",    immediate, 2, eor),
    /* 4A */ OP("LSR A",  implied,   2, lsra),
    /* 4B */ OP("ERR",    implied,   2, ERR),
    /* 4C */ OP("JMP",    abs,       3, jmp),
    /* 4D */ OP("EOR",    abs,       4, eor),
    /* 4E */ OP("LSR",    abs,       6, lsr),
    /* 4F */ OP("ERR",    implied,   1, ERR),
    /* 50 */ OP("BVC",    relative,  2, bvc),
    /* 51 */ OP("EOR",    indy,      5, eor),
    /* 52 */ OP("ERR",    immediate, 2, ERR),
    /* 53 */ OP("ERR",    implied,   1, ERR),
    /* 54 */ OP("ERR",    immediate, 2, ERR),
    /* 55 */ OP("EOR",    zpagex,    4, eor),
    /* 56 */ OP("LSR",    zpagex,    6, lsr),
    /* 57 */ OP("ERR",    implied,   1, ERR),
    /* 58 */ OP("CLI",    implied,   2, cli),
    /* 59 */ OP("EOR",    absy,      4, eor),
    /* 5A */ OP("ERR",    implied,   1, ERR),
    /* 5B */ OP("ERR",    implied,   1, ERR),
    /* 5C */ OP("ERR",    abs,       4, ERR),
    /* 5D */ OP("EOR",    absx,      4, eor),
    /* 5E */ OP("LSR",    absx,      7, lsr),
    /* 5F */ OP("ERR",    implied,   1, ERR),
    /* 60 */ OP("RTS",    implied,   6, rts),
    /* 61 */ OP("ADC",    indx,      6, adc),
    /* 62 */ OP("ERR",    immediate, 2, ERR),
    /* 63 */ OP("ERR",    implied,   1, ERR),
    /* 64 */ OP("ERR",    immediate, 2, ERR),
    /* 65 */ OP("ADC",    zpage,     3, adc),
    /* 66 */ OP("ROR",    zpage,     5, ror),
    /* 67 */ OP("ERR",    implied,   1, ERR),
    /* 68 */ OP("PLA",    implied,   4, pla),
    /* 69 */ OP("ADC",    immediate, 2, adc),
    /* 6A */ OP("ROR A",  implied,   2, rora),
    /* 6B */ OP("ERR",    implied,   1, ERR),
    /* 6C */ OP("JMP",    indirect,  5, jmp),
    /* 6D */ OP("ADC",    abs,       4, adc),
    /* 6E */ OP("ROR",    abs,       6, ror),
    /* 6F */ OP("ERR",    implied,   1, ERR),
    /* 70 */ OP("BVS",    relative,  2, bvs),
    /* 71 */ OP("ADC",    indy,      5, adc),
    /* 72 */ OP("ERR",    immediate, 2, ERR),
    /* 73 */ OP("ERR",    implied,   1, ERR),
    /* 74 */ OP("ERR",    immediate, 2, ERR),
    /* 75 */ OP("ADC",    zpagex,    4, adc),
    /* 76 */ OP("ROR",    zpagex,    6, ror),
    /* 77 */ OP("ERR",    implied,   1, ERR),
    /* 78 */ OP("SEI",    implied,   2, sei),
    /* 79 */ OP("ADC",    absy,      4, adc),
    /* 7A */ OP("ERR",    implied,   1, ERR),
    /* 7B */ OP("ERR",    implied,   1, ERR),
    /* 7C */ OP("ERR",    abs,       4, ERR),
    /* 7D */ OP("ADC",    absx,      4, adc),
    /* 7E */ OP("ROR",    absx,      7, ror),
    /* 7F */ OP("ERR",    implied,   1, ERR),
    /* 80 */ OP("ERR",    immediate, 2, ERR),
    /* 81 */ OP("STA",    indx,      6, sta),
    /* 82 */ OP("ERR",    immediate, 2, ERR),
    /* 83 */ OP("ERR",    implied,   1, ERR),
    /* 84 */ OP("STY",    zpage,     3, sty),
    /* 85 */ OP("STA",    zpage,     3, sta),
    /* 86 */ OP("STX",    zpage,     3, stx),
    /* 87 */ OP("ERR",    implied,   1, ERR),
    /* 88 */ OP("DEY",    implied,   2, dey),
    /* 89 */ OP("ERR",    immediate, 2, ERR),
    /* 8A */ OP("TXA",    implied,   2, txa),
    /* 8B */ OP("ERR",    implied,   1, ERR),
    /* 8C */ OP("STY",    abs,       4, sty),
    /* 8D */ OP("STA",    abs,       4, sta),
    /* 8E */ OP("STX",    abs,       4, stx),
    /* 8F */ OP("ERR",    implied,   1, ERR),
    /* 90 */ OP("BCC",    relative,  2, bcc),
    /* 91 */ OP("STA",    indy,      6, sta),
    /* 92 */ OP("ERR",    immediate, 2, ERR),
    /* 93 */ OP("ERR",    implied,   1, ERR),
    /* 94 */ OP("STY",    zpagex,    4, sty),
    /* 95 */ OP("STA",    zpagex,    4, sta),
    /* 96 */ OP("STX",    zpagey,    4, stx),
    /* 97 */ OP("ERR",    implied,   1, ERR),
    /* 98 */ OP("TYA",    implied,   2, tya),
    /* 99 */ OP("STA",    absy,      5, sta),
    /* 9A */ OP("TXS",    implied,   2, txs),
    /* 9B */ OP("ERR",    implied,   1, ERR),
    /* 9C */ OP("ERR",    abs,       4, ERR),
    /* 9D */ OP("STA",    absx,      5, sta),
    /* 9E */ OP("ERR",    abs,       4, ERR),
    /* 9F */ OP("ERR",    implied,   1, ERR),
    /* A0 */ OP("LDY",    immediate, 2, ldy),
    /* A1 */ OP("LDA",    indx,      6, lda),
    /* A2 */ OP("LDX",    immediate, 2, ldx),
    /* A3 */ OP("ERR",    implied,   1, ERR),
    /* A4 */ OP("LDY",    zpage,     3, ldy),
    /* A5 */ OP("LDA",    zpage,     3, lda),
    /* A6 */ OP("LDX",    zpage,     3, ldx),
    /* A7 */ OP("ERR",    implied,   1, ERR),
    /* A8 */ OP("TAY",    implied,   2, tay),
    /* A9 */ OP("LDA",    immediate, 2, lda),
    /* AA */ OP("TAX",    implied,   2, tax),
    /* AB */ OP("ERR",    implied,   1, ERR),
    /* AC */ OP("LDY",    abs,       4, ldy),
    /* AD */ OP("LDA",    abs,       4, lda),
    /* AE */ OP("LDX",    abs,       4, ldx),
    /* AF */ OP("ERR",    implied,   1, ERR),
    /* B0 */ OP("BCS",    relative,  2, bcs),
    /* B1 */ OP("LDA",    indy,      5, lda),
    /* B2 */ OP("ERR",    immediate, 2, ERR),
    /* B3 */ OP("ERR",    implied,   1, ERR),
    /* B4 */ OP("LDY",    zpagex,    4, ldy),
    /* B5 */ OP("LDA",    zpagex,    4, lda),
    /* B6 */ OP("LDX",    zpagey,    4, ldx),
    /* B7 */ OP("ERR",    implied,   1, ERR),
    /* B8 */ OP("CLV",    implied,   2, clv),
    /* B9 */ OP("LDA",    absy,      4, lda),
    /* BA */ OP("TSX",    implied,   2, tsx),
    /* BB */ OP("ERR",    implied,   1, ERR),
    /* BC */ OP("LDY",    absx,      4, ldy),
    /* BD */ OP("LDA",    absx,      4, lda),
    /* BE */ OP("LDX",    absy,      4, ldx),
    /* BF */ OP("ERR",    implied,   1, ERR),
    /* C0 */ OP("CPY",    immediate, 2, cpy),
    /* C1 */ OP("CMP",    indx,      6, cmp),
    /* C2 */ OP("ERR",    immediate, 2, ERR),
    /* C3 */ OP("ERR",    implied,   1, ERR),
    /* C4 */ OP("CPY",    zpage,     3, cpy),
    /* C5 */ OP("CMP",    zpage,     3, cmp),
    /* C6 */ OP("DEC",    zpage,     5, dec),
    /* C7 */ OP("ERR",    implied,   1, ERR),
    /* C8 */ OP("INY",    implied,   2, iny),
    /* C9 */ OP("CMP",    immediate, 2, cmp),
    /* CA */ OP("DEX",    implied,   2, dex),
    /* CB */ OP("ERR",    implied,   1, ERR),
    /* CC */ OP("CPY",    abs,       4, cpy),
    /* CD */ OP("CMP",    abs,       4, cmp),
    /* CE */ OP("DEC",    abs,       6, dec),
    /* CF */ OP("ERR",    implied,   1, ERR),
    /* D0 */ OP("BNE",    relative,  2, bne),
    /* D1 */ OP("CMP",    indy,      5, cmp),
    /* D2 */ OP("ERR",    immediate, 2, ERR),
    /* D3 */ OP("ERR",    implied,   1, ERR),
    /* D4 */ OP("ERR",    immediate, 2, ERR),
    /* D5 */ OP("CMP",    zpagex,    4, cmp),
    /* D6 */ OP("DEC",    zpagex,    6, dec),
    /* D7 */ OP("ERR",    implied,   1, ERR),
    /* D8 */ OP("CLD",    implied,   2, cld),
    /* D9 */ OP("CMP",    absy,      4, cmp),
    /* DA */ OP("ERR",    implied,   1, ERR),
    /* DB */ OP("ERR",    implied,   1, ERR),
    /* DC */ OP("ERR",    abs,       4, ERR),
    /* DD */ OP("CMP",    absx,      4, cmp),
    /* DE */ OP("DEC",    absx,      7, dec),
    /* DF */ OP("ERR",    implied,   1, ERR),
    /* E0 */ OP("CPX",    immediate, 2, cpx),
    /* E1 */ OP("SBC",    indx,      6, sbc),
    /* E2 */ OP("ERR",    immediate, 2, ERR),
    /* E3 */ OP("ERR",    implied,   1, ERR),
    /* E4 */ OP("CPX",    zpage,     3, cpx),
    /* E5 */ OP("SBC",    zpage,     3, sbc),
    /* E6 */ OP("INC",    zpage,     5, inc),
    /* E7 */ OP("ERR",    implied,   1, ERR),
    /* E8 */ OP("INX",    implied,   2, inx),
    /* E9 */ OP("SBC",    immediate, 2, sbc),
    /* EA */ OP("NOP",    implied,   2, nop),
    /* EB */ OP("ERR",    implied,   1, ERR),
    /* EC */ OP("CPX",    abs,       4, cpx),
    /* ED */ OP("SBC",    abs,       4, sbc),
    /* EE */ OP("INC",    abs,       6, inc),
    /* EF */ OP("ERR",    implied,   1, ERR),
    /* F0 */ OP("BEQ",    relative,  2, beq),
    /* F1 */ OP("SBC",    indy,      5, sbc),
    /* F2 */ OP("ERR",    immediate, 2, ERR),
    /* F3 */ OP("ERR",    implied,   1, ERR),
    /* F4 */ OP("ERR",    immediate, 2, ERR),
    /* F5 */ OP("SBC",    zpagex,    4, sbc),
    /* F6 */ OP("INC",    zpagex,    6, inc),
    /* F7 */ OP("ERR",    implied,   1, ERR),
    /* F8 */ OP("SED",    implied,   2, sed),
    /* F9 */ OP("SBC",    absy,      4, sbc),
    /* FA */ OP("ERR",    implied,   1, ERR),
    /* FB */ OP("ERR",    implied,   1, ERR),
    /* FC */ OP("ERR",    abs,       4, ERR),
    /* FD */ OP("SBC",    absx,      4, sbc),
    /* FE */ OP("INC",    absx,      7, inc),
    /* FF */ OP("ERR",    implied,   1, ERR),
};

#undef OP

// An opcode's routine, inlined into the run below with its cycles.
template <int op> inline uint32_t execute(Core& c)
{
    opcode_table[op].run(c);
    return opcode_table[op].cycles;
}

} // namespace

void build_opcode_table()
{
    for (int i = 0; i < 256; i++) {
        std::strcpy(Op[i], opcode_table[i].text);
        Mode[i] = opcode_table[i].mode;
        Ticks[i] = opcode_table[i].cycles;
        Inst[i] = opcode_table[i].inst;
    }
}

// Each opcode's code ends with its own fetch of the next opcode, so the host predicts the
// jump to the next routine from the one before it.
#define FETCH                          \
    clocks = cycles;                   \
    RPC_old = c.PC;                    \
    if (c.PC >= 0xFFFE) {              \
        c.mem[0x10000] = c.mem[0];     \
        c.mem[0x10001] = c.mem[1];     \
    }                                  \
    op = c.mem[c.PC];                  \
    R.IR = op;                         \
    c.PC = (c.PC + 1) & 0xFFFF;        \
    goto* routine[op];

#define OPCODE(k)                                                                             \
    op_##k : cycles += execute<k>(c);                                                         \
    if (++n < limit && cycles < t_check && c.PC != stop_loc && SEnable && !Hardware_timer) { \
        FETCH                                                                                 \
    }                                                                                         \
    goto done;

#define ROW(h)                                                                                  \
    OPCODE(h##0) OPCODE(h##1) OPCODE(h##2) OPCODE(h##3) OPCODE(h##4) OPCODE(h##5) OPCODE(h##6) \
    OPCODE(h##7) OPCODE(h##8) OPCODE(h##9) OPCODE(h##A) OPCODE(h##B) OPCODE(h##C) OPCODE(h##D) \
    OPCODE(h##E) OPCODE(h##F)

#define LABELS(h)                                                                              \
    &&op_##h##0, &&op_##h##1, &&op_##h##2, &&op_##h##3, &&op_##h##4, &&op_##h##5, &&op_##h##6, \
    &&op_##h##7, &&op_##h##8, &&op_##h##9, &&op_##h##A, &&op_##h##B, &&op_##h##C, &&op_##h##D, \
    &&op_##h##E, &&op_##h##F,

// The registers stay in the host's registers for the whole run; globals that a page handler
// or an undefined opcode may change are read again after every instruction. The cycle count
// is kept current for the handlers, as a single step keeps it.
[[gnu::flatten]] uint32_t run_instructions(uint32_t limit)
{
    static const void* const routine[256] = {
        LABELS(0x0) LABELS(0x1) LABELS(0x2) LABELS(0x3) LABELS(0x4) LABELS(0x5) LABELS(0x6) LABELS(0x7)
        LABELS(0x8) LABELS(0x9) LABELS(0xA) LABELS(0xB) LABELS(0xC) LABELS(0xD) LABELS(0xE) LABELS(0xF)
    };
    Core c = core_of_R();
    uint32_t cycles = clocks;
    uint32_t n = 0;
    uint8_t op;
    FETCH
    ROW(0x0) ROW(0x1) ROW(0x2) ROW(0x3) ROW(0x4) ROW(0x5) ROW(0x6) ROW(0x7)
    ROW(0x8) ROW(0x9) ROW(0xA) ROW(0xB) ROW(0xC) ROW(0xD) ROW(0xE) ROW(0xF)
done:
    clocks = cycles;
    set_R(c);
    return n;
}

#undef LABELS
#undef ROW
#undef OPCODE
#undef FETCH
