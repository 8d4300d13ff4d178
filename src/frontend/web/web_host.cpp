#include "frontend/web/web_host.h"

#include "cpu/bus.h"
#include "frontend/commands.h"
#include "host/ids.h"
#include "machine/video.h"

#include <emscripten.h>

#include <cstdio>

int kcs_main(int argc, char** argv);

WebHost web_host;

WebHost::WebHost() { set_client_size(304, 296); }

uint64_t WebHost::clock_us() { return uint64_t(emscripten_get_now() * 1000); }

// Commands a command posted run once it is done, as the window's queue runs them.
void WebHost::dispatch_event()
{
    std::vector<int> now;
    now.swap(posted);
    for (int id : now)
        menu_command(id);
}

void WebHost::send_command(int id) { menu_command(id); }

void WebHost::message_box(const std::string& text, const std::string& caption, MsgIcon icon)
{
    EM_ASM({ Module.showMessage(UTF8ToString($0), UTF8ToString($1), $2); }, text.c_str(), caption.c_str(),
           icon == MSG_ERROR);
}

bool WebHost::ask(const std::string& text, const std::string& caption)
{
    return EM_ASM_INT({ return window.confirm(UTF8ToString($1) + "\n\n" + UTF8ToString($0)) ? 1 : 0; }, text.c_str(),
                      caption.c_str());
}

void WebHost::show_dialog(int dialog)
{
    if (dialog == DLG_HELP)
        EM_ASM({ Module.showHelp(); });
    else if (dialog == DLG_ABOUT)
        message_box(about_text(), "About Quarzel", MSG_INFO);
}

std::string WebHost::choose_file(const std::string&, int, const std::string&)
{
    if (file_answers.empty())
        return "";
    std::string answer = file_answers.front();
    file_answers.pop_front();
    return answer;
}

void WebHost::check_menu(int id, bool checked) { EM_ASM({ Module.checkMenu($0, $1); }, id, checked); }

void WebHost::open_debugger(const std::string& text) { message_box(text, "Debugger", MSG_INFO); }

void WebHost::set_client_size(int width, int height)
{
    main_surface.width = width;
    main_surface.height = height;
    main_surface.pixels.assign(size_t(width) * height, 0xFF000000);
    dirty = true;
    EM_ASM({ Module.resizeScreen($0, $1); }, width, height);
}

void WebHost::invalidate()
{
    if (RAMptr)
        restvid();
    dirty = true;
}

// The one program the emulation starts and waits for, the Kansas City decoder, is part of
// the page; its report goes where a program's standard error would.
int WebHost::run_program(const std::vector<std::string>& args, bool wait, const std::string& errors)
{
    if (!wait || args.empty() || args[0].find("KCS") == std::string::npos)
        return -1;
    std::vector<std::string> words = args;
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    std::FILE* report = errors.empty() ? nullptr : std::freopen(errors.c_str(), "w", stderr);
    int status = kcs_main(int(words.size()), argv.data());
    if (report)
        std::freopen("/dev/null", "w", stderr);
    return status;
}

const uint8_t* WebHost::rgba()
{
    if (dirty || canvas.size() != main_surface.pixels.size() * 4) {
        canvas.resize(main_surface.pixels.size() * 4);
        for (size_t i = 0; i < main_surface.pixels.size(); i++) {
            uint32_t p = main_surface.pixels[i];
            canvas[4 * i] = uint8_t(p >> 16);
            canvas[4 * i + 1] = uint8_t(p >> 8);
            canvas[4 * i + 2] = uint8_t(p);
            canvas[4 * i + 3] = 0xFF;
        }
        dirty = false;
    }
    return canvas.data();
}
