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

void ACIA1READ();
void ACIA1WRITE();
// Appends a byte to the tape output, if one is open.
void tape_write(uint8_t byte);

int FileMenue(const std::string& name);
// Opens a file as the tape input without the chooser (a file dropped on the window); 1 when open.
int tape_open_input(const std::string& path);
void FileSaveMenue();
void CloseSavedFiles();
void DiskSelect(const std::string& folder, int mode, const std::string& name);

// Closes and forgets the tape streams (part of every reset).
void tape_close_all();
