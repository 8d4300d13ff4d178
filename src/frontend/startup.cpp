#include "frontend/startup.h"

#include "config/config.h"
#include "cpu/loop.h"
#include "frontend/screen.h"
#include "host/host.h"
#include "machine/disk.h"
#include "machine/tape.h"
#include "machine/video.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

// A configuration named on the command line: a relative name is looked for in the current
// folder first, then in the program folder.
static std::string find_config(const std::string& name)
{
    std::error_code ec;
    std::filesystem::path here = std::filesystem::path(host->current_dir()) / name;
    if (std::filesystem::path(name).is_relative() && std::filesystem::is_regular_file(here, ec))
        return here.string();
    return program_path(name);
}

bool start_machine(const std::string& program_file, const std::string& config_arg)
{
    sWinX = std::min(host->desktop_width(), 2048);
    sWinY = host->desktop_height();
    zoomx = std::max(sWinX >> 9, 1);
    zoomy = std::max(sWinY >> 9, 1);
    make_glyph_sets();

    size_t cut = program_file.find_last_of("/\\:");
    sztFileHome = cut == std::string::npos ? "./" : program_file.substr(0, cut + 1);
    sztFilePath = sztFileHome;
    SYS[6] = config_arg.empty() ? program_path("OSI.INI") : find_config(config_arg);
    std::error_code ec;
    if (!config_arg.empty() && !std::filesystem::is_regular_file(SYS[6], ec)) {
        Quit("Configuration file not found: " + SYS[6]);
        return false;
    }

    AllocMem();
    if (!Abort)
        return false;
    OSIini(SYS[6]);
    SetScreenCheck(screen);
    if (!SYS[7].empty())
        Quit(SYS[7]);
    return Abort != 0;
}

void Quit(const std::string& text)
{
    host->message_box(text, "ERROR during System Boot", MSG_ERROR);
    Abort = 0;
}

void Terminate()
{
    std::free(RAMptr);
    RAMptr = nullptr;
    tape_close_all();
    disk_detach();
}
