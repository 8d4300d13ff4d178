#include <cstdio>

int main()
{
    std::puts("Quarzel: the 6502 processor, its memory bus and the emulation loop are built and tested.\n"
              "The machine configuration, the ROM loading and the window are not built yet, so there is\n"
              "nothing to boot. What runs today:\n"
              "  ./build.sh test       the test suite (with the 6502 functional test)\n"
              "  build/bench_cpu       the processor benchmark");
    return 0;
}
