#include "machine/keyboard_port.h"
#include "machine/memory_map.h"
#include "machine_setup.h"

#include "cpu/bus.h"
#include "cpu/cpu.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/tape.h"
#include "machine/video.h"

#include <gtest/gtest.h>

namespace {

void rebuild_map(uint32_t ramtop)
{
    RAMTOP = ramtop;
    build_memory_map();
}

TEST(Bus, DefaultMapReadsPageNumbersAndKeepsRomBytes)
{
    fresh_machine();
    rebuild_map(0x03FF);
    EXPECT_EQ(Peek(0x9000), 0x90);
    EXPECT_EQ(Peek(0xE123), 0xE1);
    EXPECT_EQ(Peek(0xC100), 0xC1);

    RAMptr[0xA000] = 0x4C;
    Poke(0xA000, 0x00);
    EXPECT_EQ(Peek(0xA000), 0x4C);
    EXPECT_EQ(PokeFlag, 1);

    Poke(0x03FF, 0x11);
    Poke(0x0400, 0x22);
    EXPECT_EQ(Peek(0x03FF), 0x11);
    EXPECT_EQ(Peek(0x0400), 0x04);
    EXPECT_EQ(RAMptr[0x0400], 0);

    EXPECT_EQ(readMEMORY[0xFF], ROMKERNALREAD);
    RAMptr[0xFFFF] = 0xF8;
    EXPECT_EQ(Peek(0xFFFF), 0xF8);
    EXPECT_EQ(Peek(0x1FFFF), 0xF8) << "addresses wrap to 16 bits";
}

TEST(Bus, RamTopRoundsUpToWholePages)
{
    fresh_machine();
    rebuild_map(0x2000);
    EXPECT_EQ(writeMEMORY[0x1F], RAMWRITE);
    EXPECT_EQ(writeMEMORY[0x20], NULLWRITE);
    rebuild_map(0x20FF);
    EXPECT_EQ(writeMEMORY[0x20], RAMWRITE);
    EXPECT_EQ(writeMEMORY[0x21], NULLWRITE);
}

TEST(Bus, ExtensionBlocks)
{
    fresh_machine();
    RAMTOP = 0x03FF;
    ROMEX1 = 0x8000;
    ROMEX1size = 0x0801;
    RAMEX1 = 0x6000;
    RAMEX1size = 0x0801;
    RAMEX2 = 0xF800;
    RAMEX2size = 0x0900; // would run past $FFFF: installs nothing
    build_memory_map();
    for (int p = 0x80; p <= 0x88; p++) {
        EXPECT_EQ(readMEMORY[p], RAMREAD) << p;
        EXPECT_EQ(writeMEMORY[p], NULLWRITE) << p;
    }
    EXPECT_EQ(readMEMORY[0x89], NULLREAD);
    for (int p = 0x60; p <= 0x67; p++)
        EXPECT_EQ(writeMEMORY[p], RAMWRITE) << p;
    EXPECT_EQ(writeMEMORY[0x68], NULLWRITE);
    EXPECT_EQ(writeMEMORY[0xF8], NULLWRITE);
    EXPECT_EQ(readMEMORY[0xF8], ROMKERNALREAD);
}

TEST(Bus, DevicePagesOverrideConfiguredMemory)
{
    fresh_machine();
    RAMEX1 = 0xC000;
    RAMEX1size = 0x4000;
    RAMGDC = 1;
    GDCadr = 0x8000;
    build_memory_map();
    EXPECT_EQ(readMEMORY[0xC0], ACIA2READ);
    EXPECT_EQ(writeMEMORY[0xC1], RAMWRITE);
    for (int p = 0xD0; p <= 0xD3; p++)
        EXPECT_EQ(writeMEMORY[p], VIDCWRITE);
    for (int p = 0xD4; p <= 0xD7; p++)
        EXPECT_EQ(writeMEMORY[p], CVIDCWRITE);
    for (int p = 0xDC; p <= 0xDF; p++)
        EXPECT_EQ(readMEMORY[p], KEYBREAD);
    EXPECT_EQ(readMEMORY[0xF0], ACIA1READ);
    EXPECT_EQ(writeMEMORY[0x80], GDCWRITE);
    EXPECT_EQ(writeMEMORY[0x9F], GDCWRITE);
    EXPECT_EQ(writeMEMORY[0xA0], NULLWRITE);
    RAMEX1size = 0;
    RAMGDC = 0;
}

TEST(Bus, RebuildLeavesNoHandlerOfTheOldMap)
{
    fresh_machine();
    RAMGDC = 1;
    RAMEX1 = 0xE000;
    RAMEX1size = 0x1000;
    build_memory_map();
    RAMGDC = 0;
    RAMEX1size = 0;
    build_memory_map();
    for (int p = 0x80; p <= 0x9F; p++)
        EXPECT_EQ(writeMEMORY[p], NULLWRITE) << p;
    for (int p = 0xE0; p <= 0xEF; p++) {
        EXPECT_EQ(readMEMORY[p], NULLREAD) << p;
        EXPECT_EQ(writeMEMORY[p], NULLWRITE) << p;
    }
}

} // namespace
