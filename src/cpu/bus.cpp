#include "cpu/bus.h"

uint8_t* RAMptr = nullptr;
Handler readMEMORY[256];
Handler writeMEMORY[256];
uint32_t memoryaddress = 0;
uint8_t readvalue = 0;
uint8_t writevalue = 0;
int PokeFlag = 0;

void NULLREAD() { readvalue = memoryaddress >> 8; }
void RAMREAD() { readvalue = RAMptr[memoryaddress]; }
void ROMBASICREAD() { readvalue = RAMptr[memoryaddress]; }
void ROMKERNALREAD() { readvalue = RAMptr[memoryaddress]; }
void NULLWRITE() {}
void RAMWRITE() { RAMptr[memoryaddress] = writevalue; }
