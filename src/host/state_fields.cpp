#include "host/state_fields.h"

uint32_t state_checksum(const uint8_t* p, size_t n, uint32_t crc)
{
    uint32_t c = ~crc;
    while (n--) {
        c ^= *p++;
        for (int k = 0; k < 8; k++)
            c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
    }
    return ~c;
}
