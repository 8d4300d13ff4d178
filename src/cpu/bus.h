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

void NULLREAD();
void ROMBASICREAD();
void ROMKERNALREAD();
void NULLWRITE();
