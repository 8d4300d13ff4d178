// The speed meter: its smoothing, the adjustment bar, and the test with its save and restore.
#include "frontend/speed.h"

#include "config/config.h"
#include "cpu/bus.h"
#include "cpu/loop.h"
#include "frontend/startup.h"
#include "host/ids.h"
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
        test_host->open_speed();
    }
    // Ten slices that took `ms` milliseconds.
    void measure(uint32_t ms)
    {
        for (int i = 0; i < 9; i++)
            Speed_display();
        test_host->now += ms;
        Speed_display();
    }
};

TEST_F(SpeedMeter, MeterSmoothsTheMeasurement)
{
    t_check = 60000;
    t_time = 0;
    t_time_speed = test_host->now;
    std::vector<uint32_t> shown;
    for (int i = 0; i < 7; i++) {
        measure(300);  // 60000 / 300 + 1 = 201 %
        shown.push_back(aw_speed[1]);
    }
    EXPECT_EQ(shown, (std::vector<uint32_t>{148, 172, 184, 192, 196, 196, 196}));
    EXPECT_EQ(spd.meter, "Emulation: 196 %\n") << "no result lines before the first test";
    measure(0);
    EXPECT_EQ(t_speed, 60001u) << "ten slices within one millisecond count as one";

    t_check = 100;  // the debugger's slices: the raw measurement is 1
    aw_speed[1] = 196;
    for (uint32_t expected : {96u, 48u, 24u}) {
        measure(300);
        EXPECT_EQ(aw_speed[1], expected);
    }
}

TEST_F(SpeedMeter, BarSnapsToTheThreeFactors)
{
    const struct {
        int code, from, position, bar;
        uint32_t factor;
    } cases[] = {
        {SCROLL_THUMB_RELEASED, 200, 140, 100, 100}, {SCROLL_THUMB_RELEASED, 100, 150, 200, 200},
        {SCROLL_THUMB_RELEASED, 100, 250, 300, 400}, {SCROLL_LINE_RIGHT, 300, 0, 300, 400},
        {SCROLL_LINE_LEFT, 100, 0, 100, 100},       {SCROLL_LINE_RIGHT, 100, 0, 200, 200},
        {SCROLL_LINE_LEFT, 300, 0, 200, 200},       {SCROLL_OTHER, 300, 0, 300, 400},
    };
    for (auto c : cases) {
        SpeedPos = c.from == 300 ? 400 : c.from;
        spd.bar = c.from;
        speed_scroll(c.code, c.position);
        EXPECT_EQ(spd.bar, c.bar) << c.code << " from " << c.from << " at " << c.position;
        EXPECT_EQ(SpeedPos, c.factor) << c.code << " from " << c.from << " at " << c.position;
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
