// The configuration file and the one routine that rebuilds the machine from it.
#pragma once
#include <cstdint>
#include <string>

// Path slots: 0 BASIC ROM, 1 monitor ROM, 3 and 4 disk images, 5 keyboard layout,
// 6 configuration file, 7 boot error text.
extern std::string SYS[8];
// The program directory, ending in the path separator.
extern std::string sztFileHome;
// The folder the program writes to, ending in the path separator: the program directory
// when it may be written there (a build folder), else the user's data folder. Empty: the
// program directory.
extern std::string sztFileData;
extern std::string ROMEX1file, ROMEX2file, ROMEX3file;
extern const uint32_t RAMTOPadr;
extern uint32_t Speed;

// A file name from the configuration: relative names are taken from the data folder when the
// file is there, else from the program directory; absolute ones as they stand.
std::string program_path(const std::string& name);
// A file the program writes, in the data folder.
std::string data_path(const std::string& name);

void OSIini(const std::string& iniName);
// Why the configuration file `path` cannot build a machine (a ROM image, the keyboard layout
// or a disk image that cannot be used); "" when it can.
std::string configuration_problem(const std::string& path);
void Load_ini_file();
