// What the fuzz targets share: a private folder of this process, which is also the program
// folder (with the build's KEY.DAT and our ROMs), and checks that end the run.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A file in this process's private folder (made with mkdtemp, removed at exit).
std::string fuzz_path(const std::string& name);
void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);

// Calls a program's main function with these arguments (the program name first).
int call_main(int (*main)(int, char**), std::vector<std::string> args);
// KCS.com's word format options, -B1 -D ... from the bits of `choice`.
std::vector<std::string> kcs_format_options(uint8_t choice);

// Ends the run with a crash that libFuzzer reports, when a property does not hold.
void require(bool holds, const char* what);
