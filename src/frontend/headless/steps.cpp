#include "frontend/headless/steps.h"

#include "cpu/cpu.h"

#include <cerrno>
#include <cstdlib>

Options options;
HeadlessHost headless;

bool parse_number(const std::string& text, int base, uint64_t max, uint64_t& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, base);
    if (*end || errno || v > max || text[0] == '-')
        return false;
    value = v;
    return true;
}

// A choice among fixed words, for the decoding parameters.
std::string choose(const std::string& value, std::initializer_list<const char*> words, int& index)
{
    int i = 0;
    for (const char* w : words) {
        if (value == w) {
            index = i;
            return "";
        }
        i++;
    }
    return "unknown value " + value;
}

std::string cycles(const std::string& text, uint64_t& n)
{
    return parse_number(text, 10, UINT64_MAX, n) ? "" : "takes a number of cycles";
}

std::string parse_cycles(Step& s) { return cycles(s.values[0], s.number); }

std::string hex_address(Step& s)
{
    return parse_number(s.values[0], 16, 0xFFFF, s.number) ? "" : "takes a hex address from 0 to FFFF";
}

std::string no_check(Step&) { return ""; }

void run_cycles(uint64_t n)
{
    for (uint64_t start = cycle_now(); Abort && cycle_now() - start < n;)
        run_slice();
}

// The breakpoint does the exact stop; the debugger it would open is not wanted here.
bool run_until_pc(uint32_t address, uint64_t limit)
{
    uint32_t saved = stop_loc;
    stop_loc = address;
    bool reached = run_until([&] { return DEnable && R.PC == address; }, limit);
    stop_loc = saved;
    if (reached) {
        headless.events.clear();
        DEnable = SMode = 0;
        SEnable = 1;
    }
    return reached;
}

std::string parse_count(Step& s) { return parse_number(s.values[0], 10, UINT64_MAX, s.number) ? "" : "takes a number"; }
