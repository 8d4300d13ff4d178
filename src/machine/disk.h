// The floppy disk controller: a PIA at $C000-$C003 and a serial chip at $C010-$C011.
#pragma once
#include "machine/disk_image.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t sel_A = 1;
constexpr uint32_t sel_B = 2;

// The diskettes in drives A and B, read whole when they are attached; empty when none is.
extern DiskImage image_a, image_b;
extern uint32_t sel_drv, drv_sel;
extern uint32_t track_a, track_b, sector_a, sector_b, sector;
extern uint32_t drv_index;
extern uint8_t portadat, portbdat, ddrareg, ddrbreg, acia2con, acia2dat;

void ACIA2READ();
void ACIA2WRITE();

// Puts the image in `path` into drive A (0) or B (1). A file that cannot be opened or used
// is reported (unless `report` is false), and the drive stays empty.
bool disk_attach(int drive, const std::string& path, bool report = true);
// Why the image in `path` cannot go into drive A (0) or B (1); "" when it can.
std::string disk_problem(int drive, const std::string& path);
// Takes the diskette out of drive A (0) or B (1), its changes written to its file first; the
// head stays where it is.
void disk_eject(int drive);
// Writes the changes of the diskette in drive A (0) or B (1) to its file, through a temporary
// file renamed over it; false (and told once) when that fails.
bool disk_save(int drive);
// Once a slice: a diskette written to is saved a moment after its last write, so that a crash
// loses at most that moment.
void disk_tick();
// The user's write protection of drive A (0) or B (1); a file that cannot be written protects
// its diskette too.
void disk_protect(int drive, bool on);
bool disk_protect_switch(int drive);
bool disk_protected(int drive);
// Makes a new diskette: a blank image in the format the name asks (.os5 bit-level, else plain),
// every track erased; a drive that holds that file lets go of it first. "" or why it failed.
std::string disk_create(const std::string& path);
// The file of the image in drive A (0) or B (1); "" for an empty drive.
const std::string& disk_name(int drive);
// Empties both drives, saving their changes, and puts them back to their start values (heads on
// track 1).
void disk_detach();
// The controller's part of a machine reset: PIA registers cleared, no drive selected.
void disk_reset();

class Fields;
// The state section "DISK": the heads, the positions, the PIA and serial chip registers and
// the images' file names; after a load the images are attached again.
void disk_section(Fields& f);
