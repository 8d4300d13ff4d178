// The processor's state and its single step: reset, interrupt entry and one instruction.
#include "cpu/cpu.h"
#include "cpu/instructions.h"
#include "host/state_fields.h"

Registers R;
uint32_t eff_adr;
uint32_t RPC_old;
uint32_t clocks;
uint64_t cycles_done;
uint32_t t_check = 60000;
uint32_t stop_loc = 0xFFFF;
uint8_t break_at[0x10000];
int debug_stop;
int cpu_access;
int SEnable = 1;
uint32_t Hardware_timer;
int IRQ, NMI;
int CodeERR;
uint64_t instructions_done;
void (*instruction_hook)();
CpuHooks cpu_hooks;

uint64_t cycle_now() { return cycles_done + clocks; }

void reset_cpu()
{
    Core c = core_of_R();
    c.P = FLAG_5;
    c.A = c.X = c.Y = 0;
    c.S = 0xFF;
    load_vector(c, 0xFFFC);
    set_R(c);
    jam_loc = NO_JAM;
}

// Interrupt entry pushes B clear, as the chip does; only what is pushed differs from P.
static void interrupt(uint32_t vector)
{
    Core c = core_of_R();
    push(c, c.PC >> 8);
    push(c, c.PC & 0xFF);
    push(c, (c.P | FLAG_5) & ~FLAG_B);
    c.P |= FLAG_I;
    load_vector(c, vector);
    set_R(c);
}

void irq_cpu() { interrupt(0xFFFE); }
void nmi_cpu() { interrupt(0xFFFA); }

// The instruction at PC, without a look at the interrupt lines.
static inline void step()
{
    RPC_old = R.PC;
    if (R.PC >= 0xFFFE) {
        RAMptr[0x10000] = RAMptr[0];
        RAMptr[0x10001] = RAMptr[1];
    }
    if (instruction_hook)
        instruction_hook();
    R.IR = RAMptr[R.PC];
    R.PC = (R.PC + 1) & 0xFFFF;
    uint32_t extra = Inst[R.IR]();
    clocks += Ticks[R.IR] + extra;
}

void _6502()
{
    cpu_access = 1;
    bool halted = jammed();  // a processor halted by a JAM takes no interrupt
    if (NMI && !halted) {
        nmi_cpu();
        NMI = 0;
    }
    if (IRQ && !(R.P & FLAG_I) && !halted) {
        irq_cpu();
        IRQ = 0;
    }
    step();
    instructions_done++;
    cpu_access = 0;
}

void undefined_opcode(const char* text)
{
    PokeFlag = 1;
    SEnable = 1;
    if (cpu_hooks.on_undefined_opcode)
        cpu_hooks.on_undefined_opcode(text);
}

// Versions before 1.0 kept a branch's offset as its effective address, which only the
// debugger shows.
void processor_section(Fields& f)
{
    for (uint8_t* r : {&R.A, &R.X, &R.Y, &R.S, &R.P, &R.IR})
        f.value("register", *r, 0, U8);
    f.value("PC", R.PC, 0, U16);
    f.value("EA", R.EA, 0, U32);
    f.value("eff_adr", eff_adr, 0, U32);
    f.value("RPC_old", RPC_old, 0, U16);
}
