// quarzel --headless: the emulator without a window, driven from the command line.
#pragma once
#include <string>

// Exit status: 0 success, 1 boot error, 2 bad usage, 3 an --until step timed out.
int headless_main(int argc, char** argv, const std::string& program_file);
// A command line that neither mode takes: the reason and the usage text on standard error;
// returns the exit status 2.
int bad_usage(const std::string& why);
