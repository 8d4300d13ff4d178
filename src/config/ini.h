// A private-profile style INI reader.
#pragma once
#include <cstdint>
#include <map>
#include <string>

// Sections and keys are stored lower-cased; values are trimmed, and kept whole, so that long
// paths work.
struct IniFile {
    std::map<std::string, std::map<std::string, std::string>> sections;
};

// An unreadable or missing file gives an empty IniFile.
IniFile ini_read(const std::string& path);
// Without the blanks, tabs and line ends around it.
std::string ini_trim(const std::string& s);
// The value of a key, or "" when the section or key is absent.
std::string ini_get(const IniFile& ini, const std::string& section, const std::string& key);
// A number as strtol with base 0 reads it (0x hex, leading 0 octal), cut to 16 bits;
// `end` receives the position after the number.
uint32_t ini_number(const std::string& text, size_t* end = nullptr);
