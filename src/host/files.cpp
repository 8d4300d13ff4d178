#include "host/files.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <random>
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

namespace {

std::FILE* create_new(const std::string& path)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
    if (fd < 0)
        return nullptr;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f)
        ::close(fd);
    return f;
}

} // namespace

std::FILE* create_unique(const std::string& prefix, const std::string& suffix, std::string& path)
{
    std::random_device seed;
    std::mt19937 rng(seed());
    for (int attempt = 0; attempt < 100; attempt++) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%08X", unsigned(rng()));
        path = prefix + digits + suffix;
        if (std::FILE* f = create_new(path))
            return f;
        if (errno != EEXIST)
            break;
    }
    path.clear();
    return nullptr;
}

std::string temp_beside(const std::string& path)
{
    std::string temp;
    std::FILE* f = create_unique(path + ".", ".tmp", temp);
    if (f)
        std::fclose(f);
    return temp;
}

bool replace_with(const std::string& temp, const std::string& path)
{
    std::error_code ec, removed;
    std::filesystem::rename(temp, path, ec);
    if (ec)
        std::filesystem::remove(temp, removed);
    return !ec;
}

bool read_whole(const std::string& path, std::vector<uint8_t>& data, size_t limit)
{
    std::FILE* f = open_read(path);
    if (!f)
        return false;
    uint8_t block[65536];
    for (size_t got; data.size() <= limit && (got = std::fread(block, 1, sizeof block, f)) > 0;)
        data.insert(data.end(), block, block + got);
    std::fclose(f);
    return true;
}

bool write_whole(const std::string& path, const std::string& bytes)
{
    std::string temp;
    std::FILE* f = create_unique(path + ".", ".tmp", temp);
    if (!f)
        return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) {
        std::remove(temp.c_str());
        return false;
    }
    return replace_with(temp, path);
}

long file_length(std::FILE* f)
{
    std::fseek(f, 0, SEEK_END);
    long n = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    return n < 0 ? 0 : n;
}

std::string free_name_beside(const std::string& path)
{
    std::filesystem::path p(path);
    std::error_code ec;
    for (int n = 1;; n++) {
        std::filesystem::path candidate =
            p.parent_path() / (p.stem().string() + "-" + std::to_string(n) + p.extension().string());
        if (!std::filesystem::exists(candidate, ec))
            return candidate.string();
    }
}

void put_le(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        out += char(v >> (8 * i));
}
