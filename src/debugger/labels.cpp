#include "debugger/labels.h"

#include <cctype>

bool parse_address(const std::string& text, uint16_t& address)
{
    if (text.empty() || text.size() > 4)
        return false;
    unsigned v = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        v = v * 16 + unsigned(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    address = uint16_t(v);
    return true;
}
