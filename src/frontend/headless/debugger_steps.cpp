#include "frontend/headless/steps.h"

#include "debugger/breakpoints.h"
#include "debugger/debugger.h"
#include "debugger/labels.h"
#include "debugger/memory_edit.h"
#include "debugger/rewind.h"
#include "frontend/speed.h"
#include "host/ids.h"

#include <cstdio>

int run_set_pc(const Step& s)
{
    R.PC = s.number;
    return 0;
}

int run_speed(const Step&)
{
    std::string report;
    bool done = run_speed_test(report);
    std::fputs(report.c_str(), stdout);
    return done ? 0 : 2;
}

int run_debugger_text(const Step&)
{
    std::fputs(debugger_text().c_str(), stdout);
    return 0;
}

// A machine halted at a breakpoint or by --step runs on, as closing the debugger lets it.
int run_free(const Step&)
{
    headless.events.clear();  // the debugger a breakpoint asked for is not wanted any more
    if (host->debugger_exists())
        host->close_debugger();
    DEnable = 0;
    SEnable = 1;
    SMode = 0;
    return 0;
}

namespace {

int added(const Step& s, const std::string& problem)
{
    if (problem.empty())
        return 0;
    std::fprintf(stderr, "quarzel: %s %s\n", s.row->name, problem.c_str());
    return 2;
}

} // namespace

int run_break(const Step& s) { return added(s, add_breakpoint(s.values[0])); }

int run_watch(const Step& s) { return added(s, add_watchpoint(s.values[0])); }

int run_labels(const Step& s) { return added(s, load_labels(s.values[0])); }

int run_poke(const Step& s) { return added(s, poke_text(s.values[0])); }

int run_back_steps(const Step& s) { return added(s, step_back(s.number)); }

int run_back_to_hit(const Step&)
{
    std::printf("%s\n", run_back().c_str());
    return 0;
}

// Each step is the Single Step button: one instruction, or a whole subroutine when "Trace into
// subs" is off. A running machine is halted where it stands first.
int run_steps(const Step& s)
{
    if (!DEnable) {
        DEnable = 1;
        SEnable = SMode = 0;
    }
    for (uint64_t i = 0; i < s.number; i++) {
        debugger_command(DBG_SINGLE_STEP);
        if (!run_until([] { return SEnable == 0 && SMode == 0; }, options.limit)) {
            std::fprintf(stderr, "quarzel: --step did not come back within %llu cycles\n",
                         (unsigned long long)options.limit);
            return 3;
        }
    }
    return 0;
}
