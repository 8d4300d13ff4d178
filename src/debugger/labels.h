// Labels of a program from its assembler's label file, and addresses as typed in the
// debugger's fields and options.
#pragma once
#include <cstdint>
#include <map>
#include <string>

// The first name given to each address, and each name's address (without the leading dot).
extern std::map<uint16_t, std::string> label_names;
extern std::map<std::string, uint16_t> label_addresses;

// Lines "al 00C000 .name" (ld65 -Ln) or "al C:C000 .name" (VICE); blank lines and comments
// starting with ';' or '#' are left out. The labels replace those there were and "" comes
// back, or a line that is none and nothing changes.
std::string read_labels(const std::string& text);
// The same from a file; "" or why not.
std::string load_labels(const std::string& path);
void clear_labels();
// One to `most` hex digits and nothing else.
bool parse_hex(const std::string& text, size_t most, unsigned& value);
// The address of a label's name, with or without its dot; false when there is no such label.
bool find_label(const std::string& name, uint16_t& address);
// A label's name, with or without its dot, or one to four hex digits and nothing else;
// true with `address` set when the text is one.
bool parse_address(const std::string& text, uint16_t& address);
// A disassembled instruction with its operand's address given as the label there, when it
// has one: "JSR $FE00" becomes "JSR PRINT", "LDA $80,X" "LDA COUNT,X".
std::string with_labels(const std::string& instruction);
