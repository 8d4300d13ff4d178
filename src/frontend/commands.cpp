#include "frontend/commands.h"

#include "cassette/wave.h"
#include "config/config.h"
#include "cpu/loop.h"
#include "debugger/debugger.h"
#include "frontend/screen.h"
#include "host/files.h"
#include "host/host.h"
#include "machine/tape.h"
#include "machine/video.h"

#include <cstdio>
#include <cstdlib>

int MenuOn = 1;

void ShowMenu(int on)
{
    if (on == MenuOn)
        return;
    host->show_menu(on);
    MenuOn = on;
}

// A ROM that failed to load is told at once; the machine goes on with that area reading 0.
void reload_configuration()
{
    OSIini("");
    SetScreenCheck(screen);
    if (!SYS[7].empty())
        host->message_box(SYS[7], "ERROR Message", MSG_ERROR);
    if (host->debugger_exists())
        host->close_debugger();
    if (host->speed_exists())
        host->close_speed();
}

static void load_config_file()
{
    DiskSelect(sztFilePath, 1, "*.ini");
    if (std::FILE* f = open_read(sztFileName)) {
        std::fclose(f);
        SYS[6] = sztFileName;
    }
    reload_configuration();
}

// $VISUAL, $EDITOR, or the desktop's opener.
static void edit_config_file()
{
    const char* editor = std::getenv("VISUAL");
    if (!editor || !*editor)
        editor = std::getenv("EDITOR");
#ifdef _WIN32
    const char* fallback = "Notepad.exe";
#else
    const char* fallback = "xdg-open";
#endif
    host->run_program({editor && *editor ? editor : fallback, SYS[6]}, false);
}

static void fullscreen()
{
    if (FullscreenEnabled) {
        FullscreenEnabled = 0;
        host->check_menu(125, false);
    } else {
        FullscreenEnabled = 1;
        host->check_menu(125, true);
        ShowMenu(0);
    }
    SetScreenCheck(screen);
}

static void set_screen(uint32_t mode)
{
    screen = mode;
    SetScreenCheck(screen);
}

void menu_command(int id)
{
    switch (id) {
    case 101: Abort = 0; break;
    case 102: host->show_dialog(1); break;
    case 103: FileMenue(""); break;
    case 105: FileSaveMenue(); break;
    case 107: host->show_dialog(2); break;
    case 108: Reset(); break;
    case 109:
        SEnable = 1;
        SMode = 0;
        Open_Processor("Debugger");
        break;
    case 110: edit_config_file(); break;
    case 111: set_screen(screen ^ 0x10); break;
    case 112:
        IEnable = 1 - IEnable;
        host->check_menu(112, IEnable);
        break;
    case 113: reload_configuration(); break;
    case 114: set_screen(screen & 0x12); break;
    case 115: set_screen((screen & 0x15) | 2); break;
    case 116: set_screen(screen & 0x15); break;
    case 119: ToggleGraphik(); break;
    case 120: set_screen((screen & 0x12) | 4); break;
    case 121: load_config_file(); break;
    case 123: KCSConvert(); break;
    case 122:
        DEnable = 1 - DEnable;
        host->check_menu(122, DEnable);
        break;
    case 124: CloseSavedFiles(); break;
    case 125: fullscreen(); break;
    default: break;
    }
    if (FullscreenEnabled)
        ShowMenu(1);  // a command leaves the menu bar attached in full-screen mode
}
