#include "frontend/headless/headless_host.h"

#include "cassette/wave.h"
#include "cpu/bus.h"
#include "debugger/debugger.h"
#include "frontend/commands.h"
#include "frontend/speed.h"
#include "host/process.h"
#include "machine/video.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

HeadlessHost::HeadlessHost() { set_client_size(304, 296); }

void HeadlessHost::set_client_size(int width, int height)
{
    main_surface.width = width;
    main_surface.height = height;
    main_surface.pixels.assign(size_t(width) * height, 0xFF000000);
}

// The paint handler of a window: every text cell is drawn again.
void HeadlessHost::invalidate()
{
    if (RAMptr)
        restvid();
}

void HeadlessHost::sleep_us(uint64_t us)
{
    now_us += us + oversleep_us;
    sleeps++;
}

bool HeadlessHost::fine_timer(bool) { return timer_ok; }

// The events that were waiting; those they post wait for the next call.
void HeadlessHost::dispatch_event()
{
    std::deque<std::function<void()>> now;
    now.swap(events);
    inputs += !now.empty();
    for (auto& event : now)
        event();
}

void HeadlessHost::message_box(const std::string& text, const std::string& caption, MsgIcon icon)
{
    messages.push_back({text, caption, icon});
    if (echo_messages)
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

bool HeadlessHost::ask(const std::string& text, const std::string& caption)
{
    questions.push_back(text);
    bool yes = answers.empty() || answers.front();
    if (!answers.empty())
        answers.pop_front();
    if (echo_messages)
        std::fprintf(stderr, "%s: %s %s\n", caption.c_str(), text.c_str(), yes ? "Yes" : "No");
    return yes;
}

std::string HeadlessHost::choose_file(const std::string&, int, const std::string&)
{
    if (file_answers.empty())
        return "";
    std::string answer = file_answers.front();
    file_answers.pop_front();
    return answer;
}

bool HeadlessHost::kcs_dialog()
{
    if (!kcs_output.empty())
        KCSfile = kcs_output;
    return kcs_ok;
}

void HeadlessHost::open_speed()
{
    speed_window = true;
    speed_open();
}

void HeadlessHost::close_speed()
{
    speed_window = false;
    speed_closed();
}

void HeadlessHost::post_command(int id)
{
    posted.push_back(id);
    events.push_back([id] { menu_command(id); });
}

void HeadlessHost::send_command(int id)
{
    sent.push_back(id);
    menu_command(id);
}

void HeadlessHost::open_debugger(const std::string& text)
{
    debugger_open = true;
    debugger_text = text;
}

void HeadlessHost::close_debugger()
{
    debugger_open = false;
    debugger_closed();
}

int HeadlessHost::run_program(const std::vector<std::string>& args, bool wait, const std::string& errors)
{
    return start_program(args, wait, {"", "", errors});
}

// $TMPDIR as it stands, so that a folder that is not there is named in the message about it.
std::string HeadlessHost::temp_dir()
{
    if (!temp_folder.empty())
        return temp_folder;
#ifdef _WIN32
    std::error_code ec;
    return std::filesystem::temp_directory_path(ec).string();
#else
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
#endif
}

std::string HeadlessHost::current_dir()
{
    std::error_code ec;
    return std::filesystem::current_path(ec).string();
}
