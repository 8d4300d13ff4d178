// quarzel without --headless: the desktop program.
#pragma once
#include <string>

int qt_main(int argc, char** argv, const std::string& program_file);
