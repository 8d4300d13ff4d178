#include "debugger/debugger.h"

#include "cpu/bus.h"
#include "debugger/breakpoints.h"
#include "debugger/disassembler.h"
#include "debugger/labels.h"
#include "debugger/memory_edit.h"
#include "debugger/rewind.h"
#include "debugger/trace.h"
#include "host/host.h"
#include "host/ids.h"
#include "machine/loop.h"
#include "machine/tape.h"

#include <cctype>
#include <cstdio>

int TraceMode = 1;
int MSEnable = 1;
unsigned memd;
DebuggerView dbg;
DebuggerHooks debugger_hooks;

namespace {

std::string note;  // what the last button that says so did: Write, Find, Break, Step Back...

std::string format(const char* f, unsigned v)
{
    char text[32];
    std::snprintf(text, sizeof text, f, v);
    return text;
}

int indicator(uint32_t period) { return period == 0 ? 0 : IEnable ? 1 : 2; }

std::string dump_rows()
{
    unsigned first = MSEnable ? memd : 0x0100 + (R.S & 0x80);
    std::string rows;
    for (unsigned r = 0; r < 9; r++) {
        unsigned row = (first + 16 * r) & 0xFFFF;
        rows += format("$%04X ", row);
        for (unsigned i = 0; i < 16; i++) {
            unsigned a = (row + i) & 0xFFFF;
            bool free = !MSEnable && a < 0x0100u + R.S;
            rows += format(free ? "-%02X" : " %02X", Peek(a));
        }
        rows += "\r\n";
    }
    return rows;
}

void show_registers()
{
    const uint8_t* regs[] = {&R.A, &R.X, &R.Y, &R.S};
    std::string* hex[] = {&dbg.a, &dbg.x, &dbg.y, &dbg.s};
    std::string* bits[] = {&dbg.a_bits, &dbg.x_bits, &dbg.y_bits, &dbg.s_bits};
    for (int i = 0; i < 4; i++) {
        *hex[i] = format("0x%02X", *regs[i]);
        *bits[i] = binary(*regs[i]);
    }
    dbg.effective = format("0x%04X", eff_adr & 0xFFFF);
    dbg.pc = format("0x%04X", R.PC);
    dbg.pc_bits = binary(R.PC >> 8) + " " + binary(R.PC & 0xFF);
    dbg.p = format("0x%02X", R.P | FLAG_5);
    dbg.p_bits = binary(R.P | FLAG_5);
    dbg.status = halt_text();
    if (dbg.status.empty())
        dbg.status = note.empty() ? stop_reason : note;
}

void show_disassembly()
{
    dbg.last = "$Adress Code\r\n" + instruction_line(RPC_old);
    int n;
    dbg.current = instruction_line(R.PC, &n);
    dbg.next.clear();
    for (int i = 0; i < 5; i++) {
        int length;
        dbg.next += instruction_line(R.PC + n, &length) + "\r\n";
        n += length;
    }
}

// The lists as the window shows them, a line each; nothing while they are empty.
std::string points_text()
{
    std::string text;
    for (const Breakpoint& b : breakpoints)
        text += "Break " + breakpoint_text(b) + (b.enabled ? "\n" : " off\n");
    for (const Watchpoint& w : watchpoints)
        text += "Watch " + watchpoint_text(w) + (w.enabled ? "\n" : " off\n");
    return text;
}

// The list's lines as points_text has them, after the SetBP breakpoint.
void show_points()
{
    dbg.points = stop_loc < 0xFFFF ? format("SetBP %04X\n", stop_loc) : "";
    dbg.points += points_text();
}

// Steps 5 to 12 of a refresh: everything a running or stepping machine changes.
void show_machine()
{
    dbg.disp_mem = MSEnable;
    dbg.irq = indicator(IRQ_Interrupt);
    dbg.nmi = indicator(NMI_Interrupt);
    show_registers();
    unsigned start = read_hex_field(dbg.memory_start, memd);
    dbg.memory_start = format("%04X", start);
    if (start != memd) {
        memd = start;
        PokeFlag = 1;
    }
    dbg.pc_field = format("%04X", R.PC);
    dbg.breakpoint = format("%04X", stop_loc);
    if (PokeFlag) {
        PokeFlag = 0;
        dbg.dump = dump_rows();
    }
    show_disassembly();
    show_points();
    dbg.tracing = trace_running();
    if (SMode == 0)
        dbg.trace = trace_text(TRACE_LENGTH);
}

void forced_refresh()
{
    PokeFlag = 1;
    SEnable = 1;
    display_registers();
    SEnable = 0;
}

void single_step()
{
    PokeFlag = 1;
    stop_reason.clear();
    if (TraceMode == 1) {
        SEnable = 1;
        SMode = 0;
    } else if (RAMptr[R.PC & 0xFFFF] == 0x20) {
        SMode = 1;
        if (trace_loc == 0xFFFF)
            trace_loc = (R.PC + 3) & 0xFFFF;
    } else {
        SEnable = 1;
        SMode = trace_loc != 0xFFFF ? 1 : 0;
    }
}

void set_pc()
{
    unsigned address = read_hex_field(dbg.pc_field, R.PC);
    dbg.pc_field = format("%04X", address);
    SMode = 0;
    trace_loc = 0xFFFF;
    R.PC = address;
    PokeFlag = 1;
    SEnable = 0;
}

unsigned memory_start() { return read_hex_field(dbg.memory_start, memd); }

void write_memory()
{
    std::vector<uint8_t> bytes;
    unsigned start = memory_start();
    if (!parse_bytes(dbg.bytes, bytes)) {
        note = "Write takes hex bytes: A9 42";
        return;
    }
    poke_bytes(uint16_t(start), bytes);
    note = format(bytes.size() == 1 ? "Wrote %u byte at $" : "Wrote %u bytes at $", unsigned(bytes.size())) +
           format("%04X", start);
}

void find()
{
    std::vector<uint8_t> bytes;
    if (!parse_bytes(dbg.find, bytes)) {
        note = "Find takes hex bytes: A9 42";
        return;
    }
    int at = find_bytes(bytes, uint16_t(memory_start() + 1));
    if (at < 0) {
        note = "Not found: " + bytes_text(bytes);
        return;
    }
    dbg.memory_start = format("%04X", unsigned(at));
    MSEnable = 1;
    note = "Found " + bytes_text(bytes) + format(" at $%04X", unsigned(at));
}

// The line of the list that On/Off and Remove act on: the SetBP breakpoint, a breakpoint or
// a watchpoint.
void change_point(bool remove)
{
    int i = dbg.point_index - (stop_loc < 0xFFFF);
    if (i < 0 && dbg.point_index >= 0) {
        if (remove)
            stop_loc = 0xFFFF;
        else
            note = "ClrBP or Remove takes the SetBP breakpoint away";
        return;
    }
    size_t n = size_t(i);
    if (i < 0 || n >= breakpoints.size() + watchpoints.size()) {
        note = "Choose a line of the list first";
        return;
    }
    if (n < breakpoints.size() && remove)
        breakpoints.erase(breakpoints.begin() + long(n));
    else if (n < breakpoints.size())
        breakpoints[n].enabled = !breakpoints[n].enabled;
    else if (remove)
        watchpoints.erase(watchpoints.begin() + long(n - breakpoints.size()));
    else
        watchpoints[n - breakpoints.size()].enabled = !watchpoints[n - breakpoints.size()].enabled;
    apply_breakpoints();
}

void load_label_file()
{
    std::string path = select_file(1, "*.lbl");
    if (path.empty())
        return;
    note = load_labels(path);
    if (note.empty())
        note = format("%u labels", unsigned(label_addresses.size())) + " from " + path;
}

void set_breakpoint()
{
    stop_loc = read_hex_field(dbg.breakpoint, stop_loc);
    dbg.breakpoint = format("%04X", stop_loc);
}

} // namespace

std::string instruction_line(unsigned address, int* length)
{
    char text[16];
    int n = Disassemble(text, address & 0xFFFF);
    if (length)
        *length = n;
    auto label = label_names.find(uint16_t(address));
    std::string name = label == label_names.end() ? "" : label->second + ": ";
    return format("$%04X   ", address & 0xFFFF) + name + with_labels(text);
}

unsigned read_hex_field(const std::string& field, unsigned previous)
{
    uint16_t address;
    if (find_label(field, address))
        return address;
    unsigned v = 0;
    size_t n = 0;
    for (; n < field.size() && n < 4 && std::isxdigit(static_cast<unsigned char>(field[n])); n++) {
        char c = field[n];
        v = v * 16 + unsigned(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return (n == 0 && !field.empty()) ? previous : v;
}

std::string binary(unsigned byte)
{
    std::string bits;
    for (int b = 7; b >= 0; b--)
        bits += (byte >> b) & 1 ? '1' : '0';
    return bits;
}

void Open_Processor(const char* text)
{
    if (host->debugger_exists()) {
        host->check_menu(CMD_DEBUGGER, false);
        host->close_debugger();
        return;
    }
    host->check_menu(CMD_DEBUGGER, true);
    dbg.memory_start = format("%04X", memd);
    host->open_debugger(text);
    trace_loc = 0xFFFF;
    DEnable = 1;
    host->check_menu(CMD_PAUSE, true);
}

void debugger_closed()
{
    host->check_menu(CMD_DEBUGGER, false);
    stop_reason.clear();
    SEnable = 1;
    SMode = 0;
    DEnable = 0;
    host->check_menu(CMD_PAUSE, false);
}

// While a step over a subroutine is pending only the PC is redrawn and the control state stays.
void display_registers()
{
    if (trace_loc != 0xFFFF) {
        if (host->debugger_exists()) {
            dbg.pc = format("0x%04X", R.PC);
            host->refresh_debugger();
        }
        return;
    }
    if (!host->debugger_exists())
        return;
    dbg.stop_on_error = CodeERR;
    dbg.trace_into = TraceMode;
    if (SEnable)
        show_machine();
    host->refresh_debugger();
    DebugRDY = 1;
    SEnable = SMode;
}

void stop_on_undefined_opcode(const char* text)
{
    if (host->debugger_exists()) {
        SMode = 0;
        return;
    }
    Open_Processor(text);
    display_registers();
    SEnable = 0;
}

void debugger_command(int id)
{
    note.clear();
    host->inputs++;  // the history takes a snapshot of what the button did
    switch (id) {
    case DBG_SINGLE_STEP: single_step(); break;
    case DBG_CLOSE: host->close_debugger(); break;
    case DBG_RUN:
        stop_reason.clear();
        SEnable = 1;
        SMode = 1;
        trace_loc = 0xFFFF;
        break;
    case DBG_SET_PC: set_pc(); break;
    case DBG_SET_BP:
        set_breakpoint();
        forced_refresh();
        break;
    case DBG_CLR_BP:
        dbg.breakpoint = "FFFF";
        stop_loc = 0xFFFF;
        forced_refresh();
        break;
    case DBG_DISP_MEM:
    case DBG_DISP_STACK:
        MSEnable = id == DBG_DISP_MEM;
        forced_refresh();
        break;
    case DBG_RESET:
        Reset();
        SMode = 0;
        trace_loc = 0xFFFF;
        forced_refresh();
        break;
    case DBG_HARD_RESET:
        if (debugger_hooks.on_hard_reset)
            debugger_hooks.on_hard_reset();
        break;
    case DBG_EDIT_CONFIG:
        if (debugger_hooks.on_edit_config)
            debugger_hooks.on_edit_config();
        break;
    case DBG_STOP_ON_ERROR:
        CodeERR = !CodeERR;
        display_registers();
        break;
    case DBG_WRITE_MEM:
        write_memory();
        forced_refresh();
        break;
    case DBG_FIND:
        find();
        forced_refresh();
        break;
    case DBG_ADD_BREAK:
        note = add_breakpoint(dbg.point_field);
        forced_refresh();
        break;
    case DBG_ADD_WATCH:
        note = add_watchpoint(dbg.point_field);
        forced_refresh();
        break;
    case DBG_TOGGLE_POINT:
    case DBG_REMOVE_POINT:
        change_point(id == DBG_REMOVE_POINT);
        forced_refresh();
        break;
    case DBG_LOAD_LABELS:
        load_label_file();
        forced_refresh();
        break;
    case DBG_TRACE:
        trace_start(trace_running() ? 0 : TRACE_LENGTH);
        forced_refresh();
        break;
    case DBG_STEP_BACK:
        note = step_back(1);
        forced_refresh();
        break;
    case DBG_RUN_BACK:
        run_back();
        forced_refresh();
        break;
    case DBG_TRACE_INTO:
        TraceMode = !TraceMode;
        display_registers();
        break;
    default: break;
    }
}

std::string debugger_text()
{
    const char* marks[] = {"clear", "on", "off"};
    PokeFlag = 1;
    show_machine();
    std::string text = dbg.status.empty() ? "" : dbg.status + "\n";
    text += "A: " + dbg.a + " " + dbg.a_bits + "\nX: " + dbg.x + " " + dbg.x_bits + "\nY: " + dbg.y +
            " " + dbg.y_bits + "\nS: " + dbg.s + " " + dbg.s_bits + "\nPC: " + dbg.pc + " " + dbg.pc_bits +
            "\nP: " + dbg.p + " " + dbg.p_bits + " NV-BDIZC\nEffective Adr: " + dbg.effective + "\nIRQ: " +
            marks[dbg.irq] + "  NMI: " + marks[dbg.nmi] + "\nBreakpoint: " + dbg.breakpoint + "\n" +
            points_text() + (dbg.disp_mem ? "Memory" : "Stack") + " Start: " + dbg.memory_start + "\n" + dbg.dump +
            dbg.last + "\r\n" + dbg.current + "\r\n" + dbg.next;
    std::string plain;
    for (char c : text)
        if (c != '\r')
            plain += c;
    return plain;
}
