// The browser's host: the page's canvas shows the surface, its buttons and file inputs answer
// the file chooser, and its animation frames drive the loop (a browser cannot sleep).
#pragma once
#include "host/host.h"

#include <deque>
#include <string>
#include <vector>

class WebHost : public Host {
public:
    WebHost();

    uint64_t clock_us() override;
    void sleep_us(uint64_t) override {}
    bool fine_timer(bool) override { return true; }
    void dispatch_event() override;
    void message_box(const std::string& text, const std::string& caption, MsgIcon icon) override;
    bool ask(const std::string& text, const std::string& caption) override;
    void show_dialog(int dialog) override;
    bool kcs_dialog() override { return true; }
    std::string choose_file(const std::string& folder, int mode, const std::string& name) override;
    void check_menu(int id, bool checked) override;
    void show_menu(bool) override {}
    void post_command(int id) override { posted.push_back(id); }
    void send_command(int id) override;
    bool debugger_exists() override { return false; }
    void open_debugger(const std::string& text) override;
    void refresh_debugger() override {}
    void close_debugger() override {}
    bool speed_exists() override { return false; }
    void open_speed() override {}
    void refresh_speed() override {}
    void close_speed() override {}
    Surface& surface() override { return main_surface; }
    void repaint(int, int, int, int) override { dirty = true; }
    void set_client_size(int width, int height) override;
    void invalidate() override;
    int desktop_width() override { return 1024; }
    int desktop_height() override { return 768; }
    int run_program(const std::vector<std::string>& args, bool wait, const std::string& errors) override;
    std::string clipboard_text() override { return clipboard; }
    std::string temp_dir() override { return "/tmp"; }
    std::string current_dir() override { return "/quarzel"; }

    // What the page sets before a command that asks for a file or the clipboard.
    std::deque<std::string> file_answers;
    std::string clipboard;
    // The surface as the canvas takes it (bytes R, G, B, A), made again when it changed.
    const uint8_t* rgba();

private:
    Surface main_surface;
    std::vector<uint8_t> canvas;
    std::vector<int> posted;
    bool dirty = true;
};

extern WebHost web_host;
