#include "config/ini.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

static std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string ini_trim(const std::string& s)
{
    size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    size_t last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// Quotes around a whole value are dropped, as the platform's profile reader does.
static std::string unquote(const std::string& s)
{
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        return s.substr(1, s.size() - 2);
    return s;
}

IniFile ini_read(const std::string& path)
{
    IniFile ini;
    std::ifstream f(path, std::ios::binary);
    std::string line, section;
    bool in_section = false;
    while (std::getline(f, line)) {
        std::string t = ini_trim(line);
        if (t.empty() || t[0] == ';')
            continue;
        if (t[0] == '[') {
            size_t close = t.find(']');
            in_section = close != std::string::npos;
            if (in_section)
                section = lower(ini_trim(t.substr(1, close - 1)));
            continue;
        }
        size_t eq = t.find('=');
        if (!in_section || eq == std::string::npos)
            continue;
        std::string key = lower(ini_trim(t.substr(0, eq)));
        auto& keys = ini.sections[section];
        if (!keys.count(key))
            keys[key] = unquote(ini_trim(t.substr(eq + 1)));
    }
    return ini;
}

std::string ini_get(const IniFile& ini, const std::string& section, const std::string& key)
{
    auto s = ini.sections.find(lower(section));
    if (s == ini.sections.end())
        return "";
    auto k = s->second.find(lower(key));
    return k == s->second.end() ? "" : k->second;
}

uint32_t ini_number(const std::string& text, size_t* end)
{
    const char* start = text.c_str();
    char* stop = nullptr;
    long long value = std::strtoll(start, &stop, 0);
    if (end)
        *end = stop - start;
    return uint32_t(value) & 0xFFFF;
}
