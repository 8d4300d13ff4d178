// Diskette images as the drive's serial line delivers them: for each track, the characters
// of one revolution from the index on. Two formats: the plain one (the bytes of each track,
// one track after the other) and the bit-level one (the serial bit stream of each revolution).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct DiskTrack {
    std::vector<uint8_t> bytes;
    bool cut = false;  // the image file ended inside or before this track
};

// One revolution's characters, with the receiver's errors counted.
struct DecodedTrack {
    std::vector<uint8_t> bytes;
    int parity_errors = 0;
    int framing_errors = 0;
};

// The 8E1 characters in `cells` bit cells of a bit stream (first cell in bit 7 of the first
// byte, the idle line at 1). A character that the revolution's end cuts off is dropped.
DecodedTrack decode_bitstream(const uint8_t* stream, size_t cells);

// Reads a whole image into 40 tracks; false with the reason in `why` when it cannot be used.
bool load_disk_image(std::FILE* f, std::vector<DiskTrack>& tracks, std::string& why);
