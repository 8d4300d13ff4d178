// The emulated machine of the fuzz targets, with the private folder as its program folder.
#pragma once
#include "frontend/headless/headless_host.h"

#include <string>

// What a fresh start of the program has and rebuilding the machine leaves alone.
void fresh_start();
// The host of the machine that build_machine made last.
extern HeadlessHost* fuzz_host;
// A fresh host, then the machine rebuilt from this configuration text as the program builds
// it at start-up; false on a boot error.
bool build_machine(const std::string& ini_text);
// Up to `count` time slices, while the machine runs.
void run_slices(int count);
