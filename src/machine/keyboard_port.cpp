#include "machine/keyboard_port.h"

#include "machine/keyboard.h"
#include "machine/memory.h"
#include "machine/sound.h"
#include "machine/typist.h"

void KEYBREAD()
{
    if (memoryaddress & 1) {
        readvalue = 0xFF;
        return;
    }
    type_poll();
    for (int r = 0; r < 8; r++)
        if (!(*keyscanptr & (0x80 >> r)))
            row_reads[r]++;
    CIA2();
    readvalue = *keyptr;
}

void KEYBWRITE()
{
    sound_latch();
    RAMptr[memoryaddress & 0xDF00] = writevalue;
    PokeFlag = 1;
}
