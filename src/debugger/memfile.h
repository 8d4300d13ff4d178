// The memory files of the "Read/Write Binary Files" dialog: raw binaries, 6502 listings and
// OSI tape files, and the dialog's logic. The dialog itself belongs to the host.
#pragma once
#include <cstdint>
#include <string>

extern int S_dis, L_dis;  // start address and length of the range

// The dialog's fields as the user sees them; the window writes what was typed into them
// before it passes a button on.
struct MemfileView {
    std::string start = "0000", length;
    bool autostart = true;  // "OSI Autostart"
    std::string text;       // the listing or the last command's word
};
extern MemfileView mfd;

// A dialog button (MemfileControl ids); the file commands ask the chooser for the file.
// False when a file could not be written or read as asked; mfd.text says why.
bool memfile_command(int id);
// Reads the two fields into S_dis and L_dis, repairs them and writes them back.
void get_Sadress();

// The file formats, for the range S_dis..S_dis + L_dis.
std::string listing_text();
std::string tape_text(bool autostart);
std::string binary_bytes();
// "Adress  Code" and 200 instructions from S_dis on.
std::string display_code();

// Copies a raw file into the memory block from start on, as far as $FFFF; returns the bytes
// stored, or -1 when the file cannot be read. `whole` tells whether the file fitted.
long load_binary(const std::string& path, uint32_t start, bool* whole = nullptr);
