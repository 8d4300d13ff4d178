#include "frontend/savestate.h"

#include "config/config.h"
#include "cpu/bus.h"
#include "cpu/loop.h"
#include "frontend/screen.h"
#include "host/files.h"
#include "host/host.h"
#include "host/ids.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/tape.h"
#include "machine/video.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char MAGIC[] = "QRZLSTAT";
const uint32_t VERSION = 1;
const uint32_t MACHINE = 1;
const size_t HEADER = 24;
const size_t MEMORY = 0x10002;
const size_t LARGEST = 1 << 20;  // far past any state of version 1

// The file positions and names of the tapes and disks, gathered before a save and used
// after a load.
std::string in_name, out_name, disk_names[2];
uint64_t in_position, out_position;

enum Kind { U8, U32, U64, I32, TEXT };

// A value of the state: where it lives and the range a machine can have.
struct Field {
    Kind kind;
    void* value;
    int64_t low, high;
};

Field u8(uint8_t& v) { return {U8, &v, 0, 0xFF}; }
Field u32(uint32_t& v, int64_t high = 0xFFFFFFFF, int64_t low = 0) { return {U32, &v, low, high}; }
Field u32(int& v, int64_t high) { return {I32, &v, 0, high}; }
Field u64(uint64_t& v) { return {U64, &v, 0, INT64_MAX}; }
Field i32(int& v) { return {I32, &v, -1, 0xFF}; }
Field text(std::string& v) { return {TEXT, &v, 0, 0}; }

struct Section {
    const char* name;
    std::vector<Field> fields;
};

std::vector<Section> sections()
{
    return {
        {"MAP ", {u32(RAMTOP, 0xFFFF), u32(RAMGDC, 1), u32(ROMEX1, 0xFFFF), u32(ROMEX1size, 0x10000),
                  u32(ROMEX2, 0xFFFF), u32(ROMEX2size, 0x10000), u32(ROMEX3, 0xFFFF), u32(ROMEX3size, 0x10000),
                  u32(RAMEX1, 0xFFFF), u32(RAMEX1size, 0x10000), u32(RAMEX2, 0xFFFF), u32(RAMEX2size, 0x10000)}},
        {"CPU ", {u8(R.A), u8(R.X), u8(R.Y), u8(R.S), u8(R.P), u8(R.IR), u32(R.PC, 0xFFFF), u32(R.EA),
                  u32(eff_adr), u32(RPC_old, 0xFFFF)}},
        {"LOOP", {u32(clocks), u64(cycles_done), u32(IEnable, 1), u32(IRQ_Interrupt), u32(NMI_Interrupt),
                  u32(irq_counter), u32(nmi_counter), u32(IRQ, 1), u32(NMI, 1), u32(Hardware_timer),
                  u32(SpeedPos, 4000, 1), u32(Speed, 400), u32(stop_loc, 0xFFFF), u32(trace_loc, 0xFFFF)}},
        {"VID ", {u32(screen, 0x1F), u32(GEnable, 1)}},
        {"KEYS", {u32(key_matrix[0], 0xFF), u32(key_matrix[1], 0xFF), u32(key_matrix[2], 0xFF),
                  u32(key_matrix[3], 0xFF), u32(key_matrix[4], 0xFF), u32(key_matrix[5], 0xFF),
                  u32(key_matrix[6], 0xFF), u32(key_matrix[7], 0xFF), u32(gScan, 0xFF), u32(irqkey, 0xFF),
                  u32(caps, 1)}},
        {"TAPE", {u8(acia1con), u8(acia1dat), i32(ch_in), text(in_name), u64(in_position), text(out_name),
                  u64(out_position)}},
        {"DISK", {u32(drv_sel, 4), u32(track_a, MAXTRK), u32(track_b, MAXTRK), u32(sector_a), u32(sector_b),
                  u32(sector), u32(drv_index), u8(portadat), u8(portbdat), u8(ddrareg), u8(ddrbreg), u8(acia2con),
                  u8(acia2dat), text(disk_names[0]), text(disk_names[1])}},
    };
}

void put(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        out += char(v >> (8 * i));
}

void put_field(std::string& out, const Field& f)
{
    switch (f.kind) {
    case U8: put(out, *static_cast<uint8_t*>(f.value), 1); break;
    case U32: put(out, *static_cast<uint32_t*>(f.value), 4); break;
    case I32: put(out, uint32_t(*static_cast<int*>(f.value)), 4); break;
    case U64: put(out, *static_cast<uint64_t*>(f.value), 8); break;
    case TEXT: {
        const std::string& s = *static_cast<std::string*>(f.value);
        put(out, s.size(), 4);
        out += s;
        break;
    }
    }
}

void put_section(std::string& out, const char* name, const std::string& body)
{
    out.append(name, 4);
    put(out, body.size(), 4);
    out += body;
}

// Reads little-endian numbers from a section; `ok` turns false at its end.
struct Reader {
    const uint8_t* p;
    size_t left;
    bool ok = true;

    uint64_t number(int bytes)
    {
        if (left < size_t(bytes)) {
            ok = false;
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < bytes; i++)
            v |= uint64_t(p[i]) << (8 * i);
        p += bytes;
        left -= bytes;
        return v;
    }
    std::string text()
    {
        size_t n = number(4);
        if (n > left) {
            ok = false;
            return "";
        }
        std::string s(reinterpret_cast<const char*>(p), n);
        p += n;
        left -= n;
        return s;
    }
};

// A section's values as read, before they reach the machine.
struct Staged {
    std::vector<int64_t> numbers;
    std::vector<std::string> texts;
};

bool read_section(Reader r, const Section& s, Staged& staged)
{
    for (const Field& f : s.fields) {
        if (f.kind == TEXT) {
            staged.texts.push_back(r.text());
            continue;
        }
        int bytes = f.kind == U8 ? 1 : f.kind == U64 ? 8 : 4;
        uint64_t raw = r.number(bytes);
        int64_t v = f.kind == I32 ? int64_t(int32_t(uint32_t(raw))) : int64_t(raw);
        if (f.kind == U64 && raw > uint64_t(INT64_MAX))
            return false;
        if (v < f.low || v > f.high)
            return false;
        staged.numbers.push_back(v);
    }
    return r.ok;
}

void apply(const Section& s, const Staged& staged)
{
    size_t n = 0, t = 0;
    for (const Field& f : s.fields) {
        switch (f.kind) {
        case U8: *static_cast<uint8_t*>(f.value) = uint8_t(staged.numbers[n++]); break;
        case U32: *static_cast<uint32_t*>(f.value) = uint32_t(staged.numbers[n++]); break;
        case I32: *static_cast<int*>(f.value) = int(staged.numbers[n++]); break;
        case U64: *static_cast<uint64_t*>(f.value) = uint64_t(staged.numbers[n++]); break;
        case TEXT: *static_cast<std::string*>(f.value) = staged.texts[t++]; break;
        }
    }
}

bool read_file(const std::string& path, std::vector<uint8_t>& data)
{
    std::FILE* f = open_read(path);
    if (!f)
        return false;
    uint8_t block[65536];
    for (size_t got; data.size() <= LARGEST && (got = std::fread(block, 1, sizeof block, f)) > 0;)
        data.insert(data.end(), block, block + got);
    std::fclose(f);
    return true;
}

// The sections of a file by name; "" when they are all there and the header is right.
std::string check(const std::vector<uint8_t>& data, const std::string& path,
                  std::vector<std::pair<std::string, Reader>>& found)
{
    if (data.size() < HEADER || std::memcmp(data.data(), MAGIC, 8))
        return path + " is not a Quarzel state file";
    Reader head{data.data() + 8, HEADER - 8};
    uint32_t version = head.number(4), machine = head.number(4), length = head.number(4), sum = head.number(4);
    if (version != VERSION)
        return path + " is a state of format version " + std::to_string(version) +
               ", which this Quarzel cannot read (it reads version 1)";
    if (machine != MACHINE)
        return path + " was saved on a different machine (type " + std::to_string(machine) + ")";
    if (data.size() - HEADER < length)
        return path + " is cut short";
    if (state_checksum(data.data() + HEADER, length) != sum)
        return path + " is damaged: its checksum does not match";
    Reader body{data.data() + HEADER, length};
    while (body.left >= 8) {
        std::string name(reinterpret_cast<const char*>(body.p), 4);
        body.p += 4;
        body.left -= 4;
        size_t size = body.number(4);
        if (size > body.left)
            return path + " is damaged: its section " + name + " runs past the end";
        found.push_back({name, Reader{body.p, size}});
        body.p += size;
        body.left -= size;
    }
    return "";
}

const Reader* section(const std::vector<std::pair<std::string, Reader>>& found, const std::string& name)
{
    for (const auto& f : found)
        if (f.first == name)
            return &f.second;
    return nullptr;
}

// After the values: the memory map, the screen, the menu's marks, and the files.
void reconnect(std::string& missing)
{
    build_memory_map();
    if (!in_name.empty() && !tape_reopen_input(in_name, long(in_position)))
        missing += "the tape input " + in_name + "\n";
    if (!out_name.empty() && !tape_reopen_output(out_name, long(out_position)))
        missing += "the tape output " + out_name + "\n";
    for (int drive : {0, 1}) {
        disk_eject(drive);
        if (!disk_names[drive].empty() && !disk_attach(drive, disk_names[drive], false))
            missing += "the diskette " + disk_names[drive] + "\n";
    }
    host->check_menu(CMD_INT_ENABLE, IEnable);
    host->check_menu(CMD_GRAPHIC_MODE, GEnable);
    SetScreenCheck(screen);
    restvid();
    restgdc();
}

void gather()
{
    in_name = in ? tape_in_name : "";
    in_position = in ? uint64_t(std::ftell(in)) : 0;
    out_name = out ? tape_out_name : "";
    if (out)
        std::fflush(out);
    out_position = out ? uint64_t(std::ftell(out)) : 0;
    for (int drive : {0, 1})
        disk_names[drive] = disk_name(drive);
}

} // namespace

uint32_t state_checksum(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFF;
    while (n--) {
        c ^= *p++;
        for (int k = 0; k < 8; k++)
            c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
    }
    return ~c;
}

std::string save_state(const std::string& path)
{
    gather();
    std::string body;
    put_section(body, "MEM ", std::string(reinterpret_cast<const char*>(RAMptr), MEMORY));
    for (const Section& s : sections()) {
        std::string values;
        for (const Field& f : s.fields)
            put_field(values, f);
        put_section(body, s.name, values);
    }
    std::string file(MAGIC, 8);
    put(file, VERSION, 4);
    put(file, MACHINE, 4);
    put(file, body.size(), 4);
    put(file, state_checksum(reinterpret_cast<const uint8_t*>(body.data()), body.size()), 4);
    file += body;
    return write_whole(path, file) ? "" : "Unable to write the state file " + path;
}

std::string load_state(const std::string& path, std::string& missing)
{
    std::vector<uint8_t> data;
    if (!read_file(path, data))
        return "Unable to open the state file " + path;
    std::vector<std::pair<std::string, Reader>> found;
    std::string problem = check(data, path, found);
    if (!problem.empty())
        return problem;
    const Reader* memory = section(found, "MEM ");
    if (!memory || memory->left != MEMORY)
        return path + " is incomplete: its memory is missing or of the wrong size";
    std::vector<Section> all = sections();
    std::vector<Staged> staged(all.size());
    for (size_t i = 0; i < all.size(); i++) {
        const Reader* r = section(found, all[i].name);
        std::string name = std::string(all[i].name, all[i].name[3] == ' ' ? 3 : 4);
        if (!r)
            return path + " is incomplete: it has no " + name + " section";
        if (!read_section(*r, all[i], staged[i]))
            return path + " is damaged: its " + name + " section holds values no machine can have";
    }
    tape_close_all();
    for (size_t i = 0; i < all.size(); i++)
        apply(all[i], staged[i]);
    std::memcpy(RAMptr, memory->p, MEMORY);
    reconnect(missing);
    return "";
}

namespace {

std::string quick_state() { return data_path("FILES/quick.qst"); }

} // namespace

void save_state_command(bool quick)
{
    std::string path = quick ? quick_state() : select_file(0, "*.qst");
    if (path.empty())
        return;
    std::string problem = save_state(path);
    if (!problem.empty())
        host->message_box(problem, "Save State", MSG_ERROR);
}

void load_state_command(bool quick)
{
    std::string path = quick ? quick_state() : select_file(1, "*.qst");
    if (path.empty())
        return;
    std::string missing;
    std::string problem = load_state(path, missing);
    if (!problem.empty())
        host->message_box(problem, "Load State", MSG_ERROR);
    else if (!missing.empty())
        host->message_box("The state is loaded, but these files are gone and the machine goes on without them:\n" +
                              missing,
                          "Load State", MSG_INFO);
}
