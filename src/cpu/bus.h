// The 64 KB memory block behind 256 read and 256 write page handlers.
#pragma once
#include <cstdint>

using Handler = void (*)();

extern uint8_t* RAMptr;
extern Handler readMEMORY[256];
extern Handler writeMEMORY[256];
extern uint32_t memoryaddress;
extern uint8_t readvalue;
extern uint8_t writevalue;
extern int PokeFlag;
extern const uint8_t* CODEptr;

// Device register bytes inside the block.
extern uint8_t *portaptr, *ctraptr, *portbptr, *ctrbptr;
extern uint8_t *acia2cptr, *acia2dptr;
extern uint8_t *keyscanptr, *keyptr;
extern uint8_t *acia1cptr, *acia1dptr;

// Values that shape the memory map.
extern uint32_t RAMTOP, BASICadr, KERNALadr, VIDCadr, GDCadr, RAMGDC;
extern uint32_t ROMEX1, ROMEX2, ROMEX3, ROMEX1size, ROMEX2size, ROMEX3size;
extern uint32_t RAMEX1, RAMEX2, RAMEX1size, RAMEX2size;

inline unsigned char Peek(unsigned int address)
{
    memoryaddress = address & 0xFFFF;
    readMEMORY[memoryaddress >> 8]();
    return readvalue;
}

inline void Poke(unsigned int address, unsigned char value)
{
    memoryaddress = address & 0xFFFF;
    writevalue = value;
    PokeFlag = 1;
    writeMEMORY[memoryaddress >> 8]();
}

void AllocMem();
void build_memory_map();

void NULLREAD();
void RAMREAD();
void ROMBASICREAD();
void ROMKERNALREAD();
void NULLWRITE();
void RAMWRITE();
