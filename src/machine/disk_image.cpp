#include "machine/disk_image.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <utility>

namespace {

const char SIGNATURE[] = "OSIDISKBITSTREAM";
const size_t HEADER = 256;
const size_t TRACK_BLOCK = 0x0D00;  // one revolution: 25,000 cells at 125 kbit/s and 300 rpm
const size_t CELLS = 25000;
const uint8_t VERSION = 1;
const uint8_t TYPE_525_40 = 0;

bool cell(const uint8_t* stream, size_t i) { return stream[i / 8] & (0x80 >> (i % 8)); }

void set_cell(uint8_t* stream, size_t i, bool one)
{
    uint8_t bit = 0x80 >> (i % 8);
    stream[i / 8] = one ? (stream[i / 8] | bit) : (stream[i / 8] & ~bit);
}

size_t plain_offset(uint32_t t) { return t <= 1 ? t * BOOTSIZ : 2 * BOOTSIZ + (t - 2) * TRKSIZ; }
size_t plain_length(uint32_t t) { return t <= 1 ? BOOTSIZ : TRKSIZ; }
size_t bit_offset(const DiskImage& image, uint32_t t) { return size_t(image.file[18]) * 256 + t * TRACK_BLOCK; }

// Tracks 0 and 1 hold 2320 bytes, the others 2304; a file that ends early cuts its track.
void plain_tracks(const std::vector<uint8_t>& data, std::vector<DiskTrack>& tracks)
{
    for (uint32_t t = 0; t <= MAXTRK; t++) {
        size_t offset = plain_offset(t);
        size_t from = std::min(offset, data.size()), to = std::min(offset + plain_length(t), data.size());
        tracks[t].bytes.assign(data.begin() + long(from), data.begin() + long(to));
        tracks[t].cut = to < offset + plain_length(t);
    }
}

// The revolution whose bit stream starts at `offset`; a file that ends early cuts it.
DiskTrack bit_track(const std::vector<uint8_t>& data, size_t offset)
{
    size_t available = offset < data.size() ? std::min(TRACK_BLOCK, data.size() - offset) : 0;
    DiskTrack track = available ? decode_bitstream(data.data() + offset, std::min(CELLS, available * 8)) : DiskTrack();
    track.cut = available < TRACK_BLOCK;
    return track;
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
        tracks[t] = bit_track(data, offset);
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
        track.starts.push_back(uint32_t(i));
        i += 11;
    }
    if (std::count(track.errors.begin(), track.errors.end(), 0) == long(track.errors.size()))
        track.errors.clear();
    return track;
}

bool load_disk_image(std::vector<uint8_t> file, DiskImage& image, std::string& why, int& damaged)
{
    image.file = std::move(file);
    image.tracks.assign(MAXTRK + 1, DiskTrack());
    damaged = 0;
    image.format = image.file.size() >= 16 && !std::memcmp(image.file.data(), SIGNATURE, 16) ? DISK_BITS : DISK_PLAIN;
    if (image.format == DISK_BITS)
        return bit_tracks(image.file, image.tracks, why, damaged);
    plain_tracks(image.file, image.tracks);
    return true;
}

namespace {

// A file that ends before the track grows to its end: erased bits, or zero bytes.
uint8_t* track_data(DiskImage& image, uint32_t t)
{
    bool bits = image.format == DISK_BITS;
    size_t offset = bits ? bit_offset(image, t) : plain_offset(t);
    size_t end = offset + (bits ? TRACK_BLOCK : plain_length(t));
    if (image.file.size() < end) {
        image.file.resize(end, bits ? 0xFF : 0x00);
        if (!bits)
            plain_tracks(image.file, image.tracks);
        image.tracks[t].cut = false;
    }
    return image.file.data() + offset;
}

// Where the n-th character of a revolution starts: where it was read, or right behind the
// last character read.
size_t start_cell(const DiskTrack& track, uint32_t n)
{
    size_t known = track.starts.size();
    return n < known ? track.starts[n] : known ? track.starts.back() + 11 * (n - known + 1) : 11 * size_t(n);
}

bool record_plain(DiskImage& image, uint32_t t, uint32_t n, uint8_t value)
{
    if (n >= plain_length(t))
        return false;
    track_data(image, t)[n] = value;
    image.tracks[t].bytes[n] = value;
    return true;
}

bool record_bits(DiskImage& image, uint32_t t, uint32_t n, uint8_t value)
{
    DiskTrack& track = image.tracks[t];
    size_t known = track.starts.size();
    size_t start = start_cell(track, n);
    if (start + 11 > CELLS)
        return false;
    uint8_t* stream = track_data(image, t);
    set_cell(stream, start, false);
    for (int b = 0; b < 8; b++)
        set_cell(stream, start + 1 + b, (value >> b) & 1);
    set_cell(stream, start + 9, std::popcount(value) & 1);
    set_cell(stream, start + 10, true);
    if (n < known) {
        track.bytes[n] = value;
        if (!track.errors.empty())
            track.errors[n] = 0;
    } else if (n == known) {
        track.bytes.push_back(value);
        track.starts.push_back(uint32_t(start));
        if (!track.errors.empty())
            track.errors.push_back(0);
    } else {
        resync_track(image, t);
    }
    return true;
}

} // namespace

bool record_character(DiskImage& image, uint32_t t, uint32_t n, uint8_t value)
{
    return image.format == DISK_BITS ? record_bits(image, t, n, value) : record_plain(image, t, n, value);
}

void erase_from(DiskImage& image, uint32_t t, uint32_t n)
{
    uint8_t* data = track_data(image, t);
    if (image.format == DISK_PLAIN) {
        for (size_t i = n; i < plain_length(t); i++)
            data[i] = image.tracks[t].bytes[i] = 0x00;
        return;
    }
    for (size_t i = start_cell(image.tracks[t], n); i < CELLS; i++)
        set_cell(data, i, true);
    resync_track(image, t);
}

void resync_track(DiskImage& image, uint32_t t)
{
    if (image.format != DISK_BITS)
        return;
    image.tracks[t] = bit_track(image.file, bit_offset(image, t));
}

std::vector<uint8_t> blank_image(DiskFormat format)
{
    if (format == DISK_PLAIN)
        return std::vector<uint8_t>(plain_offset(MAXTRK) + TRKSIZ, 0x00);
    std::vector<uint8_t> file(HEADER + (MAXTRK + 1) * TRACK_BLOCK, 0xFF);
    std::memcpy(file.data(), SIGNATURE, 16);
    file[16] = VERSION;
    file[17] = TYPE_525_40;
    file[18] = HEADER / 256;
    return file;
}
