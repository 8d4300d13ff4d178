#include "cpu/loop.h"

#include "cpu/instructions.h"
#include "debugger/debugger.h"
#include "frontend/speed.h"
#include "host/host.h"
#include "host/ids.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/tape.h"
#include "machine/typist.h"
#include "machine/video.h"

#include <algorithm>

uint32_t clocks;
uint64_t cycles_done;
uint32_t t_check = 60000;
uint32_t SpeedPos = 100;
int WarpEnable;
int FastLoad = 1;
int IEnable;
uint32_t IRQ_Interrupt, NMI_Interrupt;
uint32_t irq_counter, nmi_counter;
int IRQ, NMI;
uint32_t Hardware_timer;
int SEnable = 1, DEnable, SMode, DebugRDY = 1;
uint32_t stop_loc = 0xFFFF, trace_loc = 0xFFFF;
uint32_t RPC_old;
int CodeERR;
int Abort = 1;
void (*instruction_hook)();

static int display_countdown;

// The slice's cycles go into the running total before the slice counter starts again.
static void count_clocks()
{
    cycles_done += clocks;
    clocks = 0;
}

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

void Reset()
{
    reset_cpu();
    IEnable = 0;
    host->check_menu(CMD_INT_ENABLE, false);
    IRQ = NMI = 0;
    tape_close_all();
    disk_reset();
    gScan = irqkey = 0;
    restvid();
    CIA_Clear();
    count_clocks();
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
}

void undefined_opcode(const char* text)
{
    PokeFlag = 1;
    SEnable = 1;
    if (host->debugger_exists()) {
        SMode = 0;
        return;
    }
    Open_Processor(text);
    display_registers();
    SEnable = 0;
}

int SetRes()
{
    if (host->fine_timer(true))
        return 1;
    host->message_box("System timer not accurate for real speed measurement", "Emulation Speed Checker", MSG_INFO);
    return 0;
}

void RstRes() { host->fine_timer(false); }

// A periodic line is raised once every period + 1 passes; period 0 is off.
static void tick_period(uint32_t period, uint32_t& counter, int& line)
{
    if (period == 0)
        return;
    if (counter == period) {
        line = 1;
        counter = 0;
    } else {
        counter++;
    }
}

static void debugger_hook()
{
    if (!DEnable) {
        SEnable = 1;
        if (R.PC == stop_loc) {
            if (!host->debugger_exists())
                host->post_command(CMD_DEBUGGER);
            SMode = 0;
            SEnable = 0;
            DEnable = 1;
            PokeFlag = 1;
        }
        return;
    }
    if (!DebugRDY)
        return;
    if (R.PC == stop_loc)
        SMode = 0;
    if (R.PC == trace_loc) {
        RPC_old = (R.PC - 3) & 0xFFFF;
        SMode = 0;
        trace_loc = 0xFFFF;
    }
    clocks++;
    display_countdown--;
    if (SMode == 0 || display_countdown < 0) {
        if (SEnable) {
            DebugRDY = 0;
            display_registers();
        }
        display_countdown = t_check / 2;
    }
    SEnable = SMode;
    DebugRDY = 1;
}

static inline void pass()
{
    if (Hardware_timer)
        Hardware_timer--;
    if (IEnable) {
        tick_period(IRQ_Interrupt, irq_counter, IRQ);
        tick_period(NMI_Interrupt, nmi_counter, NMI);
    }
    if (irqkey)
        CIA1();
    if (SEnable)
        _6502();
    debugger_hook();
}

void run_pass() { pass(); }

// Passes before the next one that raises a periodic line: none of them does more than count.
static uint32_t passes_to_next_period()
{
    uint32_t n = UINT32_MAX;
    if (IEnable && IRQ_Interrupt)
        n = std::min(n, IRQ_Interrupt - irq_counter);
    if (IEnable && NMI_Interrupt)
        n = std::min(n, NMI_Interrupt - nmi_counter);
    return n;
}

// Nothing but the instruction is left to a pass: the debugger is closed, no key event or
// interrupt line waits, the tape timer is at rest and no hook watches the instructions.
static bool quiet()
{
    return !DEnable && !irqkey && SEnable && !Hardware_timer && !NMI && !IRQ && !instruction_hook;
}

// Up to `passes` passes of instructions back to back. The last pass ends with the debugger
// hook, as every pass does; for the others it does nothing.
static void run_quiet(uint32_t passes)
{
    uint32_t n = run_instructions(passes);
    if (IEnable && IRQ_Interrupt)
        irq_counter += n;
    if (IEnable && NMI_Interrupt)
        nmi_counter += n;
    debugger_hook();
}

static void shut_down()
{
    RstRes();
    if (host->debugger_exists())
        host->close_debugger();
    if (host->speed_exists())
        host->close_speed();
    if (DEnable)
        host->send_command(CMD_PAUSE);
}

// Real time runs on an absolute deadline: the cycles paced since a fixed origin take
// cycles x 100 / speed microseconds, so a sleep that overshoots is made up by the slices after
// it. Late by more than the lag limit (a dialog, the host busy) or at a new speed, the loop
// starts a new origin instead of racing to catch up.
static constexpr uint64_t max_lag_us = 100000;

static struct {
    uint64_t origin_us, cycles;
    uint32_t speed;
    bool anchored;
} pacing;

void pace_restart() { pacing.anchored = false; }

static void pace(uint32_t cycles)
{
    uint64_t now = host->clock_us();
    if (!pacing.anchored || pacing.speed != SpeedPos)
        pacing = {now, 0, SpeedPos, true};
    pacing.cycles += cycles;
    uint64_t deadline = pacing.origin_us + pacing.cycles * 100 / SpeedPos;
    if (now > deadline + max_lag_us) {
        pacing = {now, 0, SpeedPos, true};
        return;
    }
    while (now < deadline) {
        host->sleep_us(deadline - now);
        now = host->clock_us();
    }
}

// While a key is down in the window the machine runs at its speed, or a key typed in warp
// would repeat for as long as a person holds it, a thousandfold.
bool warp() { return (WarpEnable || (FastLoad && tape_reading())) && !window_keys_held(); }

void run_slice()
{
    t_check = DEnable ? 100 : 60000;
    bool debugger_slice = DEnable;
    count_clocks();
    host->dispatch_event();
    if (!Abort)
        shut_down();

    while (clocks < t_check) {
        uint32_t passes = passes_to_next_period();
        if (passes && quiet())
            run_quiet(passes);
        else
            pass();
    }

    type_poll();
    if (VIDCpoke)
        restgdc();
    CIA2();
    if (warp())
        pace_restart();
    else
        pace(debugger_slice ? 60000 : clocks);  // a debugger slice lasts as long as a full one
    if (host->speed_exists())
        Speed_display();
}

void run_loop()
{
    pace_restart();
    SetRes();
    while (Abort)
        run_slice();
}
