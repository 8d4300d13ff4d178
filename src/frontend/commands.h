// The main window's menu commands, shared by the desktop window and the headless runner.
#pragma once
#include "machine/keyboard.h"

#include <string>

// 1 while the menu bar is attached to the main window.
extern int MenuOn;

void menu_command(int id);
// A hot key that is a command: F1, F4 to F12.
void command_key(const HotKey& k);
// Attaches (1) or detaches (0) the menu bar when that changes anything.
void ShowMenu(int on);
// Rebuilds the machine from a configuration file (Load Config File), by default the one in use
// (Hard Reset), when every file it names can be used; otherwise says why and leaves the
// machine running untouched.
bool reload_configuration(const std::string& path = "");
// Opens the configuration file in the user's editor; a failure to start one is shown.
void edit_config_file();
// The About box's text: the machines, the version and the licence.
std::string about_text();
