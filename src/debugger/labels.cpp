#include "debugger/labels.h"

#include "host/files.h"

#include <cctype>
#include <sstream>

std::map<uint16_t, std::string> label_names;
std::map<std::string, uint16_t> label_addresses;

bool parse_hex(const std::string& text, size_t most, unsigned& value)
{
    if (text.empty() || text.size() > most)
        return false;
    value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 16 + unsigned(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return true;
}

namespace {

// ld65 writes six digits, of which the upper two are zero for a 6502's addresses.
bool label_address(const std::string& word, unsigned& address)
{
    std::string digits = word.rfind("C:", 0) == 0 ? word.substr(2) : word;
    return parse_hex(digits, 6, address) && address <= 0xFFFF;
}

bool name_character(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@'; }

bool valid_name(const std::string& name)
{
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0])))
        return false;
    for (char c : name)
        if (!name_character(c))
            return false;
    return true;
}

} // namespace

std::string read_labels(const std::string& text)
{
    std::map<uint16_t, std::string> names;
    std::map<std::string, uint16_t> addresses;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); number++) {
        std::istringstream words(line);
        std::string al, where, name, rest;
        if (!(words >> al) || al[0] == ';' || al[0] == '#')
            continue;
        unsigned address;
        words >> where >> name;
        if (!name.empty() && name[0] == '.')
            name.erase(0, 1);
        if (al != "al" || !label_address(where, address) || !valid_name(name) || words >> rest)
            return "line " + std::to_string(number) + " is no label (al ADDRESS .name)";
        names.emplace(uint16_t(address), name);
        addresses.emplace(name, uint16_t(address));
    }
    label_names.swap(names);
    label_addresses.swap(addresses);
    return "";
}

std::string load_labels(const std::string& path)
{
    constexpr size_t most = 16 << 20;  // far more than 65536 labels take
    std::vector<uint8_t> data;
    if (!read_whole(path, data, most))
        return "cannot read " + path;
    if (data.size() > most)
        return path + " is too large for a label file";
    std::string problem = read_labels(std::string(data.begin(), data.end()));
    return problem.empty() ? "" : path + ": " + problem;
}

void clear_labels()
{
    label_names.clear();
    label_addresses.clear();
}

bool find_label(const std::string& name, uint16_t& address)
{
    auto label = label_addresses.find(!name.empty() && name[0] == '.' ? name.substr(1) : name);
    if (label == label_addresses.end())
        return false;
    address = label->second;
    return true;
}

bool parse_address(const std::string& text, uint16_t& address)
{
    if (find_label(text, address))
        return true;
    unsigned v;
    if (!parse_hex(text, 4, v))
        return false;
    address = uint16_t(v);
    return true;
}

std::string with_labels(const std::string& instruction)
{
    size_t dollar = instruction.find('$');
    if (dollar == std::string::npos || label_names.empty())
        return instruction;
    size_t end = dollar + 1;
    while (end < instruction.size() && std::isxdigit(static_cast<unsigned char>(instruction[end])))
        end++;
    unsigned address;
    if (!parse_hex(instruction.substr(dollar + 1, end - dollar - 1), 4, address))
        return instruction;
    auto label = label_names.find(uint16_t(address));
    if (label == label_names.end())
        return instruction;
    return instruction.substr(0, dollar) + label->second + instruction.substr(end);
}
