// The processor on random memory behind random page handlers, from any registers, with
// interrupts at random moments: the program counter stays an address, and the sanitizers
// see every access outside the memory block.
#include "fuzz_machine.h"
#include "fuzz_support.h"

#include "cpu/loop.h"
#include "frontend/screen.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/tape.h"
#include "machine/video.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

namespace {

const Handler reads[] = {RAMREAD, ROMBASICREAD, ROMKERNALREAD, NULLREAD, VIDCREAD, CVIDCREAD, KEYBREAD, ACIA1READ, ACIA2READ};
const Handler writes[] = {RAMWRITE, NULLWRITE, VIDCWRITE, CVIDCWRITE, GDCWRITE, KEYBWRITE, ACIA1WRITE, ACIA2WRITE};
constexpr int steps = 5000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool built = build_machine("");
    (void)built;
    FuzzedDataProvider input(data, size);
    Reset();
    std::vector<uint8_t> map = input.ConsumeBytes<uint8_t>(256);
    map.resize(256);
    for (int p = 0; p < 256; p++) {
        readMEMORY[p] = reads[(map[p] & 15) % std::size(reads)];
        writeMEMORY[p] = writes[(map[p] >> 4) % std::size(writes)];
    }
    screen = input.ConsumeIntegral<uint8_t>() & 0x16;
    SetScreenCheck(screen);
    GEnable = input.ConsumeBool();
    CodeERR = input.ConsumeBool();
    int irq_at = input.ConsumeIntegralInRange(0, steps), nmi_at = input.ConsumeIntegralInRange(0, steps);
    R.A = input.ConsumeIntegral<uint8_t>();
    R.X = input.ConsumeIntegral<uint8_t>();
    R.Y = input.ConsumeIntegral<uint8_t>();
    R.S = input.ConsumeIntegral<uint8_t>();
    R.P = input.ConsumeIntegral<uint8_t>();
    R.PC = input.ConsumeIntegral<uint16_t>();
    std::memset(RAMptr, 0, 0x10000);
    std::vector<uint8_t> memory = input.ConsumeRemainingBytes<uint8_t>();
    for (size_t i = 0; i < memory.size(); i++)
        RAMptr[(R.PC + i) & 0xFFFF] = memory[i];

    for (int i = 0; i < steps; i++) {
        IRQ |= i == irq_at;
        NMI |= i == nmi_at;
        _6502();
        require(R.PC <= 0xFFFF, "the program counter stays an address");
    }
    return 0;
}
