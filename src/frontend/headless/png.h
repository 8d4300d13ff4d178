// Writes a surface as a PNG file (uncompressed deflate, no library needed).
#pragma once
#include "host/host.h"

#include <string>

bool write_png(const std::string& path, const Surface& surface);
