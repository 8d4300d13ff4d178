// Start-up and shut-down, shared by the desktop window and the headless runner.
#pragma once
#include <string>

// Finds the program directory from the executable's path, the configuration file from the
// command-line argument (default OSI.INI), builds the machine and shows a boot error.
// Returns false when the machine cannot run (Abort is then 0).
bool start_machine(const std::string& program_file, const std::string& config_arg);
// The boot error report: an error box, then the program ends.
void Quit(const std::string& text);
void Terminate();
