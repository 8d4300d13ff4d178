// Going back in time: the machine keeps a snapshot of its whole state at the start of a time
// slice every SNAPSHOT_CYCLES cycles and after everything that reaches it from outside (keys,
// menus, the debugger's buttons, the runner's steps), in a ring of at most HISTORY_BYTES.
// Between two snapshots the machine is its own input (tape and disk bytes come from files at
// positions the state holds), so a snapshot run forward is again exactly the machine as it was.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t HISTORY_BYTES = 64 << 20;
constexpr uint64_t SNAPSHOT_CYCLES = 1000000;

// What the states of the layers above give the history; they fill it in at start-up.
struct HistoryHooks {
    // The whole machine as a state file's bytes, and back; "" or why the bytes cannot be used.
    std::string (*state_image)();
    std::string (*restore_state)(const std::string& image);
};
extern HistoryHooks history_hooks;

// The loop's hook at the start of a slice.
void history_slice_start();
void clear_history();
size_t history_bytes();
size_t history_snapshots();
// The machine as it was `n` instructions ago, halted in the debugger; "" or why not (the
// history does not reach so far back, and nothing changes).
std::string step_back(uint64_t n);
// Back to the last instruction before this one where a breakpoint of the list held or a
// watchpoint was hit, halted in the debugger; to the oldest snapshot when there is none.
// Says where it stopped.
std::string run_back();
