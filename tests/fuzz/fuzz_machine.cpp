#include "fuzz_machine.h"

#include "config/config.h"
#include "frontend/screen.h"
#include "frontend/startup.h"
#include "fuzz_support.h"
#include "machine/loop.h"
#include "machine/video.h"

#include <cstdio>
#include <cstdlib>

HeadlessHost* fuzz_host;

namespace {

void new_host()
{
    delete fuzz_host;
    fuzz_host = new HeadlessHost;
    host = fuzz_host;
}

// The program's own start-up, once: glyph sets, memory, program folder.
void start_once()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    new_host();
    if (!start_machine(fuzz_path("quarzel"), "")) {
        std::fprintf(stderr, "the fuzz targets' machine does not boot: %s\n", SYS[7].c_str());
        std::abort();
    }
}

} // namespace

void fresh_start()
{
    FullscreenEnabled = 0;
    Hardware_timer = irq_counter = nmi_counter = 0;
    Abort = 1;
}

bool build_machine(const std::string& ini_text)
{
    start_once();
    new_host();
    fresh_start();
    write_file(fuzz_path("fuzz.ini"), ini_text);
    OSIini(fuzz_path("fuzz.ini"));
    SetScreenCheck(screen);
    return SYS[7].empty() && Abort;
}

void run_slices(int count)
{
    for (int i = 0; i < count && Abort; i++)
        run_slice();
}
