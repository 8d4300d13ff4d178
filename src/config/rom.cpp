#include "config/rom.h"

#include "config/paths.h"
#include "host/files.h"
#include "host/host.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/memory_map.h"

#include <cstdio>

namespace {

// Shorter files (an empty one, a stray byte) are no ROM image or layout: the machine would
// start dead without a word, so they are refused like missing files.
constexpr long shortest_file = 256;

std::FILE* open_image(const std::string& path)
{
    std::FILE* f = open_read(path);
    if (f && file_length(f) < shortest_file) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

// Reads exactly `count` bytes; past the end of the file they read as $FF.
bool load_fixed(const std::string& path, uint32_t address, uint32_t count)
{
    std::FILE* f = open_image(path);
    if (!f)
        return false;
    for (uint32_t i = 0; i < count; i++) {
        int c = std::fgetc(f);
        RAMptr[(address + i) & 0xFFFF] = c == EOF ? 0xFF : c;
    }
    std::fclose(f);
    return true;
}

bool fits(uint32_t length, uint32_t address) { return length >= 1 && length <= 0x8000 && address <= 0x10000 - length; }

// The error names the file, so that the user knows which one to fix.
void load_extension(const std::string& path, uint32_t address, uint32_t& size, int number)
{
    std::FILE* f = open_read(path);
    if (!f)
        return;
    uint32_t length = uint32_t(file_length(f)) & 0xFFFF;
    if (fits(length, address))
        size = std::fread(RAMptr + address, 1, length, f);
    else
        SYS[7] = "Error opening File at location in ROMEXT" + std::to_string(number) + "=" + path;
    std::fclose(f);
}

} // namespace

bool image_usable(const std::string& path)
{
    std::FILE* f = open_image(path);
    if (f)
        std::fclose(f);
    return f != nullptr;
}

void LoadROM()
{
    if (!load_fixed(SYS[0], BASICadr, 8192))
        SYS[7] = "Error opening BASIC ROM in BASIC=" + SYS[0];
    if (!load_fixed(SYS[1], KERNALadr, 2048))
        SYS[7] = "Error opening MONITOR ROM in KERNAL=" + SYS[1];
    load_extension(ROMEX1file, ROMEX1, ROMEX1size, 1);
    load_extension(ROMEX2file, ROMEX2, ROMEX2size, 2);
    load_extension(ROMEX3file, ROMEX3, ROMEX3size, 3);
}

std::string rom_problem(const std::string& basic, const std::string& kernel, const std::string (&extension)[3],
                        const uint32_t (&address)[3])
{
    if (!image_usable(basic))
        return "Error opening BASIC ROM in BASIC=" + basic;
    if (!image_usable(kernel))
        return "Error opening MONITOR ROM in KERNAL=" + kernel;
    for (int i = 0; i < 3; i++) {
        std::FILE* f = extension[i].empty() ? nullptr : open_read(extension[i]);
        bool usable = f && fits(uint32_t(file_length(f)) & 0xFFFF, address[i]);
        if (f)
            std::fclose(f);
        if (!extension[i].empty() && !usable)
            return "Error opening File at location in ROMEXT" + std::to_string(i + 1) + "=" + extension[i];
    }
    return "";
}

void LoadKeyboard()
{
    std::FILE* f = open_image(SYS[5]);
    if (!f) {
        host->message_box("Error opening Keyboard Layout", "ERROR during System Boot", MSG_ERROR);
        Abort = 0;
        return;
    }
    for (KeyRecord& k : key_ref) {
        k.row = std::fgetc(f) & 0xFF;
        k.mask = std::fgetc(f) & 0xFF;
    }
    for (SpecialKey& s : key_function)
        for (int* v : {&s.row1, &s.mask1, &s.row2, &s.mask2}) {
            int c = std::fgetc(f);
            *v = c == EOF ? -1 : c;
        }
    std::fclose(f);
}
