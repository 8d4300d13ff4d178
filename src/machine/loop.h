// Reset, the periodic interrupts and the time-sliced emulation loop that drives the processor
// and the devices.
#pragma once
#include "cpu/cpu.h"

#include <cstdint>

extern uint32_t SpeedPos;  // the running speed in percent
extern uint32_t Speed;     // the speed the meter's bar is set to
// Warp: as fast as the host allows, chosen by the user, or by FastLoad while the tape input
// is being read; not while a key is held down in the window.
extern int WarpEnable;
extern int FastLoad;
extern int IEnable;
extern uint32_t IRQ_Interrupt, NMI_Interrupt;
extern uint32_t irq_counter, nmi_counter;
extern int DEnable, SMode, DebugRDY;
extern uint32_t trace_loc;
extern int Abort;

// What the loop tells the layers above; they fill it in at start-up.
struct LoopHooks {
    void (*on_debugger_refresh)();  // the debugger window's fields are due
    void (*on_slice_start)();       // a time slice begins, the window's events handled
    void (*on_slice_end)();         // a time slice has run and been paced
    // The processor stands on an address of the debugger's list or a watchpoint was hit:
    // whether the machine stops there.
    bool (*on_break)();
};
extern LoopHooks loop_hooks;

void Reset();

int SetRes();
void RstRes();
// One pass of the loop: the pacing counter, the interrupt periods, a key event, one
// instruction while the processor runs, the debugger hook.
void run_pass();
// One time slice: the window's events, 60000 cycles (100 in debugger mode), then the wait
// until real time has caught up with them.
void run_slice();
// The same without the wait, for a host that paces itself (a browser cannot sleep): the
// cycles of real time the slice stands for.
uint32_t run_slice_unpaced();
bool warp();
// The debugger's replay of what the machine did from a snapshot of a slice's start: the
// slice's start after the snapshot, then passes as run_slice makes them; a complete slice
// ends and the next one begins as there, without the window's events, the pacing and the hooks.
void replay_start();
void replay_pass();
// The next slice paces from a new origin.
void pace_restart();
void run_loop();

class Fields;
// The state section "LOOP": the cycle counts, the periodic interrupts, the tape timer, the
// speeds, the breakpoint and the step-over's return address.
void loop_section(Fields& f);
