// The processor on random memory behind random page handlers, from any registers, with
// interrupts at random moments: the program counter stays an address, and the sanitizers
// see every access outside the memory block. Then the same memory and registers without
// devices, run once back to back and once a single step at a time: both end alike.
#include "fuzz_machine.h"
#include "fuzz_support.h"
#include "machine/keyboard_port.h"

#include "frontend/screen.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/tape.h"
#include "machine/video.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

namespace {

const Handler reads[] = {RAMREAD, ROMBASICREAD, ROMKERNALREAD, NULLREAD, VIDCREAD, CVIDCREAD, KEYBREAD, ACIA1READ, ACIA2READ};
const Handler writes[] = {RAMWRITE, NULLWRITE, VIDCWRITE, CVIDCWRITE, GDCWRITE, KEYBWRITE, ACIA1WRITE, ACIA2WRITE};
constexpr int steps = 5000;

struct Snapshot {
    Registers r;
    uint32_t effective, last, cycles;
    std::vector<uint8_t> memory;
};

Snapshot snapshot()
{
    return {R, eff_adr, RPC_old, clocks, std::vector<uint8_t>(RAMptr, RAMptr + 0x10000)};
}

void restore(const Snapshot& s)
{
    R = s.r;
    eff_adr = s.effective;
    RPC_old = s.last;
    clocks = s.cycles;
    std::copy(s.memory.begin(), s.memory.end(), RAMptr);
}

// Pages of RAM, ROM or nothing, whose handlers have no side effects.
void compare_runs(const std::vector<uint8_t>& map)
{
    for (int p = 0; p < 256; p++) {
        int kind = map[p] % 3;
        readMEMORY[p] = kind == 2 ? NULLREAD : RAMREAD;
        writeMEMORY[p] = kind == 0 ? RAMWRITE : NULLWRITE;
    }
    CodeERR = 0;
    SEnable = 1;
    Hardware_timer = 0;
    stop_loc = 0x10000;  // never reached
    t_check = 0xFFFFFFFF;
    clocks = 0;
    jam_loc = NO_JAM;
    Snapshot start = snapshot();
    uint32_t n = run_instructions(steps);
    require(n == uint32_t(steps) || R.PC == jam_loc, "the run goes on to its end or to a JAM");
    Snapshot run = snapshot();
    restore(start);
    jam_loc = NO_JAM;
    for (uint32_t i = 0; i < n; i++)
        _6502();
    Snapshot stepped = snapshot();
    const Registers &a = run.r, &b = stepped.r;
    require(a.A == b.A && a.X == b.X && a.Y == b.Y && a.S == b.S && a.P == b.P && a.PC == b.PC && a.IR == b.IR &&
                a.EA == b.EA,
            "the registers end alike");
    require(run.effective == stepped.effective && run.last == stepped.last, "the addresses end alike");
    require(run.cycles == stepped.cycles, "the cycles end alike");
    require(run.memory == stepped.memory, "the memory ends alike");
    stop_loc = 0xFFFF;
    t_check = 60000;
}

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
    Registers first = R;
    std::vector<uint8_t> memory = input.ConsumeRemainingBytes<uint8_t>();
    auto load = [&] {
        std::memset(RAMptr, 0, 0x10000);
        for (size_t i = 0; i < memory.size(); i++)
            RAMptr[(first.PC + i) & 0xFFFF] = memory[i];
    };
    load();

    for (int i = 0; i < steps; i++) {
        IRQ |= i == irq_at;
        NMI |= i == nmi_at;
        _6502();
        require(R.PC <= 0xFFFF, "the program counter stays an address");
    }

    IRQ = NMI = 0;
    R = first;
    load();
    compare_runs(map);
    return 0;
}
