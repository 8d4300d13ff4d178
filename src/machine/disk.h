// The floppy disk controller: a PIA at $C000-$C003 and a serial chip at $C010-$C011.
#pragma once
#include <cstdint>
#include <cstdio>

constexpr uint32_t BOOTSIZ = 2320;
constexpr uint32_t TRKSIZ = 2304;
constexpr uint32_t MAXTRK = 39;
constexpr uint32_t sel_A = 1;
constexpr uint32_t sel_B = 2;

extern std::FILE* dina;
extern std::FILE* dinb;
extern uint32_t sel_drv, drv_sel;
extern uint32_t track_a, track_b, sector_a, sector_b, sector;
extern uint32_t disk_ptr_a, disk_ptr_b, drv_index;
extern int dr_in;
extern uint8_t portadat, portbdat, ddrareg, ddrbreg, acia2con, acia2dat;

void ACIA2READ();
void ACIA2WRITE();

// Closes both images and puts the drives back to their start values (heads on track 1).
void disk_detach();
// The controller's part of a machine reset: PIA registers cleared, no drive selected.
void disk_reset();
