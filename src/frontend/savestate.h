// Save states: the whole machine in a file, to go on later exactly where it stood.
//
// The file: a header of 24 bytes, all numbers little-endian,
//   "QRZLSTAT"  magic word
//   u32         format (1)
//   u32         machine (1: OSI Superboard II / Challenger 1P / UK101)
//   u32         length of the sections that follow
//   u32         CRC-32 of the sections
// then sections, each a 4-character name, a u32 length and its values in a fixed order:
// numbers little-endian in 1, 4 or 8 bytes, texts as a u32 length and their bytes.
//   "MAP "  RAMTOP, RAMGDC, the three extension ROMs and two extension RAMs (address, size)
//   "BRD "  whether the board is a 600D with the control register and the DAC (u32), the
//           register (u8); a state without the section is of a board without them
//   "CPU "  A, X, Y, S, P, IR (u8); PC, EA, the effective address, the last PC (u32)
//   "LOOP"  cycles of the slice (u32) and before it (u64); interrupt switch, periods,
//           counters and lines; the tape timer; the speed factor and the bar's speed; the
//           breakpoint and the step-over's return address (u32 each)
//   "VID "  display mode bits and the graphics switch (u32)
//   "KEYS"  the eight matrix rows, the pending key event, the key-check flag, shift lock (u32)
//   "TYPE"  the keyboard reads made per row (u64); the typist's waiting key events, a u32 count
//           and each as the rows pressed and let go (8 u8 each), the PC key (i32) and whether
//           it came from typed text (u8); the event in flight (u8), the events applied (u64),
//           the row reads when it was applied (u64), when it was applied and seen (u64), the
//           rows it changed, whether it pressed a key and has been seen (u8)
//   "TAPE"  the serial port's control and data bytes (u8), the read-ahead character (i32),
//           the input file's name and read position (u64), the output file's name, length
//           (u64) and CRC-32 of those bytes (u32)
//   "DISK"  the selected drive, both heads, both read positions, the last position, the
//           index countdown (u32); the PIA's latches and directions, the serial chip's
//           control and data (u8); the images' file names; each drive's write protection
//           (u8); for each drive the image's file as the machine left it when it has written to
//           it since it was put in, else an empty text, and the CRC-32 of the file on disk
//           at the save (u32)
//   "MEM "  the memory block, $0000-$FFFF and its two spare bytes, ROM areas included
// Every value is checked against what a machine built from a configuration can hold, and
// against the values it depends on; a file with any other value is refused with its name.
//
// The rule that keeps every state loadable by every later version: the format stays 1, and
// nothing already written changes its meaning or place. A new value goes at the end of its
// section and has a default, which a state written before it gets; a new device gets a new
// section whose values all have defaults, so that a state without it loads. A reader skips
// sections it does not know and values past the ones it knows, so older versions read newer
// states too.
//
// Adding a section: the device writes one function that names each value in order with the
// values it may hold and a default (see `disk_section` in machine/disk.cpp, and Fields in
// host/state_fields.h), and the section gets a row in `sections`. The same function saves,
// checks and loads: a value is stored into the machine only when the whole file has been
// checked, and each call returns the value, so a later range may depend on it. State that is
// no plain variable (a queue) goes through a local copy that the function hands over when
// `loading()`.
#pragma once
#include "host/state_fields.h"

#include <cstdint>
#include <string>
#include <vector>

// The state as the file holds it.
std::string state_image();
// Puts the machine into the state of a file's bytes, checked first as load_state does; `path`
// names it in the reason it cannot be used.
std::string restore_state(const std::vector<uint8_t>& data, const std::string& path, std::string& notes);
// Writes the state; "" or the reason it could not be written.
std::string save_state(const std::string& path);
// Reads and checks the whole file first: a file that cannot be used leaves the machine as it
// was and gives the reason. What the user should know about the files of the state (gone,
// or changed so that the tape output goes on in a new file) is told in `notes`, a line each.
std::string load_state(const std::string& path, std::string& notes);

// The menu commands and F5/F6: with the chooser, or the quick state in FILES/quick.qst;
// problems are shown in a message box.
void save_state_command(bool quick);
void load_state_command(bool quick);
