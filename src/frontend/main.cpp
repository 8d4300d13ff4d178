#include "frontend/headless/runner.h"
#ifdef QUARZEL_GUI
#include "frontend/qt/qt_main.h"
#endif

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

// The executable's own path, from which the program directory follows.
static std::string program_file(const char* argv0)
{
    std::error_code error;
#ifdef _WIN32
    wchar_t path[32768];
    DWORD n = GetModuleFileNameW(nullptr, path, 32768);
    std::filesystem::path self = n > 0 && n < 32768 ? std::filesystem::path(path) : std::filesystem::path();
#else
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
#endif
    if (error || self.empty())
        self = std::filesystem::absolute(argv0, error);
    return self.string();
}

// A window program on Windows has no console of its own: the runner's output goes to the
// console it was started from.
static void use_parent_console()
{
#if defined(_WIN32) && defined(QUARZEL_GUI)
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
}

// The runner reads every command line but the window's, which is at most a configuration
// file; --help and --version need no display.
int main(int argc, char** argv)
{
    use_parent_console();
    for (int i = 1; i < argc; i++)
        for (const char* own : {"--headless", "--help", "--version"})
            if (std::strcmp(argv[i], own) == 0)
                return headless_main(argc, argv, program_file(argv[0]));
    for (int i = 1; i < argc; i++)
        if (argv[i][0] == '-')
            return bad_usage(std::string("unknown option ") + argv[i]);
    if (argc > 2)
        return bad_usage("only one configuration file may be named");
#ifdef QUARZEL_GUI
    return qt_main(argc, argv, program_file(argv[0]));
#else
    return bad_usage("this quarzel is built without its window: use --headless");
#endif
}
