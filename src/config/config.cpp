#include "config/config.h"

#include "config/ini.h"
#include "config/rom.h"
#include "debugger/debugger.h"
#include "host/files.h"
#include "host/host.h"
#include "host/ids.h"
#include "machine/board.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/memory_map.h"
#include "machine/sound.h"
#include "machine/tape.h"
#include "machine/video.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

const uint32_t RAMTOPadr = 0x03FF;
ConfigHooks config_hooks;

namespace {

// "number, one separator character, rest"; without a separator the rest is empty.
std::string after_separator(const std::string& value, size_t number_end)
{
    return number_end + 1 <= value.size() ? value.substr(number_end + 1) : "";
}

void read_ram_extension(const IniFile& ini, const char* key, uint32_t& address, uint32_t& size)
{
    std::string v = ini_get(ini, "EXTENSIONS", key);
    if (v.empty())
        return;
    size_t end;
    address = ini_number(v, &end);
    size = ini_number(after_separator(v, end));
}

void read_rom_extension(const IniFile& ini, const char* key, uint32_t& address, std::string& file)
{
    std::string v = ini_get(ini, "EXTENSIONS", key);
    if (v.empty())
        return;
    size_t end;
    address = ini_number(v, &end);
    std::string name = ini_trim(after_separator(v, end));
    file = name.empty() ? "" : program_path(name);
}

void read_path(const IniFile& ini, const char* section, const char* key, std::string& slot)
{
    std::string v = ini_get(ini, section, key);
    if (!v.empty())
        slot = program_path(v);
}

bool read_number(const IniFile& ini, const char* section, const char* key, uint32_t& value)
{
    std::string v = ini_get(ini, section, key);
    if (v.empty())
        return false;
    value = ini_number(v);
    return true;
}

// The files a configuration names, over the defaults of a rebuild; the disks and the
// extension ROMs' addresses carry over from the configuration before.
struct ConfigFiles {
    std::string basic = sztFileHome + "Basde.rom", kernel = sztFileHome + "Monde.rom";
    std::string keys = sztFileHome + "KEY.DAT";
    std::string disk[2] = {SYS[3], SYS[4]};
    std::string rom[3];
    uint32_t rom_at[3] = {ROMEX1, ROMEX2, ROMEX3};
};

ConfigFiles read_files(const IniFile& ini)
{
    ConfigFiles f;
    read_path(ini, "ROM", "BASIC", f.basic);
    read_path(ini, "ROM", "KERNEL", f.kernel);
    read_rom_extension(ini, "ROMEXT1", f.rom_at[0], f.rom[0]);
    read_rom_extension(ini, "ROMEXT2", f.rom_at[1], f.rom[1]);
    read_rom_extension(ini, "ROMEXT3", f.rom_at[2], f.rom[2]);
    read_path(ini, "DISK", "DRIVE_A", f.disk[0]);
    read_path(ini, "DISK", "DRIVE_B", f.disk[1]);
    read_path(ini, "Keyboard", "KEYFILE", f.keys);
    return f;
}

} // namespace

std::string configuration_problem(const std::string& path)
{
    ConfigFiles f = read_files(ini_read(path));
    std::string problem = rom_problem(f.basic, f.kernel, f.rom, f.rom_at);
    if (problem.empty() && !image_usable(f.keys))
        problem = "Error opening Keyboard Layout " + f.keys;
    for (int drive : {0, 1})
        if (problem.empty() && !f.disk[drive].empty())
            problem = disk_problem(drive, f.disk[drive]);
    return problem;
}

void Load_ini_file()
{
    IniFile ini = ini_read(SYS[6]);
    ConfigFiles files = read_files(ini);
    SYS[0] = files.basic;
    SYS[1] = files.kernel;
    SYS[3] = files.disk[0];
    SYS[4] = files.disk[1];
    SYS[5] = files.keys;
    ROMEX1 = files.rom_at[0], ROMEX2 = files.rom_at[1], ROMEX3 = files.rom_at[2];
    ROMEX1file = files.rom[0], ROMEX2file = files.rom[1], ROMEX3file = files.rom[2];
    read_ram_extension(ini, "RAMEXT1", RAMEX1, RAMEX1size);
    read_ram_extension(ini, "RAMEXT2", RAMEX2, RAMEX2size);

    uint32_t n;
    if (read_number(ini, "Keyboard", "Translate", n))
        Translate = n == 1;
    if (read_number(ini, "Screen", "Screen_size", n) && n == 1)
        screen = 2;
    if (read_number(ini, "Screen", "Char_size", n) && n != 0)
        screen += 4;
    if (read_number(ini, "Screen", "Full_screen", n) && n == 1) {
        FullscreenEnabled = 1;
        host->check_menu(CMD_FULLSCREEN, true);
    }
    if (read_number(ini, "Speed", "Speed_factor", n) && n >= 1 && n <= 4)
        Speed = SpeedPos = 100 * n;
    Board600D = ini_trim(ini_get(ini, "Board", "Model")) == "600D";
    Colour630 = ini_trim(ini_get(ini, "Video", "Colour")) == "630";
    std::string tint = ini_trim(ini_get(ini, "Screen", "Tint"));
    ScreenTint = tint == "green" ? TINT_GREEN : tint == "amber" ? TINT_AMBER : TINT_WHITE;
    if (read_number(ini, "Sound", "Enable", n))
        SoundEnable = n == 1;
    if (read_number(ini, "Sound", "Volume", n))
        SoundVolume = std::min<uint32_t>(n, 100);
    if (read_number(ini, "Tape", "FastLoad", n))
        FastLoad = n == 1;
    read_number(ini, "IRQ_NMI", "IRQ_Interrupt", IRQ_Interrupt);
    read_number(ini, "IRQ_NMI", "NMI_Interrupt", NMI_Interrupt);
    if (read_number(ini, "RAM", "RAMTOP", RAMTOP))
        RAMTOP = std::clamp<uint32_t>(RAMTOP, 0x03FF, 0x7FFF);
    read_number(ini, "RAM", "RAMGDC", RAMGDC);
    read_number(ini, "Debug", "BPaddress", stop_loc);
    for (int drive : {0, 1})
        disk_protect(drive, read_number(ini, "DISK", drive ? "ProtectB" : "ProtectA", n) && n == 1);
}

void OSIini(const std::string& iniName)
{
    std::memset(RAMptr, 0, 0x10000);
    IRQ_Interrupt = NMI_Interrupt = 0;
    irq_counter = nmi_counter = 0;  // a shorter period must not find its counter past it
    IRQ = NMI = 0;
    gScan = irqkey = 0;
    caps = 1;
    RAMEX1size = RAMEX2size = ROMEX1size = ROMEX2size = ROMEX3size = 0;
    RAMGDC = 0;
    RAMTOP = RAMTOPadr;
    Translate = 0;  // configurations from before the translating mode keep the positional one
    stop_loc = 0xFFFF;
    host->check_menu(CMD_PAUSE, false);
    DEnable = 0;
    DebugRDY = 1;
    PokeFlag = 0;
    SEnable = 1;
    CodeERR = 0;
    TraceMode = 1;
    SMode = 0;
    trace_loc = 0xFFFF;
    Abort = 1;
    screen = 0;
    SpeedPos = Speed = 100;
    WarpEnable = 0;
    FastLoad = 1;
    Board600D = Colour630 = 0;
    board_control = 0;
    SoundEnable = 1;
    SoundVolume = 100;
    sztFileSpec = ".BAS";
    sztFileName.clear();

    if (!iniName.empty())
        SYS[6] = iniName;
    SYS[7].clear();
    Load_ini_file();
    if (config_hooks.on_rebuild)
        config_hooks.on_rebuild();
    host->check_menu(CMD_TRANSLATE_KEYS, Translate);
    host->check_menu(CMD_WARP, false);
    host->check_menu(CMD_FAST_LOAD, FastLoad);
    host->check_menu(CMD_SOUND, SoundEnable);

    disk_detach();
    for (int drive : {0, 1})
        if (!SYS[3 + drive].empty())
            disk_attach(drive, SYS[3 + drive]);
    // Graphics goes off before init_cpu clears video memory, so that the clear cannot
    // reach an extension ROM where the old configuration had graphics memory.
    GEnable = 0;
    host->check_menu(CMD_GRAPHIC_MODE, false);
    LoadROM();
    LoadKeyboard();
    init_cpu();
    Reset();
}
