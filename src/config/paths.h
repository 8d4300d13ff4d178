// The files a configuration names, and the folders the program reads and writes its files in.
#pragma once
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
// A file name from the configuration: relative names are taken from the data folder when the
// file is there, else from the program directory; absolute ones as they stand.
std::string program_path(const std::string& name);
// A file the program writes, in the data folder.
std::string data_path(const std::string& name);
