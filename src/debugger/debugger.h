// The debugger window's control logic; the window itself belongs to the host.
#pragma once

extern int TraceMode;

// Opens the debugger window, or asks it to close when it is open.
void Open_Processor(const char* text);
// Called by the host once its debugger window has closed.
void debugger_closed();
void display_registers();
