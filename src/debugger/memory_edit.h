// Typed bytes written into memory, and byte strings looked for in it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Hex bytes separated by blanks or commas, a pair of digits each or runs of pairs ("A9 42",
// "A942", "9,42"); false when the text holds anything else or no byte.
bool parse_bytes(const std::string& text, std::vector<uint8_t>& bytes);
// The bytes written from `address` on through the bus, as the program would write them: a
// device's page gets them in its registers. They wrap past $FFFF; no watchpoint sees them.
void poke_bytes(uint16_t address, const std::vector<uint8_t>& bytes);
// "ADDR=BYTES" poked; "" or why not.
std::string poke_text(const std::string& text);
// The first address from `from` on, wrapping past $FFFF, where memory holds `bytes`, as the
// block holds it (no device is read); -1 when there is none.
int find_bytes(const std::vector<uint8_t>& bytes, uint16_t from);
// The bytes as "A9 42".
std::string bytes_text(const std::vector<uint8_t>& bytes);
