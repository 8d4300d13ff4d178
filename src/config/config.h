// The configuration file and the one routine that rebuilds the machine from it.
#pragma once
#include "config/paths.h"

#include <cstdint>
#include <string>

extern const uint32_t RAMTOPadr;

// What a rebuild tells the layers above; they fill it in at start-up.
struct ConfigHooks {
    void (*on_rebuild)();  // the configuration is read, the machine not yet built from it
};
extern ConfigHooks config_hooks;

void OSIini(const std::string& iniName);
// Why the configuration file `path` cannot build a machine (a ROM image, the keyboard layout
// or a disk image that cannot be used); "" when it can.
std::string configuration_problem(const std::string& path);
void Load_ini_file();
