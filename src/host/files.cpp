#include "host/files.h"

#include <fcntl.h>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#define O_BINARY 0
#endif

std::FILE* open_read(const std::string& path)
{
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(path, ec))
        return nullptr;
    return std::fopen(path.c_str(), "rb");
}

std::FILE* create_new(const std::string& path)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0600);
    if (fd < 0)
        return nullptr;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f)
        ::close(fd);
    return f;
}

long file_length(std::FILE* f)
{
    std::fseek(f, 0, SEEK_END);
    long n = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    return n < 0 ? 0 : n;
}
