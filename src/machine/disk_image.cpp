#include "machine/disk_image.h"


#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

namespace {

const char SIGNATURE[] = "OSIDISKBITSTREAM";
const size_t HEADER = 256;
const size_t TRACK_BLOCK = 0x0D00;  // one revolution: 25,000 cells at 125 kbit/s and 300 rpm
const size_t CELLS = 25000;
const uint8_t VERSION = 1;
const uint8_t TYPE_525_40 = 0;
const size_t LARGEST = 256 * 1024;  // past the last track of either format

std::vector<uint8_t> read_all(std::FILE* f)
{
    std::vector<uint8_t> data;
    uint8_t block[4096];
    for (size_t got; data.size() < LARGEST && (got = std::fread(block, 1, sizeof block, f)) > 0;)
        data.insert(data.end(), block, block + got);
    return data;
}

bool cell(const uint8_t* stream, size_t i) { return stream[i / 8] & (0x80 >> (i % 8)); }

// Tracks 0 and 1 hold 2320 bytes, the others 2304; a file that ends early cuts its track.
void plain_tracks(const std::vector<uint8_t>& data, std::vector<DiskTrack>& tracks)
{
    size_t offset = 0;
    for (uint32_t t = 0; t <= MAXTRK; t++) {
        size_t length = t <= 1 ? BOOTSIZ : TRKSIZ;
        size_t from = std::min(offset, data.size()), to = std::min(offset + length, data.size());
        tracks[t].bytes.assign(data.begin() + long(from), data.begin() + long(to));
        tracks[t].cut = to < offset + length;
        offset += length;
    }
}

// A file shorter than its tracks leaves the missing ones without characters.
bool bit_tracks(const std::vector<uint8_t>& data, std::vector<DiskTrack>& tracks, std::string& why, int& damaged)
{
    if (data.size() < HEADER) {
        why = "its header is cut short";
        return false;
    }
    if (data[16] != VERSION) {
        why = "it is of version " + std::to_string(data[16]) + ", which this program does not know";
        return false;
    }
    if (data[17] != TYPE_525_40) {
        why = "it is of type " + std::to_string(data[17]) + " (not a 5.25\" 40-track diskette), which the drives cannot read";
        return false;
    }
    size_t offset = size_t(data[18]) * 256;
    if (offset < HEADER) {
        why = "its first track lies inside its header";
        return false;
    }
    for (uint32_t t = 0; t <= MAXTRK; t++, offset += TRACK_BLOCK) {
        size_t available = offset < data.size() ? std::min(TRACK_BLOCK, data.size() - offset) : 0;
        if (available)
            tracks[t] = decode_bitstream(data.data() + offset, std::min(CELLS, available * 8));
        tracks[t].cut = available < TRACK_BLOCK;
        damaged += int(tracks[t].errors.size()) - int(std::count(tracks[t].errors.begin(), tracks[t].errors.end(), 0));
    }
    return true;
}

} // namespace

// The receiver waits for a start bit (a 0 on the idle line), takes the eight data bits low bit
// first, the parity bit and the stop bit, and then waits for the next start bit.
DiskTrack decode_bitstream(const uint8_t* stream, size_t cells)
{
    DiskTrack track;
    for (size_t i = 0; i + 11 <= cells;) {
        if (cell(stream, i)) {
            i++;
            continue;
        }
        uint8_t value = 0;
        for (int b = 0; b < 8; b++)
            value |= cell(stream, i + 1 + b) << b;
        uint8_t errors = ((std::popcount(value) + cell(stream, i + 9)) & 1 ? PARITY_ERROR : 0) |
                         (cell(stream, i + 10) ? 0 : FRAMING_ERROR);
        track.bytes.push_back(value);
        track.errors.push_back(errors);
        i += 11;
    }
    if (std::count(track.errors.begin(), track.errors.end(), 0) == long(track.errors.size()))
        track.errors.clear();
    return track;
}

bool load_disk_image(std::FILE* f, std::vector<DiskTrack>& tracks, std::string& why, int& damaged)
{
    std::vector<uint8_t> data = read_all(f);
    tracks.assign(MAXTRK + 1, DiskTrack());
    damaged = 0;
    if (data.size() >= 16 && !std::memcmp(data.data(), SIGNATURE, 16))
        return bit_tracks(data, tracks, why, damaged);
    plain_tracks(data, tracks);
    return true;
}
