#include "frontend/savestate.h"

#include "config/config.h"
#include "cpu/bus.h"
#include "frontend/screen.h"
#include "frontend/speed.h"
#include "host/files.h"
#include "host/host.h"
#include "host/ids.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/memory_map.h"
#include "machine/tape.h"
#include "machine/typist.h"
#include "machine/video.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <type_traits>
#include <vector>

namespace {

const char MAGIC[] = "QRZLSTAT";
const uint32_t FORMAT = 1;
const uint32_t MACHINE = 1;
const size_t HEADER = 24;
const size_t MEMORY = 0x10002;
const size_t LARGEST = 1 << 24;
// A slice ends within one instruction (and the debugger's extra cycle) of its length.
const int64_t LONGEST_SLICE = 60000 + 16;

enum Mode { SAVE, CHECK, LOAD };

// One section's values in order: saving appends them, checking reads and checks them without
// touching the machine, loading stores them. Each returns the value saved or read.
class Fields {
public:
    Fields(Mode mode, const std::string& section) : mode(mode), section(section) {}
    Fields(Mode mode, const std::string& section, const uint8_t* p, size_t n, bool present)
        : mode(mode), section(section), p(p), left(n), present(present)
    {
    }

    bool loading() const { return mode == LOAD; }

    template <class T> T value(const char* name, T& v, int64_t low, int64_t high, std::optional<int64_t> absent = {})
    {
        if (mode == SAVE) {
            put(uint64_t(v), sizeof(T));
            return v;
        }
        int64_t x;
        if (left == 0 && absent) {
            x = *absent;
        } else if (left < sizeof(T)) {
            refuse(name, "is missing");
            return v;
        } else {
            uint64_t raw = take(sizeof(T));
            x = std::is_signed_v<T> ? int64_t(int32_t(uint32_t(raw))) : int64_t(raw);
            if (sizeof(T) == 8 && raw > uint64_t(INT64_MAX))
                x = -1;
        }
        if (x < low || x > high) {
            refuse(name, "is " + std::to_string(x) + ", not " + std::to_string(low) + " to " + std::to_string(high));
            return v;
        }
        if (mode == LOAD)
            v = T(x);
        return T(x);
    }

    std::string text(const char* name, std::string& v, std::optional<std::string> absent = {})
    {
        if (mode == SAVE) {
            put(v.size(), 4);
            bytes += v;
            return v;
        }
        std::string s;
        if (left == 0 && absent) {
            s = *absent;
        } else {
            size_t n = left >= 4 ? take(4) : SIZE_MAX;
            if (n > left) {
                refuse(name, "is missing");
                return v;
            }
            s.assign(reinterpret_cast<const char*>(p), n);
            p += n;
            left -= n;
        }
        if (mode == LOAD)
            v = s;
        return s;
    }

    // Exactly n bytes.
    void block(const char* name, uint8_t* data, size_t n)
    {
        if (mode == SAVE) {
            bytes.append(reinterpret_cast<const char*>(data), n);
        } else if (left != n) {
            refuse(name, "is not " + std::to_string(n) + " bytes");
        } else if (mode == LOAD) {
            std::memcpy(data, p, n);
        }
    }

    // A condition between values.
    void require(bool holds, const char* name, const std::string& why)
    {
        if (mode != SAVE && !holds)
            refuse(name, why);
    }

    Mode mode;
    std::string section;
    std::string bytes;    // what saving wrote
    std::string problem;  // why checking failed
    std::string notes;    // what loading has to tell

private:
    const uint8_t* p = nullptr;
    size_t left = 0;
    bool present = true;

    void put(uint64_t v, size_t n)
    {
        for (size_t i = 0; i < n; i++)
            bytes += char(v >> (8 * i));
    }
    uint64_t take(size_t n)
    {
        uint64_t v = 0;
        for (size_t i = 0; i < n; i++)
            v |= uint64_t(p[i]) << (8 * i);
        p += n;
        left -= n;
        return v;
    }
    void refuse(const char* name, const std::string& why)
    {
        std::string shown = section.substr(0, section.find_last_not_of(' ') + 1);
        if (problem.empty())
            problem = present ? "its " + shown + " value " + name + " " + why : "it has no " + shown + " section";
    }
};

const int64_t U8 = 0xFF, U16 = 0xFFFF, U32 = 0xFFFFFFFF;

void memory_map(Fields& f)
{
    f.value("RAMTOP", RAMTOP, 0x03FF, 0x7FFF);
    f.value("RAMGDC", RAMGDC, 0, U16);
    for (auto [address, size] : {std::pair{&ROMEX1, &ROMEX1size}, {&ROMEX2, &ROMEX2size}, {&ROMEX3, &ROMEX3size}}) {
        uint32_t at = f.value("ROMEX", *address, 0, U16);
        f.value("ROMEXsize", *size, 0, std::min<int64_t>(0x8000, 0x10000 - at));
    }
    for (auto [address, size] : {std::pair{&RAMEX1, &RAMEX1size}, {&RAMEX2, &RAMEX2size}}) {
        f.value("RAMEX", *address, 0, U16);
        f.value("RAMEXsize", *size, 0, U16);
    }
}

// Versions before 1.0 kept a branch's offset as its effective address, which only the
// debugger shows.
void processor(Fields& f)
{
    for (uint8_t* r : {&R.A, &R.X, &R.Y, &R.S, &R.P, &R.IR})
        f.value("register", *r, 0, U8);
    f.value("PC", R.PC, 0, U16);
    f.value("EA", R.EA, 0, U32);
    f.value("eff_adr", eff_adr, 0, U32);
    f.value("RPC_old", RPC_old, 0, U16);
}

void loop(Fields& f)
{
    f.value("clocks", clocks, 0, LONGEST_SLICE);
    f.value("cycles_done", cycles_done, 0, INT64_MAX);
    f.value("IEnable", IEnable, 0, 1);
    uint32_t irq = f.value("IRQ_Interrupt", IRQ_Interrupt, 0, U16);
    uint32_t nmi = f.value("NMI_Interrupt", NMI_Interrupt, 0, U16);
    f.value("irq_counter", irq_counter, 0, irq ? irq : U32);
    f.value("nmi_counter", nmi_counter, 0, nmi ? nmi : U32);
    f.value("IRQ", IRQ, 0, 1);
    f.value("NMI", NMI, 0, 1);
    f.value("Hardware_timer", Hardware_timer, 0, 86);
    uint32_t speed = f.value("SpeedPos", SpeedPos, 100, 400);
    f.require(speed % 100 == 0, "SpeedPos", "is no speed factor");
    uint32_t bar = f.value("Speed", Speed, 0, 500);
    f.require(bar % 100 == 0, "Speed", "is no speed factor");
    f.value("stop_loc", stop_loc, 0, U16);
    f.value("trace_loc", trace_loc, 0, U16);
}

void video(Fields& f)
{
    uint32_t mode = f.value("screen", screen, 0, 0x16);
    f.require(!(mode & ~0x16u), "screen", "is no display mode");
    f.value("GEnable", GEnable, 0, 1);
}

void keys(Fields& f)
{
    for (uint32_t& row : key_matrix)
        f.value("key_matrix", row, 0, U8);
    f.value("gScan", gScan, 0, U8);
    f.value("irqkey", irqkey, 0, U8);
    f.value("caps", caps, 0, 1);
}

// A set of matrix positions, as the eight rows' bytes.
uint64_t key_set(Fields& f, const char* name, uint64_t keys)
{
    uint64_t v = 0;
    for (int r = 0; r < 8; r++) {
        uint8_t row = uint8_t(keys >> (8 * r));
        v |= uint64_t(f.value(name, row, 0, U8)) << (8 * r);
    }
    return v;
}

// The keys waiting to be typed and the one in flight, so that a paste or a --type goes on
// after a load as it would have; a state without them has the typist at rest.
void typist(Fields& f)
{
    for (uint64_t& reads : row_reads)
        f.value("row_reads", reads, 0, INT64_MAX, 0);
    TypistState t = typist_state();
    uint32_t n = uint32_t(t.waiting.size());
    t.waiting.resize(f.value("waiting", n, 0, LARGEST / 18, 0));
    for (KeyEvent& e : t.waiting) {
        e.down = key_set(f, "down", e.down);
        e.up = key_set(f, "up", e.up);
        f.value("scan", e.scan, -1, U8);
        f.value("pasted", e.pasted, 0, 1);
    }
    f.value("in_flight", t.in_flight, 0, 1, 0);
    f.value("applied", t.applied, 0, INT64_MAX, 0);
    for (uint64_t& reads : t.last.reads)
        f.value("watched reads", reads, 0, INT64_MAX, 0);
    f.value("applied_at", t.last.applied_at, 0, INT64_MAX, 0);
    f.value("seen_at", t.last.seen_at, 0, INT64_MAX, 0);
    f.value("rows", t.last.rows, 0, U8, 0);
    f.value("press", t.last.press, 0, 1, 0);
    f.value("seen", t.last.seen, 0, 1, 0);
    if (f.loading())
        set_typist_state(t);
}

// The tape files of the state, gathered before a save and used after a load.
std::string in_name, out_name, disk_names[2];
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

// NAME-1.bas, NAME-2.bas, ...: the first that does not exist.
std::string free_name_beside(const std::string& path)
{
    std::filesystem::path p(path);
    std::error_code ec;
    for (int n = 1;; n++) {
        std::filesystem::path candidate =
            p.parent_path() / (p.stem().string() + "-" + std::to_string(n) + p.extension().string());
        if (!std::filesystem::exists(candidate, ec))
            return candidate.string();
    }
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

void tape(Fields& f)
{
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

void disk(Fields& f)
{
    f.value("drv_sel", drv_sel, 0, 4);
    f.value("track_a", track_a, 0, MAXTRK);
    f.value("track_b", track_b, 0, MAXTRK);
    for (uint32_t* position : {&sector_a, &sector_b, &sector})
        f.value("sector", *position, 0, U32);
    f.value("drv_index", drv_index, 0, 100);
    for (uint8_t* r : {&portadat, &portbdat, &ddrareg, &ddrbreg, &acia2con, &acia2dat})
        f.value("PIA or ACIA register", *r, 0, U8);
    for (int drive : {0, 1}) {
        f.text("disk image", disk_names[drive]);
        if (!f.loading())
            continue;
        disk_eject(drive);
        if (!disk_names[drive].empty() && !disk_attach(drive, disk_names[drive], false))
            f.notes += "The diskette " + disk_names[drive] + " is gone; drive " + "AB"[drive] + " is empty.\n";
    }
}

// Last, so that the device registers in it overwrite what re-attaching the disks set.
void memory(Fields& f) { f.block("memory", RAMptr, MEMORY); }

const struct {
    const char* name;
    void (*fields)(Fields&);
} sections[] = {
    {"MAP ", memory_map}, {"CPU ", processor}, {"LOOP", loop}, {"VID ", video},
    {"KEYS", keys},       {"TYPE", typist},    {"TAPE", tape}, {"DISK", disk}, {"MEM ", memory},
};

void gather()
{
    in_name = in ? tape_in_name : "";
    in_position = in ? uint64_t(std::ftell(in)) : 0;
    out_name = out ? tape_out_name : "";
    if (out)
        std::fflush(out);
    out_length = out ? uint64_t(std::ftell(out)) : 0;
    out_sum = out ? file_checksum(out_name, out_length).value_or(0) : 0;
    for (int drive : {0, 1})
        disk_names[drive] = disk_name(drive);
}

void put(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        out += char(v >> (8 * i));
}

uint32_t number(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

struct Found {
    std::string name;
    const uint8_t* p;
    size_t n;
};

// The sections of a file; "" when the header is right and they lie inside the file.
std::string check_header(const std::vector<uint8_t>& data, const std::string& path, std::vector<Found>& found)
{
    if (data.size() < HEADER || std::memcmp(data.data(), MAGIC, 8))
        return path + " is not a Quarzel state file";
    uint32_t format = number(&data[8]), machine = number(&data[12]), length = number(&data[16]);
    if (format != FORMAT)
        return path + " is a state of format version " + std::to_string(format) +
               ", which this Quarzel cannot read (it reads version 1)";
    if (machine != MACHINE)
        return path + " was saved on a different machine (type " + std::to_string(machine) + ")";
    if (data.size() - HEADER < length)
        return path + " is cut short";
    if (state_checksum(data.data() + HEADER, length) != number(&data[20]))
        return path + " is damaged: its checksum does not match";
    for (size_t at = HEADER; at + 8 <= HEADER + length;) {
        size_t size = number(&data[at + 4]);
        if (size > HEADER + length - at - 8)
            return path + " is damaged: its section " + std::string(data.begin() + long(at), data.begin() + long(at) + 4) +
                   " runs past the end";
        found.push_back({std::string(data.begin() + long(at), data.begin() + long(at) + 4), &data[at + 8], size});
        at += 8 + size;
    }
    return "";
}

// Every section in the order of the table, each from the file's section of its name or, when
// the file has none, from its defaults. Returns the first problem.
std::string visit(Mode mode, const std::vector<Found>& found, std::string& notes)
{
    for (const auto& s : sections) {
        const Found* in = nullptr;
        for (const Found& f : found)
            if (f.name == s.name && !in)
                in = &f;
        Fields fields(mode, s.name, in ? in->p : nullptr, in ? in->n : 0, in != nullptr);
        s.fields(fields);
        notes += fields.notes;
        if (!fields.problem.empty())
            return fields.problem;
    }
    return "";
}

const char* const SPEED_TEST = "while the speed test runs; try again when it has finished";

} // namespace

uint32_t state_checksum(const uint8_t* p, size_t n, uint32_t crc)
{
    uint32_t c = ~crc;
    while (n--) {
        c ^= *p++;
        for (int k = 0; k < 8; k++)
            c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
    }
    return ~c;
}

std::string save_state(const std::string& path)
{
    if (SpRun > 0)
        return std::string("No state can be saved ") + SPEED_TEST;
    gather();
    std::string body;
    for (const auto& s : sections) {
        Fields f(SAVE, s.name);
        s.fields(f);
        body.append(s.name, 4);
        put(body, f.bytes.size(), 4);
        body += f.bytes;
    }
    std::string file(MAGIC, 8);
    put(file, FORMAT, 4);
    put(file, MACHINE, 4);
    put(file, body.size(), 4);
    put(file, state_checksum(reinterpret_cast<const uint8_t*>(body.data()), body.size()), 4);
    file += body;
    return write_whole(path, file) ? "" : "Unable to write the state file " + path;
}

std::string load_state(const std::string& path, std::string& notes)
{
    notes.clear();
    if (SpRun > 0)
        return std::string("No state can be loaded ") + SPEED_TEST;
    std::vector<uint8_t> data;
    if (!read_whole(path, data, LARGEST))
        return "Unable to open the state file " + path;
    std::vector<Found> found;
    std::string problem = check_header(data, path, found);
    if (!problem.empty())
        return problem;
    problem = visit(CHECK, found, notes);
    if (!problem.empty())
        return path + " cannot be used: " + problem;
    visit(LOAD, found, notes);
    build_memory_map();
    host->check_menu(CMD_INT_ENABLE, IEnable);
    host->check_menu(CMD_GRAPHIC_MODE, GEnable);
    SetScreenCheck(screen);
    restvid();
    restgdc();
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
    std::string notes;
    std::string problem = load_state(path, notes);
    if (!problem.empty())
        host->message_box(problem, "Load State", MSG_ERROR);
    else if (!notes.empty())
        host->message_box("The state is loaded.\n" + notes, "Load State", MSG_INFO);
}
