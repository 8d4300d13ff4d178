#include "debugger/disassembler.h"

#include "cpu/cpu.h"

#include <cstdio>

namespace {

enum Operand { NONE, BYTE, WORD, TARGET };

struct Format {
    AddressRoutine mode;
    Operand operand;
    const char* text;
};

const Format formats[] = {
    {addr_abs, WORD, "%s $%04X"},
    {addr_absx, WORD, "%s $%04X,X"},
    {addr_absy, WORD, "%s $%04X,Y"},
    {addr_immediate, BYTE, "%s #%02X"},
    {addr_implied, NONE, "%s"},
    {addr_indirect, WORD, "%s ($%04X)"},
    {addr_indx, BYTE, "%s ($%02X,X)"},
    {addr_indy, BYTE, "%s ($%02X),Y"},
    {addr_relative, TARGET, "%s $%04X"},
    {addr_zpage, BYTE, "%s $%02X"},
    {addr_zpagex, BYTE, "%s $%02X,X"},
    {addr_zpagey, BYTE, "%s $%02X,Y"},
};

const int lengths[] = {1, 2, 3, 2};

// `byte(n)` is the instruction's byte n, `block(n)` the same as the block holds it.
template <class Byte, class Block> int disassemble(char* text, unsigned addr, Byte byte, Block block)
{
    uint8_t opcode = byte(0);
    for (const Format& f : formats) {
        if (Mode[opcode] != f.mode)
            continue;
        unsigned value = 0;
        if (f.operand == BYTE)
            value = byte(1);
        else if (f.operand == WORD)
            value = block(1) | (block(2) << 8);
        else if (f.operand == TARGET)
            value = (addr + 2 + int8_t(byte(1))) & 0xFFFF;
        std::snprintf(text, 16, f.text, Op[opcode], value);
        return lengths[f.operand];
    }
    std::snprintf(text, 16, "%s", Op[opcode]);
    return 1;
}

} // namespace

// Word operands come from the block without side effects and wrap past $FFFF;
// branch targets are shown modulo $10000.
int Disassemble(char* text, unsigned addr)
{
    return disassemble(
        text, addr, [&](unsigned n) { return Peek(addr + n); },
        [&](unsigned n) { return RAMptr[(addr + n) & 0xFFFF]; });
}

int disassemble_bytes(char* text, unsigned addr, const uint8_t bytes[3])
{
    auto byte = [&](unsigned n) { return bytes[n]; };
    return disassemble(text, addr, byte, byte);
}
