#include "machine/memory_map.h"
#include "machine_setup.h"

#include "config/config.h"
#include "config/ini.h"
#include "frontend/commands.h"
#include "host/ids.h"
#include "machine/board.h"
#include "machine/board_port.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/sound.h"
#include "machine/video.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(Config, DefaultsWithoutKeys)
{
    SYS[3].clear();  // as at program start; later rebuilds keep the disks
    SYS[4].clear();
    build_from_ini("; nothing here\n");
    EXPECT_EQ(RAMTOP, 0x03FFu);
    EXPECT_EQ(writeMEMORY[0x03], RAMWRITE);
    EXPECT_EQ(writeMEMORY[0x04], NULLWRITE);
    EXPECT_EQ(SYS[0], sztFileHome + "Basde.rom");
    EXPECT_EQ(SYS[1], sztFileHome + "Monde.rom");
    EXPECT_EQ(SYS[5], sztFileHome + "KEY.DAT");
    EXPECT_EQ(SYS[7], "Error opening MONITOR ROM in KERNAL=" + sztFileHome + "Monde.rom")
        << "the last ROM error stands, naming its file";
    EXPECT_EQ(screen, 0u);
    EXPECT_EQ(SpeedPos, 100u);
    EXPECT_EQ(IRQ_Interrupt + NMI_Interrupt, 0u);
    EXPECT_EQ(stop_loc, 0xFFFFu);
    EXPECT_EQ(sel_drv, 0u);
    EXPECT_EQ(caps, 1u);
    EXPECT_EQ(Peek(0xD000), 0x20) << "video memory filled with spaces";
    EXPECT_EQ(Board600D, 0);
    EXPECT_EQ(writeMEMORY[0xD8], NULLWRITE) << "no control register";
    EXPECT_EQ(SoundEnable, 1);
    EXPECT_EQ(SoundVolume, 100u);
}

TEST(Config, NumbersAndClamps)
{
    struct { const char* value; uint32_t ramtop; } ramtops[] = {
        {"100", 0x03FF}, {"0x9000", 0x7FFF}, {"0x2000", 0x2000}, {"020000", 0x2000}, {"0x12000", 0x2000},
    };
    for (auto c : ramtops) {
        build_from_ini(std::string("[ram]\nramtop = ") + c.value + "  \n");
        EXPECT_EQ(RAMTOP, c.ramtop) << c.value;
    }
    build_from_ini("[EXTENSIONS]\nRAMEXT1=0x8000,0x1000\nRAMEXT2=0xF800,0x1000\n");
    EXPECT_EQ(writeMEMORY[0x8F], RAMWRITE);
    EXPECT_EQ(writeMEMORY[0x90], NULLWRITE);
    EXPECT_EQ(writeMEMORY[0xF8], NULLWRITE) << "would run past 64 KB";

    build_from_ini("[Screen]\nScreen_size=1\nChar_size=1\n[Speed]\nSpeed_factor=3\n[Debug]\nBPaddress=0x0305\n");
    EXPECT_EQ(screen, 6u);
    EXPECT_EQ(SpeedPos, 300u);
    EXPECT_EQ(stop_loc, 0x0305u);
    build_from_ini("[Screen]\nScreen_size=2\n[Speed]\nSpeed_factor=5\n[IRQ_NMI]\nIRQ_Interrupt=70000\n");
    EXPECT_EQ(screen, 0u);
    EXPECT_EQ(SpeedPos, 100u);
    EXPECT_EQ(IRQ_Interrupt, 70000u & 0xFFFF);

    build_from_ini("[Board]\nModel=600D\n[Video]\nColour=630\n[Screen]\nTint=amber\n[Sound]\nEnable=0\nVolume=40\n");
    EXPECT_EQ(Board600D, 1);
    EXPECT_EQ(writeMEMORY[0xD8], CTRLWRITE);
    EXPECT_EQ(writeMEMORY[0xDB], CTRLWRITE);
    EXPECT_EQ(Colour630, 1);
    EXPECT_EQ(writeMEMORY[0xE0], COLOURWRITE);
    EXPECT_EQ(writeMEMORY[0xE7], COLOURWRITE);
    EXPECT_EQ(writeMEMORY[0xE8], NULLWRITE);
    EXPECT_EQ(ScreenTint, uint32_t(TINT_AMBER));
    EXPECT_EQ(SoundEnable, 0);
    EXPECT_EQ(SoundVolume, 40u);
    Poke(0xD800, CONTROL_DAC);
    build_from_ini("[Board]\nModel=600\n[Sound]\nVolume=250\n");
    EXPECT_EQ(Board600D, 0);
    EXPECT_EQ(board_control, 0) << "a rebuilt board starts with its register clear";
    EXPECT_EQ(Colour630, 0);
    EXPECT_EQ(readMEMORY[0xE0], NULLREAD) << "no colour memory without the expander";
    EXPECT_EQ(writeMEMORY[0xE0], NULLWRITE);
    EXPECT_EQ(ScreenTint, uint32_t(TINT_WHITE));
    EXPECT_EQ(SoundVolume, 100u);
}

TEST(Config, IniReaderMatchesPrivateProfiles)
{
    write_file(temp_path("r.ini"), "[One]\r\nKey = \"quoted value\" \r\nkey=second\r\n[two\nX=1\n[Long]\nV=" +
                                       std::string(100, 'v') + "\n");
    IniFile ini = ini_read(temp_path("r.ini"));
    EXPECT_EQ(ini_get(ini, "one", "KEY"), "quoted value") << "the first of two equal keys counts";
    EXPECT_EQ(ini_get(ini, "two", "X"), "") << "a broken section header opens no section";
    EXPECT_EQ(ini_get(ini, "long", "v").size(), 100u) << "long paths are not cut";
    EXPECT_EQ(ini_get(ini_read(temp_path("absent.ini")), "one", "key"), "");
    size_t end;
    EXPECT_EQ(ini_number("0x1F,rest", &end), 0x1Fu);
    EXPECT_EQ(end, 4u);
    EXPECT_EQ(ini_number("-1"), 0xFFFFu);
    EXPECT_EQ(ini_number("junk"), 0u);
}

TEST(Config, DisksCarryOverAndPathsMayBeAbsolute)
{
    write_file(temp_path("a.img"), std::string(100, 'a'));
    build_from_ini("[DISK]\nDRIVE_A=" + temp_path("a.img") + "\n");
    EXPECT_EQ(SYS[3], temp_path("a.img")) << "an absolute path is used as it stands";
    EXPECT_EQ(sel_drv, 1u);
    build_from_ini("[RAM]\nRAMTOP=0x7FFF\n");
    EXPECT_EQ(sel_drv, 1u) << "the disk of the previous configuration stays";

    build_from_ini("[DISK]\nDRIVE_A=missing.img\n");
    EXPECT_EQ(sel_drv, 0u);
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].text.rfind("Unable to open DISK_A Image File ", 0), 0u);
    EXPECT_EQ(test_host->messages[0].caption, "ERROR Message");
    SYS[3].clear();
}

TEST(Rom, ImagesAndTheirChecks)
{
    write_file(temp_path("half.rom"), std::string(4096, '\x11'));
    write_file(temp_path("mon.rom"), std::string(2048, '\x22'));
    write_file(temp_path("32k.rom"), std::string(32768, '\x33'));
    write_file(temp_path("32k1.rom"), std::string(32769, '\x44'));
    write_file(temp_path("4k.rom"), std::string(4096, '\x55'));
    write_file(temp_path("64k.rom"), std::string(65536, '\x66'));
    build_from_ini("[ROM]\nBASIC=half.rom\nKERNEL=mon.rom\n[EXTENSIONS]\nROMEXT1=0x1000,32k.rom\nROMEXT2=0xF000,4k.rom\n");
    EXPECT_EQ(SYS[7], "");
    EXPECT_EQ(Peek(0xAFFF), 0x11);
    EXPECT_EQ(Peek(0xB000), 0xFF) << "past the end of a short image";
    EXPECT_EQ(ROMEX1size, 32768u);
    EXPECT_EQ(Peek(0x8FFF), 0x33);
    Poke(0x1000, 0);
    EXPECT_EQ(Peek(0x1000), 0x33) << "read-only";
    EXPECT_EQ(ROMEX2size, 4096u);
    EXPECT_EQ(Peek(0xFFFF), 0x55) << "the extension is loaded after the monitor";

    build_from_ini("[ROM]\nBASIC=half.rom\nKERNEL=mon.rom\n[EXTENSIONS]\nROMEXT1=0x8000, 4k.rom \n");
    EXPECT_EQ(ROMEX1size, 4096u) << "blanks around the name";

    // A folder, an empty file or a stray byte is no ROM image: refused as a missing one.
    std::filesystem::create_directories(temp_path("folder.rom"));
    write_file(temp_path("empty.rom"), "");
    write_file(temp_path("byte.rom"), "\x4C");
    for (const char* name : {"folder.rom", "empty.rom", "byte.rom"}) {
        build_from_ini(std::string("[ROM]\nBASIC=half.rom\nKERNEL=") + name + "\n");
        EXPECT_EQ(SYS[7], "Error opening MONITOR ROM in KERNAL=" + sztFileHome + name);
        build_from_ini(std::string("[ROM]\nBASIC=") + name + "\nKERNEL=mon.rom\n");
        EXPECT_EQ(SYS[7], "Error opening BASIC ROM in BASIC=" + sztFileHome + name);
    }

    const char* refused[][2] = {{"0x8000,32k1.rom", "1"}, {"0xF001,4k.rom", "1"}, {"0x1000,64k.rom", "1"}};
    for (auto r : refused) {
        build_from_ini(std::string("[ROM]\nBASIC=half.rom\nKERNEL=mon.rom\n[EXTENSIONS]\nROMEXT1=") + r[0] + "\n");
        EXPECT_EQ(SYS[7].rfind("Error opening File at location in ROMEXT1=" + sztFileHome, 0), 0u) << r[0];
        EXPECT_EQ(ROMEX1size, 0u);
    }
}

TEST(Rom, KeyboardLayoutFile)
{
    write_file(temp_path("short.dat"), std::string(256, '\x03'));
    build_from_ini("[Keyboard]\nKEYFILE=short.dat\n");
    EXPECT_EQ(key_ref[0x7F].row, 3);
    for (const SpecialKey& s : key_function)
        EXPECT_EQ(s.row1, -1);
    gScan = irqkey = 0x48;  // a special key whose record names no row presses nothing
    CIA1();
    EXPECT_EQ(key_matrix[3], 0xFFu);

    write_file(temp_path("byte.dat"), "\x03");
    std::filesystem::create_directories(temp_path("folder.dat"));
    for (const char* name : {"gone.dat", "byte.dat", "folder.dat"}) {
        test_host->messages.clear();
        build_from_ini(std::string("[Keyboard]\nKEYFILE=") + name + "\n");
        EXPECT_EQ(Abort, 0) << name;
        ASSERT_EQ(test_host->messages.size(), 1u) << name;
        EXPECT_EQ(test_host->messages[0].text, "Error opening Keyboard Layout");
        EXPECT_EQ(test_host->messages[0].caption, "ERROR during System Boot");
    }
}

// Load Config File and Hard Reset check the whole configuration first: one that cannot build
// a machine is refused with the reason, and the running machine goes on untouched.
TEST(Config, AnUnusableConfigurationLeavesTheMachineRunning)
{
    const std::string basic = "[ROM]\nBASIC=" QUARZEL_PROGRAM_DIR "/basic.rom\n";
    const std::string roms = basic + "KERNEL=" QUARZEL_PROGRAM_DIR "/monitor.rom\n";
    write_file(temp_path("small.rom"), std::string(300, 'r'));
    write_file(temp_path("big.rom"), std::string(0x2000, 'r'));
    const struct {
        std::string ini, reason;
    } refused[] = {
        {"[ROM]\nBASIC=gone.rom\n", "Error opening BASIC ROM in BASIC=" + temp_path("gone.rom")},
        {basic + "KERNEL=gone.rom\n", "Error opening MONITOR ROM in KERNAL=" + temp_path("gone.rom")},
        {roms + "[Keyboard]\nKEYFILE=gone.dat\n", "Error opening Keyboard Layout " + temp_path("gone.dat")},
        {roms + "[DISK]\nDRIVE_B=gone.img\n", "Unable to open DISK_B Image File " + temp_path("gone.img")},
        {roms + "[EXTENSIONS]\nROMEXT1=0x9000,gone.rom\n", "in ROMEXT1=" + temp_path("gone.rom")},
        {roms + "[EXTENSIONS]\nROMEXT2=0xF000,big.rom\n", "in ROMEXT2=" + temp_path("big.rom")},
    };
    build_from_ini(roms + "[EXTENSIONS]\nROMEXT1=0x9000,small.rom\n");
    ASSERT_EQ(SYS[7], "");
    const std::string config = SYS[6];
    load(0x0300, {0xE8, 0x4C, 0x00, 0x03});  // INX; JMP $0300
    R.PC = 0x0300;
    std::string memory(reinterpret_cast<char*>(RAMptr), 0x10000);
    auto expect_refused = [&](int command, const std::string& reason) {
        test_host->messages.clear();
        menu_command(command);
        ASSERT_EQ(test_host->messages.size(), 1u);
        EXPECT_NE(test_host->messages[0].text.find(reason), std::string::npos) << test_host->messages[0].text;
        EXPECT_EQ(test_host->messages[0].icon, MSG_ERROR);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(RAMptr), 0x10000), memory) << "the program is still there";
        EXPECT_EQ(R.PC, 0x0300u);
        EXPECT_EQ(SYS[6], config);
        EXPECT_EQ(Abort, 1);
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.ini);
        write_file(temp_path("bad.ini"), r.ini);
        test_host->file_answers = {temp_path("bad.ini")};
        expect_refused(CMD_LOAD_CONFIG, r.reason);
    }
    std::filesystem::remove(temp_path("small.rom"));
    expect_refused(CMD_HARD_RESET, "in ROMEXT1=" + temp_path("small.rom"));

    test_host->file_answers.clear();
    menu_command(CMD_LOAD_CONFIG);
    EXPECT_EQ(R.PC, 0x0300u) << "a cancelled chooser changes nothing";
}

} // namespace
