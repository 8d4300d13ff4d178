#include "debugger/rewind.h"

#include "debugger/breakpoints.h"
#include "debugger/trace.h"
#include "host/host.h"
#include "machine/loop.h"

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

void take_snapshot()
{
    history.push_back({instructions_done, cycle_now(), history_hooks.state_image(), t_check, jam_loc, DEnable,
                       SEnable, SMode});
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

std::string step_back(uint64_t n)
{
    uint64_t now = instructions_done, target = now - std::min(n, now);
    size_t i = snapshot_before(target);
    if (i == history.size() || n > now)
        return "The history reaches back " +
               count_text(history.empty() ? 0 : now - std::min(now, history.front().count)) + " only";
    std::string problem = restore(history[i]);
    if (!problem.empty())
        return problem;
    if (!replay_to(target, 0, nullptr))
        return "The machine was halted before it got there";
    forget_after(i);
    trace_forget(now - target);
    halt_in_debugger();
    stop_reason = "Stepped back " + count_text(n);
    return "";
}

std::string run_back()
{
    uint64_t now = instructions_done;
    for (size_t i = snapshot_before(now - std::min<uint64_t>(now, 1)); i < history.size(); i--) {
        uint64_t end = i + 1 < history.size() ? std::min(now, history[i + 1].count) : now;
        uint64_t hit = UINT64_MAX;
        restore(history[i]);
        replay_to(end, now, &hit);
        if (hit != UINT64_MAX || i == 0) {
            std::string reason = stop_reason;
            uint64_t target = hit != UINT64_MAX ? hit : history[0].count;
            restore(history[i]);
            replay_to(target, 0, nullptr);
            forget_after(i);
            trace_forget(now - target);
            halt_in_debugger();
            const Breakpoint* b = breakpoint_here();
            stop_reason = hit == UINT64_MAX ? "Ran back to the start of the history, " + count_text(now - target)
                          : b               ? "Ran back to breakpoint " + breakpoint_text(*b)
                                            : "Ran back to " + reason.substr(std::string("Stopped by ").size());
            return stop_reason;
        }
    }
    return "There is no history to run back in";
}
