#include "frontend/commands.h"

#include "cassette/wave.h"
#include "config/config.h"
#include "debugger/debugger.h"
#include "frontend/savestate.h"
#include "frontend/screen.h"
#include "frontend/speed.h"
#include "host/files.h"
#include "host/host.h"
#include "host/ids.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/sound.h"
#include "machine/tape.h"
#include "machine/typist.h"
#include "machine/video.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

int MenuOn = 1;

void command_key(const HotKey& k)
{
    switch (k.action) {
    case POST: host->post_command(k.arg); break;
    case FULLSCREEN:
        host->post_command(k.arg);
        ShowMenu(FullscreenEnabled ? 1 : 0);
        break;
    case OPEN_TAPE: FileMenue(""); break;
    case SAVE_TAPE: FileSaveMenue(); break;
    case GRAPHICS: ToggleGraphik(); break;
    case RESET: Reset(); break;
    case CAPS:
    case SPECIAL: break;
    }
}

void ShowMenu(int on)
{
    if (on == MenuOn)
        return;
    host->show_menu(on);
    MenuOn = on;
}

bool reload_configuration(const std::string& chosen)
{
    const std::string path = chosen.empty() ? SYS[6] : chosen;
    std::string problem = configuration_problem(path);
    if (!problem.empty()) {
        host->message_box("The configuration " + path + " cannot be used, and the machine goes on as it was:\n" + problem,
                          "ERROR Message", MSG_ERROR);
        return false;
    }
    OSIini(path);
    SetScreenCheck(screen);
    if (host->debugger_exists())
        host->close_debugger();
    if (host->speed_exists())
        host->close_speed();
    return true;
}

// A cancelled chooser leaves the machine alone.
static void load_config_file()
{
    std::string path = select_file(1, "*.ini");
    if (!path.empty())
        reload_configuration(path);
}

namespace {

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

#ifndef _WIN32
// Editors that need a terminal of their own when the emulator has none.
const char* const terminal_editors[] = {"vi", "vim", "nvim", "nano", "pico", "ed", "micro", "joe", "ne", "mcedit",
                                        "hx", "helix", "kak", "emacs-nox"};

bool in_terminal(const std::string& program)
{
    std::string name = program.substr(program.find_last_of('/') + 1);
    return std::find(std::begin(terminal_editors), std::end(terminal_editors), name) != std::end(terminal_editors);
}
#endif

// $VISUAL or $EDITOR with its arguments; a terminal editor inside the desktop's terminal.
std::vector<std::string> editor_command()
{
    const char* editor = std::getenv("VISUAL");
    if (!editor || !*editor)
        editor = std::getenv("EDITOR");
    std::vector<std::string> command = words(editor ? editor : "");
#ifdef _WIN32
    if (command.empty())
        command = {"Notepad.exe"};
#else
    if (command.empty())
        command = {"xdg-open"};
    else if (in_terminal(command[0]))
        command.insert(command.begin(), {"x-terminal-emulator", "-e"});
#endif
    return command;
}

} // namespace

void edit_config_file()
{
    std::vector<std::string> command = editor_command();
    command.push_back(SYS[6]);
    if (host->run_program(command, false, "") == 0)
        return;
#ifndef _WIN32
    if (command[0] == "x-terminal-emulator" && host->run_program({"xdg-open", SYS[6]}, false, "") == 0)
        return;
#endif
    host->message_box("Unable to start the editor " + command[0] + " for " + SYS[6], "ERROR Message", MSG_ERROR);
}

std::string about_text()
{
    return "Ohio Scientific Emulator\nSUPERBOARD II, UK101, C1P\nVersion " QUARZEL_VERSION "\n6502 CPU\n\n"
           "Copyright (c) 2026 the Quarzel developers.\nFree software under the MIT licence:\n"
           "use, change and share it, our ROMs included.";
}

static void fullscreen()
{
    if (FullscreenEnabled) {
        FullscreenEnabled = 0;
        host->check_menu(CMD_FULLSCREEN, false);
    } else {
        FullscreenEnabled = 1;
        host->check_menu(CMD_FULLSCREEN, true);
        ShowMenu(0);
    }
    SetScreenCheck(screen);
}

// Leaving the pause runs the instruction the machine stands on, so that a breakpoint there
// does not stop it again at once.
static void pause()
{
    DEnable = 1 - DEnable;
    host->check_menu(CMD_PAUSE, DEnable);
    if (!DEnable)
        SEnable = 1;
}

static void translate_keys()
{
    Translate = !Translate;
    host->check_menu(CMD_TRANSLATE_KEYS, Translate);
}

// Line ends of any system become RETURN and tabs blanks; other control characters would be
// Ctrl keys and are dropped. What the OSI keyboard lacks is left out and named.
static void paste_text()
{
    std::string text;
    const std::string clip = host->clipboard_text();
    for (size_t i = 0; i < clip.size(); i++) {
        char c = clip[i] == '\n' ? '\r' : clip[i] == '\t' ? ' ' : clip[i];
        bool crlf = clip[i] == '\r' && i + 1 < clip.size() && clip[i + 1] == '\n';
        if (!crlf && (c == '\r' || uint8_t(c) >= 0x20))
            text += c;
    }
    std::string missing = type_text(text);
    if (missing.empty())
        return;
    for (char& c : missing)
        c = uint8_t(c) < 0x80 ? c : '?';
    std::sort(missing.begin(), missing.end());
    missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
    host->message_box("The OSI keyboard has no key for these characters, which were left out: " + missing,
                      "Paste Text", MSG_INFO);
}

static void set_screen(uint32_t mode)
{
    screen = mode;
    SetScreenCheck(screen);
}

// The new diskette goes into drive B, beside the system diskette in drive A, where the DOS
// can initialise it.
static void new_diskette()
{
    std::string path = select_file(0, "*.os5");
    if (path.empty())
        return;
    std::string problem = disk_create(path);
    if (!problem.empty())
        host->message_box(problem, "New Diskette", MSG_ERROR);
    else if (disk_attach(1, path))
        host->message_box("The new diskette " + path + " is in drive B.", "New Diskette", MSG_INFO);
}

void menu_command(int id)
{
    switch (id) {
    case CMD_QUIT: Abort = 0; break;
    case CMD_ABOUT: host->show_dialog(DLG_ABOUT); break;
    case CMD_OPEN_FILES: FileMenue(""); break;
    case CMD_SAVE_FILES: FileSaveMenue(); break;
    case CMD_HELP: host->show_dialog(DLG_HELP); break;
    case CMD_BINARY_FILES: host->show_dialog(DLG_BINARY_FILES); break;
    case CMD_CONFIG_KEYBOARD: host->show_dialog(DLG_KEYBOARD); break;
    case CMD_SPEED:
        if (!host->speed_exists())
            host->open_speed();
        break;
    case CMD_SOFT_RESET:
        Reset();
        trace_loc = 0xFFFF;
        break;
    case CMD_DEBUGGER:
        SEnable = 1;
        SMode = 0;
        Open_Processor("Debugger");
        break;
    case CMD_EDIT_CONFIG: edit_config_file(); break;
    case CMD_GAME_FONT: set_screen(screen ^ 0x10); break;
    case CMD_INT_ENABLE:
        IEnable = 1 - IEnable;
        host->check_menu(CMD_INT_ENABLE, IEnable);
        break;
    case CMD_HARD_RESET: reload_configuration(); break;
    case CMD_SMALL_FONTS: set_screen(screen & 0x12); break;
    case CMD_64X32: set_screen((screen & 0x15) | 2); break;
    case CMD_32X32: set_screen(screen & 0x15); break;
    case CMD_GRAPHIC_MODE: ToggleGraphik(); break;
    case CMD_DOUBLE_FONTS: set_screen((screen & 0x12) | 4); break;
    case CMD_TINT_WHITE:
    case CMD_TINT_GREEN:
    case CMD_TINT_AMBER:
        ScreenTint = id - CMD_TINT_WHITE;
        SetScreenCheck(screen);
        break;
    case CMD_LOAD_CONFIG: load_config_file(); break;
    case CMD_CONVERT_KCS: KCSConvert(); break;
    case CMD_PAUSE: pause(); break;
    case CMD_CLOSE_SAVED: CloseSavedFiles(); break;
    case CMD_FULLSCREEN: fullscreen(); break;
    case CMD_TRANSLATE_KEYS: translate_keys(); break;
    case CMD_WARP: set_warp(!WarpEnable); break;
    case CMD_FAST_LOAD:
        FastLoad = !FastLoad;
        host->check_menu(CMD_FAST_LOAD, FastLoad);
        break;
    case CMD_SOUND:
        SoundEnable = !SoundEnable;
        host->check_menu(CMD_SOUND, SoundEnable);
        break;
    case CMD_NEW_DISK: new_diskette(); break;
    case CMD_PROTECT_A:
    case CMD_PROTECT_B: disk_protect(id - CMD_PROTECT_A, !disk_protect_switch(id - CMD_PROTECT_A)); break;
    case CMD_PASTE_TEXT: paste_text(); break;
    case CMD_SAVE_STATE: save_state_command(false); break;
    case CMD_LOAD_STATE: load_state_command(false); break;
    case CMD_QUICK_SAVE: save_state_command(true); break;
    case CMD_QUICK_LOAD: load_state_command(true); break;
    default: break;
    }
    if (FullscreenEnabled)
        ShowMenu(1);  // a command leaves the menu bar attached in full-screen mode
}
