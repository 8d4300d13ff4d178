#include "debugger/memfile.h"

#include "cpu/bus.h"
#include "debugger/debugger.h"
#include "debugger/disassembler.h"
#include "host/files.h"
#include "host/host.h"
#include "host/ids.h"
#include "machine/tape.h"
#include "machine/video.h"

#include <algorithm>
#include <cstdio>

int S_dis, L_dis;
MemfileView mfd;

namespace {

int asked;  // the length the user gave, before get_Sadress cut it at $FFFF

std::string hex4(unsigned v, const char* before = "", const char* after = "")
{
    char text[32];
    std::snprintf(text, sizeof text, "%s%04X%s", before, v & 0xFFFF, after);
    return text;
}

std::string instruction(unsigned address, int& length)
{
    char text[16];
    length = Disassemble(text, address & 0xFFFF);
    return text;
}

// `last` is the last address the user asked for, which may lie past $FFFF.
bool save(const char* initial, const std::string& bytes, int last)
{
    std::string path = select_file(0, initial);
    if (path.empty())
        return true;
    if (!write_whole(path, bytes)) {
        mfd.text = "Unable to create " + path;
        return false;
    }
    if (last > 0xFFFF)
        mfd.text = "The range was cut at $FFFF, where memory ends";
    return true;
}

bool read_binary()
{
    std::string path = select_file(1, "*.bin");
    if (path.empty())
        return true;
    bool whole = true;
    long stored = load_binary(path, S_dis, &whole);
    if (stored < 0) {
        mfd.text = "Unable to read " + path;
        return false;
    }
    L_dis = int(stored);
    mfd.start = hex4(S_dis);
    mfd.length = hex4(std::min(L_dis, 0xFFFF));
    mfd.text = whole ? " Done !" : "Only " + std::to_string(stored) + " bytes fit below $FFFF; the rest was not read";
    return whole;
}

} // namespace

void get_Sadress()
{
    S_dis = int(read_hex_field(mfd.start, S_dis));
    mfd.start = hex4(S_dis);
    L_dis = int(read_hex_field(mfd.length, L_dis));
    if (L_dis <= 0)
        L_dis = 0x100;
    asked = L_dis;
    if (S_dis + L_dis > 0xFFFF)
        L_dis = 0xFFFF - S_dis;
    mfd.length = hex4(L_dis);
}

std::string display_code()
{
    std::string text = "Adress  Code\r\n";
    unsigned address = S_dis;
    for (int i = 0; i < 200; i++) {
        int length;
        text += instruction_line(address, &length) + "\r\n";
        address = (address + length) & 0xFFFF;
    }
    return text;
}

// Every line ends in CR LF; the last instruction's bytes end the file.
std::string listing_text()
{
    std::string text = "6502 Disassembled Code by Quarzel Emulator\r\n";
    for (int address = S_dis; address <= S_dis + L_dis;) {
        int length;
        std::string code = instruction(address, length) + std::string(10, ' ');
        text += hex4(address, "\r\n$", "\t") + code.substr(0, 13);
        for (int i = 0; i < length; i++) {
            char byte[4];
            std::snprintf(byte, sizeof byte, "%02X ", Peek((address + i) & 0xFFFF));
            text += byte;
        }
        address += length;
    }
    return text;
}

// The monitor's keys: address, data mode, each byte with RETURN, and the start command.
std::string tape_text(bool autostart)
{
    std::string text = hex4(S_dis, ".", "/");
    for (int address = S_dis; address <= S_dis + L_dis; address++) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02X\r", Peek(address & 0xFFFF));
        text += byte;
    }
    text += ".";
    if (autostart)
        text += hex4(S_dis) + "G";
    return text;
}

// Whole pages from the start, cut at $FFFF.
std::string binary_bytes()
{
    int count = std::min((L_dis + 0xFF) / 0x100 * 0x100, 0x10000 - S_dis);
    return std::string(reinterpret_cast<const char*>(RAMptr) + S_dis, size_t(count));
}

bool memfile_command(int id)
{
    if (id != MF_CLOSE && id != MF_AUTOSTART) {
        mfd.text.clear();
        get_Sadress();
    }
    int whole_pages = (asked + 0xFF) / 0x100 * 0x100 - 1;
    switch (id) {
    case MF_AUTOSTART: mfd.autostart = !mfd.autostart; return true;
    case MF_DISPLAY: mfd.text = display_code(); return true;
    case MF_SAVE_BINARY: return save("*.bin", binary_bytes(), S_dis + whole_pages);
    case MF_SAVE_CODE: return save("*.txt", listing_text(), S_dis + asked);
    case MF_SAVE_TAPE: return save("", tape_text(mfd.autostart), S_dis + asked);
    case MF_READ_BINARY: return read_binary();
    default: return true;
    }
}

long load_binary(const std::string& path, uint32_t start, bool* whole)
{
    std::FILE* f = open_read(path);
    if (!f)
        return -1;
    start &= 0xFFFF;
    long length = file_length(f);
    long room = 0x10000 - long(start);
    long stored = long(std::fread(RAMptr + start, 1, size_t(std::min(length, room)), f));
    std::fclose(f);
    restvid();  // the bytes went around the video handlers
    if (whole)
        *whole = length <= room;
    return stored;
}

