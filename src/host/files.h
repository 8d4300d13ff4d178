// Opening the user's files.
#pragma once
#include <cstdio>
#include <string>

// Opens a file for binary reading; a folder or an empty name gives nullptr, as a missing file does.
std::FILE* open_read(const std::string& path);
// Creates a file that must not exist yet, for binary writing; nullptr when it exists or cannot
// be made (errno tells which).
std::FILE* create_new(const std::string& path);
// The length of an open file; the position goes back to the start.
long file_length(std::FILE* f);
