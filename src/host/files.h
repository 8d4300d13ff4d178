// Opening the user's files.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Opens a file for binary reading; a folder or an empty name gives nullptr, as a missing file does.
std::FILE* open_read(const std::string& path);
// Creates a file of a name no other file has, `prefix`, eight hex digits and `suffix`, for
// binary writing; nullptr when none can be made. `path` gets its name.
std::FILE* create_unique(const std::string& prefix, const std::string& suffix, std::string& path);
// A new empty file in the folder of `path`, to be renamed over it once it is complete; "" when
// none can be made.
std::string temp_beside(const std::string& path);
// Renames the complete file `temp` over `path`; on failure `temp` is removed and `path` stays.
bool replace_with(const std::string& temp, const std::string& path);
// Writes `bytes` to `path` through a temporary file beside it, so that a failed write or a
// killed program leaves the old file whole.
bool write_whole(const std::string& path, const std::string& bytes);
// Appends the low `bytes` bytes of v, little-endian, as the files we write keep numbers.
void put_le(std::string& out, uint64_t v, int bytes);
// Appends the bytes of the file at `path` to `data`, stopping once there are more than `limit`;
// false when it cannot be opened.
bool read_whole(const std::string& path, std::vector<uint8_t>& data, size_t limit);
// NAME-1.bas, NAME-2.bas, ... beside `path`: the first that does not exist.
std::string free_name_beside(const std::string& path);
// The length of an open file; the position goes back to the start.
long file_length(std::FILE* f);
