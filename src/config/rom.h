// The ROM image loader and the keyboard layout file.
#pragma once
#include <string>

// Errors go to the boot error slot.
void LoadROM();
// A missing layout file is shown at once and ends the program.
void LoadKeyboard();
