// One 6502 instruction of emulated memory as assembler text.
#pragma once
#include <cstdint>

// Writes the instruction at addr into text (room for 16 characters) and returns its length.
int Disassemble(char* text, unsigned addr);
// The same for the instruction whose three bytes were these, at addr.
int disassemble_bytes(char* text, unsigned addr, const uint8_t bytes[3]);
