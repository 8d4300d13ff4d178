// The scripted host: a virtual clock that a sleep advances at once, a queue of pending
// events, and a record of everything the emulation asked of the host.
#pragma once
#include "host/host.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct ShownMessage {
    std::string text;
    std::string caption;
    MsgIcon icon;
};

class HeadlessHost : public Host {
public:
    HeadlessHost();

    uint64_t clock_us() override { return now_us; }
    void sleep_us(uint64_t us) override;
    bool fine_timer(bool on) override;
    void dispatch_event() override;
    void message_box(const std::string& text, const std::string& caption, MsgIcon icon) override;
    bool ask(const std::string& text, const std::string& caption) override;
    void show_dialog(int dialog) override { dialogs.push_back(dialog); }
    bool kcs_dialog() override;
    std::string choose_file(const std::string& folder, int mode, const std::string& name) override;
    void check_menu(int id, bool checked) override { marks[id] = checked; }
    void show_menu(bool on) override { menu_on = on; }
    void post_command(int id) override;
    void send_command(int id) override;
    bool debugger_exists() override { return debugger_open; }
    void open_debugger(const std::string& text) override;
    void refresh_debugger() override { debugger_refreshes++; }
    void close_debugger() override;
    bool speed_exists() override { return speed_window; }
    void open_speed() override;
    void refresh_speed() override { speed_refreshes++; }
    void close_speed() override;
    Surface& surface() override { return main_surface; }
    void repaint(int, int, int, int) override {}
    void set_client_size(int width, int height) override;
    void invalidate() override;
    int desktop_width() override { return 1024; }
    int desktop_height() override { return 768; }
    int run_program(const std::vector<std::string>& args, bool wait, const std::string& errors) override;
    std::string clipboard_text() override { return clipboard; }
    std::string temp_dir() override;
    std::string current_dir() override;

    // Script and record.
    uint64_t now_us = 0;
    uint64_t oversleep_us = 0;  // what every sleep takes beyond its time
    uint32_t sleeps = 0;
    bool timer_ok = true;
    bool echo_messages = false;
    std::deque<std::function<void()>> events;
    std::deque<std::string> file_answers;
    std::string kcs_output;  // the decoder's output file the KCS dialog chooses ("" keeps it)
    bool kcs_ok = true;
    std::string clipboard;
    std::string temp_folder;  // the temporary folder; "" for the system's
    std::vector<ShownMessage> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;  // to the questions in turn; Yes when none is left
    std::vector<int> posted, sent, dialogs;
    std::map<int, bool> marks;
    bool menu_on = true;
    bool debugger_open = false;
    bool speed_window = false;
    int speed_refreshes = 0;
    std::string debugger_text;
    int debugger_refreshes = 0;
    Surface main_surface;
};
