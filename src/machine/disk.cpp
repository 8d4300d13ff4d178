#include "machine/disk.h"

#include "cpu/bus.h"
#include "host/files.h"
#include "host/host.h"
#include "host/ids.h"
#include "host/state_fields.h"
#include "machine/memory.h"
#include "machine/tape.h"

#include <cctype>

DiskImage image_a, image_b;
uint32_t sel_drv, drv_sel;
uint32_t track_a = 1, track_b = 1, sector_a, sector_b, sector;
uint32_t drv_index;
uint8_t portadat, portbdat, ddrareg, ddrbreg, acia2con, acia2dat;

namespace {

struct Drive {
    uint32_t code;
    uint32_t attached_bit;
    uint32_t& track;
    uint32_t& position;
    DiskImage& image;
    std::string name;
    const char* open_error;
    bool protect = false;    // the user's write protection, kept over a change of diskette
    bool read_only = false;  // the image's file cannot be written
    bool changed = false;    // written since it was last saved to its file
    bool written = false;    // written since it was attached
    bool failed = false;     // the last save failed and has been reported
    uint64_t last_write_ms = 0;
};

Drive drives[2] = {
    {sel_A, 1, track_a, sector_a, image_a, "", "Unable to open DISK_A Image File"},
    {sel_B, 2, track_b, sector_b, image_b, "", "Unable to open DISK_B Image File"},
};

// Written characters reach the file this long after the last one.
constexpr uint64_t SAVE_DELAY_MS = 2000;

bool write_protected(const Drive& d) { return d.protect || d.read_only; }

// The write current flows while port B drives bit 0 low with the head loaded (bit 7 low); a
// line the direction register leaves an input floats high.
bool write_current(uint8_t latch)
{
    uint8_t lines = latch | ~ddrbreg;
    return !(lines & 0x81);
}

void mark_written(Drive& d)
{
    d.changed = d.written = true;
    d.last_write_ms = host->clock_ms();
}

uint32_t selection(uint8_t port_b, uint8_t port_a)
{
    return 1 + ((port_b & 0x20) ? 0 : 2) + ((port_a & 0x40) ? 0 : 1);
}

bool selected(const Drive& d) { return drv_sel == d.code && (sel_drv & d.attached_bit); }

// A revolution ends at the index. With the write current on, the rest of the track has passed
// under the head and been erased: a whole revolution written replaces the whole track.
void revolution_end(Drive& d)
{
    if (write_current(portbdat) && d.position > 0 && !write_protected(d)) {
        erase_from(d.image, d.track, d.position);
        mark_written(d);
    }
    d.position = 0;
}

uint8_t port_a_status()
{
    uint8_t v = 0xEE;
    if (!(portadat & 0x40))
        v &= ~0x40;
    for (Drive& d : drives) {
        if (!selected(d))
            continue;
        if (d.track == 0)
            v &= ~0x02;
        if (write_protected(d))
            v &= ~0x20;
        drv_index--;
        if (drv_index == 0) {
            *acia2cptr = 0x0F;
            drv_index = 100;
        } else if (drv_index <= 10) {
            v &= ~0x80;
            *acia2cptr = 0x0E;
            revolution_end(d);
        }
    }
    return v;
}

// A port reads its output latch in the bits its direction register makes outputs, and what
// the drive presents in the others: a program may change one output bit by reading the port,
// masking it and writing it back.
uint8_t port_a_read()
{
    uint8_t v = (port_a_status() & ~ddrareg) | (portadat & ddrareg);
    *portaptr = v;
    return v;
}

uint8_t port_b_read() { return (*portbptr & ~ddrbreg) | (portbdat & ddrbreg); }

void port_a_write(uint8_t v)
{
    if (drv_sel != 0)
        drv_sel = selection(portbdat, v);
    portadat = v;
}

void port_b_write(uint8_t v)
{
    uint8_t old = portbdat;
    if (!((v & 0x88) == 0x88 && drv_sel == 0))
        drv_sel = selection(v, portadat);
    if ((v & 0x80) && !(old & 0x80))
        drv_sel = 0;
    for (Drive& d : drives) {
        if (!selected(d))
            continue;
        if (!(v & 0x08) && (old & 0x08)) {
            d.track += (old & 0x04) ? -1 : 1;
            drv_index = 20;
            d.position = 0;
        }
        if (int32_t(d.track) < 0)
            d.track = 0;
        if (d.track > MAXTRK)
            d.track = MAXTRK;
        if (write_current(old) && !write_current(v))
            resync_track(d.image, d.track);
    }
    portbdat = v;
}

// A revolution delivers its own track's characters; after them the line is idle ($FF) until
// the index. Where the image file ended early nothing comes at all: the status drops to $0E
// and the data byte stays as it was.
uint8_t data_read()
{
    bool revolution_over = false;
    if (!(*acia2cptr & 0x01)) {
        *acia2dptr = 0xFF;
    } else {
        for (Drive& d : drives) {
            if (!selected(d))
                continue;
            const DiskTrack& track = d.image.tracks[d.track];
            sector = d.position++;
            revolution_over = sector >= track.bytes.size();
            if (!revolution_over)
                *acia2dptr = track.bytes[sector];
            else if (track.cut)
                *acia2cptr = 0x0E;
            else
                *acia2dptr = 0xFF;
        }
    }
    drv_index = revolution_over ? 10 : 100;
    return *acia2dptr;
}

// The error bits of the character the next data read delivers, as the chip shows them with it.
uint8_t waiting_errors()
{
    for (const Drive& d : drives) {
        if (!selected(d))
            continue;
        const DiskTrack& track = d.image.tracks[d.track];
        if (d.position < track.errors.size())
            return track.errors[d.position];
    }
    return 0;
}

// While the write current flows, every character handed to the serial chip is recorded where
// the rotation stands, and the rotation moves on by one character. The erase head of the 5.25"
// drives follows the write current (OS-65D writes its sectors with the erase bit high), so its
// bit is not looked at.
void data_write(uint8_t v)
{
    if (!write_current(portbdat))
        return;
    for (Drive& d : drives) {
        if (!selected(d))
            continue;
        sector = d.position++;
        bool past_revolution = false;
        if (!write_protected(d)) {
            past_revolution = !record_character(d.image, d.track, sector, v);
            if (!past_revolution)
                mark_written(d);
        }
        drv_index = past_revolution ? 10 : 100;
    }
}

} // namespace

void ACIA2READ()
{
    switch (memoryaddress & 0x13) {
    case 0x00: readvalue = (*ctraptr == 4) ? port_a_read() : ddrareg; break;
    case 0x01: readvalue = *ctraptr; break;
    case 0x02: readvalue = (*ctrbptr == 4) ? port_b_read() : ddrbreg; break;
    case 0x03: readvalue = *ctrbptr; break;
    case 0x10: readvalue = *acia2cptr = 0x0F | waiting_errors(); break;
    case 0x11: readvalue = data_read(); break;
    default: readvalue = 0xFF; break;
    }
}

void ACIA2WRITE()
{
    switch (memoryaddress & 0x13) {
    case 0x00:
        if (*ctraptr == 4)
            port_a_write(writevalue);
        else
            ddrareg = writevalue;
        break;
    case 0x01: *ctraptr = writevalue; PokeFlag = 1; break;
    case 0x02:
        if (*ctrbptr == 4)
            port_b_write(writevalue);
        else
            ddrbreg = writevalue;
        break;
    case 0x03: *ctrbptr = writevalue; PokeFlag = 1; break;
    case 0x10: acia2con = writevalue; break;
    case 0x11:
        acia2dat = writevalue;
        tape_write(writevalue);
        data_write(writevalue);
        break;
    default: break;
    }
}

void disk_reset()
{
    portadat = 0x40;
    portbdat = ddrareg = ddrbreg = 0;
    *portaptr = *ctraptr = *portbptr = *ctrbptr = 0;
    drv_sel = 0;
}

namespace {

// The image goes to its file whole or not at all; a failure is told once and the changes stay
// in memory for the next try.
bool save_image(Drive& d)
{
    if (!d.changed)
        return true;
    if (!write_whole(d.name, std::string(d.image.file.begin(), d.image.file.end()))) {
        if (!d.failed)
            host->message_box("Unable to write the diskette image " + d.name +
                                  "; its changes are kept in memory and written at the next save",
                              "ERROR Message", MSG_ERROR);
        d.failed = true;
        return false;
    }
    d.changed = d.failed = false;
    return true;
}

void forget(Drive& d)
{
    d.image = DiskImage();
    d.name.clear();
    d.changed = d.written = d.failed = d.read_only = false;
}

} // namespace

bool disk_save(int drive) { return save_image(drives[drive]); }

void disk_eject(int drive)
{
    Drive& d = drives[drive];
    if (!save_image(d))
        host->message_box("The diskette in drive " + std::string(1, "AB"[drive]) + " was taken out with changes that " +
                              "could not be written to " + d.name,
                          "ERROR Message", MSG_ERROR);
    sel_drv &= ~d.attached_bit;
    forget(d);
}

void disk_tick()
{
    for (Drive& d : drives)
        if (d.changed && !d.failed && host->clock_ms() - d.last_write_ms >= SAVE_DELAY_MS)
            save_image(d);
}

void disk_protect(int drive, bool on)
{
    drives[drive].protect = on;
    host->check_menu(CMD_PROTECT_A + drive, on);
}

bool disk_protect_switch(int drive) { return drives[drive].protect; }
bool disk_protected(int drive) { return write_protected(drives[drive]); }

std::string disk_create(const std::string& path)
{
    for (int drive : {0, 1})
        if (drives[drive].name == path)
            disk_eject(drive);
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    std::vector<uint8_t> blank = blank_image(ext == ".os5" ? DISK_BITS : DISK_PLAIN);
    return write_whole(path, std::string(blank.begin(), blank.end())) ? "" : "Unable to create the diskette image " + path;
}

namespace {

// Reads an image for drive d; "" or why it cannot be used.
std::string read_image(const Drive& d, const std::string& path, DiskImage& image, int& damaged)
{
    std::vector<uint8_t> file;
    if (!read_whole(path, file, LARGEST_IMAGE))
        return d.open_error + (" " + path);
    std::string why;
    return load_disk_image(std::move(file), image, why, damaged) ? "" : "The disk image " + path + " cannot be used: " + why;
}

bool writable(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (f)
        std::fclose(f);
    return f != nullptr;
}

} // namespace

std::string disk_problem(int drive, const std::string& path)
{
    DiskImage image;
    int damaged;
    return read_image(drives[drive], path, image, damaged);
}

bool disk_attach(int drive, const std::string& path, bool report)
{
    Drive& d = drives[drive];
    disk_eject(drive);
    int damaged;
    std::string problem = read_image(d, path, d.image, damaged);
    if (!problem.empty()) {
        d.image = DiskImage();
        if (report)
            host->message_box(problem, "ERROR Message", MSG_ERROR);
        return false;
    }
    if (report && damaged)
        host->message_box("The disk image " + path + " has " + std::to_string(damaged) +
                              " damaged characters (parity or framing errors)",
                          "Disk Image", MSG_INFO);
    sel_drv |= d.attached_bit;
    d.name = path;
    d.read_only = !writable(path);
    *acia2cptr = 0x0F;
    return true;
}

const std::string& disk_name(int drive) { return drives[drive].name; }

void disk_detach()
{
    for (int drive : {0, 1})
        disk_eject(drive);
    drv_sel = sel_drv = 0;
    track_a = track_b = 1;
    sector_a = sector_b = 0;
    drv_index = 20;
}

namespace {

// After a load, a diskette the machine had written to comes back as the state holds it. Its file
// takes it when the file is still as it was at the save (or is gone); a file changed since keeps
// what it has, and the state's diskette goes on in a new file beside it.
void reattach(Fields& f, int drive, const std::string& name, const std::string& held, uint32_t file_sum)
{
    disk_eject(drive);
    if (name.empty())
        return;
    if (held.empty()) {
        if (!disk_attach(drive, name, false))
            f.notes += "The diskette " + name + " is gone; drive " + "AB"[drive] + " is empty.\n";
        return;
    }
    Drive& d = drives[drive];
    std::vector<uint8_t> file;
    bool gone = !read_whole(name, file, LARGEST_IMAGE);
    bool kept = !gone && state_checksum(file.data(), file.size()) == file_sum;
    std::string why;
    int damaged;
    load_disk_image(std::vector<uint8_t>(held.begin(), held.end()), d.image, why, damaged);
    d.name = gone || kept ? name : free_name_beside(name);
    d.read_only = kept && !writable(name);
    d.written = true;
    d.changed = d.image.file != file;
    sel_drv |= d.attached_bit;
    if (gone)
        f.notes += "The diskette " + name + " was gone; it is written again as the state left it.\n";
    else if (!kept)
        f.notes += "The diskette " + name + " has changed since the state was saved; drive " + "AB"[drive] +
                   " holds the state's diskette, written to " + d.name + ".\n";
}

// The checksum of a written diskette's file as it is now, for a state.
uint32_t file_checksum(const Drive& d)
{
    std::vector<uint8_t> file;
    return d.written && read_whole(d.name, file, LARGEST_IMAGE) ? state_checksum(file.data(), file.size()) : 0;
}

bool usable_image(const std::string& held)
{
    DiskImage image;
    std::string why;
    int damaged;
    return load_disk_image(std::vector<uint8_t>(held.begin(), held.end()), image, why, damaged);
}

} // namespace

void disk_section(Fields& f)
{
    f.value("drv_sel", drv_sel, 0, 4);
    f.value("track_a", track_a, 0, MAXTRK);
    f.value("track_b", track_b, 0, MAXTRK);
    for (uint32_t* position : {&sector_a, &sector_b, &sector})
        f.value("sector", *position, 0, U32);
    f.value("drv_index", drv_index, 0, 100);
    for (uint8_t* r : {&portadat, &portbdat, &ddrareg, &ddrbreg, &acia2con, &acia2dat})
        f.value("PIA or ACIA register", *r, 0, U8);
    std::string names[2], held[2];
    uint32_t file_sums[2];
    for (int drive : {0, 1}) {
        names[drive] = disk_name(drive);
        f.text("disk image", names[drive]);
    }
    for (Drive& d : drives)
        f.value("protect", d.protect, 0, 1, 0);
    for (int drive : {0, 1}) {
        const DiskImage& image = drives[drive].image;
        held[drive] = drives[drive].written ? std::string(image.file.begin(), image.file.end()) : "";
        f.text("written image", held[drive], "");
        file_sums[drive] = f.mode == STATE_SAVE ? file_checksum(drives[drive]) : 0;
        f.value("its file's checksum", file_sums[drive], 0, U32, 0);
        if (f.mode == STATE_CHECK && !held[drive].empty())
            f.require(held[drive].size() <= LARGEST_IMAGE && usable_image(held[drive]), "written image",
                      "is no diskette image");
    }
    if (!f.loading())
        return;
    for (int drive : {0, 1}) {
        disk_protect(drive, drives[drive].protect);
        reattach(f, drive, names[drive], held[drive], file_sums[drive]);
    }
}
