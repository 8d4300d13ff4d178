// Raw binary memory files.
#pragma once
#include <cstdint>
#include <string>

// Copies the file straight into the memory block from start on (length modulo 65536,
// cut at $FFFF); returns the number of bytes stored, or -1 when the file cannot be read.
long load_binary(const std::string& path, uint32_t start);
