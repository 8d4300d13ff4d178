#include "debugger/memfile.h"

#include "cpu/bus.h"
#include "host/files.h"

#include <algorithm>
#include <cstdio>

long load_binary(const std::string& path, uint32_t start)
{
    std::FILE* f = open_read(path);
    if (!f)
        return -1;
    uint32_t length = uint32_t(file_length(f)) & 0xFFFF;
    start &= 0xFFFF;
    length = std::min(length, 0x10000 - start);
    long stored = std::fread(RAMptr + start, 1, length, f);
    std::fclose(f);
    return stored;
}
