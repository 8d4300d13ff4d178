// The debugger's breakpoints, each on an address with an optional condition, and its
// watchpoints on ranges of memory that the processor reads or writes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum Compare { CMP_NE, CMP_LE, CMP_GE, CMP_EQ, CMP_LT, CMP_GT };

// A register or a memory byte compared with a value: A=0D, X>10, (0200)=FF.
struct Condition {
    char what = 0;  // 0 none; A X Y S P a register; M the byte at `address`
    uint16_t address = 0;
    int op = 0;     // a Compare
    uint8_t value = 0;
};

struct Breakpoint {
    uint16_t address;
    Condition condition;
    bool enabled = true;
};

enum WatchKind { WATCH_READ = 1, WATCH_WRITE = 2 };

struct Watchpoint {
    uint16_t first, last;
    int kind;  // WatchKind bits
    bool enabled = true;
};

extern std::vector<Breakpoint> breakpoints;
extern std::vector<Watchpoint> watchpoints;
// Why the machine stopped at a breakpoint or watchpoint of the lists; "" for other stops.
extern std::string stop_reason;

// "ADDR[:COND]" and "FIRST[-LAST][:R|W|RW]" (read and write when no kind is given): the
// point is added and in force, and "" comes back; else why the text is no point.
std::string add_breakpoint(const std::string& text);
std::string add_watchpoint(const std::string& text);
// No breakpoints and no watchpoints.
void clear_breakpoints();
// Marks the breakpoints for the runs of instructions and puts the watchpoints' handlers on
// their pages; after every change of the lists or of the memory map.
void apply_breakpoints();
// The hook of the loop: whether the machine stops where it stands, with stop_reason set.
bool breakpoint_stops();
// Whether an enabled breakpoint of the list is where the processor stands and its condition
// holds, with no other effect.
const Breakpoint* breakpoint_here();
// A watchpoint's hit as the debugger says it: "Stopped by watchpoint: $0305 STA $0200 ...".
std::string watch_hit_text();
// A condition as typed, "" for none; a breakpoint as "ADDR" or "ADDR:COND"; a watchpoint as
// "FIRST-LAST:KIND".
std::string condition_text(const Condition& c);
std::string breakpoint_text(const Breakpoint& b);
std::string watchpoint_text(const Watchpoint& w);
