// The NMOS 6502: register record, addressing routines and the opcode table.
#pragma once
#include "cpu/bus.h"

#include <cstdint>
#include <string>

struct Registers {
    uint8_t A, X, Y, S;
    uint32_t PC;
    uint8_t IR, P;
    uint32_t EA;
};

enum : uint8_t {
    FLAG_C = 0x01,
    FLAG_Z = 0x02,
    FLAG_I = 0x04,
    FLAG_D = 0x08,
    FLAG_B = 0x10,
    FLAG_5 = 0x20,
    FLAG_V = 0x40,
    FLAG_N = 0x80,
};

extern Registers R;
extern uint32_t eff_adr;
extern uint32_t RPC_old;

extern uint32_t clocks;       // cycles run in this time slice
extern uint64_t cycles_done;  // cycles of the slices before
// A run of instructions ends when the slice's cycles reach t_check, before an instruction
// marked in break_at, when the processor stops (SEnable 0), when the tape timer starts or
// when a watchpoint asks for a stop.
extern uint32_t t_check;
extern uint32_t stop_loc;  // the breakpoint of the SetBP button; a run marks it in break_at
// Addresses where a run of instructions stops for the debugger to look: BREAK_MAIN is stop_loc,
// BREAK_LIST the debugger's list of breakpoints.
enum : uint8_t { BREAK_MAIN = 1, BREAK_LIST = 2 };
extern uint8_t break_at[0x10000];
// Set by a watchpoint hit; the run ends after the instruction and the loop asks the debugger.
extern int debug_stop;
// Set while the processor itself reads and writes: by instructions, pushes and interrupts.
// Only its accesses can hit a watchpoint, not those of loaders, device handlers or the debugger.
extern int cpu_access;
extern int SEnable;
extern uint32_t Hardware_timer;
extern int IRQ, NMI;  // the interrupt lines
extern int CodeERR;   // an undefined opcode stops the machine
extern uint64_t instructions_done;  // instructions run since the program started
// Called before each instruction of a single step, with RPC_old set; while it is set,
// every instruction runs as a single step.
extern void (*instruction_hook)();

// What the processor tells the layers above; they fill it in at start-up.
struct CpuHooks {
    void (*on_undefined_opcode)(const char* text);  // one ran while CodeERR is set
};
extern CpuHooks cpu_hooks;

// Cycles run since the program started.
uint64_t cycle_now();
void reset_cpu();
void irq_cpu();
void nmi_cpu();
// The instruction at PC, after an interrupt that a line asks for.
void _6502();
// Stops the machine in the debugger, which opens with `text` when it is closed.
void undefined_opcode(const char* text);

// What an instruction works on: the registers, the memory block and the cycle count at its
// start. A single step works on a copy of R; a run of instructions keeps its copy in the
// host's registers and goes on while its cycles stay below the budget, without a look at the
// flags that may stop it. The effective address goes straight to R.EA and eff_adr, which only
// the debugger and the states read.
struct Core {
    uint32_t A, X, Y, S, P, PC;  // A to P are bytes, held in full host registers
    uint8_t* mem;
    uint32_t cycles, budget;
};

inline Core core_of_R() { return Core{R.A, R.X, R.Y, R.S, R.P, R.PC, RAMptr, clocks, UINT32_MAX}; }

// A page handler or the debugger, called from an instruction, sees the cycle count of its
// start. It may stop the processor or start the tape timer: a run of instructions looks at
// those after the instruction.
inline void call_out(Core& c)
{
    clocks = c.cycles;
    c.budget = 0;
}

inline uint8_t read_bus(Core& c, uint32_t address)
{
    if (readMEMORY[(address >> 8) & 0xFF] != RAMREAD) [[unlikely]]
        call_out(c);
    return bus_read(c.mem, address);
}

inline void write_bus(Core& c, uint32_t address, uint8_t value)
{
    if (writeMEMORY[(address >> 8) & 0xFF] != RAMWRITE) [[unlikely]]
        call_out(c);
    bus_write(c.mem, address, value);
}

inline void set_R(const Core& c)
{
    R.A = c.A, R.X = c.X, R.Y = c.Y, R.S = c.S, R.P = c.P;
    R.PC = c.PC;
}

// An Inst routine returns the cycles its instruction took beyond its Ticks entry: a page
// crossed by an indexed read, a branch taken.
using Routine = uint32_t (*)();
using AddressRoutine = uint32_t (*)(Core&);

extern char Op[256][6];
extern AddressRoutine Mode[256];
extern int Ticks[256];
extern Routine Inst[256];

// Fills Op, Mode, Ticks and Inst.
void build_opcode_table();

// The address of the JAM opcode that halted the processor, NO_JAM while it runs. The
// processor stays on it, taking no interrupt, until a reset or anything else moves PC.
constexpr uint32_t NO_JAM = 0x10000;
extern uint32_t jam_loc;
// Whether the processor is halted; a halt is forgotten once PC stands elsewhere.
bool jammed();
// "Processor halted by JAM at $xxxx" while the processor is halted, else "".
std::string halt_text();

// Runs up to `limit` instructions back to back, one at least, and returns how many ran. Each
// is checked against the breakpoint; the run ends early at the breakpoint, when the slice's
// cycles are spent, or after an instruction that stops the processor or starts the tape timer.
uint32_t run_instructions(uint32_t limit);

// The operand bytes follow the opcode in the block; two spare bytes past its end mirror
// $0000-$0001 for an instruction at $FFFE. Only the indirect jump reads its pointer
// through the page handlers.
inline uint32_t addr_implied(Core&) { return eff_adr = 0; }

inline uint32_t addr_immediate(Core& c)
{
    uint32_t a = c.PC;
    c.PC = (c.PC + 1) & 0xFFFF;
    return R.EA = eff_adr = a;
}

inline uint32_t addr_zpage(Core& c)
{
    uint32_t a = c.mem[c.PC];
    c.PC = (c.PC + 1) & 0xFFFF;
    return R.EA = eff_adr = a;
}

inline uint32_t addr_zpagex(Core& c)
{
    uint32_t a = (c.mem[c.PC] + c.X) & 0xFF;
    c.PC = (c.PC + 1) & 0xFFFF;
    return R.EA = eff_adr = a;
}

inline uint32_t addr_zpagey(Core& c)
{
    uint32_t a = (c.mem[c.PC] + c.Y) & 0xFF;
    c.PC = (c.PC + 1) & 0xFFFF;
    return R.EA = eff_adr = a;
}

inline uint32_t operand_word(const Core& c) { return c.mem[c.PC] | (c.mem[c.PC + 1] << 8); }

inline uint32_t addr_abs(Core& c)
{
    uint32_t a = operand_word(c);
    c.PC = (c.PC + 2) & 0xFFFF;
    return R.EA = eff_adr = a;
}

inline uint32_t addr_absx(Core& c)
{
    uint32_t a = operand_word(c) + c.X;
    c.PC = (c.PC + 2) & 0xFFFF;
    return R.EA = eff_adr = a;
}

inline uint32_t addr_absy(Core& c)
{
    uint32_t a = operand_word(c) + c.Y;
    c.PC = (c.PC + 2) & 0xFFFF;
    return R.EA = eff_adr = a;
}

// The zero-page pointer wraps inside page 0, as on the chip.
inline uint32_t addr_indx(Core& c)
{
    uint8_t z = c.mem[c.PC] + c.X;
    uint32_t a = c.mem[z] | (c.mem[uint8_t(z + 1)] << 8);
    c.PC = (c.PC + 1) & 0xFFFF;
    return R.EA = eff_adr = a;
}

inline uint32_t addr_indy(Core& c)
{
    uint8_t z = c.mem[c.PC];
    uint32_t a = (c.mem[z] | (c.mem[uint8_t(z + 1)] << 8)) + c.Y;
    c.PC = (c.PC + 1) & 0xFFFF;
    return R.EA = eff_adr = a;
}

// A branch's effective address is its target.
inline uint32_t addr_relative(Core& c)
{
    uint32_t a = (c.PC + 1 + uint32_t(int32_t(int8_t(c.mem[c.PC])))) & 0xFFFF;
    c.PC = (c.PC + 1) & 0xFFFF;
    return R.EA = eff_adr = a;
}

// JMP ($xxFF) takes the high byte from $xx00, as the NMOS chip does.
inline uint32_t addr_indirect(Core& c)
{
    uint32_t p = operand_word(c);
    uint8_t low = read_bus(c, p);
    uint8_t high = read_bus(c, (p & 0xFF00) | ((p + 1) & 0xFF));
    uint32_t a = low | (high << 8);
    c.PC = (c.PC + 2) & 0xFFFF;
    return R.EA = eff_adr = a;
}

class Fields;
// The state section "CPU ": the registers, the effective address and the last PC.
void processor_section(Fields& f);
