// The main window's menu commands, shared by the desktop window and the headless runner.
#pragma once

void menu_command(int id);
