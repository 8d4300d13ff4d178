// One 6502 instruction of emulated memory as assembler text.
#pragma once

// Writes the instruction at addr into text (room for 16 characters) and returns its length.
int Disassemble(char* text, unsigned addr);
