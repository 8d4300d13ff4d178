// The debugger window's logic: what each field shows and what each button does. The window
// itself belongs to the host and shows `dbg`; the loop's hook drives the stepping.
#pragma once
#include <string>

extern int TraceMode;
extern int MSEnable;  // 1: the dump shows memory from memd; 0: the stack
extern unsigned memd;

// The texts of the window's fields. The three address fields are edits: the window writes
// what the user typed into them before it passes a button on.
struct DebuggerView {
    std::string a, x, y, s, a_bits, x_bits, y_bits, s_bits;
    std::string pc, pc_bits, p, p_bits, effective;
    int irq = 0, nmi = 0;  // 0 clear, 1 checked, 2 grey
    bool stop_on_error = false, trace_into = true, disp_mem = true;
    std::string memory_start = "0000", pc_field, breakpoint;
    std::string bytes, find;  // Write puts `bytes` at the memory start; Find looks for `find` after it
    // The list's lines: the SetBP breakpoint when there is one, the breakpoints, the
    // watchpoints; the line On/Off and Remove act on, and the text Break and Watch add.
    std::string points, point_field;
    int point_index = -1;
    bool tracing = false;
    std::string trace;  // the trace's lines while the machine is halted
    std::string dump, last, current, next;
    // "Processor halted by JAM at $xxxx" while it is, else why the machine stopped or what the
    // last Write or Find did, else empty
    std::string status;
};
extern DebuggerView dbg;

// What the window's buttons ask of the layers above; they fill it in at start-up.
struct DebuggerHooks {
    void (*on_hard_reset)();   // Hard-Reset: the machine rebuilt from its configuration
    void (*on_edit_config)();  // Edit Config: the configuration file in the user's editor
};
extern DebuggerHooks debugger_hooks;

// Opens the debugger window, or asks it to close when it is open.
void Open_Processor(const char* text);
// Called by the host once its debugger window has closed.
void debugger_closed();
// Refreshes `dbg` as the hook and the buttons ask, then has the host show it.
void display_registers();
// An undefined opcode ran with the error stop on, or a JAM halted the processor: the machine
// stops in the debugger, which opens with `text` when it is closed.
void stop_on_undefined_opcode(const char* text);
// A button or toggle of the window (DebuggerControl ids).
void debugger_command(int id);
// An address field: a label's name, else up to four hex digits, stopping at the first other
// character; empty is 0, and text that starts with no hex digit keeps the previous value.
unsigned read_hex_field(const std::string& field, unsigned previous);
// "$ADDR   " and the instruction there, as the disassembly lines show it, after "LABEL: " when
// the address has one and with labels for the addresses of operands; `length` gets its length.
std::string instruction_line(unsigned address, int* length = nullptr);
// The eight binary digits of a byte, most significant first.
std::string binary(unsigned byte);
// Every field as text, one per line or block, for the headless runner; a halted processor's
// status comes first.
std::string debugger_text();
