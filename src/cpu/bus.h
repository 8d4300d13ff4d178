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

// Device register bytes inside the block.
extern uint8_t *portaptr, *ctraptr, *portbptr, *ctrbptr;
extern uint8_t *acia2cptr, *acia2dptr;
extern uint8_t *keyscanptr, *keyptr;
extern uint8_t *acia1cptr, *acia1dptr;

// Values that shape the memory map.
extern uint32_t RAMTOP, BASICadr, KERNALadr, VIDCadr, GDCadr, RAMGDC;
extern uint32_t ROMEX1, ROMEX2, ROMEX3, ROMEX1size, ROMEX2size, ROMEX3size;
extern uint32_t RAMEX1, RAMEX2, RAMEX1size, RAMEX2size;

void RAMREAD();
void RAMWRITE();

// Plain memory pages are read and written here, without the call of their handler.
inline uint8_t bus_read(const uint8_t* mem, uint32_t address)
{
    uint32_t a = address & 0xFFFF;
    Handler read = readMEMORY[a >> 8];
    if (read == RAMREAD) [[likely]]
        return mem[a];
    memoryaddress = a;
    read();
    return readvalue;
}

inline void bus_write(uint8_t* mem, uint32_t address, uint8_t value)
{
    uint32_t a = address & 0xFFFF;
    Handler write = writeMEMORY[a >> 8];
    PokeFlag = 1;
    if (write == RAMWRITE) [[likely]] {
        mem[a] = value;
        return;
    }
    memoryaddress = a;
    writevalue = value;
    write();
}

inline unsigned char Peek(unsigned int address) { return bus_read(RAMptr, address); }
inline void Poke(unsigned int address, unsigned char value) { bus_write(RAMptr, address, value); }

void AllocMem();
void build_memory_map();

void NULLREAD();
void ROMBASICREAD();
void ROMKERNALREAD();
void NULLWRITE();
