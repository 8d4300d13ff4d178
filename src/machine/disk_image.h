// Diskette images as the drive's serial line delivers them: for each track, the characters
// of one revolution from the index on. Two formats: the plain one (the bytes of each track,
// one track after the other) and the bit-level one (the serial bit stream of each revolution).
#pragma once
#include <cstdint>
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
    std::vector<uint32_t> starts; // bit-level images: the start bit's cell of each character
    bool cut = false;             // the image file ended inside or before this track
};

enum DiskFormat { DISK_PLAIN, DISK_BITS };

// An image in memory: the file's bytes as they are to be written back, and its tracks as the
// drive reads them.
struct DiskImage {
    DiskFormat format = DISK_PLAIN;
    std::vector<uint8_t> file;
    std::vector<DiskTrack> tracks;  // MAXTRK + 1 once loaded
};

// The 8E1 characters in `cells` bit cells of a bit stream (first cell in bit 7 of the first
// byte, the idle line at 1). A character that the revolution's end cuts off is dropped.
DiskTrack decode_bitstream(const uint8_t* stream, size_t cells);

// The largest image file read: past the last track of either format.
constexpr size_t LARGEST_IMAGE = 256 * 1024;

// Takes a whole image file into 40 tracks; false with the reason in `why` when it cannot be
// used. `damaged` counts the characters received with an error.
bool load_disk_image(std::vector<uint8_t> file, DiskImage& image, std::string& why, int& damaged);
// Records a character as the n-th of track t's revolution, where a read finds it next: the
// n-th byte of a plain track, or 8E1 bits from the n-th character's start bit (after the last
// character, right behind it). False when the revolution holds no n-th character.
bool record_character(DiskImage& image, uint32_t t, uint32_t n, uint8_t value);
// Erases track t from its n-th character to the end of the revolution: what passes under the
// head while the write current stays on until the index.
void erase_from(DiskImage& image, uint32_t t, uint32_t n);
// Reads track t again from its bit stream, so that the characters after a written stretch are
// found as a later revolution would find them.
void resync_track(DiskImage& image, uint32_t t);
// The file of a new diskette in `format`, every track erased.
std::vector<uint8_t> blank_image(DiskFormat format);
