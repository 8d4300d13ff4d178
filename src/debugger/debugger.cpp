#include "debugger/debugger.h"

#include "cpu/loop.h"
#include "host/host.h"
#include "host/menu.h"

int TraceMode = 1;

void Open_Processor(const char* text)
{
    if (host->debugger_exists()) {
        host->check_menu(CMD_DEBUGGER, false);
        host->close_debugger();
        return;
    }
    host->check_menu(CMD_DEBUGGER, true);
    host->open_debugger(text);
    trace_loc = 0xFFFF;
    DEnable = 1;
    host->check_menu(CMD_PAUSE, true);
}

void debugger_closed()
{
    host->check_menu(CMD_DEBUGGER, false);
    SEnable = 1;
    SMode = 0;
    DEnable = 0;
    host->check_menu(CMD_PAUSE, false);
}

// While a step over a subroutine is pending nothing is redrawn and the control state stays.
void display_registers()
{
    if (trace_loc != 0xFFFF || !host->debugger_exists())
        return;
    if (SEnable)
        host->refresh_debugger();
    DebugRDY = 1;
    SEnable = SMode;
}
