// The serial port at $F000 that stands for the cassette, and the file chooser.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

extern uint8_t acia1con, acia1dat;
extern std::FILE* in;
extern std::FILE* out;
extern int ch_in;
extern std::string sztFilePath, sztFileName, sztFileSpec;
// The files behind the open streams, for a saved state.
extern std::string tape_in_name, tape_out_name;

void ACIA1READ();
void ACIA1WRITE();
// The program has taken a byte of the tape input within the last second of emulated time.
bool tape_reading();
// Appends a byte to the tape output, if one is open.
void tape_write(uint8_t byte);

int FileMenue(const std::string& name);
// Opens a file as the tape input without the chooser (a file dropped on the window); 1 when open.
int tape_open_input(const std::string& path);
void FileSaveMenue();
void CloseSavedFiles();
void DiskSelect(const std::string& folder, int mode, const std::string& name);
// The chooser (mode 0 save, 1 open) in the folder of the last file chosen, showing `pattern`;
// the file chosen, "" when the user cancelled. A name typed without an extension gets the
// pattern's ("*.qst"), or the tape's default when the pattern names none.
std::string select_file(int mode, const std::string& pattern);

// Closes and forgets the tape streams (part of every reset).
void tape_close_all();
// Opens the tape input of a saved state again at its position; false when it is gone, and
// the stream then stays closed.
bool tape_reopen_input(const std::string& path, long position);
// Opens a file as the tape output, appending to it (or creating it); false when it cannot be.
bool tape_append_output(const std::string& path);

class Fields;
// The state section "TAPE": the serial port, the input file and its position, the output file
// with its length and checksum; after a load the files are opened again where they stood.
void tape_section(Fields& f);
