#include "machine/memory.h"

uint8_t *portaptr, *ctraptr, *portbptr, *ctrbptr;
uint8_t *acia2cptr, *acia2dptr;
uint8_t *keyscanptr, *keyptr;
uint8_t *acia1cptr, *acia1dptr;

uint32_t RAMTOP = 0x03FF, BASICadr = 0xA000, KERNALadr = 0xF800, VIDCadr = 0xD000, GDCadr = 0x8000;
uint32_t RAMGDC = 0;
uint32_t ROMEX1, ROMEX2, ROMEX3, ROMEX1size, ROMEX2size, ROMEX3size;
uint32_t RAMEX1, RAMEX2, RAMEX1size, RAMEX2size;
