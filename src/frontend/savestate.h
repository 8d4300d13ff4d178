// Save states: the whole machine in a file, to go on later exactly where it stood.
//
// The file: a header of 24 bytes, all numbers little-endian,
//   "QRZLSTAT"  magic word
//   u32         format version (1)
//   u32         machine (1: OSI Superboard II / Challenger 1P / UK101)
//   u32         length of the sections that follow
//   u32         CRC-32 of the sections
// then named sections, each a 4-character name, a u32 length and its body. A reader skips
// sections it does not know, so that later versions can add some; version 1 has:
//   "MAP "  the memory map: RAMTOP, RAMGDC and the extension ROMs and RAMs (address, size)
//   "MEM "  the memory block, $0000-$FFFF and its two spare bytes, ROM areas included
//   "CPU "  A, X, Y, S, P, IR (u8); PC, EA, the effective address, the last PC (u32)
//   "LOOP"  cycles of the slice (u32) and before it (u64); interrupt switch, periods,
//           counters and lines; the tape timer; the speed factor and the bar's speed; the
//           breakpoint and the trace address (u32 each)
//   "VID "  display mode bits and the graphics switch (u32)
//   "KEYS"  the eight matrix rows, the pending key event, the key-check flag, shift lock (u32)
//   "TAPE"  the serial port's control and data bytes (u8), the read-ahead character (i32),
//           the input file's name and read position, the output file's name and length
//           (a u32 length and the bytes of a name, a u64 position)
//   "DISK"  the selected drive, both heads, both read positions, the last position, the
//           index countdown (u32); the PIA's latches and directions, the serial chip's
//           control and data (u8); the images' file names
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The checksum of the sections: CRC-32 as zip files have it.
uint32_t state_checksum(const uint8_t* p, size_t n);

// Writes the state; "" or the reason it could not be written.
std::string save_state(const std::string& path);
// Reads and checks the whole file first: a file that cannot be used leaves the machine as it
// was and gives the reason. Files of the state that are gone are named in `missing`; the
// machine goes on without them.
std::string load_state(const std::string& path, std::string& missing);

// The menu commands and F5/F6: with the chooser, or the quick state in FILES/quick.qst;
// problems are shown in a message box.
void save_state_command(bool quick);
void load_state_command(bool quick);
