// Everything the emulation asks of the platform. The Qt window and the headless
// runner each provide one implementation; `host` points at the one in use.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum MsgIcon { MSG_ERROR, MSG_INFO };

// The main window's client area: 32-bit pixels, row by row.
struct Surface {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

class Host {
public:
    virtual ~Host() = default;
    // Batches of messages from the window (keys, menus, buttons) and steps of the runner that
    // have reached the machine; the debugger's history takes a snapshot after each.
    uint64_t inputs = 0;

    // A monotonic microsecond clock, and a sleep that may well take longer than asked.
    virtual uint64_t clock_us() = 0;
    virtual void sleep_us(uint64_t us) = 0;
    uint32_t clock_ms() { return uint32_t(clock_us() / 1000); }
    // Raise the timer resolution for the loop; false when the platform cannot tell.
    virtual bool fine_timer(bool on) = 0;

    // Handle at most one pending user-interface event.
    virtual void dispatch_event() = 0;

    virtual void message_box(const std::string& text, const std::string& caption, MsgIcon icon) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool ask(const std::string& text, const std::string& caption) = 0;
    // A modal dialog of the main window, by its DialogTemplate number.
    virtual void show_dialog(int dialog) = 0;
    // The "KCS Parameter Setup" dialog over the decoding parameters and KCSfile; true for OK.
    virtual bool kcs_dialog() = 0;

    // mode 0 save, 1 open; an empty result means the user cancelled.
    virtual std::string choose_file(const std::string& folder, int mode, const std::string& name) = 0;

    virtual void check_menu(int id, bool checked) = 0;
    // Attach (true) or detach the main window's menu bar.
    virtual void show_menu(bool on) = 0;
    // Queue a menu command for the main window (handled by a later dispatch_event),
    // or handle it at once.
    virtual void post_command(int id) = 0;
    virtual void send_command(int id) = 0;

    virtual bool debugger_exists() = 0;
    virtual void open_debugger(const std::string& text) = 0;
    virtual void refresh_debugger() = 0;
    virtual void close_debugger() = 0;
    virtual bool speed_exists() = 0;
    virtual void open_speed() = 0;
    virtual void refresh_speed() = 0;
    virtual void close_speed() = 0;

    // The main window's pixel surface; a repaint shows the given rectangle of it.
    virtual Surface& surface() = 0;
    virtual void repaint(int x, int y, int w, int h) = 0;
    // Give the main window this client size (the whole desktop in full-screen mode), and
    // ask for a full redraw, which the window answers by redrawing every text cell.
    virtual void set_client_size(int width, int height) = 0;
    virtual void invalidate() = 0;
    virtual int desktop_width() = 0;
    virtual int desktop_height() = 0;

    // Start an external program; with wait, its exit status (-1 when it could not run or did not
    // end normally). Its standard error goes to the file `errors` unless that is "".
    virtual int run_program(const std::vector<std::string>& args, bool wait, const std::string& errors) = 0;

    // The text on the desktop's clipboard, "" when it holds none.
    virtual std::string clipboard_text() = 0;

    virtual std::string temp_dir() = 0;
    virtual std::string current_dir() = 0;
};

extern Host* host;
