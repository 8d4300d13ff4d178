// The NMOS 6502: register record, addressing routines and the opcode table.
#pragma once
#include "cpu/bus.h"

#include <cstdint>

struct Registers {
    uint8_t A, X, Y, S;
    uint32_t PC;
    uint8_t IR, P;
    uint32_t EA;
};

enum : uint8_t {
    FLAG_C = 0x01,
    FLAG_Z = 0x02,
    FLAG_I = 0x04,
    FLAG_D = 0x08,
    FLAG_B = 0x10,
    FLAG_5 = 0x20,
    FLAG_V = 0x40,
    FLAG_N = 0x80,
};

extern Registers R;
extern uint32_t eff_adr;

using Routine = void (*)();

extern char Op[256][6];
extern Routine Mode[256];
extern int Ticks[256];
extern Routine Inst[256];

void init_cpu();

// Operand bytes come straight from the block through CODEptr; only the
// indirect jump reads its pointer through the page handlers.
inline void addr_implied() { eff_adr = 0; }

inline void addr_immediate()
{
    R.EA = eff_adr = R.PC;
    R.PC = (R.PC + 1) & 0xFFFF;
}

inline void addr_zpage()
{
    R.EA = eff_adr = CODEptr[0];
    R.PC = (R.PC + 1) & 0xFFFF;
}

inline void addr_zpagex()
{
    R.EA = eff_adr = (CODEptr[0] + R.X) & 0xFF;
    R.PC = (R.PC + 1) & 0xFFFF;
}

inline void addr_zpagey()
{
    R.EA = eff_adr = (CODEptr[0] + R.Y) & 0xFF;
    R.PC = (R.PC + 1) & 0xFFFF;
}

inline void addr_abs()
{
    R.EA = eff_adr = CODEptr[0] | (CODEptr[1] << 8);
    R.PC = (R.PC + 2) & 0xFFFF;
}

inline void addr_absx()
{
    R.EA = eff_adr = (CODEptr[0] | (CODEptr[1] << 8)) + R.X;
    R.PC = (R.PC + 2) & 0xFFFF;
}

inline void addr_absy()
{
    R.EA = eff_adr = (CODEptr[0] | (CODEptr[1] << 8)) + R.Y;
    R.PC = (R.PC + 2) & 0xFFFF;
}

// The zero-page pointer wraps inside page 0, as on the chip.
inline void addr_indx()
{
    uint8_t z = CODEptr[0] + R.X;
    R.EA = eff_adr = RAMptr[z] | (RAMptr[uint8_t(z + 1)] << 8);
    R.PC = (R.PC + 1) & 0xFFFF;
}

inline void addr_indy()
{
    uint8_t z = CODEptr[0];
    R.EA = eff_adr = (RAMptr[z] | (RAMptr[uint8_t(z + 1)] << 8)) + R.Y;
    R.PC = (R.PC + 1) & 0xFFFF;
}

inline void addr_relative()
{
    R.EA = eff_adr = uint32_t(int32_t(int8_t(CODEptr[0])));
    R.PC = (R.PC + 1) & 0xFFFF;
}

// JMP ($xxFF) takes the high byte from $xx00, as the NMOS chip does.
inline void addr_indirect()
{
    uint32_t p = CODEptr[0] | (CODEptr[1] << 8);
    uint8_t low = Peek(p);
    uint8_t high = Peek((p & 0xFF00) | ((p + 1) & 0xFF));
    R.EA = eff_adr = low | (high << 8);
    R.PC = (R.PC + 2) & 0xFFFF;
}
