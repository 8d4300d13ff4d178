#include "machine/loop.h"

#include "host/host.h"
#include "host/ids.h"
#include "host/state_fields.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/tape.h"
#include "machine/typist.h"
#include "machine/video.h"
#include "machine/window_keys.h"

#include <algorithm>

uint32_t SpeedPos = 100;
uint32_t Speed = 100;
int WarpEnable;
int FastLoad = 1;
int IEnable;
uint32_t IRQ_Interrupt, NMI_Interrupt;
uint32_t irq_counter, nmi_counter;
int DEnable, SMode, DebugRDY = 1;
uint32_t trace_loc = 0xFFFF;
int Abort = 1;
LoopHooks loop_hooks;

static int display_countdown;

// The slice's cycles go into the running total before the slice counter starts again.
static void count_clocks()
{
    cycles_done += clocks;
    clocks = 0;
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

// A watchpoint's hit is taken whatever else stops the machine, so that it is said.
static bool at_breakpoint()
{
    bool asked = (break_at[R.PC] & BREAK_LIST) || debug_stop;
    bool listed = asked && loop_hooks.on_break && loop_hooks.on_break();
    return listed || R.PC == stop_loc;
}

static void debugger_hook()
{
    if (!DEnable) {
        SEnable = 1;
        if (at_breakpoint()) {
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
    if (at_breakpoint())
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
            if (loop_hooks.on_debugger_refresh)
                loop_hooks.on_debugger_refresh();
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

// The devices' work at the end of a slice.
static void slice_end()
{
    type_poll();
    disk_tick();
    if (VIDCpoke)
        restgdc();
    CIA2();
}

// The slice's cycles go into the running total after the window's events, so that a state
// saved by them and one saved between slices agree with the debugger's snapshot.
uint32_t run_slice_unpaced()
{
    t_check = DEnable ? 100 : 60000;
    bool debugger_slice = DEnable;
    host->dispatch_event();
    if (!Abort)
        shut_down();
    if (loop_hooks.on_slice_start)
        loop_hooks.on_slice_start();
    count_clocks();

    while (clocks < t_check) {
        uint32_t passes = passes_to_next_period();
        if (passes && quiet())
            run_quiet(passes);
        else
            pass();
    }

    slice_end();
    return debugger_slice ? 60000 : clocks;  // a debugger slice lasts as long as a full one
}

void run_slice()
{
    uint32_t lasts = run_slice_unpaced();
    if (warp())
        pace_restart();
    else
        pace(lasts);
    if (loop_hooks.on_slice_end)
        loop_hooks.on_slice_end();
}

void replay_start() { count_clocks(); }

void replay_pass()
{
    pass();
    if (clocks < t_check)
        return;
    slice_end();
    t_check = DEnable ? 100 : 60000;
    count_clocks();
}

void run_loop()
{
    pace_restart();
    SetRes();
    while (Abort)
        run_slice();
}

// A slice ends within one instruction (and the debugger's extra cycle) of its length.
static constexpr int64_t LONGEST_SLICE = 60000 + 16;

void loop_section(Fields& f)
{
    f.value("clocks", clocks, 0, LONGEST_SLICE);
    f.value("cycles_done", cycles_done, 0, INT64_MAX);
    f.value("IEnable", IEnable, 0, 1);
    uint32_t irq = f.value("IRQ_Interrupt", IRQ_Interrupt, 0, U16);
    uint32_t nmi = f.value("NMI_Interrupt", NMI_Interrupt, 0, U16);
    f.value("irq_counter", irq_counter, 0, irq ? irq : U32);
    f.value("nmi_counter", nmi_counter, 0, nmi ? nmi : U32);
    f.value("IRQ", IRQ, 0, 1);
    f.value("NMI", NMI, 0, 1);
    f.value("Hardware_timer", Hardware_timer, 0, 86);
    uint32_t speed = f.value("SpeedPos", SpeedPos, 100, 400);
    f.require(speed % 100 == 0, "SpeedPos", "is no speed factor");
    uint32_t bar = f.value("Speed", Speed, 0, 500);
    f.require(bar % 100 == 0, "Speed", "is no speed factor");
    f.value("stop_loc", stop_loc, 0, U16);
    f.value("trace_loc", trace_loc, 0, U16);
}
