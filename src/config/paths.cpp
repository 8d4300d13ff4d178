#include "config/paths.h"

#include <filesystem>

std::string SYS[8];
std::string sztFileHome;
std::string sztFileData;
std::string ROMEX1file, ROMEX2file, ROMEX3file;
std::string program_path(const std::string& name)
{
    bool absolute = (!name.empty() && (name[0] == '/' || name[0] == '\\')) || (name.size() > 1 && name[1] == ':');
    if (absolute)
        return name;
    std::error_code ec;
    if (!sztFileData.empty() && sztFileData != sztFileHome && std::filesystem::exists(sztFileData + name, ec))
        return sztFileData + name;
    return sztFileHome + name;
}

std::string data_path(const std::string& name) { return (sztFileData.empty() ? sztFileHome : sztFileData) + name; }
