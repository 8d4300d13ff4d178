// The ROM image loader and the keyboard layout file.
#pragma once
#include <cstdint>
#include <string>

// Errors go to the boot error slot.
void LoadROM();
// Why the ROM images named in the slots and the extension files cannot be loaded (the error
// LoadROM would give); "" when they can.
std::string rom_problem(const std::string& basic, const std::string& kernel, const std::string (&extension)[3],
                        const uint32_t (&address)[3]);
// Whether a file can serve as a ROM image or keyboard layout.
bool image_usable(const std::string& path);
// A missing layout file is shown at once and ends the program.
void LoadKeyboard();
