#include "machine/memory_map.h"

#include "cpu/cpu.h"
#include "host/host.h"
#include "machine/board.h"
#include "machine/board_port.h"
#include "machine/disk.h"
#include "machine/keyboard_port.h"
#include "machine/loop.h"
#include "machine/tape.h"
#include "machine/video.h"

#include <cstdlib>

MemoryMapHooks memory_map_hooks;

void AllocMem()
{
    // Two spare bytes past the block mirror $0000-$0001 for operands that wrap past $FFFF.
    std::free(RAMptr);
    RAMptr = static_cast<uint8_t*>(std::calloc(0x10002, 1));
    if (!RAMptr) {
        host->message_box("Error allocating 64k memory for CPU", "ERROR during System Boot", MSG_ERROR);
        Abort = 0;
        return;
    }
    portaptr = RAMptr + 0xC000;
    ctraptr = RAMptr + 0xC001;
    portbptr = RAMptr + 0xC002;
    ctrbptr = RAMptr + 0xC003;
    acia2cptr = RAMptr + 0xC010;
    acia2dptr = RAMptr + 0xC011;
    keyscanptr = RAMptr + 0xDF00;
    keyptr = RAMptr + 0xDF01;
    acia1cptr = RAMptr + 0xF000;
    acia1dptr = RAMptr + 0xF001;
}

static void map_pages(uint32_t first, uint32_t end, Handler read, Handler write)
{
    for (uint32_t p = first; p < end && p < 256; p++) {
        readMEMORY[p] = read;
        writeMEMORY[p] = write;
    }
}

void build_memory_map()
{
    for (int p = 0; p < 256; p++) {
        readMEMORY[p] = (p >= 0xA0 && p <= 0xBF) ? ROMBASICREAD
                      : (p >= 0xF8)              ? ROMKERNALREAD
                                                 : NULLREAD;
        writeMEMORY[p] = NULLWRITE;
    }
    map_pages(0, (RAMTOP + 0xFF) >> 8, RAMREAD, RAMWRITE);

    const uint32_t rom[3][2] = {{ROMEX1, ROMEX1size}, {ROMEX2, ROMEX2size}, {ROMEX3, ROMEX3size}};
    for (auto [address, size] : rom)
        if (size != 0)
            map_pages(address >> 8, (address + size + 0xFF) >> 8, RAMREAD, NULLWRITE);

    const uint32_t ram[2][2] = {{RAMEX1, RAMEX1size}, {RAMEX2, RAMEX2size}};
    for (auto [address, size] : ram)
        if (size != 0 && address <= 0x10000 - size)
            map_pages(address >> 8, (address + size) >> 8, RAMREAD, RAMWRITE);

    if (RAMGDC == 1)
        map_pages(GDCadr >> 8, (GDCadr >> 8) + 32, RAMREAD, GDCWRITE);

    map_pages(0xD0, 0xD4, VIDCREAD, VIDCWRITE);
    map_pages(0xD4, 0xD8, CVIDCREAD, CVIDCWRITE);
    if (Board600D)
        map_pages(0xD8, 0xDC, NULLREAD, CTRLWRITE);
    readMEMORY[0xD8] = FORMATREAD;
    if (Colour630)
        map_pages(COLOURadr >> 8, (COLOURadr >> 8) + 8, RAMREAD, COLOURWRITE);
    map_pages(0xDC, 0xE0, KEYBREAD, KEYBWRITE);
    map_pages(0xF0, 0xF1, ACIA1READ, ACIA1WRITE);
    map_pages(0xC0, 0xC1, ACIA2READ, ACIA2WRITE);
    if (memory_map_hooks.on_built)
        memory_map_hooks.on_built();
}

void init_cpu()
{
    clrvid();
    build_opcode_table();
    build_memory_map();
}
