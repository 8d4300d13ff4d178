#include "machine/memory.h"

#include "host/state_fields.h"

#include <algorithm>

uint8_t *portaptr, *ctraptr, *portbptr, *ctrbptr;
uint8_t *acia2cptr, *acia2dptr;
uint8_t *keyscanptr, *keyptr;
uint8_t *acia1cptr, *acia1dptr;

uint32_t RAMTOP = 0x03FF, BASICadr = 0xA000, KERNALadr = 0xF800, VIDCadr = 0xD000, GDCadr = 0x8000;
uint32_t RAMGDC = 0;
uint32_t ROMEX1, ROMEX2, ROMEX3, ROMEX1size, ROMEX2size, ROMEX3size;
uint32_t RAMEX1, RAMEX2, RAMEX1size, RAMEX2size;

void memory_map_section(Fields& f)
{
    f.value("RAMTOP", RAMTOP, 0x03FF, 0x7FFF);
    f.value("RAMGDC", RAMGDC, 0, U16);
    for (auto [address, size] : {std::pair{&ROMEX1, &ROMEX1size}, {&ROMEX2, &ROMEX2size}, {&ROMEX3, &ROMEX3size}}) {
        uint32_t at = f.value("ROMEX", *address, 0, U16);
        f.value("ROMEXsize", *size, 0, std::min<int64_t>(0x8000, 0x10000 - at));
    }
    for (auto [address, size] : {std::pair{&RAMEX1, &RAMEX1size}, {&RAMEX2, &RAMEX2size}}) {
        f.value("RAMEX", *address, 0, U16);
        f.value("RAMEXsize", *size, 0, U16);
    }
}


// Last, so that the device registers in it overwrite what re-attaching the disks set.
void memory_section(Fields& f) { f.block("memory", RAMptr, 0x10002); }
