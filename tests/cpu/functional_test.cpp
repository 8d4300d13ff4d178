#include "machine_setup.h"

#include "machine/loop.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

void start_image(const std::vector<char>& image)
{
    fresh_machine();
    map_all_ram();
    std::copy(image.begin(), image.end(), RAMptr);
    R.PC = 0x0400;
    R.S = 0xFF;
    R.P = 0x20;
}

// Runs a 64 KiB test image from $0400 one instruction at a time until an instruction
// branches or jumps to itself: every check of these tests ends so, at $3469 on success. The
// count includes the first pass through that trap.
uint64_t run_image_until_trap(const std::vector<char>& image)
{
    start_image(image);
    uint64_t count = 0;
    uint32_t before;
    do {
        before = R.PC;
        _6502();
        count++;
    } while (R.PC != before && count < 100'000'000);
    return count;
}

// The same with instructions run back to back, as the loop runs them while nothing else is
// due: the runs end at the breakpoint on $3469, or on a failure's trap, where the last
// instruction of a run jumped to itself. The trap's first pass is a single step.
uint64_t run_image_back_to_back(const std::vector<char>& image)
{
    start_image(image);
    stop_loc = 0x3469;
    t_check = 0xFFFFFFFF;
    uint64_t count = 0;
    while (R.PC != 0x3469 && count < 100'000'000) {
        count += run_instructions(10000);
        if (R.PC == RPC_old)
            break;
    }
    _6502();
    stop_loc = 0xFFFF;
    t_check = 60000;
    return count + 1;
}

std::vector<char> read_image(const std::string& name)
{
    std::ifstream f(testdata_path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST(Functional, KlausDormannTestPassesInExactInstructionCount)
{
    std::vector<char> image = read_image("6502_functional_test.bin");
    if (image.empty())
        GTEST_SKIP() << "6502_functional_test.bin not found in " << QUARZEL_TESTDATA_DIR;
    ASSERT_EQ(image.size(), 65536u);
    for (auto run : {run_image_until_trap, run_image_back_to_back}) {
        uint64_t count = run(image);
        ASSERT_EQ(R.PC, 0x3469u) << std::hex << "trapped at $" << R.PC << " after " << std::dec << count;
        EXPECT_EQ(count, 30'646'177u);
        EXPECT_EQ(clocks, 96'241'367u) << "the chip's count, page crossings and branches taken included";
    }
}

// A trap at $024D is a mismatch: $00 and $01 hold the operands, Y the carry going in.
TEST(Functional, DecimalModeMatchesTheNmosChipForEveryOperand)
{
    std::vector<char> image = read_image("6502_decimal_test.bin");
    if (image.empty())
        GTEST_SKIP() << "6502_decimal_test.bin not found in " << QUARZEL_TESTDATA_DIR;
    ASSERT_EQ(image.size(), 65536u);
    for (auto run : {run_image_until_trap, run_image_back_to_back}) {
        uint64_t count = run(image);
        ASSERT_EQ(R.PC, 0x3469u) << std::hex << "trapped at $" << R.PC << " with operands $" << int(RAMptr[0])
                                 << " and $" << int(RAMptr[1]) << ", carry " << int(R.Y) << std::dec << " after "
                                 << count;
        EXPECT_EQ(count, 17'609'920u);
        EXPECT_EQ(clocks, 53'953'839u);
    }
}

} // namespace
