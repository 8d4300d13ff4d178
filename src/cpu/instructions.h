// The instruction routines. Each is instantiated with the addressing routine of its
// opcode, so the Inst entry of an opcode calls exactly the Mode entry of that opcode.
// They work on a Core: the Inst entries on a copy of R, a run of instructions on its own.
// Each returns the cycles it took beyond the base count of its opcode.
#pragma once
#include "cpu/cpu.h"

inline void set_nz(Core& c, uint8_t v)
{
    c.P = (c.P & ~(FLAG_N | FLAG_Z)) | (v & FLAG_N) | (v == 0 ? FLAG_Z : 0);
}

inline void set_flag(Core& c, uint8_t flag, bool on) { c.P = on ? (c.P | flag) : (c.P & ~flag); }

inline void push(Core& c, uint8_t v)
{
    write_bus(c, 0x0100 + c.S, v);
    c.S = (c.S - 1) & 0xFF;
}

inline uint8_t pull(Core& c)
{
    c.S = (c.S + 1) & 0xFF;
    return read_bus(c, 0x0100 + c.S);
}

// Operations on a value --------------------------------------------------------

inline void load_a(Core& c, uint8_t m) { c.A = m; set_nz(c, m); }
inline void load_x(Core& c, uint8_t m) { c.X = m; set_nz(c, m); }
inline void load_y(Core& c, uint8_t m) { c.Y = m; set_nz(c, m); }
inline void load_ax(Core& c, uint8_t m) { c.A = c.X = m; set_nz(c, m); }
inline void and_a(Core& c, uint8_t m) { c.A &= m; set_nz(c, c.A); }
inline void or_a(Core& c, uint8_t m) { c.A |= m; set_nz(c, c.A); }
inline void eor_a(Core& c, uint8_t m) { c.A ^= m; set_nz(c, c.A); }

inline void bit_test(Core& c, uint8_t m)
{
    c.P = (c.P & ~(FLAG_N | FLAG_V | FLAG_Z)) | (m & (FLAG_N | FLAG_V)) | ((c.A & m) == 0 ? FLAG_Z : 0);
}

inline void compare(Core& c, uint8_t reg, uint8_t m)
{
    int d = reg - m;
    c.P &= ~(FLAG_N | FLAG_Z | FLAG_C);
    c.P |= (d >= 0 ? FLAG_C : 0) | ((d & 0xFF) == 0 ? FLAG_Z : 0) | (d & FLAG_N);
}

inline void compare_a(Core& c, uint8_t m) { compare(c, c.A, m); }
inline void compare_x(Core& c, uint8_t m) { compare(c, c.X, m); }
inline void compare_y(Core& c, uint8_t m) { compare(c, c.Y, m); }

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

inline void add(Core& c, uint8_t m)
{
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

inline void subtract(Core& c, uint8_t m)
{
    if (c.P & FLAG_D)
        subtract_decimal(c, m);
    else
        subtract_binary(c, m);
}

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

// The undocumented immediate instructions. ANE and LXA OR A with a constant that differs
// from chip to chip; $EE is the one the chip's single-step cases show.
inline void and_carry(Core& c, uint8_t m)
{
    and_a(c, m);
    set_flag(c, FLAG_C, c.A & 0x80);
}

inline void and_shift(Core& c, uint8_t m)
{
    c.A = shift_lsr(c, c.A & m);
    set_nz(c, c.A);
}

inline void and_x_subtract(Core& c, uint8_t m)
{
    int d = (c.A & c.X) - m;
    set_flag(c, FLAG_C, d >= 0);
    c.X = d & 0xFF;
    set_nz(c, c.X);
}

inline void magic_and_x(Core& c, uint8_t m) { load_a(c, (c.A | 0xEE) & c.X & m); }
inline void magic_load(Core& c, uint8_t m) { load_ax(c, (c.A | 0xEE) & m); }
inline void load_and_s(Core& c, uint8_t m) { c.S = c.S & m; load_ax(c, c.S); }

// ARR rotates A AND M right; V is bit 7 of the AND exclusive-or its bit 6. In binary mode C
// is bit 7 of the AND; in decimal mode N and Z come from the rotation, and each digit is
// then adjusted as an addition adjusts it, C from the high one.
inline void and_rotate(Core& c, uint8_t m)
{
    uint8_t t = c.A & m;
    uint8_t r = (t >> 1) | ((c.P & FLAG_C) << 7);
    set_nz(c, r);
    set_flag(c, FLAG_V, (t ^ r) & 0x40);
    bool carry = t & 0x80;
    if (c.P & FLAG_D) {
        if ((t & 0x0F) + (t & 0x01) > 5)
            r = (r & 0xF0) | ((r + 6) & 0x0F);
        carry = (t & 0xF0) + (t & 0x10) > 0x50;
        if (carry)
            r += 0x60;
    }
    set_flag(c, FLAG_C, carry);
    c.A = r;
}

// Reads ------------------------------------------------------------------------

// An indexed read takes a cycle more when the index carries into the high byte of the
// address. Stores and read-modify-write instructions take that cycle always, in their count.
template <AddressRoutine mode> inline uint32_t page_crossed(const Core&, uint32_t) { return 0; }
template <> inline uint32_t page_crossed<addr_absx>(const Core& c, uint32_t ea) { return (ea & 0xFF) < c.X; }
template <> inline uint32_t page_crossed<addr_absy>(const Core& c, uint32_t ea) { return (ea & 0xFF) < c.Y; }
template <> inline uint32_t page_crossed<addr_indy>(const Core& c, uint32_t ea) { return (ea & 0xFF) < c.Y; }

template <AddressRoutine mode, void (*op)(Core&, uint8_t)> uint32_t read_op(Core& c)
{
    uint32_t ea = mode(c);
    uint32_t extra = page_crossed<mode>(c, ea);
    op(c, read_bus(c, ea));
    return extra;
}

template <AddressRoutine mode> uint32_t i_lda(Core& c) { return read_op<mode, load_a>(c); }
template <AddressRoutine mode> uint32_t i_ldx(Core& c) { return read_op<mode, load_x>(c); }
template <AddressRoutine mode> uint32_t i_ldy(Core& c) { return read_op<mode, load_y>(c); }
template <AddressRoutine mode> uint32_t i_and(Core& c) { return read_op<mode, and_a>(c); }
template <AddressRoutine mode> uint32_t i_ora(Core& c) { return read_op<mode, or_a>(c); }
template <AddressRoutine mode> uint32_t i_eor(Core& c) { return read_op<mode, eor_a>(c); }
template <AddressRoutine mode> uint32_t i_bit(Core& c) { return read_op<mode, bit_test>(c); }
template <AddressRoutine mode> uint32_t i_cmp(Core& c) { return read_op<mode, compare_a>(c); }
template <AddressRoutine mode> uint32_t i_cpx(Core& c) { return read_op<mode, compare_x>(c); }
template <AddressRoutine mode> uint32_t i_cpy(Core& c) { return read_op<mode, compare_y>(c); }
template <AddressRoutine mode> uint32_t i_adc(Core& c) { return read_op<mode, add>(c); }
template <AddressRoutine mode> uint32_t i_sbc(Core& c) { return read_op<mode, subtract>(c); }
template <AddressRoutine mode> uint32_t i_lax(Core& c) { return read_op<mode, load_ax>(c); }
template <AddressRoutine mode> uint32_t i_las(Core& c) { return read_op<mode, load_and_s>(c); }
template <AddressRoutine mode> uint32_t i_anc(Core& c) { return read_op<mode, and_carry>(c); }
template <AddressRoutine mode> uint32_t i_alr(Core& c) { return read_op<mode, and_shift>(c); }
template <AddressRoutine mode> uint32_t i_arr(Core& c) { return read_op<mode, and_rotate>(c); }
template <AddressRoutine mode> uint32_t i_sbx(Core& c) { return read_op<mode, and_x_subtract>(c); }
template <AddressRoutine mode> uint32_t i_ane(Core& c) { return read_op<mode, magic_and_x>(c); }
template <AddressRoutine mode> uint32_t i_lxa(Core& c) { return read_op<mode, magic_load>(c); }

// The undocumented NOPs with an operand read it, as the chip does; none of them takes a cycle
// more for a page crossing.
template <AddressRoutine mode> uint32_t i_nop(Core& c)
{
    read_bus(c, mode(c));
    return 0;
}
template <> inline uint32_t i_nop<addr_implied>(Core&) { return 0; }

// Stores -----------------------------------------------------------------------

template <AddressRoutine mode> uint32_t i_sta(Core& c) { write_bus(c, mode(c), c.A); return 0; }
template <AddressRoutine mode> uint32_t i_stx(Core& c) { write_bus(c, mode(c), c.X); return 0; }
template <AddressRoutine mode> uint32_t i_sty(Core& c) { write_bus(c, mode(c), c.Y); return 0; }
template <AddressRoutine mode> uint32_t i_sax(Core& c) { write_bus(c, mode(c), c.A & c.X); return 0; }

// The unstable stores write their value AND the high byte of the address plus one, as the
// public single-step tests of the NMOS chip model them.
template <AddressRoutine mode> uint32_t store_and_high(Core& c, uint8_t v)
{
    uint32_t ea = mode(c);
    write_bus(c, ea, v & ((ea >> 8) + 1));
    return 0;
}

template <AddressRoutine mode> uint32_t i_sha(Core& c) { return store_and_high<mode>(c, c.A & c.X); }
template <AddressRoutine mode> uint32_t i_shx(Core& c) { return store_and_high<mode>(c, c.X); }
template <AddressRoutine mode> uint32_t i_shy(Core& c) { return store_and_high<mode>(c, c.Y); }

template <AddressRoutine mode> uint32_t i_tas(Core& c)
{
    c.S = c.A & c.X;
    return store_and_high<mode>(c, c.S);
}

// Read-modify-write ------------------------------------------------------------

// The write goes through the page handler, so a ROM byte stays while the flags and the
// registers follow r. The undocumented ones go on with r as a read instruction would.
template <AddressRoutine mode, uint8_t (*op)(Core&, uint8_t), void (*then)(Core&, uint8_t)> uint32_t modify(Core& c)
{
    uint32_t ea = mode(c);
    uint8_t r = op(c, read_bus(c, ea));
    write_bus(c, ea, r);
    then(c, r);
    return 0;
}

template <AddressRoutine mode> uint32_t i_asl(Core& c) { return modify<mode, shift_asl, set_nz>(c); }
template <AddressRoutine mode> uint32_t i_lsr(Core& c) { return modify<mode, shift_lsr, set_nz>(c); }
template <AddressRoutine mode> uint32_t i_rol(Core& c) { return modify<mode, shift_rol, set_nz>(c); }
template <AddressRoutine mode> uint32_t i_ror(Core& c) { return modify<mode, shift_ror, set_nz>(c); }
template <AddressRoutine mode> uint32_t i_inc(Core& c) { return modify<mode, increment, set_nz>(c); }
template <AddressRoutine mode> uint32_t i_dec(Core& c) { return modify<mode, decrement, set_nz>(c); }
template <AddressRoutine mode> uint32_t i_slo(Core& c) { return modify<mode, shift_asl, or_a>(c); }
template <AddressRoutine mode> uint32_t i_rla(Core& c) { return modify<mode, shift_rol, and_a>(c); }
template <AddressRoutine mode> uint32_t i_sre(Core& c) { return modify<mode, shift_lsr, eor_a>(c); }
template <AddressRoutine mode> uint32_t i_rra(Core& c) { return modify<mode, shift_ror, add>(c); }
template <AddressRoutine mode> uint32_t i_dcp(Core& c) { return modify<mode, decrement, compare_a>(c); }
template <AddressRoutine mode> uint32_t i_isc(Core& c) { return modify<mode, increment, subtract>(c); }

// Registers and flags ----------------------------------------------------------

template <AddressRoutine mode> uint32_t i_asla(Core& c) { c.A = shift_asl(c, c.A); set_nz(c, c.A); return 0; }
template <AddressRoutine mode> uint32_t i_lsra(Core& c) { c.A = shift_lsr(c, c.A); set_nz(c, c.A); return 0; }
template <AddressRoutine mode> uint32_t i_rola(Core& c) { c.A = shift_rol(c, c.A); set_nz(c, c.A); return 0; }
template <AddressRoutine mode> uint32_t i_rora(Core& c) { c.A = shift_ror(c, c.A); set_nz(c, c.A); return 0; }

template <AddressRoutine mode> uint32_t i_inx(Core& c) { c.X = (c.X + 1) & 0xFF; set_nz(c, c.X); return 0; }
template <AddressRoutine mode> uint32_t i_iny(Core& c) { c.Y = (c.Y + 1) & 0xFF; set_nz(c, c.Y); return 0; }
template <AddressRoutine mode> uint32_t i_dex(Core& c) { c.X = (c.X - 1) & 0xFF; set_nz(c, c.X); return 0; }
template <AddressRoutine mode> uint32_t i_dey(Core& c) { c.Y = (c.Y - 1) & 0xFF; set_nz(c, c.Y); return 0; }

// Transfers call their implied addressing routine, which clears eff_adr.
template <AddressRoutine mode> uint32_t i_tax(Core& c) { mode(c); c.X = c.A; set_nz(c, c.X); return 0; }
template <AddressRoutine mode> uint32_t i_tay(Core& c) { mode(c); c.Y = c.A; set_nz(c, c.Y); return 0; }
template <AddressRoutine mode> uint32_t i_txa(Core& c) { mode(c); c.A = c.X; set_nz(c, c.A); return 0; }
template <AddressRoutine mode> uint32_t i_tya(Core& c) { mode(c); c.A = c.Y; set_nz(c, c.A); return 0; }
template <AddressRoutine mode> uint32_t i_tsx(Core& c) { mode(c); c.X = c.S; set_nz(c, c.X); return 0; }
template <AddressRoutine mode> uint32_t i_txs(Core& c) { mode(c); c.S = c.X; PokeFlag = 1; return 0; }

template <AddressRoutine mode> uint32_t i_clc(Core& c) { c.P &= ~FLAG_C; return 0; }
template <AddressRoutine mode> uint32_t i_cld(Core& c) { c.P &= ~FLAG_D; return 0; }
template <AddressRoutine mode> uint32_t i_cli(Core& c) { c.P &= ~FLAG_I; return 0; }
template <AddressRoutine mode> uint32_t i_clv(Core& c) { c.P &= ~FLAG_V; return 0; }
template <AddressRoutine mode> uint32_t i_sec(Core& c) { c.P |= FLAG_C; return 0; }
template <AddressRoutine mode> uint32_t i_sed(Core& c) { c.P |= FLAG_D; return 0; }
template <AddressRoutine mode> uint32_t i_sei(Core& c) { c.P |= FLAG_I; return 0; }

// Stack ------------------------------------------------------------------------

inline void pull_status(Core& c) { c.P = (pull(c) & ~FLAG_5) | (c.P & FLAG_5); }

template <AddressRoutine mode> uint32_t i_pha(Core& c) { push(c, c.A); return 0; }
template <AddressRoutine mode> uint32_t i_php(Core& c) { push(c, c.P | FLAG_5 | FLAG_B); return 0; }
template <AddressRoutine mode> uint32_t i_pla(Core& c) { c.A = pull(c); set_nz(c, c.A); return 0; }
template <AddressRoutine mode> uint32_t i_plp(Core& c) { pull_status(c); return 0; }

// Jumps and subroutines --------------------------------------------------------

inline void load_vector(Core& c, uint32_t address)
{
    uint8_t low = read_bus(c, address);
    c.PC = low | (read_bus(c, address + 1) << 8);
}

template <AddressRoutine mode> uint32_t i_jmp(Core& c) { c.PC = mode(c) & 0xFFFF; return 0; }

// The chip reads the target's low byte before it pushes the return address and the high
// byte after, which tells when the stack runs over the operand.
template <AddressRoutine mode> uint32_t i_jsr(Core& c)
{
    uint8_t low = c.mem[c.PC];
    c.PC = (c.PC + 1) & 0xFFFF;
    push(c, c.PC >> 8);
    push(c, c.PC & 0xFF);
    c.PC = (c.PC - 1) & 0xFFFF;
    c.PC = R.EA = eff_adr = (mode(c) & 0xFF00) | low;
    return 0;
}

template <AddressRoutine mode> uint32_t i_rts(Core& c)
{
    uint8_t low = pull(c);
    uint8_t high = pull(c);
    c.PC = ((high << 8) + low + 1) & 0xFFFF;
    return 0;
}

template <AddressRoutine mode> uint32_t i_rti(Core& c)
{
    pull_status(c);
    uint8_t low = pull(c);
    uint8_t high = pull(c);
    c.PC = (high << 8) | low;
    return 0;
}

// BRK pushes B set and then sets I, leaving the other flags alone, as on the chip.
template <AddressRoutine mode> uint32_t i_brk(Core& c)
{
    c.PC = (c.PC + 1) & 0xFFFF;
    push(c, c.PC >> 8);
    push(c, c.PC & 0xFF);
    push(c, c.P | FLAG_5 | FLAG_B);
    c.P |= FLAG_I;
    load_vector(c, 0xFFFE);
    return 0;
}

// Branches ---------------------------------------------------------------------

// A branch taken costs a cycle, and one more when its target lies in another page than the
// instruction after it.
template <AddressRoutine mode> inline uint32_t branch(Core& c, bool taken)
{
    if (!taken) {
        c.PC = (c.PC + 1) & 0xFFFF;
        return 0;
    }
    uint32_t target = mode(c);
    uint32_t extra = 1 + (((target ^ c.PC) & 0xFF00) != 0);
    c.PC = target;
    return extra;
}

template <AddressRoutine mode> uint32_t i_bcc(Core& c) { return branch<mode>(c, !(c.P & FLAG_C)); }
template <AddressRoutine mode> uint32_t i_bcs(Core& c) { return branch<mode>(c, c.P & FLAG_C); }
template <AddressRoutine mode> uint32_t i_bne(Core& c) { return branch<mode>(c, !(c.P & FLAG_Z)); }
template <AddressRoutine mode> uint32_t i_beq(Core& c) { return branch<mode>(c, c.P & FLAG_Z); }
template <AddressRoutine mode> uint32_t i_bpl(Core& c) { return branch<mode>(c, !(c.P & FLAG_N)); }
template <AddressRoutine mode> uint32_t i_bmi(Core& c) { return branch<mode>(c, c.P & FLAG_N); }
template <AddressRoutine mode> uint32_t i_bvc(Core& c) { return branch<mode>(c, !(c.P & FLAG_V)); }
template <AddressRoutine mode> uint32_t i_bvs(Core& c) { return branch<mode>(c, c.P & FLAG_V); }

// Undocumented opcodes and JAM -------------------------------------------------

// The stops in the debugger stay out of the run of instructions, which is faster without them.
[[gnu::noinline, gnu::cold]] inline void stop_undocumented(Core c)
{
    set_R(c);
    undefined_opcode("Debugger ERR - Undefined Instruction");
}

[[gnu::noinline, gnu::cold]] inline void stop_jam(Core c)
{
    jam_loc = c.PC;
    set_R(c);
    undefined_opcode(halt_text().c_str());
}

// The undocumented opcodes run as on the chip; with Stop on Error code the debugger stops
// after them.
template <uint32_t (*op)(Core&)> uint32_t i_ERR(Core& c)
{
    uint32_t extra = op(c);
    if (CodeERR) {
        call_out(c);
        stop_undocumented(c);
    }
    return extra;
}

// A JAM stops the chip on its opcode. The debugger is told once; the processor then stays
// there, running the JAM again, until PC is moved.
template <AddressRoutine mode> uint32_t i_jam(Core& c)
{
    c.PC = (c.PC - 1) & 0xFFFF;
    if (c.PC != jam_loc) {
        call_out(c);
        stop_jam(c);
    }
    return 0;
}

// The routine of an Inst entry: `op` on the global register record.
template <uint32_t (*op)(Core&)> uint32_t on_R()
{
    Core c = core_of_R();
    uint32_t extra = op(c);
    set_R(c);
    return extra;
}
