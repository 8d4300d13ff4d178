#include "frontend/startup.h"

#include "config/config.h"
#include "debugger/breakpoints.h"
#include "debugger/debugger.h"
#include "debugger/rewind.h"
#include "frontend/commands.h"
#include "frontend/savestate.h"
#include "frontend/screen.h"
#include "frontend/speed.h"
#include "host/host.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/memory_map.h"
#include "machine/tape.h"
#include "machine/video.h"

#include <algorithm>
#include <cstdio>
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

namespace {

bool writable(const std::string& folder)
{
    std::string probe = folder + ".quarzel-write-test";
    std::FILE* f = std::fopen(probe.c_str(), "wb");
    if (!f)
        return false;
    std::fclose(f);
    std::remove(probe.c_str());
    return true;
}

// $XDG_DATA_HOME/quarzel, by default ~/.local/share/quarzel; on Windows in the user's
// application data.
std::filesystem::path user_data_folder()
{
#ifdef _WIN32
    const char* appdata = std::getenv("APPDATA");
    return appdata && *appdata ? std::filesystem::path(appdata) / "Quarzel" : std::filesystem::path();
#else
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/')
        return std::filesystem::path(data) / "quarzel";
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) / ".local/share/quarzel" : std::filesystem::path();
#endif
}

// The program folder when the program may write there (a build folder), else the user's data
// folder, which its first use fills with copies of the shipped configuration and layout.
std::string data_folder()
{
    std::filesystem::path data = user_data_folder();
    if (writable(sztFileHome) || data.empty())
        return sztFileHome;
    std::error_code ec;
    std::filesystem::create_directories(data / "FILES", ec);
    if (ec)
        return sztFileHome;
    for (const char* name : {"OSI.INI", "KEY.DAT"})
        std::filesystem::copy_file(sztFileHome + name, data / name, std::filesystem::copy_options::skip_existing, ec);
    return (data / "").string();
}

} // namespace

void connect_layers()
{
    cpu_hooks.on_undefined_opcode = stop_on_undefined_opcode;
    loop_hooks.on_debugger_refresh = display_registers;
    loop_hooks.on_break = breakpoint_stops;
    memory_map_hooks.on_built = apply_breakpoints;
    loop_hooks.on_slice_end = [] {
        if (host->speed_exists())
            Speed_display();
    };
    keyboard_hooks.on_command_key = command_key;
    config_hooks.on_rebuild = [] {
        select_font(false);
        aw_speed[1] = SpeedPos;
    };
    debugger_hooks.on_hard_reset = [] { reload_configuration(); };
    debugger_hooks.on_edit_config = edit_config_file;
    video_hooks.on_format_change = [] { SetScreenCheck(screen); };
    history_hooks.state_image = state_image;
    history_hooks.restore_state = [](const std::string& image) {
        std::string notes;
        return restore_state(std::vector<uint8_t>(image.begin(), image.end()), "the snapshot", notes);
    };
    loop_hooks.on_slice_start = history_slice_start;
}

bool start_machine(const std::string& program_file, const std::string& config_arg)
{
    connect_layers();
    sWinX = std::min(host->desktop_width(), 2048);
    sWinY = host->desktop_height();
    zoomx = std::max(sWinX >> 9, 1);
    zoomy = std::max(sWinY >> 9, 1);
    make_glyph_sets();

    size_t cut = program_file.find_last_of("/\\:");
    sztFileHome = cut == std::string::npos ? "./" : program_file.substr(0, cut + 1);
    sztFileData = data_folder();
    sztFilePath = sztFileData;
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
