// The desktop host: the main window, Qt dialogs and the real clock.
#pragma once
#include "host/host.h"

#include <QElapsedTimer>

#include <deque>
#include <functional>
#include <memory>

class DebuggerWindow;
class MainWindow;
class SpeedWindow;

class QtHost : public Host {
public:
    QtHost();
    ~QtHost() override;

    uint64_t clock_us() override { return uint64_t(timer.nsecsElapsed() / 1000); }
    void sleep_us(uint64_t us) override;
    bool fine_timer(bool on) override;
    void dispatch_event() override;
    void message_box(const std::string& text, const std::string& caption, MsgIcon icon) override;
    bool ask(const std::string& text, const std::string& caption) override;
    void show_dialog(int dialog) override;
    bool kcs_dialog() override;
    std::string choose_file(const std::string& folder, int mode, const std::string& name) override;
    void check_menu(int id, bool checked) override;
    void show_menu(bool on) override;
    void post_command(int id) override;
    void send_command(int id) override;
    bool debugger_exists() override { return debugger != nullptr; }
    void open_debugger(const std::string& text) override;
    void refresh_debugger() override;
    void close_debugger() override;
    bool speed_exists() override { return speed != nullptr; }
    void open_speed() override;
    void refresh_speed() override;
    void close_speed() override;
    Surface& surface() override { return main_surface; }
    void repaint(int x, int y, int w, int h) override;
    void set_client_size(int width, int height) override;
    void invalidate() override;
    int desktop_width() override;
    int desktop_height() override;
    int run_program(const std::vector<std::string>& args, bool wait, const std::string& errors) override;
    std::string clipboard_text() override;
    std::string temp_dir() override;
    std::string current_dir() override;

    MainWindow* window() const { return main_window.get(); }
    DebuggerWindow* debugger_window() const { return debugger.get(); }
    SpeedWindow* speed_window() const { return speed.get(); }
    // Menu commands and key events, handled between time slices.
    std::deque<std::function<void()>> messages;

private:
    QElapsedTimer timer;
    Surface main_surface;
    std::unique_ptr<MainWindow> main_window;
    std::unique_ptr<DebuggerWindow> debugger;
    std::unique_ptr<SpeedWindow> speed;
    unsigned fine_period = 0;  // the timer resolution raised, in ms; 0 when it was not
    qint64 processed_at = 0;   // when Qt's events were last handled, in ns
};
