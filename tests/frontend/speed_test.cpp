// The speed meter: its smoothing, the adjustment bar, and the test with its save and restore.
#include "frontend/speed.h"
#include "machine/memory_map.h"

#include "config/config.h"
#include "cpu/bus.h"
#include "frontend/startup.h"
#include "host/ids.h"
#include "machine/loop.h"
#include "machine/video.h"
#include "machine_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

class SpeedMeter : public testing::Test {
protected:
    void SetUp() override
    {
        fresh_machine();
        SpRun = -1;
        SpRunC = 0;
        aw_speed[2] = aw_speed[3] = aw_speed[4] = aw_speed[5] = 0;
    }
    // Ten slices of `cycles` each that took `us` microseconds each.
    void measure(uint64_t cycles, uint64_t us)
    {
        for (int i = 0; i < 10; i++) {
            cycles_done += cycles;
            test_host->now_us += us;
            Speed_display();
        }
    }
};

// The meter reads a steady speed as itself from its first measurement on, and follows a
// change without settling short of it.
TEST_F(SpeedMeter, MeterReadsTheSpeedItMeasures)
{
    const struct {
        uint64_t us;  // per slice of 60000 cycles
        uint32_t shown;
    } cases[] = {{60000, 100}, {59406, 101}, {58823, 102}, {58252, 103}, {15000, 400}, {300000, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        test_host->open_speed();
        for (int i = 0; i < 8; i++) {
            measure(60000, c.us);
            EXPECT_EQ(aw_speed[1], c.shown);
        }
        test_host->close_speed();
    }
    EXPECT_EQ(spd.meter, "Emulation: 20 %\n") << "no result lines before the first test";

    test_host->open_speed();
    measure(60000, 60000);
    std::vector<uint32_t> shown;
    for (int i = 0; i < 12; i++) {
        measure(60000, 30000);
        shown.push_back(aw_speed[1]);
    }
    EXPECT_EQ(shown, (std::vector<uint32_t>{125, 144, 158, 168, 176, 182, 187, 190, 192, 194, 196, 197}));
    for (int i = 0; i < 30; i++)
        measure(60000, 30000);
    EXPECT_EQ(aw_speed[1], 200u);

    SpeedPos = 200;  // a new speed starts the measurement again, without the old readings
    measure(60000, 60000);
    measure(60000, 60000);
    EXPECT_EQ(aw_speed[1], 100u);
}

TEST_F(SpeedMeter, BarSnapsToTheThreeFactorsAndWarp)
{
    const struct {
        int code, from, position, bar;
        uint32_t factor;
        int warp;
    } cases[] = {
        {SCROLL_THUMB_RELEASED, 200, 140, 100, 100, 0}, {SCROLL_THUMB_RELEASED, 100, 150, 200, 200, 0},
        {SCROLL_THUMB_RELEASED, 100, 250, 300, 400, 0}, {SCROLL_LINE_RIGHT, 300, 0, 400, 400, 1},
        {SCROLL_LINE_LEFT, 100, 0, 100, 100, 0},       {SCROLL_LINE_RIGHT, 100, 0, 200, 200, 0},
        {SCROLL_LINE_LEFT, 300, 0, 200, 200, 0},       {SCROLL_OTHER, 300, 0, 300, 400, 0},
        {SCROLL_THUMB_RELEASED, 100, 380, 400, 100, 1}, {SCROLL_LINE_LEFT, 400, 0, 300, 400, 0},
        {SCROLL_LINE_RIGHT, 400, 0, 400, 400, 1},
    };
    for (auto c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " from " << c.from << " at " << c.position);
        SpeedPos = c.from >= 300 ? 400 : c.from;
        set_warp(c.from == 400);
        spd.bar = c.from;
        speed_scroll(c.code, c.position);
        EXPECT_EQ(spd.bar, c.bar);
        EXPECT_EQ(SpeedPos, c.factor);
        EXPECT_EQ(WarpEnable, c.warp);
        EXPECT_EQ(test_host->marks[CMD_WARP], bool(c.warp));
        EXPECT_EQ(aw_speed[1], SpeedPos);
    }
}

// Everything the test touches, as it was before.
struct Snapshot {
    std::vector<uint8_t> low, video, graphics;
    Registers r;
    uint32_t graphics_on, speed;

    Snapshot()
        : low(RAMptr, RAMptr + 0x4000), video(RAMptr + 0xD000, RAMptr + 0xD800),
          graphics(RAMptr + 0x8000, RAMptr + 0xA000), r(R), graphics_on(GEnable), speed(SpeedPos)
    {
    }
    bool operator==(const Snapshot& o) const
    {
        return low == o.low && video == o.video && graphics == o.graphics && !std::memcmp(&r, &o.r, sizeof r) &&
               graphics_on == o.graphics_on && speed == o.speed;
    }
};

TEST(SpeedTest, RunsEveryRoutineAndRestoresTheMachine)
{
    fresh_machine();
    write_file(temp_path("graphics.ini"), "[ROM]\nBASIC=basic.rom\nKERNEL=monitor.rom\n[RAM]\nRAMTOP=0x7FFF\nRAMGDC=1\n");
    ASSERT_TRUE(start_machine(QUARZEL_PROGRAM_DIR "/quarzel", temp_path("graphics.ini"))) << SYS[7];
    for (int i = 0; i < 30; i++)
        run_slice();
    for (uint32_t a = 0x8000; a < 0xA000; a++)
        RAMptr[a] = uint8_t(a * 7);
    RAMptr[0x0300] = 0x5A;
    Snapshot before;

    test_host->open_speed();
    EXPECT_TRUE(speed_command(SPD_CLOSE)) << "Close works while no test runs";
    ASSERT_FALSE(speed_command(SPD_RUN_TEST));
    EXPECT_EQ(spd.button, "Wait");
    EXPECT_EQ(SpeedPos, 4000u);
    EXPECT_FALSE(speed_command(SPD_CLOSE)) << "Close is ignored while the test runs";
    std::vector<uint32_t> pcs;
    bool boxes = false, banner = false;
    for (int phase = SpRun, slices = 0; SpRun > 0 && slices < 3000; slices++) {
        run_slice();
        boxes = boxes || (SpRun == 3 && GEnable && !std::equal(before.graphics.begin(), before.graphics.end(), RAMptr + 0x8000));
        banner = banner || (SpRun == 2 && std::count(RAMptr + 0xD000, RAMptr + 0xD400, 0xA1) >= 4);
        if (SpRun != phase)
            pcs.push_back(R.PC), phase = SpRun;
    }
    EXPECT_EQ(pcs, (std::vector<uint32_t>{0x0409, 0x0406, 0x0403, 0x0400, before.r.PC}));
    EXPECT_TRUE(boxes) << "the bitmap routine drew its boxes";
    EXPECT_TRUE(banner) << "the screen routine wrote its banner";
    EXPECT_TRUE(Snapshot() == before) << "memory, screen, graphics, registers and speed as before";
    EXPECT_EQ(spd.button, "Close");
    for (int i = 2; i <= 5; i++)
        EXPECT_GT(aw_speed[i], 1000u) << i;
    EXPECT_NE(spd.meter.find("OpCode: "), std::string::npos);
    EXPECT_NE(spd.meter.find("Memory: "), std::string::npos) << spd.meter;
    Terminate();
}

} // namespace
