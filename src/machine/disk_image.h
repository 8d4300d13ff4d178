// Diskette images as the drive's serial line delivers them: for each track, the characters
// of one revolution from the index on. Two formats: the plain one (the bytes of each track,
// one track after the other) and the bit-level one (the serial bit stream of each revolution).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A plain image: the length of tracks 0 and 1, of every other track, and the last track.
constexpr uint32_t BOOTSIZ = 2320;
constexpr uint32_t TRKSIZ = 2304;
constexpr uint32_t MAXTRK = 39;

// The serial chip's status bits for a character received with a wrong parity or stop bit.
constexpr uint8_t PARITY_ERROR = 0x40;
constexpr uint8_t FRAMING_ERROR = 0x10;

struct DiskTrack {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> errors;  // each character's error bits; empty when none has any
    bool cut = false;             // the image file ended inside or before this track
};

// The 8E1 characters in `cells` bit cells of a bit stream (first cell in bit 7 of the first
// byte, the idle line at 1). A character that the revolution's end cuts off is dropped.
DiskTrack decode_bitstream(const uint8_t* stream, size_t cells);

// Reads a whole image into 40 tracks; false with the reason in `why` when it cannot be used.
// `damaged` counts the characters received with an error.
bool load_disk_image(std::FILE* f, std::vector<DiskTrack>& tracks, std::string& why, int& damaged);
