#include "machine/disk.h"

#include "cpu/bus.h"
#include "host/files.h"
#include "host/host.h"
#include "host/state_fields.h"
#include "machine/memory.h"
#include "machine/tape.h"

std::vector<DiskTrack> image_a, image_b;
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
    std::vector<DiskTrack>& image;
    std::string name;
    const char* open_error;
};

Drive drives[2] = {
    {sel_A, 1, track_a, sector_a, image_a, "", "Unable to open DISK_A Image File"},
    {sel_B, 2, track_b, sector_b, image_b, "", "Unable to open DISK_B Image File"},
};

uint32_t selection(uint8_t port_b, uint8_t port_a)
{
    return 1 + ((port_b & 0x20) ? 0 : 2) + ((port_a & 0x40) ? 0 : 1);
}

bool selected(const Drive& d) { return drv_sel == d.code && (sel_drv & d.attached_bit); }

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
        drv_index--;
        if (drv_index == 0) {
            *acia2cptr = 0x0F;
            drv_index = 100;
        } else if (drv_index <= 10) {
            v &= ~0x80;
            *acia2cptr = 0x0E;
            d.position = 0;
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
            const DiskTrack& track = d.image[d.track];
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
        const DiskTrack& track = d.image[d.track];
        if (d.position < track.errors.size())
            return track.errors[d.position];
    }
    return 0;
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

void disk_eject(int drive)
{
    Drive& d = drives[drive];
    sel_drv &= ~d.attached_bit;
    d.image.clear();
    d.name.clear();
}

namespace {

// Reads an image for drive d; "" or why it cannot be used.
std::string read_image(const Drive& d, const std::string& path, std::vector<DiskTrack>& tracks, int& damaged)
{
    std::FILE* f = open_read(path);
    if (!f)
        return d.open_error + (" " + path);
    std::string why;
    bool usable = load_disk_image(f, tracks, why, damaged);
    std::fclose(f);
    return usable ? "" : "The disk image " + path + " cannot be used: " + why;
}

} // namespace

std::string disk_problem(int drive, const std::string& path)
{
    std::vector<DiskTrack> tracks;
    int damaged;
    return read_image(drives[drive], path, tracks, damaged);
}

bool disk_attach(int drive, const std::string& path, bool report)
{
    Drive& d = drives[drive];
    disk_eject(drive);
    int damaged;
    std::string problem = read_image(d, path, d.image, damaged);
    if (!problem.empty()) {
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
    *acia2cptr = 0x0F;
    return true;
}

const std::string& disk_name(int drive) { return drives[drive].name; }

void disk_detach()
{
    for (Drive& d : drives) {
        d.image.clear();
        d.name.clear();
    }
    drv_sel = sel_drv = 0;
    track_a = track_b = 1;
    sector_a = sector_b = 0;
    drv_index = 20;
}

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
    for (int drive : {0, 1}) {
        std::string name = disk_name(drive);
        f.text("disk image", name);
        if (!f.loading())
            continue;
        disk_eject(drive);
        if (!name.empty() && !disk_attach(drive, name, false))
            f.notes += "The diskette " + name + " is gone; drive " + "AB"[drive] + " is empty.\n";
    }
}
