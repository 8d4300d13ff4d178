#include "host/state_fields.h"

namespace {

// The remainders of the 256 bytes, so that a byte takes one step: the debugger's history
// checks a state at every snapshot.
struct CrcTable {
    uint32_t entry[256];
    constexpr CrcTable() : entry()
    {
        for (uint32_t b = 0; b < 256; b++) {
            uint32_t c = b;
            for (int k = 0; k < 8; k++)
                c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
            entry[b] = c;
        }
    }
};
constexpr CrcTable crc_table;

} // namespace

uint32_t state_checksum(const uint8_t* p, size_t n, uint32_t crc)
{
    uint32_t c = ~crc;
    while (n--)
        c = (c >> 8) ^ crc_table.entry[(c ^ *p++) & 0xFF];
    return ~c;
}
