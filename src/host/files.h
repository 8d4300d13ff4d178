// Opening the user's files for reading.
#pragma once
#include <cstdio>
#include <string>

// Opens a file for binary reading; a folder or an empty name gives nullptr, as a missing file does.
std::FILE* open_read(const std::string& path);
// The length of an open file; the position goes back to the start.
long file_length(std::FILE* f);
