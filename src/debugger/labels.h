// Addresses as typed in the debugger's fields and options.
#pragma once
#include <cstdint>
#include <string>

// One to four hex digits and nothing else; true with `address` set when the text is one.
bool parse_address(const std::string& text, uint16_t& address);
