#include "machine/tape.h"

#include "cpu/bus.h"
#include "cpu/cpu.h"
#include "host/files.h"
#include "host/host.h"
#include "host/state_fields.h"
#include "machine/memory.h"

#include <algorithm>
#include <filesystem>
#include <optional>

uint8_t acia1con, acia1dat;
std::FILE* in;
std::FILE* out;
int ch_in;
std::string sztFilePath, sztFileName, sztFileSpec = ".BAS";
std::string tape_in_name, tape_out_name;

// When the program last took a byte of the tape input; UINT64_MAX before the first.
static uint64_t received_at = UINT64_MAX;
// Cycles without a received byte after which the tape counts as quiet: a second.
static constexpr uint64_t quiet_cycles = 1000000;

static void close_stream(std::FILE*& f)
{
    if (f)
        std::fclose(f);
    f = nullptr;
}

void tape_close_all()
{
    close_stream(in);
    close_stream(out);
}

// The transmitter is always free: after a rebuild has cleared the status byte with no
// input to come, it still reads $0E, or a ROM waiting to send would poll it forever.
static uint8_t status_read()
{
    if (ch_in != -1 && Hardware_timer == 0)
        *acia1cptr = 0x0F;
    *acia1cptr |= 0x0E;
    return *acia1cptr;
}

// A new byte is taken only once the pacing counter has run out; until then the
// data register keeps the byte it holds.
static uint8_t data_read()
{
    if (in && ch_in != -1 && Hardware_timer == 0) {
        ch_in = std::fgetc(in);
        received_at = cycle_now();
        *acia1cptr = 0x0E;
        *acia1dptr = ch_in & 0xFF;
        if (ch_in != EOF)
            Hardware_timer = 86;
        else
            close_stream(in);
    }
    return *acia1dptr;
}

bool tape_reading()
{
    uint64_t now = cycle_now();
    return received_at != UINT64_MAX && now >= received_at && now - received_at < quiet_cycles;
}

void ACIA1READ() { readvalue = (memoryaddress & 1) ? data_read() : status_read(); }

void ACIA1WRITE()
{
    if (!(memoryaddress & 1)) {
        acia1con = writevalue;
        return;
    }
    acia1dat = writevalue;
    tape_write(writevalue);
}

// Each line reaches the disk as it ends, so a killed program loses no saved listing.
void tape_write(uint8_t byte)
{
    if (!out)
        return;
    std::fputc(byte, out);
    if (byte == '\n' || byte == '\r')
        std::fflush(out);
}

// The next chooser opens where the last file was chosen or opened.
static void remember_folder(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos)
        sztFilePath = path.substr(0, slash + 1);
}

int FileMenue(const std::string& name)
{
    tape_close_all();
    DiskSelect(sztFilePath, 1, name);
    return tape_open_input(sztFileName);
}

int tape_open_input(const std::string& path)
{
    tape_close_all();
    in = open_read(path);
    if (!in)
        return 0;
    tape_in_name = path;
    remember_folder(path);
    ch_in = 0;
    *acia1cptr = 0x0F;
    return 1;
}

void FileSaveMenue()
{
    tape_close_all();
    DiskSelect(sztFilePath, 0, "");
    if (sztFileName.empty())
        return;
    out = std::fopen(sztFileName.c_str(), "wb");
    if (!out) {
        host->message_box("Unable to create the tape output file " + sztFileName, "ERROR Message", MSG_ERROR);
        return;
    }
    tape_out_name = sztFileName;
    ch_in = -1;
    *acia1cptr = 0x0E;
    *acia2cptr = 0x0E;
}

void CloseSavedFiles()
{
    close_stream(out);
    RAMptr[0x0205] = 0;
}

bool tape_reopen_input(const std::string& path, long position)
{
    close_stream(in);
    in = open_read(path);
    if (in && std::fseek(in, position, SEEK_SET) != 0)
        close_stream(in);
    tape_in_name = in ? path : "";
    return in != nullptr;
}

bool tape_append_output(const std::string& path)
{
    close_stream(out);
    out = std::fopen(path.c_str(), "ab");
    tape_out_name = out ? path : "";
    return out != nullptr;
}

namespace {

// A name without an extension gets `extension`.
void choose(const std::string& folder, int mode, const std::string& name, const std::string& extension)
{
    sztFileName = name;
    if (mode != 0 && mode != 1)
        return;
    std::string chosen = host->choose_file(folder, mode, name);
    if (chosen.empty())
        return;
    size_t base = chosen.find_last_of("/\\");
    base = (base == std::string::npos) ? 0 : base + 1;
    if (chosen.find('.', base) == std::string::npos)
        chosen += extension;
    sztFileName = chosen;
    remember_folder(chosen);
}

} // namespace

void DiskSelect(const std::string& folder, int mode, const std::string& name)
{
    choose(folder, mode, name, sztFileSpec);
}

// A pattern "*.ext" gives a name without an extension that one, so that a state is not saved
// as NAME.BAS.
std::string select_file(int mode, const std::string& pattern)
{
    bool typed = pattern.rfind("*.", 0) == 0;
    choose(sztFilePath, mode, pattern, typed ? pattern.substr(1) : sztFileSpec);
    return sztFileName.find('*') == std::string::npos ? sztFileName : "";
}

namespace {

// The tape files of the state, gathered before a save and used after a load.
std::string in_name, out_name;
uint64_t in_position, out_length;
uint32_t out_sum;

// The CRC-32 of the first `length` bytes of a file; nothing when it is shorter or unreadable.
std::optional<uint32_t> file_checksum(const std::string& path, uint64_t length)
{
    std::FILE* f = open_read(path);
    if (!f)
        return {};
    uint32_t crc = 0;
    uint8_t block[65536];
    uint64_t read = 0;
    for (size_t got; read < length && (got = std::fread(block, 1, std::min<uint64_t>(sizeof block, length - read), f)) > 0;) {
        crc = state_checksum(block, got, crc);
        read += got;
    }
    std::fclose(f);
    return read == length ? std::optional(crc) : std::nullopt;
}

// The output goes on where the state left it, when the file is still as it was then; else in
// a new file beside it, so that nothing written since is lost.
void continue_output(Fields& f)
{
    std::error_code ec;
    bool unchanged = std::filesystem::file_size(out_name, ec) == out_length && !ec &&
                     file_checksum(out_name, out_length) == out_sum;
    std::string path = unchanged ? out_name : free_name_beside(out_name);
    if (!tape_append_output(path))
        f.notes += "The tape output " + out_name + " cannot be opened again; the machine goes on without it.\n";
    else if (!unchanged)
        f.notes += "The tape output " + out_name + " has changed since the state was saved; the output goes on in " +
                   path + ".\n";
}

void reconnect_tape(Fields& f)
{
    tape_close_all();
    if (!in_name.empty() && !tape_reopen_input(in_name, long(in_position)))
        f.notes += "The tape input " + in_name + " is gone; the machine goes on without it.\n";
    if (!out_name.empty())
        continue_output(f);
}

void gather()
{
    in_name = in ? tape_in_name : "";
    in_position = in ? uint64_t(std::ftell(in)) : 0;
    out_name = out ? tape_out_name : "";
    if (out)
        std::fflush(out);
    out_length = out ? uint64_t(std::ftell(out)) : 0;
    out_sum = out ? file_checksum(out_name, out_length).value_or(0) : 0;
}

} // namespace

void tape_section(Fields& f)
{
    if (f.mode == STATE_SAVE)
        gather();
    f.value("acia1con", acia1con, 0, U8);
    f.value("acia1dat", acia1dat, 0, U8);
    int ch = f.value("ch_in", ch_in, -1, U8);
    bool input = !f.text("in_name", in_name).empty();
    f.require(!input || ch >= 0, "ch_in", "is the end of an input that is open");
    f.value("in_position", in_position, 0, INT64_MAX);
    f.text("out_name", out_name);
    f.value("out_length", out_length, 0, INT64_MAX);
    f.value("out_sum", out_sum, 0, U32, 0);
    if (f.loading())
        reconnect_tape(f);
}
