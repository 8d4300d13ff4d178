#include "debugger/rewind.h"

#include "debugger/breakpoints.h"
#include "debugger/trace.h"
#include "host/host.h"
#include "machine/loop.h"

#include <algorithm>
#include <deque>

HistoryHooks history_hooks;

namespace {

// The state file's bytes and what a state file leaves out: how the loop runs the processor.
struct Snapshot {
    uint64_t count;  // instructions_done
    uint64_t cycle;
    std::string state;
    uint32_t t_check, jam_loc;
    int DEnable, SEnable, SMode;
};

std::deque<Snapshot> history;
size_t bytes;
uint64_t inputs_seen;

bool due()
{
    if (history.empty() || host->inputs != inputs_seen)
        return true;
    const Snapshot& last = history.back();
    return cycle_now() - last.cycle >= SNAPSHOT_CYCLES || DEnable != last.DEnable || instructions_done < last.count;
}

Snapshot now()
{
    return {instructions_done, cycle_now(), history_hooks.state_image(), t_check, jam_loc, DEnable, SEnable, SMode};
}

void take_snapshot()
{
    history.push_back(now());
    bytes += history.back().state.size();
    while (bytes > HISTORY_BYTES && history.size() > 1) {
        bytes -= history.front().state.size();
        history.pop_front();
    }
}

// The latest snapshot no later than instruction `count`; history.size() when there is none.
size_t snapshot_before(uint64_t count)
{
    for (size_t i = history.size(); i-- > 0;)
        if (history[i].count <= count)
            return i;
    return history.size();
}

void forget_after(size_t i)
{
    while (history.size() > i + 1) {
        bytes -= history.back().state.size();
        history.pop_back();
    }
}

// "" or why the snapshot cannot be used.
std::string restore(const Snapshot& s)
{
    std::string problem = history_hooks.restore_state(s.state);
    if (!problem.empty())
        return problem;
    instructions_done = s.count;
    t_check = s.t_check;
    jam_loc = s.jam_loc;
    DEnable = s.DEnable, SEnable = s.SEnable, SMode = s.SMode;
    DebugRDY = 1;
    debug_stop = 0;
    return "";
}

// Runs forward from a snapshot to the end of the pass of instruction `target` as the machine
// ran then, or stays at the snapshot when it is that instruction's; the breakpoints and watchpoints
// do not stop it (those that did then are where it was halted), they are noted instead: the last
// instruction before `limit` where one is, in `*hit`. False when the machine is halted short
// of the target.
bool replay_to(uint64_t target, uint64_t limit, uint64_t* hit)
{
    LoopHooks hooks = loop_hooks;
    uint32_t breakpoint = stop_loc;
    void (*tracing)() = instruction_hook;
    loop_hooks.on_break = nullptr;
    loop_hooks.on_debugger_refresh = nullptr;
    stop_loc = 0x10000;
    instruction_hook = nullptr;
    auto note = [&] {
        bool here = breakpoint_here() || R.PC == breakpoint || debug_stop;
        if (hit && here && instructions_done < limit)
            *hit = instructions_done;
        if (debug_stop && hit && instructions_done < limit)
            stop_reason = watch_hit_text();
        debug_stop = 0;
    };
    note();
    bool halted = false;
    if (instructions_done < target)
        replay_start();
    while (instructions_done < target && !halted) {
        replay_pass();
        note();
        halted = DEnable && !SEnable && !SMode;
    }
    loop_hooks = hooks;
    stop_loc = breakpoint;
    instruction_hook = tracing;
    return instructions_done == target;
}

void halt_in_debugger()
{
    DEnable = 1;
    SEnable = SMode = 0;
    trace_loc = 0xFFFF;
    PokeFlag = 1;
}

std::string count_text(uint64_t n) { return std::to_string(n) + (n == 1 ? " instruction" : " instructions"); }

} // namespace

void history_slice_start()
{
    if (!history_hooks.state_image || !due())
        return;
    inputs_seen = host->inputs;
    take_snapshot();
}

void clear_history()
{
    history.clear();
    bytes = 0;
}

size_t history_bytes() { return bytes; }
size_t history_snapshots() { return history.size(); }

// A step back that cannot get there leaves the machine as it was.
std::string step_back(uint64_t n)
{
    uint64_t count = instructions_done, target = count - std::min(n, count);
    size_t i = snapshot_before(target);
    if (i == history.size() || n > count)
        return "The history reaches back " +
               count_text(history.empty() ? 0 : count - std::min(count, history.front().count)) + " only";
    Snapshot here = now();
    std::string problem = restore(history[i]);
    if (problem.empty() && !replay_to(target, 0, nullptr))
        problem = "The machine was halted before it got there";
    if (!problem.empty()) {
        restore(here);
        return problem;
    }
    forget_after(i);
    trace_forget(count - target);
    halt_in_debugger();
    stop_reason = "Stepped back " + count_text(n);
    return "";
}

namespace {

// Where Run Back stopped: at a breakpoint, or after the instruction a watchpoint saw.
std::string arrival(bool hit, const std::string& watched, uint64_t back)
{
    const Breakpoint* b = breakpoint_here();
    const std::string by = "Stopped by ";
    if (!hit)
        return "Ran back to the start of the history, " + count_text(back);
    if (b)
        return "Ran back to breakpoint " + breakpoint_text(*b);
    if (R.PC == stop_loc)
        return "Ran back to the SetBP breakpoint";
    if (watched.rfind(by, 0) == 0)
        return "Ran back to " + watched.substr(by.size());
    return "Ran back " + count_text(back);
}

} // namespace

// The stretches between snapshots are run forward from the latest one back, until one has a
// hit before the instruction Run Back started from.
std::string run_back()
{
    uint64_t count = instructions_done;
    Snapshot here = now();
    for (size_t i = snapshot_before(count - std::min<uint64_t>(count, 1)); i < history.size(); i--) {
        uint64_t end = i + 1 < history.size() ? std::min(count, history[i + 1].count) : count;
        uint64_t hit = UINT64_MAX;
        stop_reason.clear();
        std::string problem = restore(history[i]);
        if (problem.empty())
            replay_to(end, count, &hit);
        if (problem.empty() && hit == UINT64_MAX && i > 0)
            continue;
        std::string watched = stop_reason;
        uint64_t target = hit != UINT64_MAX ? hit : history[i].count;
        if (problem.empty())
            problem = restore(history[i]);
        if (!problem.empty()) {
            restore(here);
            return problem;
        }
        replay_to(target, 0, nullptr);
        forget_after(i);
        trace_forget(count - target);
        halt_in_debugger();
        stop_reason = arrival(hit != UINT64_MAX, watched, count - target);
        return stop_reason;
    }
    return "There is no history to run back in";
}
