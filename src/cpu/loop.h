// Reset, interrupts, the processor step and the time-sliced emulation loop.
#pragma once
#include "cpu/cpu.h"

#include <cstdint>

extern uint64_t cycles_done;  // cycles of the slices before
extern uint32_t t_check;
extern uint32_t SpeedPos;
// Warp: as fast as the host allows, chosen by the user, or by FastLoad while the tape input
// is being read; not while a key is held down in the window.
extern int WarpEnable;
extern int FastLoad;
extern int IEnable;
extern uint32_t IRQ_Interrupt, NMI_Interrupt;
extern uint32_t irq_counter, nmi_counter;
extern int IRQ, NMI;
extern uint32_t Hardware_timer;
extern int SEnable, DEnable, SMode, DebugRDY;
extern uint32_t stop_loc, trace_loc;
extern int CodeERR;
extern int Abort;
// Called before each instruction of a single step, with RPC_old set; while it is set,
// every instruction runs as a single step.
extern void (*instruction_hook)();

// Cycles run since the program started.
uint64_t cycle_now();
void reset_cpu();
void Reset();
void irq_cpu();
void nmi_cpu();
void _6502();
// Stops the machine in the debugger, which opens with `text` when it is closed.
void undefined_opcode(const char* text);

int SetRes();
void RstRes();
// One pass of the loop: the pacing counter, the interrupt periods, a key event, one
// instruction while the processor runs, the debugger hook.
void run_pass();
// One time slice: the window's events, 60000 cycles (100 in debugger mode), then the wait
// until real time has caught up with them.
void run_slice();
bool warp();
// The next slice paces from a new origin.
void pace_restart();
void run_loop();
