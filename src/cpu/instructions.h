// The instruction routines. Each is instantiated with the addressing routine of its
// opcode, so the Inst entry of an opcode calls exactly the Mode entry of that opcode.
#pragma once
#include "cpu/cpu.h"

inline void set_nz(uint8_t v)
{
    R.P = (R.P & ~(FLAG_N | FLAG_Z)) | (v & FLAG_N) | (v == 0 ? FLAG_Z : 0);
}

inline void set_flag(uint8_t flag, bool on) { R.P = on ? (R.P | flag) : (R.P & ~flag); }

inline void push(uint8_t v)
{
    Poke(0x0100 + R.S, v);
    R.S--;
}

inline uint8_t pull()
{
    R.S++;
    return Peek(0x0100 + R.S);
}

// Loads, logic and arithmetic ------------------------------------------------

template <Routine mode> void i_lda() { mode(); R.A = Peek(R.EA); set_nz(R.A); }
template <Routine mode> void i_ldx() { mode(); R.X = Peek(R.EA); set_nz(R.X); }
template <Routine mode> void i_ldy() { mode(); R.Y = Peek(R.EA); set_nz(R.Y); }
template <Routine mode> void i_and() { mode(); R.A &= Peek(R.EA); set_nz(R.A); }
template <Routine mode> void i_ora() { mode(); R.A |= Peek(R.EA); set_nz(R.A); }
template <Routine mode> void i_eor() { mode(); R.A ^= Peek(R.EA); set_nz(R.A); }

template <Routine mode> void i_bit()
{
    mode();
    uint8_t m = Peek(R.EA);
    R.P = (R.P & ~(FLAG_N | FLAG_V | FLAG_Z)) | (m & (FLAG_N | FLAG_V)) | ((R.A & m) == 0 ? FLAG_Z : 0);
}

inline void compare(uint8_t reg, uint8_t m)
{
    int d = reg - m;
    R.P &= ~(FLAG_N | FLAG_Z | FLAG_C);
    R.P |= (d >= 0 ? FLAG_C : 0) | ((d & 0xFF) == 0 ? FLAG_Z : 0) | (d & FLAG_N);
}

template <Routine mode> void i_cmp() { mode(); compare(R.A, Peek(R.EA)); }
template <Routine mode> void i_cpx() { mode(); compare(R.X, Peek(R.EA)); }
template <Routine mode> void i_cpy() { mode(); compare(R.Y, Peek(R.EA)); }

inline void add_binary(uint8_t m)
{
    unsigned s = R.A + m + (R.P & FLAG_C);
    uint8_t r = s & 0xFF;
    set_flag(FLAG_C, s > 0xFF);
    set_flag(FLAG_V, (R.A ^ r) & (m ^ r) & 0x80);
    R.A = r;
    set_nz(r);
}

// The NMOS chip adjusts the low digit first, then the high one. N and V come from the sum
// before the high digit is adjusted, Z from the binary sum; any operand bytes are allowed.
inline void add_decimal(uint8_t m)
{
    unsigned c = R.P & FLAG_C;
    unsigned l = (R.A & 0x0F) + (m & 0x0F) + c;
    if (l > 9)
        l = ((l + 6) & 0x0F) + 0x10;
    unsigned s = (R.A & 0xF0) + (m & 0xF0) + l;
    set_flag(FLAG_Z, ((R.A + m + c) & 0xFF) == 0);
    set_flag(FLAG_N, s & 0x80);
    set_flag(FLAG_V, ~(R.A ^ m) & (R.A ^ s) & 0x80);
    if (s > 0x9F)
        s += 0x60;
    set_flag(FLAG_C, s > 0xFF);
    R.A = s & 0xFF;
}

template <Routine mode> void i_adc()
{
    mode();
    uint8_t m = Peek(R.EA);
    if (R.P & FLAG_D)
        add_decimal(m);
    else
        add_binary(m);
}

inline void subtract_binary(uint8_t m)
{
    int d = R.A - m - (1 - (R.P & FLAG_C));
    uint8_t r = d & 0xFF;
    set_flag(FLAG_C, d >= 0);
    set_flag(FLAG_V, (R.A ^ m) & (R.A ^ r) & 0x80);
    R.A = r;
    set_nz(r);
}

// On the NMOS chip every flag of a decimal SBC comes from the binary difference; the digits
// are adjusted low first, then high, for any operand bytes.
inline void subtract_decimal(uint8_t m)
{
    int b = 1 - (R.P & FLAG_C);
    int l = (R.A & 0x0F) - (m & 0x0F) - b;
    if (l < 0)
        l = ((l - 6) & 0x0F) - 0x10;
    int d = (R.A & 0xF0) - (m & 0xF0) + l;
    if (d < 0)
        d -= 0x60;
    subtract_binary(m);
    R.A = d & 0xFF;
}

template <Routine mode> void i_sbc()
{
    mode();
    uint8_t m = Peek(R.EA);
    if (R.P & FLAG_D)
        subtract_decimal(m);
    else
        subtract_binary(m);
}

// Stores --------------------------------------------------------------------

template <Routine mode> void i_sta() { mode(); Poke(R.EA, R.A); }
template <Routine mode> void i_stx() { mode(); Poke(R.EA, R.X); }
template <Routine mode> void i_sty() { mode(); Poke(R.EA, R.Y); }

// Shifts, rotates, increments -----------------------------------------------

inline uint8_t shift_asl(uint8_t v) { set_flag(FLAG_C, v & 0x80); return v << 1; }
inline uint8_t shift_lsr(uint8_t v) { set_flag(FLAG_C, v & 0x01); return v >> 1; }

inline uint8_t shift_rol(uint8_t v)
{
    uint8_t r = (v << 1) | (R.P & FLAG_C);
    set_flag(FLAG_C, v & 0x80);
    return r;
}

inline uint8_t shift_ror(uint8_t v)
{
    uint8_t r = (v >> 1) | ((R.P & FLAG_C) << 7);
    set_flag(FLAG_C, v & 0x01);
    return r;
}

inline uint8_t increment(uint8_t v) { return v + 1; }
inline uint8_t decrement(uint8_t v) { return v - 1; }

// The write goes through the page handler, so a ROM byte stays while the flags follow r.
template <Routine mode, uint8_t (*op)(uint8_t)> void modify()
{
    mode();
    uint8_t r = op(Peek(R.EA));
    Poke(R.EA, r);
    set_nz(r);
}

template <Routine mode> void i_asl() { modify<mode, shift_asl>(); }
template <Routine mode> void i_lsr() { modify<mode, shift_lsr>(); }
template <Routine mode> void i_rol() { modify<mode, shift_rol>(); }
template <Routine mode> void i_ror() { modify<mode, shift_ror>(); }
template <Routine mode> void i_inc() { modify<mode, increment>(); }
template <Routine mode> void i_dec() { modify<mode, decrement>(); }

template <Routine mode> void i_asla() { R.A = shift_asl(R.A); set_nz(R.A); }
template <Routine mode> void i_lsra() { R.A = shift_lsr(R.A); set_nz(R.A); }
template <Routine mode> void i_rola() { R.A = shift_rol(R.A); set_nz(R.A); }
template <Routine mode> void i_rora() { R.A = shift_ror(R.A); set_nz(R.A); }

template <Routine mode> void i_inx() { R.X++; set_nz(R.X); }
template <Routine mode> void i_iny() { R.Y++; set_nz(R.Y); }
template <Routine mode> void i_dex() { R.X--; set_nz(R.X); }
template <Routine mode> void i_dey() { R.Y--; set_nz(R.Y); }

// Transfers call their implied addressing routine, which clears eff_adr.
template <Routine mode> void i_tax() { mode(); R.X = R.A; set_nz(R.X); }
template <Routine mode> void i_tay() { mode(); R.Y = R.A; set_nz(R.Y); }
template <Routine mode> void i_txa() { mode(); R.A = R.X; set_nz(R.A); }
template <Routine mode> void i_tya() { mode(); R.A = R.Y; set_nz(R.A); }
template <Routine mode> void i_tsx() { mode(); R.X = R.S; set_nz(R.X); }
template <Routine mode> void i_txs() { mode(); R.S = R.X; PokeFlag = 1; }

template <Routine mode> void i_clc() { R.P &= ~FLAG_C; }
template <Routine mode> void i_cld() { R.P &= ~FLAG_D; }
template <Routine mode> void i_cli() { R.P &= ~FLAG_I; }
template <Routine mode> void i_clv() { R.P &= ~FLAG_V; }
template <Routine mode> void i_sec() { R.P |= FLAG_C; }
template <Routine mode> void i_sed() { R.P |= FLAG_D; }
template <Routine mode> void i_sei() { R.P |= FLAG_I; }
template <Routine mode> void i_nop() {}

// Stack ------------------------------------------------------------------------

inline void pull_status() { R.P = (pull() & ~FLAG_5) | (R.P & FLAG_5); }

template <Routine mode> void i_pha() { push(R.A); }
template <Routine mode> void i_php() { push(R.P | FLAG_5 | FLAG_B); }
template <Routine mode> void i_pla() { R.A = pull(); set_nz(R.A); }
template <Routine mode> void i_plp() { pull_status(); }

// Jumps and subroutines --------------------------------------------------------

inline void load_vector(uint32_t address)
{
    uint8_t low = Peek(address);
    R.PC = low | (Peek(address + 1) << 8);
}

template <Routine mode> void i_jmp() { mode(); R.PC = R.EA & 0xFFFF; }

template <Routine mode> void i_jsr()
{
    R.PC = (R.PC + 1) & 0xFFFF;
    push(R.PC >> 8);
    push(R.PC & 0xFF);
    R.PC = (R.PC - 1) & 0xFFFF;
    mode();
    R.PC = R.EA & 0xFFFF;
}

template <Routine mode> void i_rts()
{
    uint8_t low = pull();
    uint8_t high = pull();
    R.PC = ((high << 8) + low + 1) & 0xFFFF;
}

template <Routine mode> void i_rti()
{
    pull_status();
    uint8_t low = pull();
    uint8_t high = pull();
    R.PC = (high << 8) | low;
}

// BRK pushes B set and then sets I, leaving the other flags alone, as on the chip.
template <Routine mode> void i_brk()
{
    R.PC = (R.PC + 1) & 0xFFFF;
    push(R.PC >> 8);
    push(R.PC & 0xFF);
    push(R.P | FLAG_5 | FLAG_B);
    R.P |= FLAG_I;
    load_vector(0xFFFE);
}

// Branches ---------------------------------------------------------------------

template <Routine mode> inline void branch(bool taken)
{
    if (!taken) {
        R.PC = (R.PC + 1) & 0xFFFF;
        return;
    }
    mode();
    R.PC = (R.PC + R.EA) & 0xFFFF;
}

template <Routine mode> void i_bcc() { branch<mode>(!(R.P & FLAG_C)); }
template <Routine mode> void i_bcs() { branch<mode>(R.P & FLAG_C); }
template <Routine mode> void i_bne() { branch<mode>(!(R.P & FLAG_Z)); }
template <Routine mode> void i_beq() { branch<mode>(R.P & FLAG_Z); }
template <Routine mode> void i_bpl() { branch<mode>(!(R.P & FLAG_N)); }
template <Routine mode> void i_bmi() { branch<mode>(R.P & FLAG_N); }
template <Routine mode> void i_bvc() { branch<mode>(!(R.P & FLAG_V)); }
template <Routine mode> void i_bvs() { branch<mode>(R.P & FLAG_V); }
