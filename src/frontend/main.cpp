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

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++)
        if (std::strcmp(argv[i], "--headless") == 0 || std::strcmp(argv[i], "--help") == 0)
            return headless_main(argc, argv, program_file(argv[0]));
    return qt_main(argc, argv, program_file(argv[0]));
}
