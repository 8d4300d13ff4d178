#include "frontend/savestate.h"

#include "config/config.h"
#include "frontend/screen.h"
#include "frontend/speed.h"
#include "host/files.h"
#include "host/host.h"
#include "host/ids.h"
#include "machine/board.h"
#include "machine/board_port.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/memory_map.h"
#include "machine/tape.h"
#include "machine/typist.h"
#include "machine/video.h"

#include <cstring>
#include <vector>

namespace {

const char MAGIC[] = "QRZLSTAT";
const uint32_t FORMAT = 1;
const uint32_t MACHINE = 1;
const size_t HEADER = 24;

const struct {
    const char* name;
    void (*fields)(Fields&);
} sections[] = {
    {"MAP ", memory_map_section}, {"BRD ", board_section},  {"CPU ", processor_section},
    {"LOOP", loop_section},       {"VID ", video_section},  {"KEYS", keys_section},
    {"TYPE", typist_section},     {"TAPE", tape_section},   {"DISK", disk_section},
    {"MEM ", memory_section},
};

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
std::string visit(StateMode mode, const std::vector<Found>& found, std::string& notes)
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

std::string state_image()
{
    std::string body;
    for (const auto& s : sections) {
        Fields f(STATE_SAVE, s.name);
        s.fields(f);
        body.append(s.name, 4);
        put_le(body, f.bytes.size(), 4);
        body += f.bytes;
    }
    std::string file(MAGIC, 8);
    put_le(file, FORMAT, 4);
    put_le(file, MACHINE, 4);
    put_le(file, body.size(), 4);
    put_le(file, state_checksum(reinterpret_cast<const uint8_t*>(body.data()), body.size()), 4);
    file += body;
    return file;
}

std::string save_state(const std::string& path)
{
    if (SpRun > 0)
        return std::string("No state can be saved ") + SPEED_TEST;
    return write_whole(path, state_image()) ? "" : "Unable to write the state file " + path;
}

std::string restore_state(const std::vector<uint8_t>& data, const std::string& path, std::string& notes)
{
    notes.clear();
    std::vector<Found> found;
    std::string problem = check_header(data, path, found);
    if (!problem.empty())
        return problem;
    problem = visit(STATE_CHECK, found, notes);
    if (!problem.empty())
        return path + " cannot be used: " + problem;
    visit(STATE_LOAD, found, notes);
    build_memory_map();
    host->check_menu(CMD_INT_ENABLE, IEnable);
    host->check_menu(CMD_GRAPHIC_MODE, GEnable);
    SetScreenCheck(screen);
    restvid();
    restgdc();
    return "";
}

std::string load_state(const std::string& path, std::string& notes)
{
    notes.clear();
    if (SpRun > 0)
        return std::string("No state can be loaded ") + SPEED_TEST;
    std::vector<uint8_t> data;
    if (!read_whole(path, data, LARGEST_STATE))
        return "Unable to open the state file " + path;
    return restore_state(data, path, notes);
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
