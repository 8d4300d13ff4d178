#include "debugger/memory_edit.h"

#include "cpu/bus.h"
#include "debugger/labels.h"

#include <cstdio>

bool parse_bytes(const std::string& text, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    std::string word;
    for (size_t i = 0; i <= text.size(); i++) {
        char c = i < text.size() ? text[i] : ' ';
        if (c != ' ' && c != ',' && c != '\t') {
            word += c;
            continue;
        }
        if (word.empty())
            continue;
        if (word.size() > 2 && word.size() % 2)
            return false;
        for (size_t at = 0; at < word.size(); at += 2) {
            unsigned v;
            if (!parse_hex(word.substr(at, 2), 2, v))
                return false;
            bytes.push_back(uint8_t(v));
        }
        word.clear();
    }
    return !bytes.empty();
}

void poke_bytes(uint16_t address, const std::vector<uint8_t>& bytes)
{
    for (size_t i = 0; i < bytes.size(); i++)
        Poke((address + i) & 0xFFFF, bytes[i]);
}

std::string poke_text(const std::string& text)
{
    size_t equals = text.find('=');
    uint16_t address;
    std::vector<uint8_t> bytes;
    if (equals == std::string::npos || !parse_address(text.substr(0, equals), address))
        return "takes ADDR=BYTES, not " + text;
    if (!parse_bytes(text.substr(equals + 1), bytes))
        return "takes hex bytes after =, not " + text.substr(equals + 1);
    poke_bytes(address, bytes);
    return "";
}

int find_bytes(const std::vector<uint8_t>& bytes, uint16_t from)
{
    for (unsigned n = 0; n < 0x10000 && !bytes.empty(); n++) {
        unsigned at = (from + n) & 0xFFFF;
        size_t i = 0;
        while (i < bytes.size() && RAMptr[(at + i) & 0xFFFF] == bytes[i])
            i++;
        if (i == bytes.size())
            return int(at);
    }
    return -1;
}

std::string bytes_text(const std::vector<uint8_t>& bytes)
{
    std::string text;
    char hex[8];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, text.empty() ? "%02X" : " %02X", b);
        text += hex;
    }
    return text;
}
