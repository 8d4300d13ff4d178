#include "frontend/headless/runner.h"
#include "frontend/qt/qt_main.h"

#include <cstring>
#include <filesystem>
#include <system_error>

// The executable's own path, from which the program directory follows.
static std::string program_file(const char* argv0)
{
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        self = std::filesystem::absolute(argv0, error);
    return self.string();
}

// The runner reads every command line but the window's, which is at most a configuration
// file; --help and --version need no display.
int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++)
        for (const char* own : {"--headless", "--help", "--version"})
            if (std::strcmp(argv[i], own) == 0)
                return headless_main(argc, argv, program_file(argv[0]));
    for (int i = 1; i < argc; i++)
        if (argv[i][0] == '-')
            return bad_usage(std::string("unknown option ") + argv[i]);
    if (argc > 2)
        return bad_usage("only one configuration file may be named");
    return qt_main(argc, argv, program_file(argv[0]));
}
