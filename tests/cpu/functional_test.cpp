#include "machine_setup.h"

#include "cpu/loop.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

TEST(Functional, KlausDormannTestPassesInExactInstructionCount)
{
    std::ifstream f(testdata_path("6502_functional_test.bin"), std::ios::binary);
    if (!f)
        GTEST_SKIP() << "6502_functional_test.bin not found in " << QUARZEL_TESTDATA_DIR;
    std::vector<char> image((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_EQ(image.size(), 65536u);

    fresh_machine();
    map_all_ram();
    std::copy(image.begin(), image.end(), RAMptr);
    R.PC = 0x0400;
    R.S = 0xFF;
    R.P = 0x20;

    // Every check ends in a branch or jump to itself: success at $3469, failure elsewhere.
    // The count includes the first pass through that trap.
    uint64_t count = 0;
    uint32_t before;
    do {
        before = R.PC;
        _6502();
        count++;
    } while (R.PC != before && count < 100'000'000);
    ASSERT_EQ(R.PC, 0x3469u) << std::hex << "trapped at $" << R.PC << " after " << std::dec << count;
    EXPECT_EQ(count, 30'646'177u);
}

} // namespace
