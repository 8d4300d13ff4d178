// quarzel --headless: the emulator without a window, driven from the command line.
#pragma once
#include <string>

// Exit status: 0 success, 1 boot error, 2 bad usage, 3 an --until step timed out.
int headless_main(int argc, char** argv, const std::string& program_file);
