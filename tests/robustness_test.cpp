// Random files of every kind the machine reads: no crash, no sanitizer report, and the
// described message where one is due.
#include "machine/memory_map.h"
#include "machine_setup.h"

#include "config/config.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/tape.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::mt19937 rng(20261206);

std::string random_bytes(size_t n)
{
    std::string s(n, 0);
    for (char& c : s)
        c = char(rng());
    return s;
}

// Text made of INI-like pieces, so that sections and keys are hit as well as noise.
std::string random_ini()
{
    const char* pieces[] = {"[ROM]", "[RAM]", "[DISK]", "[EXTENSIONS]", "[Keyboard]", "[Screen]", "[Speed]",
                            "[IRQ_NMI]", "[Debug]", "BASIC=", "KERNEL=", "RAMTOP=", "RAMGDC=", "RAMEXT1=",
                            "RAMEXT2=", "ROMEXT1=", "ROMEXT3=", "DRIVE_A=", "DRIVE_B=", "KEYFILE=", "Screen_size=",
                            "Char_size=", "Speed_factor=", "IRQ_Interrupt=", "NMI_Interrupt=", "BPaddress=",
                            "0x", "0", "-", ",", "=", "\n", "\r\n", " ", "rom.bin", "disk.img", "[", "]", ";",
                            "FFFF", "99999999999999999999", "/"};
    std::string s;
    for (int i = rng() % 60; i > 0; i--)
        s += rng() % 8 ? pieces[rng() % std::size(pieces)] : random_bytes(1 + rng() % 4);
    return s;
}

void run_a_while()
{
    for (int i = 0; i < 3 && Abort; i++)
        run_slice();
}

TEST(Robustness, RandomConfigurationsBuildAMachine)
{
    write_file(temp_path("rom.bin"), random_bytes(3000));
    write_file(temp_path("disk.img"), random_bytes(5000));
    for (int round = 0; round < 300; round++) {
        build_from_ini(random_ini());
        EXPECT_GE(RAMTOP, 0x03FFu);
        EXPECT_LE(RAMTOP, 0x7FFFu);
        for (int p = 0; p < 256; p++)
            ASSERT_TRUE(readMEMORY[p] && writeMEMORY[p]);
        run_a_while();
        SYS[3].clear();
        SYS[4].clear();
    }
}

TEST(Robustness, RandomRomsLayoutsAndDisks)
{
    size_t sizes[] = {0, 1, 255, 256, 291, 292, 293, 2047, 2048, 4096, 8191, 8192, 9000, 32768, 32769, 65535, 65536, 70000};
    for (size_t size : sizes) {
        write_file(temp_path("r.rom"), random_bytes(size));
        write_file(temp_path("k.dat"), random_bytes(size));
        write_file(temp_path("d.img"), random_bytes(size * 3));
        build_from_ini("[ROM]\nBASIC=r.rom\nKERNEL=r.rom\n[EXTENSIONS]\nROMEXT1=0x8000,r.rom\nROMEXT2=0xFFFF,r.rom\n"
                       "[DISK]\nDRIVE_A=d.img\nDRIVE_B=d.img\n[Keyboard]\nKEYFILE=k.dat\n");
        bool fits = size % 65536 >= 1 && size % 65536 <= 0x8000;
        EXPECT_EQ(ROMEX1size, fits ? size % 65536 : 0) << size;
        if (size % 65536 != 1) {  // a one-byte image fits at $FFFF
            EXPECT_EQ(SYS[7], "Error opening File at location in ROMEXT2=" + temp_path("r.rom")) << size;
        }
        Abort = 1;
        for (int i = 0; i < 50; i++) {  // random key events and disk and tape register traffic
            gScan = irqkey = rng() % 256;
            Poke(0xC000 + rng() % 0x20, rng());
            Peek(0xC000 + rng() % 0x20);
            Peek(0xDF00);
            run_slice();
        }
        SYS[3].clear();
        SYS[4].clear();
    }
}

TEST(Robustness, RandomTapeInput)
{
    build_from_ini("[RAM]\nRAMTOP=0x7FFF\n");
    // A reader that polls the status and copies every byte into a ring at $0400.
    load(0x0300, {0xAD, 0x00, 0xF0, 0x4A, 0x90, 0xFA, 0xAD, 0x01, 0xF0, 0x9D, 0x00, 0x04, 0xE8, 0x4C, 0x00, 0x03});
    std::string tape = random_bytes(500);
    write_file(temp_path("t.bin"), tape);
    test_host->file_answers.push_back(temp_path("t.bin"));
    ASSERT_EQ(FileMenue(""), 1);
    R.PC = 0x0300;
    R.X = 0;
    for (int i = 0; i < 10; i++)
        run_slice();
    EXPECT_EQ(in, nullptr) << "the whole tape was read";
    // The ring holds the last 244 bytes, then the $FF of the read that found the end.
    EXPECT_EQ(std::string(reinterpret_cast<char*>(RAMptr) + 0x0400, 256),
              tape.substr(256, 244) + "\xFF" + tape.substr(245, 11))
        << "every byte arrived once, in order";
}

} // namespace
