#include "debugger/breakpoints.h"

#include "cpu/cpu.h"
#include "debugger/disassembler.h"
#include "debugger/labels.h"

#include <cstdio>
#include <cstring>

std::vector<Breakpoint> breakpoints;
std::vector<Watchpoint> watchpoints;
std::string stop_reason;

namespace {

struct WatchHit {
    uint16_t address, pc;
    uint8_t value;
    int kind;
};
WatchHit hit;

// The handlers that the watchpoints' handlers stand in front of, by page.
Handler device_read[256], device_write[256];

// By Compare; the two-character ones are looked for first.
constexpr const char* operators[] = {"!=", "<=", ">=", "=", "<", ">"};

std::string hex(unsigned v, int digits)
{
    char text[8];
    std::snprintf(text, sizeof text, "%0*X", digits, v);
    return text;
}

bool parse_byte(const std::string& text, uint8_t& value)
{
    unsigned v;
    if (!parse_hex(text, 2, v))
        return false;
    value = uint8_t(v);
    return true;
}

std::string parse_condition(const std::string& text, Condition& c)
{
    size_t at = std::string::npos;
    for (c.op = CMP_NE; c.op <= CMP_GT && at == std::string::npos; c.op++)
        at = text.find(operators[c.op]);
    if (at == std::string::npos)
        return "has no comparison in " + text;
    c.op--;
    std::string left = text.substr(0, at), right = text.substr(at + std::strlen(operators[c.op]));
    if (!parse_byte(right, c.value))
        return std::string("has no hex byte after ") + operators[c.op] + " in " + text;
    if (left.size() == 1 && left[0] && std::strchr("AXYSPaxysp", left[0])) {
        c.what = char(left[0] & ~0x20);
        return "";
    }
    if (left.size() > 2 && left.front() == '(' && left.back() == ')' &&
        parse_address(left.substr(1, left.size() - 2), c.address)) {
        c.what = 'M';
        return "";
    }
    return "compares " + left + ", neither a register (A X Y S P) nor (ADDR)";
}

uint8_t operand(const Condition& c)
{
    switch (c.what) {
    case 'A': return R.A;
    case 'X': return R.X;
    case 'Y': return R.Y;
    case 'S': return R.S;
    case 'P': return R.P | FLAG_5;
    default: return RAMptr[c.address];  // as the block holds it: a device is not read
    }
}

bool holds(const Condition& c)
{
    if (!c.what)
        return true;
    uint8_t v = operand(c);
    switch (c.op) {
    case CMP_NE: return v != c.value;
    case CMP_LE: return v <= c.value;
    case CMP_GE: return v >= c.value;
    case CMP_LT: return v < c.value;
    case CMP_GT: return v > c.value;
    default: return v == c.value;
    }
}

void watch_access(uint32_t address, uint8_t value, int kind)
{
    if (debug_stop)
        return;  // the first access of the instruction is the one reported
    for (const Watchpoint& w : watchpoints)
        if (w.enabled && (w.kind & kind) && address >= w.first && address <= w.last) {
            hit = {uint16_t(address), uint16_t(RPC_old), value, kind};
            debug_stop = 1;
            return;
        }
}

// A device that its handler makes read or write memory is not the processor.
void watch_read()
{
    uint32_t address = memoryaddress;
    int by_cpu = cpu_access;
    cpu_access = 0;
    device_read[address >> 8]();
    cpu_access = by_cpu;
    if (by_cpu)
        watch_access(address, readvalue, WATCH_READ);
}

void watch_write()
{
    uint32_t address = memoryaddress;
    uint8_t value = writevalue;
    int by_cpu = cpu_access;
    cpu_access = 0;
    device_write[address >> 8]();
    cpu_access = by_cpu;
    if (by_cpu)
        watch_access(address, value, WATCH_WRITE);
}

bool page_watched(unsigned page, int kind)
{
    for (const Watchpoint& w : watchpoints)
        if (w.enabled && (w.kind & kind) && w.first >> 8 <= page && page <= w.last >> 8)
            return true;
    return false;
}

void put_handler(Handler* pages, Handler* devices, Handler watch, unsigned page, bool watched)
{
    if (pages[page] != watch)
        devices[page] = pages[page];
    pages[page] = watched ? watch : devices[page];
}

} // namespace

std::string watch_hit_text()
{
    char text[16];
    Disassemble(text, hit.pc);
    bool read = hit.kind == WATCH_READ;
    return "Stopped by watchpoint: $" + hex(hit.pc, 4) + " " + with_labels(text) + (read ? " read $" : " wrote $") +
           hex(hit.value, 2) + (read ? " from $" : " to $") + hex(hit.address, 4);
}

std::string add_breakpoint(const std::string& text)
{
    size_t colon = text.find(':');
    Breakpoint b{};
    if (!parse_address(text.substr(0, colon), b.address))
        return "takes an address, not " + text.substr(0, colon);
    if (colon != std::string::npos) {
        std::string problem = parse_condition(text.substr(colon + 1), b.condition);
        if (!problem.empty())
            return problem;
    }
    breakpoints.push_back(b);
    apply_breakpoints();
    return "";
}

std::string add_watchpoint(const std::string& text)
{
    size_t colon = text.find(':'), dash = text.find('-');
    std::string range = text.substr(0, colon);
    Watchpoint w{0, 0, WATCH_READ | WATCH_WRITE};
    if (!parse_address(range.substr(0, dash), w.first))
        return "takes an address range, not " + range;
    w.last = w.first;
    if (dash < range.size() && !parse_address(range.substr(dash + 1), w.last))
        return "takes an address range, not " + range;
    if (w.last < w.first)
        return "has a range that ends before it starts: " + range;
    if (colon != std::string::npos) {
        std::string kind = text.substr(colon + 1);
        w.kind = kind == "R" ? WATCH_READ : kind == "W" ? WATCH_WRITE : kind == "RW" ? WATCH_READ | WATCH_WRITE : 0;
        if (!w.kind)
            return "watches R, W or RW, not " + kind;
    }
    watchpoints.push_back(w);
    apply_breakpoints();
    return "";
}

void clear_breakpoints()
{
    breakpoints.clear();
    watchpoints.clear();
    debug_stop = 0;
    apply_breakpoints();
}

void apply_breakpoints()
{
    for (uint8_t& mark : break_at)
        mark &= ~BREAK_LIST;
    for (const Breakpoint& b : breakpoints)
        if (b.enabled)
            break_at[b.address] |= BREAK_LIST;
    for (unsigned page = 0; page < 256; page++) {
        put_handler(readMEMORY, device_read, watch_read, page, page_watched(page, WATCH_READ));
        put_handler(writeMEMORY, device_write, watch_write, page, page_watched(page, WATCH_WRITE));
    }
}

const Breakpoint* breakpoint_here()
{
    for (const Breakpoint& b : breakpoints)
        if (b.enabled && b.address == R.PC && holds(b.condition))
            return &b;
    return nullptr;
}

bool breakpoint_stops()
{
    if (debug_stop) {
        debug_stop = 0;
        stop_reason = watch_hit_text();
        return true;
    }
    const Breakpoint* b = breakpoint_here();
    if (b)
        stop_reason = "Stopped at breakpoint " + breakpoint_text(*b);
    return b != nullptr;
}

std::string condition_text(const Condition& c)
{
    if (!c.what)
        return "";
    char text[16];
    if (c.what == 'M')
        std::snprintf(text, sizeof text, "(%04X)%s%02X", c.address, operators[c.op], c.value);
    else
        std::snprintf(text, sizeof text, "%c%s%02X", c.what, operators[c.op], c.value);
    return text;
}

std::string breakpoint_text(const Breakpoint& b)
{
    std::string condition = condition_text(b.condition);
    return hex(b.address, 4) + (condition.empty() ? "" : ":" + condition);
}

std::string watchpoint_text(const Watchpoint& w)
{
    const char* kinds[] = {"", "R", "W", "RW"};
    return hex(w.first, 4) + "-" + hex(w.last, 4) + ":" + kinds[w.kind & 3];
}
