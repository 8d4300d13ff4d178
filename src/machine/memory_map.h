// The machine's memory map: which device's handlers serve each page of the block.
#pragma once
#include "machine/memory.h"

// Allocates the block and sets the device register pointers; on failure says so and clears
// Abort, so that the program ends.
void AllocMem();
// What the memory map tells the layers above; they fill it in at start-up.
struct MemoryMapHooks {
    void (*on_built)();  // the pages have their devices' handlers again
};
extern MemoryMapHooks memory_map_hooks;

void build_memory_map();
// Clears video memory, builds the opcode table and the memory map.
void init_cpu();
