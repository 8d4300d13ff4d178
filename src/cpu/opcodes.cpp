#include "cpu/cpu.h"

#include "cpu/instructions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

char Op[256][6];
AddressRoutine Mode[256];
int Ticks[256];
Routine Inst[256];
uint32_t jam_loc = NO_JAM;

namespace {

struct OpcodeRow {
    const char* text;
    AddressRoutine mode;
    int cycles;
    uint32_t (*run)(Core&);
    Routine inst;
};

#define OP(text, mode, cycles, name) \
    {text, addr_##mode, cycles, i_##name<addr_##mode>, on_R<i_##name<addr_##mode>>}
#define UOP(text, mode, cycles, name) \
    {text, addr_##mode, cycles, i_ERR<i_##name<addr_##mode>>, on_R<i_ERR<i_##name<addr_##mode>>>}

// The NMOS 6502 with its base cycle counts, a page crossing or a branch taken adding to them.
// UOP rows are the undocumented opcodes, which Stop on Error code traps; the twelve JAMs
// stop the machine whatever it says. The absolute NOPs take 3 cycles and the absolute,X ones 4,
// page crossed or not, as the single-step cases of the chip count them (cycle tables give one
// more for each).
constexpr OpcodeRow opcode_table[256] = {
    /* 00 */  OP("BRK",   implied,   7, brk),
    /* 01 */  OP("ORA",   indx,      6, ora),
    /* 02 */  OP("JAM",   implied,   3, jam),
    /* 03 */ UOP("SLO",   indx,      8, slo),
    /* 04 */ UOP("NOP",   zpage,     3, nop),
    /* 05 */  OP("ORA",   zpage,     3, ora),
    /* 06 */  OP("ASL",   zpage,     5, asl),
    /* 07 */ UOP("SLO",   zpage,     5, slo),
    /* 08 */  OP("PHP",   implied,   3, php),
    /* 09 */  OP("ORA",   immediate, 2, ora),
    /* 0A */  OP("ASL A", implied,   2, asla),
    /* 0B */ UOP("ANC",   immediate, 2, anc),
    /* 0C */ UOP("NOP",   abs,       3, nop),
    /* 0D */  OP("ORA",   abs,       4, ora),
    /* 0E */  OP("ASL",   abs,       6, asl),
    /* 0F */ UOP("SLO",   abs,       6, slo),
    /* 10 */  OP("BPL",   relative,  2, bpl),
    /* 11 */  OP("ORA",   indy,      5, ora),
    /* 12 */  OP("JAM",   implied,   3, jam),
    /* 13 */ UOP("SLO",   indy,      8, slo),
    /* 14 */ UOP("NOP",   zpagex,    4, nop),
    /* 15 */  OP("ORA",   zpagex,    4, ora),
    /* 16 */  OP("ASL",   zpagex,    6, asl),
    /* 17 */ UOP("SLO",   zpagex,    6, slo),
    /* 18 */  OP("CLC",   implied,   2, clc),
    /* 19 */  OP("ORA",   absy,      4, ora),
    /* 1A */ UOP("NOP",   implied,   2, nop),
    /* 1B */ UOP("SLO",   absy,      7, slo),
    /* 1C */ UOP("NOP",   absx,      4, nop),
    /* 1D */  OP("ORA",   absx,      4, ora),
    /* 1E */  OP("ASL",   absx,      7, asl),
    /* 1F */ UOP("SLO",   absx,      7, slo),
    /* 20 */  OP("JSR",   abs,       6, jsr),
    /* 21 */  OP("AND",   indx,      6, and),
    /* 22 */  OP("JAM",   implied,   3, jam),
    /* 23 */ UOP("RLA",   indx,      8, rla),
    /* 24 */  OP("BIT",   zpage,     3, bit),
    /* 25 */  OP("AND",   zpage,     3, and),
    /* 26 */  OP("ROL",   zpage,     5, rol),
    /* 27 */ UOP("RLA",   zpage,     5, rla),
    /* 28 */  OP("PLP",   implied,   4, plp),
    /* 29 */  OP("AND",   immediate, 2, and),
    /* 2A */  OP("ROL A", implied,   2, rola),
    /* 2B */ UOP("ANC",   immediate, 2, anc),
    /* 2C */  OP("BIT",   abs,       4, bit),
    /* 2D */  OP("AND",   abs,       4, and),
    /* 2E */  OP("ROL",   abs,       6, rol),
    /* 2F */ UOP("RLA",   abs,       6, rla),
    /* 30 */  OP("BMI",   relative,  2, bmi),
    /* 31 */  OP("AND",   indy,      5, and),
    /* 32 */  OP("JAM",   implied,   3, jam),
    /* 33 */ UOP("RLA",   indy,      8, rla),
    /* 34 */ UOP("NOP",   zpagex,    4, nop),
    /* 35 */  OP("AND",   zpagex,    4, and),
    /* 36 */  OP("ROL",   zpagex,    6, rol),
    /* 37 */ UOP("RLA",   zpagex,    6, rla),
    /* 38 */  OP("SEC",   implied,   2, sec),
    /* 39 */  OP("AND",   absy,      4, and),
    /* 3A */ UOP("NOP",   implied,   2, nop),
    /* 3B */ UOP("RLA",   absy,      7, rla),
    /* 3C */ UOP("NOP",   absx,      4, nop),
    /* 3D */  OP("AND",   absx,      4, and),
    /* 3E */  OP("ROL",   absx,      7, rol),
    /* 3F */ UOP("RLA",   absx,      7, rla),
    /* 40 */  OP("RTI",   implied,   6, rti),
    /* 41 */  OP("EOR",   indx,      6, eor),
    /* 42 */  OP("JAM",   implied,   3, jam),
    /* 43 */ UOP("SRE",   indx,      8, sre),
    /* 44 */ UOP("NOP",   zpage,     3, nop),
    /* 45 */  OP("EOR",   zpage,     3, eor),
    /* 46 */  OP("LSR",   zpage,     5, lsr),
    /* 47 */ UOP("SRE",   zpage,     5, sre),
    /* 48 */  OP("PHA",   implied,   3, pha),
    /* 49 */  OP("EOR",   immediate, 2, eor),
    /* 4A */  OP("LSR A", implied,   2, lsra),
    /* 4B */ UOP("ALR",   immediate, 2, alr),
    /* 4C */  OP("JMP",   abs,       3, jmp),
    /* 4D */  OP("EOR",   abs,       4, eor),
    /* 4E */  OP("LSR",   abs,       6, lsr),
    /* 4F */ UOP("SRE",   abs,       6, sre),
    /* 50 */  OP("BVC",   relative,  2, bvc),
    /* 51 */  OP("EOR",   indy,      5, eor),
    /* 52 */  OP("JAM",   implied,   3, jam),
    /* 53 */ UOP("SRE",   indy,      8, sre),
    /* 54 */ UOP("NOP",   zpagex,    4, nop),
    /* 55 */  OP("EOR",   zpagex,    4, eor),
    /* 56 */  OP("LSR",   zpagex,    6, lsr),
    /* 57 */ UOP("SRE",   zpagex,    6, sre),
    /* 58 */  OP("CLI",   implied,   2, cli),
    /* 59 */  OP("EOR",   absy,      4, eor),
    /* 5A */ UOP("NOP",   implied,   2, nop),
    /* 5B */ UOP("SRE",   absy,      7, sre),
    /* 5C */ UOP("NOP",   absx,      4, nop),
    /* 5D */  OP("EOR",   absx,      4, eor),
    /* 5E */  OP("LSR",   absx,      7, lsr),
    /* 5F */ UOP("SRE",   absx,      7, sre),
    /* 60 */  OP("RTS",   implied,   6, rts),
    /* 61 */  OP("ADC",   indx,      6, adc),
    /* 62 */  OP("JAM",   implied,   3, jam),
    /* 63 */ UOP("RRA",   indx,      8, rra),
    /* 64 */ UOP("NOP",   zpage,     3, nop),
    /* 65 */  OP("ADC",   zpage,     3, adc),
    /* 66 */  OP("ROR",   zpage,     5, ror),
    /* 67 */ UOP("RRA",   zpage,     5, rra),
    /* 68 */  OP("PLA",   implied,   4, pla),
    /* 69 */  OP("ADC",   immediate, 2, adc),
    /* 6A */  OP("ROR A", implied,   2, rora),
    /* 6B */ UOP("ARR",   immediate, 2, arr),
    /* 6C */  OP("JMP",   indirect,  5, jmp),
    /* 6D */  OP("ADC",   abs,       4, adc),
    /* 6E */  OP("ROR",   abs,       6, ror),
    /* 6F */ UOP("RRA",   abs,       6, rra),
    /* 70 */  OP("BVS",   relative,  2, bvs),
    /* 71 */  OP("ADC",   indy,      5, adc),
    /* 72 */  OP("JAM",   implied,   3, jam),
    /* 73 */ UOP("RRA",   indy,      8, rra),
    /* 74 */ UOP("NOP",   zpagex,    4, nop),
    /* 75 */  OP("ADC",   zpagex,    4, adc),
    /* 76 */  OP("ROR",   zpagex,    6, ror),
    /* 77 */ UOP("RRA",   zpagex,    6, rra),
    /* 78 */  OP("SEI",   implied,   2, sei),
    /* 79 */  OP("ADC",   absy,      4, adc),
    /* 7A */ UOP("NOP",   implied,   2, nop),
    /* 7B */ UOP("RRA",   absy,      7, rra),
    /* 7C */ UOP("NOP",   absx,      4, nop),
    /* 7D */  OP("ADC",   absx,      4, adc),
    /* 7E */  OP("ROR",   absx,      7, ror),
    /* 7F */ UOP("RRA",   absx,      7, rra),
    /* 80 */ UOP("NOP",   immediate, 2, nop),
    /* 81 */  OP("STA",   indx,      6, sta),
    /* 82 */ UOP("NOP",   immediate, 2, nop),
    /* 83 */ UOP("SAX",   indx,      6, sax),
    /* 84 */  OP("STY",   zpage,     3, sty),
    /* 85 */  OP("STA",   zpage,     3, sta),
    /* 86 */  OP("STX",   zpage,     3, stx),
    /* 87 */ UOP("SAX",   zpage,     3, sax),
    /* 88 */  OP("DEY",   implied,   2, dey),
    /* 89 */ UOP("NOP",   immediate, 2, nop),
    /* 8A */  OP("TXA",   implied,   2, txa),
    /* 8B */ UOP("ANE",   immediate, 2, ane),
    /* 8C */  OP("STY",   abs,       4, sty),
    /* 8D */  OP("STA",   abs,       4, sta),
    /* 8E */  OP("STX",   abs,       4, stx),
    /* 8F */ UOP("SAX",   abs,       4, sax),
    /* 90 */  OP("BCC",   relative,  2, bcc),
    /* 91 */  OP("STA",   indy,      6, sta),
    /* 92 */  OP("JAM",   implied,   3, jam),
    /* 93 */ UOP("SHA",   indy,      6, sha),
    /* 94 */  OP("STY",   zpagex,    4, sty),
    /* 95 */  OP("STA",   zpagex,    4, sta),
    /* 96 */  OP("STX",   zpagey,    4, stx),
    /* 97 */ UOP("SAX",   zpagey,    4, sax),
    /* 98 */  OP("TYA",   implied,   2, tya),
    /* 99 */  OP("STA",   absy,      5, sta),
    /* 9A */  OP("TXS",   implied,   2, txs),
    /* 9B */ UOP("TAS",   absy,      5, tas),
    /* 9C */ UOP("SHY",   absx,      5, shy),
    /* 9D */  OP("STA",   absx,      5, sta),
    /* 9E */ UOP("SHX",   absy,      5, shx),
    /* 9F */ UOP("SHA",   absy,      5, sha),
    /* A0 */  OP("LDY",   immediate, 2, ldy),
    /* A1 */  OP("LDA",   indx,      6, lda),
    /* A2 */  OP("LDX",   immediate, 2, ldx),
    /* A3 */ UOP("LAX",   indx,      6, lax),
    /* A4 */  OP("LDY",   zpage,     3, ldy),
    /* A5 */  OP("LDA",   zpage,     3, lda),
    /* A6 */  OP("LDX",   zpage,     3, ldx),
    /* A7 */ UOP("LAX",   zpage,     3, lax),
    /* A8 */  OP("TAY",   implied,   2, tay),
    /* A9 */  OP("LDA",   immediate, 2, lda),
    /* AA */  OP("TAX",   implied,   2, tax),
    /* AB */ UOP("LXA",   immediate, 2, lxa),
    /* AC */  OP("LDY",   abs,       4, ldy),
    /* AD */  OP("LDA",   abs,       4, lda),
    /* AE */  OP("LDX",   abs,       4, ldx),
    /* AF */ UOP("LAX",   abs,       4, lax),
    /* B0 */  OP("BCS",   relative,  2, bcs),
    /* B1 */  OP("LDA",   indy,      5, lda),
    /* B2 */  OP("JAM",   implied,   3, jam),
    /* B3 */ UOP("LAX",   indy,      5, lax),
    /* B4 */  OP("LDY",   zpagex,    4, ldy),
    /* B5 */  OP("LDA",   zpagex,    4, lda),
    /* B6 */  OP("LDX",   zpagey,    4, ldx),
    /* B7 */ UOP("LAX",   zpagey,    4, lax),
    /* B8 */  OP("CLV",   implied,   2, clv),
    /* B9 */  OP("LDA",   absy,      4, lda),
    /* BA */  OP("TSX",   implied,   2, tsx),
    /* BB */ UOP("LAS",   absy,      4, las),
    /* BC */  OP("LDY",   absx,      4, ldy),
    /* BD */  OP("LDA",   absx,      4, lda),
    /* BE */  OP("LDX",   absy,      4, ldx),
    /* BF */ UOP("LAX",   absy,      4, lax),
    /* C0 */  OP("CPY",   immediate, 2, cpy),
    /* C1 */  OP("CMP",   indx,      6, cmp),
    /* C2 */ UOP("NOP",   immediate, 2, nop),
    /* C3 */ UOP("DCP",   indx,      8, dcp),
    /* C4 */  OP("CPY",   zpage,     3, cpy),
    /* C5 */  OP("CMP",   zpage,     3, cmp),
    /* C6 */  OP("DEC",   zpage,     5, dec),
    /* C7 */ UOP("DCP",   zpage,     5, dcp),
    /* C8 */  OP("INY",   implied,   2, iny),
    /* C9 */  OP("CMP",   immediate, 2, cmp),
    /* CA */  OP("DEX",   implied,   2, dex),
    /* CB */ UOP("SBX",   immediate, 2, sbx),
    /* CC */  OP("CPY",   abs,       4, cpy),
    /* CD */  OP("CMP",   abs,       4, cmp),
    /* CE */  OP("DEC",   abs,       6, dec),
    /* CF */ UOP("DCP",   abs,       6, dcp),
    /* D0 */  OP("BNE",   relative,  2, bne),
    /* D1 */  OP("CMP",   indy,      5, cmp),
    /* D2 */  OP("JAM",   implied,   3, jam),
    /* D3 */ UOP("DCP",   indy,      8, dcp),
    /* D4 */ UOP("NOP",   zpagex,    4, nop),
    /* D5 */  OP("CMP",   zpagex,    4, cmp),
    /* D6 */  OP("DEC",   zpagex,    6, dec),
    /* D7 */ UOP("DCP",   zpagex,    6, dcp),
    /* D8 */  OP("CLD",   implied,   2, cld),
    /* D9 */  OP("CMP",   absy,      4, cmp),
    /* DA */ UOP("NOP",   implied,   2, nop),
    /* DB */ UOP("DCP",   absy,      7, dcp),
    /* DC */ UOP("NOP",   absx,      4, nop),
    /* DD */  OP("CMP",   absx,      4, cmp),
    /* DE */  OP("DEC",   absx,      7, dec),
    /* DF */ UOP("DCP",   absx,      7, dcp),
    /* E0 */  OP("CPX",   immediate, 2, cpx),
    /* E1 */  OP("SBC",   indx,      6, sbc),
    /* E2 */ UOP("NOP",   immediate, 2, nop),
    /* E3 */ UOP("ISC",   indx,      8, isc),
    /* E4 */  OP("CPX",   zpage,     3, cpx),
    /* E5 */  OP("SBC",   zpage,     3, sbc),
    /* E6 */  OP("INC",   zpage,     5, inc),
    /* E7 */ UOP("ISC",   zpage,     5, isc),
    /* E8 */  OP("INX",   implied,   2, inx),
    /* E9 */  OP("SBC",   immediate, 2, sbc),
    /* EA */  OP("NOP",   implied,   2, nop),
    /* EB */ UOP("SBC",   immediate, 2, sbc),
    /* EC */  OP("CPX",   abs,       4, cpx),
    /* ED */  OP("SBC",   abs,       4, sbc),
    /* EE */  OP("INC",   abs,       6, inc),
    /* EF */ UOP("ISC",   abs,       6, isc),
    /* F0 */  OP("BEQ",   relative,  2, beq),
    /* F1 */  OP("SBC",   indy,      5, sbc),
    /* F2 */  OP("JAM",   implied,   3, jam),
    /* F3 */ UOP("ISC",   indy,      8, isc),
    /* F4 */ UOP("NOP",   zpagex,    4, nop),
    /* F5 */  OP("SBC",   zpagex,    4, sbc),
    /* F6 */  OP("INC",   zpagex,    6, inc),
    /* F7 */ UOP("ISC",   zpagex,    6, isc),
    /* F8 */  OP("SED",   implied,   2, sed),
    /* F9 */  OP("SBC",   absy,      4, sbc),
    /* FA */ UOP("NOP",   implied,   2, nop),
    /* FB */ UOP("ISC",   absy,      7, isc),
    /* FC */ UOP("NOP",   absx,      4, nop),
    /* FD */  OP("SBC",   absx,      4, sbc),
    /* FE */  OP("INC",   absx,      7, inc),
    /* FF */ UOP("ISC",   absx,      7, isc),
};

#undef UOP
#undef OP

// An opcode's routine, inlined into the run below with its cycles.
template <int op> inline uint32_t execute(Core& c)
{
    return opcode_table[op].cycles + opcode_table[op].run(c);
}

// stop_loc is set directly by the configuration, states and tests; its mark follows it here.
void mark_stop_loc()
{
    static uint32_t marked = 0x10000;
    if (stop_loc == marked)
        return;
    if (marked < 0x10000)
        break_at[marked] &= ~BREAK_MAIN;
    marked = stop_loc;
    if (marked < 0x10000)
        break_at[marked] |= BREAK_MAIN;
}

} // namespace

bool jammed()
{
    if (R.PC != jam_loc)
        jam_loc = NO_JAM;
    return jam_loc != NO_JAM;
}

std::string halt_text()
{
    if (R.PC != jam_loc)
        return "";
    char text[40];
    std::snprintf(text, sizeof text, "Processor halted by JAM at $%04X", unsigned(R.PC));
    return text;
}

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
    RPC_old = c.PC;                    \
    if (c.PC >= 0xFFFE) {              \
        c.mem[0x10000] = c.mem[0];     \
        c.mem[0x10001] = c.mem[1];     \
    }                                  \
    op = c.mem[c.PC];                  \
    c.PC = (c.PC + 1) & 0xFFFF;        \
    goto* routine[op];

#define OPCODE(k)                                                 \
    op_##k : c.cycles += execute<k>(c);                           \
    if (--left != 0 && c.cycles < c.budget && !break_at[c.PC]) { \
        FETCH                                                     \
    }                                                             \
    goto check;

#define ROW(h)                                                                                  \
    OPCODE(h##0) OPCODE(h##1) OPCODE(h##2) OPCODE(h##3) OPCODE(h##4) OPCODE(h##5) OPCODE(h##6) \
    OPCODE(h##7) OPCODE(h##8) OPCODE(h##9) OPCODE(h##A) OPCODE(h##B) OPCODE(h##C) OPCODE(h##D) \
    OPCODE(h##E) OPCODE(h##F)

#define LABELS(h)                                                                              \
    &&op_##h##0, &&op_##h##1, &&op_##h##2, &&op_##h##3, &&op_##h##4, &&op_##h##5, &&op_##h##6, \
    &&op_##h##7, &&op_##h##8, &&op_##h##9, &&op_##h##A, &&op_##h##B, &&op_##h##C, &&op_##h##D, \
    &&op_##h##E, &&op_##h##F,

// The registers stay in the host's registers for the whole run. The flags that a page handler
// or a stop in the debugger may change are read again after an instruction that called one,
// which also kept the cycle count current for it, as a single step keeps it.
[[gnu::flatten]] uint32_t run_instructions(uint32_t limit)
{
    static const void* const routine[256] = {
        LABELS(0x0) LABELS(0x1) LABELS(0x2) LABELS(0x3) LABELS(0x4) LABELS(0x5) LABELS(0x6) LABELS(0x7)
        LABELS(0x8) LABELS(0x9) LABELS(0xA) LABELS(0xB) LABELS(0xC) LABELS(0xD) LABELS(0xE) LABELS(0xF)
    };
    jammed();  // a halt ends where PC has been moved
    mark_stop_loc();
    cpu_access = 1;
    Core c = core_of_R();
    c.budget = t_check;
    uint32_t most = std::max(limit, 1u), left = most;
    uint8_t op;
    FETCH
    ROW(0x0) ROW(0x1) ROW(0x2) ROW(0x3) ROW(0x4) ROW(0x5) ROW(0x6) ROW(0x7)
    ROW(0x8) ROW(0x9) ROW(0xA) ROW(0xB) ROW(0xC) ROW(0xD) ROW(0xE) ROW(0xF)
check:
    if (left != 0 && c.cycles < t_check && !break_at[c.PC] && SEnable && !Hardware_timer && !debug_stop) {
        c.budget = t_check;
        FETCH
    }
    clocks = c.cycles;
    R.IR = op;
    set_R(c);
    cpu_access = 0;
    instructions_done += most - left;
    return most - left;
}

#undef LABELS
#undef ROW
#undef OPCODE
#undef FETCH
