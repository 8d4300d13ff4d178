#include "frontend/headless/runner.h"

#include <cstdio>
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

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++)
        if (std::strcmp(argv[i], "--headless") == 0 || std::strcmp(argv[i], "--help") == 0)
            return headless_main(argc, argv, program_file(argv[0]));
    std::puts("Quarzel: the desktop window is not built yet. Run the machine without a window:\n"
              "  build/quarzel --headless [options] [CONFIG]     (--help lists the options)\n"
              "It needs a monitor and a BASIC ROM image: see the README.");
    return 0;
}
