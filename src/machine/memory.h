// The memory block's layout: the device register bytes inside it and the values that shape
// the memory map.
#pragma once
#include "cpu/bus.h"

#include <cstdint>

// Device register bytes inside the block.
extern uint8_t *portaptr, *ctraptr, *portbptr, *ctrbptr;
extern uint8_t *acia2cptr, *acia2dptr;
extern uint8_t *keyscanptr, *keyptr;
extern uint8_t *acia1cptr, *acia1dptr;

// Values that shape the memory map.
extern uint32_t RAMTOP, BASICadr, KERNALadr, VIDCadr, GDCadr, RAMGDC;
extern uint32_t ROMEX1, ROMEX2, ROMEX3, ROMEX1size, ROMEX2size, ROMEX3size;
extern uint32_t RAMEX1, RAMEX2, RAMEX1size, RAMEX2size;

class Fields;
// The state sections "MAP " (the values above) and "MEM " (the block, ROM areas included).
void memory_map_section(Fields& f);
void memory_section(Fields& f);
