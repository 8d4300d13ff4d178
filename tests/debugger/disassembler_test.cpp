#include "machine_setup.h"

#include "cpu/bus.h"
#include "debugger/disassembler.h"

#include <gtest/gtest.h>

namespace {

TEST(Disassembler, LinesAndLengths)
{
    fresh_machine();
    struct { uint32_t at; std::initializer_list<uint8_t> bytes; const char* text; int length; } cases[] = {
        {0x0300, {0xA9, 0x0A}, "LDA #0A", 2},      {0x0300, {0x4C, 0x00, 0xFF}, "JMP $FF00", 3},
        {0x0300, {0x0A}, "ASL A", 1},              {0x1000, {0xD0, 0xFE}, "BNE $1000", 2},
        {0x1000, {0x10, 0x10}, "BPL $1012", 2},    {0x0300, {0x02, 0x55}, "JAM", 1},
        {0x0300, {0x03, 0x12}, "SLO ($12,X)", 2},  {0x0300, {0xB1, 0x12}, "LDA ($12),Y", 2},
        {0x0300, {0x1C, 0x34, 0x12}, "NOP $1234,X", 3}, {0x0300, {0x80, 0x55}, "NOP #55", 2},
        {0x0300, {0x9E, 0x34, 0x12}, "SHX $1234,Y", 3}, {0x0300, {0xB7, 0x80}, "LAX $80,Y", 2},
        {0x0300, {0xBD, 0x34, 0x12}, "LDA $1234,X", 3}, {0x0300, {0x6C, 0x34, 0x12}, "JMP ($1234)", 3},
        {0x0300, {0xB6, 0x80}, "LDX $80,Y", 2},    {0x0010, {0x90, 0x80}, "BCC $FF92", 2},
    };
    char text[16];
    for (auto c : cases) {
        load(c.at, c.bytes);
        EXPECT_EQ(Disassemble(text, c.at), c.length) << c.text;
        EXPECT_STREQ(text, c.text);
    }
    EXPECT_EQ(Disassemble(text, 0xE000), 2);
    EXPECT_STREQ(text, "CPX #E0") << "an unmapped page reads its page number";

    RAMptr[0xFFFF] = 0x20;  // a word operand past $FFFF wraps to $0000
    load(0x0000, {0x00, 0x0F});
    Disassemble(text, 0xFFFF);
    EXPECT_STREQ(text, "JSR $0F00");
}

} // namespace
