// PC set 1 scan codes from the native scan codes of the window system.
#pragma once
#include <cstdint>

// The set 1 make code of a native scan code (extended keys without their E0 prefix), or 0.
int set1_scan_code(uint32_t native);
