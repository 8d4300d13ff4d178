// Start-up and shut-down, shared by the desktop window and the headless runner.
#pragma once
#include <string>

// Lets the lower layers tell the higher ones what happened (a slice ran, the machine was
// rebuilt, a button was pressed): fills in their hooks.
void connect_layers();
// Finds the program directory from the executable's path, the configuration file from the
// command-line argument (default OSI.INI), builds the machine and shows a boot error.
// Returns false when the machine cannot run (Abort is then 0). Connects the layers first.
bool start_machine(const std::string& program_file, const std::string& config_arg);
// The boot error report: an error box, then the program ends.
void Quit(const std::string& text);
void Terminate();
