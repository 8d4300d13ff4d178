// singlestep DIR: runs the single-instruction cases of the NMOS 6502 in DIR (00.bin to ff.bin,
// in the compact form of the shared test data) through the processor and compares the result
// with each case's final state: the registers, the RAM entries and the cycle count. Every
// case runs from its initial state on 64 KiB of plain RAM, once as a single step and once as
// a run of instructions. One line for each opcode that is not exact, then the totals; the
// exit status is 0 when every case of every opcode passes, 1 when not, 2 on bad usage.
#include "frontend/headless/headless_host.h"
#include "machine/loop.h"
#include "machine/memory_map.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

struct State {
    uint32_t pc = 0;
    uint8_t s = 0, a = 0, x = 0, y = 0, p = 0;
    std::vector<std::pair<uint32_t, uint8_t>> ram;
};

struct Case {
    std::string name;
    State initial, final;
    uint32_t cycles = 0;
};

using Bytes = std::vector<uint8_t>;

bool read_state(const Bytes& b, size_t& at, State& s)
{
    if (b.size() - at < 8)
        return false;
    s.pc = b[at] << 8 | b[at + 1];
    s.s = b[at + 2], s.a = b[at + 3], s.x = b[at + 4], s.y = b[at + 5], s.p = b[at + 6];
    size_t n = b[at + 7];
    at += 8;
    if (b.size() - at < 3 * n)
        return false;
    for (; n > 0; n--, at += 3)
        s.ram.push_back({uint32_t(b[at] << 8 | b[at + 1]), b[at + 2]});
    return true;
}

// A case name as printed: its printable characters.
std::string printable(const uint8_t* name, size_t length)
{
    std::string text;
    for (size_t i = 0; i < length && name[i]; i++)
        text += name[i] >= 0x20 && name[i] < 0x7F ? char(name[i]) : '?';
    return text;
}

bool holds_opcode(const State& s, int opcode)
{
    for (auto [address, value] : s.ram)
        if (address == s.pc)
            return value == opcode;
    return false;
}

// The cases of one file, or what makes it unusable.
std::string read_cases(const std::filesystem::path& path, int opcode, std::vector<Case>& cases)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return "cannot be read";
    Bytes b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (b.empty())
        return "holds no case";
    size_t at = 0;
    while (at < b.size()) {
        Case k;
        std::string which = "case " + std::to_string(cases.size() + 1);
        if (b.size() - at < 10)
            return which + " is cut short";
        k.name = printable(&b[at], 10);
        at += 10;
        if (!read_state(b, at, k.initial) || !read_state(b, at, k.final) || at == b.size())
            return which + " is cut short";
        k.cycles = b[at++];
        if (b.size() - at < 4 * size_t(k.cycles))
            return which + " is cut short";
        for (uint32_t i = 0; i < k.cycles; i++, at += 4)
            if (b[at + 3] != 'r' && b[at + 3] != 'w')
                return which + " has a bus cycle that is neither 'r' nor 'w'";
        if (!holds_opcode(k.initial, opcode))
            return which + " does not start with the opcode of its file";
        cases.push_back(std::move(k));
    }
    return "";
}

// The machine as a case starts it: nothing in memory but its RAM entries, its registers,
// no interrupt, no halt, the processor running.
void set_up(const State& s)
{
    std::memset(RAMptr, 0, 0x10002);
    for (auto [address, value] : s.ram)
        RAMptr[address] = value;
    R.PC = s.pc;
    R.S = s.s, R.A = s.a, R.X = s.x, R.Y = s.y, R.P = s.p;
    clocks = 0;
    jam_loc = NO_JAM;
    SEnable = 1;
    DEnable = SMode = 0;
}

std::string hex(unsigned value, int digits)
{
    char text[8];
    std::snprintf(text, sizeof text, "$%0*X", digits, value);
    return text;
}

// What differs first from the state the case ends in, "" when nothing does. The chip has no
// B flag (only the pushed byte has one), so the B that PLP and RTI load here is left out.
std::string difference(const Case& k)
{
    const State& want = k.final;
    const struct {
        const char* name;
        unsigned got, want;
        int digits;
    } registers[] = {
        {"PC", R.PC, want.pc, 4}, {"S", R.S, want.s, 2}, {"A", R.A, want.a, 2},
        {"X", R.X, want.x, 2},    {"Y", R.Y, want.y, 2}, {"P", R.P & ~FLAG_B & 0xFFu, want.p & ~FLAG_B & 0xFFu, 2},
    };
    for (const auto& r : registers)
        if (r.got != r.want)
            return std::string(r.name) + " " + hex(r.got, r.digits) + ", expected " + hex(r.want, r.digits);
    for (auto [address, value] : want.ram)
        if (RAMptr[address] != value)
            return "RAM " + hex(address, 4) + " " + hex(RAMptr[address], 2) + ", expected " + hex(value, 2);
    if (clocks != k.cycles)
        return std::to_string(clocks) + " cycles, expected " + std::to_string(k.cycles);
    return "";
}

// "" when the case passes as a single step and as a run of instructions.
std::string run_case(const Case& k)
{
    set_up(k.initial);
    _6502();
    std::string d = difference(k);
    if (!d.empty())
        return d;
    set_up(k.initial);
    run_instructions(1);
    d = difference(k);
    return d.empty() ? d : "as a run of instructions, " + d;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || !std::filesystem::is_directory(argv[1])) {
        std::fprintf(stderr, "usage: singlestep DIR (a folder with the cases 00.bin to ff.bin)\n");
        return 2;
    }
    HeadlessHost headless;
    host = &headless;
    AllocMem();
    if (!RAMptr)
        return 1;
    init_cpu();
    for (int p = 0; p < 256; p++) {
        readMEMORY[p] = RAMREAD;
        writeMEMORY[p] = RAMWRITE;
    }
    t_check = UINT32_MAX;

    int exact = 0;
    uint64_t passed = 0, total = 0;
    for (int op = 0; op < 256; op++) {
        char file[8];
        std::snprintf(file, sizeof file, "%02x.bin", op);
        std::vector<Case> cases;
        std::string fault = read_cases(std::filesystem::path(argv[1]) / file, op, cases);
        if (!fault.empty()) {
            std::printf("$%02X %s: %s %s\n", op, Op[op], file, fault.c_str());
            continue;
        }
        size_t good = 0;
        std::string first;
        for (const Case& k : cases) {
            std::string d = run_case(k);
            if (d.empty())
                good++;
            else if (first.empty())
                first = "\"" + k.name + "\": " + d;
        }
        passed += good;
        total += cases.size();
        if (good == cases.size())
            exact++;
        else
            std::printf("$%02X %s: %zu of %zu cases pass, first %s\n", op, Op[op], good, cases.size(), first.c_str());
    }
    std::printf("%d of 256 opcodes exact, %llu of %llu cases pass\n", exact, (unsigned long long)passed,
                (unsigned long long)total);
    return exact == 256 ? 0 : 1;
}
