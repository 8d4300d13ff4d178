#include "debugger/memfile.h"

#include "cpu/bus.h"

#include <algorithm>
#include <cstdio>

long load_binary(const std::string& path, uint32_t start)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    std::fseek(f, 0, SEEK_END);
    uint32_t length = uint32_t(std::ftell(f)) & 0xFFFF;
    std::fseek(f, 0, SEEK_SET);
    start &= 0xFFFF;
    length = std::min(length, 0x10000 - start);
    long stored = std::fread(RAMptr + start, 1, length, f);
    std::fclose(f);
    return stored;
}
