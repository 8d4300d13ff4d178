// The instruction routines. Each is instantiated with the addressing routine of its
// opcode, so the Inst entry of an opcode calls exactly the Mode entry of that opcode.
// They work on a Core: the Inst entries on a copy of R, a run of instructions on its own.
#pragma once
#include "cpu/cpu.h"

inline void set_nz(Core& c, uint8_t v)
{
    c.P = (c.P & ~(FLAG_N | FLAG_Z)) | (v & FLAG_N) | (v == 0 ? FLAG_Z : 0);
}

inline void set_flag(Core& c, uint8_t flag, bool on) { c.P = on ? (c.P | flag) : (c.P & ~flag); }

inline void push(Core& c, uint8_t v)
{
    bus_write(c.mem, 0x0100 + c.S, v);
    c.S = (c.S - 1) & 0xFF;
}

inline uint8_t pull(Core& c)
{
    c.S = (c.S + 1) & 0xFF;
    return bus_read(c.mem, 0x0100 + c.S);
}

// Loads, logic and arithmetic ------------------------------------------------

template <AddressRoutine mode> void i_lda(Core& c) { uint32_t ea = mode(c); c.A = bus_read(c.mem, ea); set_nz(c, c.A); }
template <AddressRoutine mode> void i_ldx(Core& c) { uint32_t ea = mode(c); c.X = bus_read(c.mem, ea); set_nz(c, c.X); }
template <AddressRoutine mode> void i_ldy(Core& c) { uint32_t ea = mode(c); c.Y = bus_read(c.mem, ea); set_nz(c, c.Y); }
template <AddressRoutine mode> void i_and(Core& c) { uint32_t ea = mode(c); c.A &= bus_read(c.mem, ea); set_nz(c, c.A); }
template <AddressRoutine mode> void i_ora(Core& c) { uint32_t ea = mode(c); c.A |= bus_read(c.mem, ea); set_nz(c, c.A); }
template <AddressRoutine mode> void i_eor(Core& c) { uint32_t ea = mode(c); c.A ^= bus_read(c.mem, ea); set_nz(c, c.A); }

template <AddressRoutine mode> void i_bit(Core& c)
{
    uint32_t ea = mode(c);
    uint8_t m = bus_read(c.mem, ea);
    c.P = (c.P & ~(FLAG_N | FLAG_V | FLAG_Z)) | (m & (FLAG_N | FLAG_V)) | ((c.A & m) == 0 ? FLAG_Z : 0);
}

inline void compare(Core& c, uint8_t reg, uint8_t m)
{
    int d = reg - m;
    c.P &= ~(FLAG_N | FLAG_Z | FLAG_C);
    c.P |= (d >= 0 ? FLAG_C : 0) | ((d & 0xFF) == 0 ? FLAG_Z : 0) | (d & FLAG_N);
}

template <AddressRoutine mode> void i_cmp(Core& c) { uint32_t ea = mode(c); compare(c, c.A, bus_read(c.mem, ea)); }
template <AddressRoutine mode> void i_cpx(Core& c) { uint32_t ea = mode(c); compare(c, c.X, bus_read(c.mem, ea)); }
template <AddressRoutine mode> void i_cpy(Core& c) { uint32_t ea = mode(c); compare(c, c.Y, bus_read(c.mem, ea)); }

inline void add_binary(Core& c, uint8_t m)
{
    unsigned s = c.A + m + (c.P & FLAG_C);
    uint8_t r = s & 0xFF;
    set_flag(c, FLAG_C, s > 0xFF);
    set_flag(c, FLAG_V, (c.A ^ r) & (m ^ r) & 0x80);
    c.A = r;
    set_nz(c, r);
}

// The NMOS chip adjusts the low digit first, then the high one. N and V come from the sum
// before the high digit is adjusted, Z from the binary sum; any operand bytes are allowed.
inline void add_decimal(Core& c, uint8_t m)
{
    unsigned carry = c.P & FLAG_C;
    unsigned l = (c.A & 0x0F) + (m & 0x0F) + carry;
    if (l > 9)
        l = ((l + 6) & 0x0F) + 0x10;
    unsigned s = (c.A & 0xF0) + (m & 0xF0) + l;
    set_flag(c, FLAG_Z, ((c.A + m + carry) & 0xFF) == 0);
    set_flag(c, FLAG_N, s & 0x80);
    set_flag(c, FLAG_V, ~(c.A ^ m) & (c.A ^ s) & 0x80);
    if (s > 0x9F)
        s += 0x60;
    set_flag(c, FLAG_C, s > 0xFF);
    c.A = s & 0xFF;
}

template <AddressRoutine mode> void i_adc(Core& c)
{
    uint32_t ea = mode(c);
    uint8_t m = bus_read(c.mem, ea);
    if (c.P & FLAG_D)
        add_decimal(c, m);
    else
        add_binary(c, m);
}

inline void subtract_binary(Core& c, uint8_t m)
{
    int d = c.A - m - (1 - (c.P & FLAG_C));
    uint8_t r = d & 0xFF;
    set_flag(c, FLAG_C, d >= 0);
    set_flag(c, FLAG_V, (c.A ^ m) & (c.A ^ r) & 0x80);
    c.A = r;
    set_nz(c, r);
}

// On the NMOS chip every flag of a decimal SBC comes from the binary difference; the digits
// are adjusted low first, then high, for any operand bytes.
inline void subtract_decimal(Core& c, uint8_t m)
{
    int b = 1 - (c.P & FLAG_C);
    int l = (c.A & 0x0F) - (m & 0x0F) - b;
    if (l < 0)
        l = ((l - 6) & 0x0F) - 0x10;
    int d = (c.A & 0xF0) - (m & 0xF0) + l;
    if (d < 0)
        d -= 0x60;
    subtract_binary(c, m);
    c.A = d & 0xFF;
}

template <AddressRoutine mode> void i_sbc(Core& c)
{
    uint32_t ea = mode(c);
    uint8_t m = bus_read(c.mem, ea);
    if (c.P & FLAG_D)
        subtract_decimal(c, m);
    else
        subtract_binary(c, m);
}

// Stores --------------------------------------------------------------------

template <AddressRoutine mode> void i_sta(Core& c) { uint32_t ea = mode(c); bus_write(c.mem, ea, c.A); }
template <AddressRoutine mode> void i_stx(Core& c) { uint32_t ea = mode(c); bus_write(c.mem, ea, c.X); }
template <AddressRoutine mode> void i_sty(Core& c) { uint32_t ea = mode(c); bus_write(c.mem, ea, c.Y); }

// Shifts, rotates, increments -----------------------------------------------

inline uint8_t shift_asl(Core& c, uint8_t v) { set_flag(c, FLAG_C, v & 0x80); return v << 1; }
inline uint8_t shift_lsr(Core& c, uint8_t v) { set_flag(c, FLAG_C, v & 0x01); return v >> 1; }

inline uint8_t shift_rol(Core& c, uint8_t v)
{
    uint8_t r = (v << 1) | (c.P & FLAG_C);
    set_flag(c, FLAG_C, v & 0x80);
    return r;
}

inline uint8_t shift_ror(Core& c, uint8_t v)
{
    uint8_t r = (v >> 1) | ((c.P & FLAG_C) << 7);
    set_flag(c, FLAG_C, v & 0x01);
    return r;
}

inline uint8_t increment(Core&, uint8_t v) { return v + 1; }
inline uint8_t decrement(Core&, uint8_t v) { return v - 1; }

// The write goes through the page handler, so a ROM byte stays while the flags follow r.
template <AddressRoutine mode, uint8_t (*op)(Core&, uint8_t)> void modify(Core& c)
{
    uint32_t ea = mode(c);
    uint8_t r = op(c, bus_read(c.mem, ea));
    bus_write(c.mem, ea, r);
    set_nz(c, r);
}

template <AddressRoutine mode> void i_asl(Core& c) { modify<mode, shift_asl>(c); }
template <AddressRoutine mode> void i_lsr(Core& c) { modify<mode, shift_lsr>(c); }
template <AddressRoutine mode> void i_rol(Core& c) { modify<mode, shift_rol>(c); }
template <AddressRoutine mode> void i_ror(Core& c) { modify<mode, shift_ror>(c); }
template <AddressRoutine mode> void i_inc(Core& c) { modify<mode, increment>(c); }
template <AddressRoutine mode> void i_dec(Core& c) { modify<mode, decrement>(c); }

template <AddressRoutine mode> void i_asla(Core& c) { c.A = shift_asl(c, c.A); set_nz(c, c.A); }
template <AddressRoutine mode> void i_lsra(Core& c) { c.A = shift_lsr(c, c.A); set_nz(c, c.A); }
template <AddressRoutine mode> void i_rola(Core& c) { c.A = shift_rol(c, c.A); set_nz(c, c.A); }
template <AddressRoutine mode> void i_rora(Core& c) { c.A = shift_ror(c, c.A); set_nz(c, c.A); }

template <AddressRoutine mode> void i_inx(Core& c) { c.X = (c.X + 1) & 0xFF; set_nz(c, c.X); }
template <AddressRoutine mode> void i_iny(Core& c) { c.Y = (c.Y + 1) & 0xFF; set_nz(c, c.Y); }
template <AddressRoutine mode> void i_dex(Core& c) { c.X = (c.X - 1) & 0xFF; set_nz(c, c.X); }
template <AddressRoutine mode> void i_dey(Core& c) { c.Y = (c.Y - 1) & 0xFF; set_nz(c, c.Y); }

// Transfers call their implied addressing routine, which clears eff_adr.
template <AddressRoutine mode> void i_tax(Core& c) { mode(c); c.X = c.A; set_nz(c, c.X); }
template <AddressRoutine mode> void i_tay(Core& c) { mode(c); c.Y = c.A; set_nz(c, c.Y); }
template <AddressRoutine mode> void i_txa(Core& c) { mode(c); c.A = c.X; set_nz(c, c.A); }
template <AddressRoutine mode> void i_tya(Core& c) { mode(c); c.A = c.Y; set_nz(c, c.A); }
template <AddressRoutine mode> void i_tsx(Core& c) { mode(c); c.X = c.S; set_nz(c, c.X); }
template <AddressRoutine mode> void i_txs(Core& c) { mode(c); c.S = c.X; PokeFlag = 1; }

template <AddressRoutine mode> void i_clc(Core& c) { c.P &= ~FLAG_C; }
template <AddressRoutine mode> void i_cld(Core& c) { c.P &= ~FLAG_D; }
template <AddressRoutine mode> void i_cli(Core& c) { c.P &= ~FLAG_I; }
template <AddressRoutine mode> void i_clv(Core& c) { c.P &= ~FLAG_V; }
template <AddressRoutine mode> void i_sec(Core& c) { c.P |= FLAG_C; }
template <AddressRoutine mode> void i_sed(Core& c) { c.P |= FLAG_D; }
template <AddressRoutine mode> void i_sei(Core& c) { c.P |= FLAG_I; }
template <AddressRoutine mode> void i_nop(Core&) {}

// Stack ------------------------------------------------------------------------

inline void pull_status(Core& c) { c.P = (pull(c) & ~FLAG_5) | (c.P & FLAG_5); }

template <AddressRoutine mode> void i_pha(Core& c) { push(c, c.A); }
template <AddressRoutine mode> void i_php(Core& c) { push(c, c.P | FLAG_5 | FLAG_B); }
template <AddressRoutine mode> void i_pla(Core& c) { c.A = pull(c); set_nz(c, c.A); }
template <AddressRoutine mode> void i_plp(Core& c) { pull_status(c); }

// Jumps and subroutines --------------------------------------------------------

inline void load_vector(Core& c, uint32_t address)
{
    uint8_t low = bus_read(c.mem, address);
    c.PC = low | (bus_read(c.mem, address + 1) << 8);
}

template <AddressRoutine mode> void i_jmp(Core& c) { uint32_t ea = mode(c); c.PC = ea & 0xFFFF; }

template <AddressRoutine mode> void i_jsr(Core& c)
{
    c.PC = (c.PC + 1) & 0xFFFF;
    push(c, c.PC >> 8);
    push(c, c.PC & 0xFF);
    c.PC = (c.PC - 1) & 0xFFFF;
    uint32_t ea = mode(c);
    c.PC = ea & 0xFFFF;
}

template <AddressRoutine mode> void i_rts(Core& c)
{
    uint8_t low = pull(c);
    uint8_t high = pull(c);
    c.PC = ((high << 8) + low + 1) & 0xFFFF;
}

template <AddressRoutine mode> void i_rti(Core& c)
{
    pull_status(c);
    uint8_t low = pull(c);
    uint8_t high = pull(c);
    c.PC = (high << 8) | low;
}

// BRK pushes B set and then sets I, leaving the other flags alone, as on the chip.
template <AddressRoutine mode> void i_brk(Core& c)
{
    c.PC = (c.PC + 1) & 0xFFFF;
    push(c, c.PC >> 8);
    push(c, c.PC & 0xFF);
    push(c, c.P | FLAG_5 | FLAG_B);
    c.P |= FLAG_I;
    load_vector(c, 0xFFFE);
}

// Branches ---------------------------------------------------------------------

template <AddressRoutine mode> inline void branch(Core& c, bool taken)
{
    if (!taken) {
        c.PC = (c.PC + 1) & 0xFFFF;
        return;
    }
    c.PC = mode(c);
}

template <AddressRoutine mode> void i_bcc(Core& c) { branch<mode>(c, !(c.P & FLAG_C)); }
template <AddressRoutine mode> void i_bcs(Core& c) { branch<mode>(c, c.P & FLAG_C); }
template <AddressRoutine mode> void i_bne(Core& c) { branch<mode>(c, !(c.P & FLAG_Z)); }
template <AddressRoutine mode> void i_beq(Core& c) { branch<mode>(c, c.P & FLAG_Z); }
template <AddressRoutine mode> void i_bpl(Core& c) { branch<mode>(c, !(c.P & FLAG_N)); }
template <AddressRoutine mode> void i_bmi(Core& c) { branch<mode>(c, c.P & FLAG_N); }
template <AddressRoutine mode> void i_bvc(Core& c) { branch<mode>(c, !(c.P & FLAG_V)); }
template <AddressRoutine mode> void i_bvs(Core& c) { branch<mode>(c, c.P & FLAG_V); }

// Undefined opcodes skip their operand bytes; with the error stop on, the debugger reports.
template <AddressRoutine mode> void i_ERR(Core& c)
{
    mode(c);
    if (CodeERR) {
        set_R(c);
        undefined_opcode();
    }
}

// The routine of an Inst entry: `op` on the global register record.
template <void (*op)(Core&)> void on_R()
{
    Core c = core_of_R();
    op(c);
    set_R(c);
}
