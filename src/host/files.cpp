#include "host/files.h"

#include <filesystem>
#include <system_error>

std::FILE* open_read(const std::string& path)
{
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(path, ec))
        return nullptr;
    return std::fopen(path.c_str(), "rb");
}

long file_length(std::FILE* f)
{
    std::fseek(f, 0, SEEK_END);
    long n = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    return n < 0 ? 0 : n;
}
