// The monitor's D: it boots from the diskette in drive A, as the OSI monitors do.
#include "e2e/headless_fixture.h"
#include "machine/memory_map.h"

#include <cstdio>

namespace {

bool has(const Result& r, const std::string& text) { return r.out.find(text) != std::string::npos; }

// The start of a boot track: the load address $0300 and two pages. The program in the first
// page puts the text at $0410, in the second page, on the screen from $D100 and stops at $030D.
std::string boot_track(const std::string& text)
{
    const uint8_t code[] = {
        0x03, 0x00, 0x02,              // load address $0300, 2 pages
        0xA2, 0x00,                    // $0300: LDX #0
        0xBD, 0x10, 0x04,              // $0302: LDA $0410,X
        0xF0, 0x06,                    //        BEQ $030D
        0x9D, 0x00, 0xD1,              //        STA $D100,X
        0xE8,                          //        INX
        0xD0, 0xF5,                    //        BNE $0302
        0x4C, 0x0D, 0x03,              // $030D: JMP $030D
    };
    std::string track(std::begin(code), std::end(code));
    track.resize(3 + 0x110, '\xEA');
    track += text;
    track.resize(3 + 0x200, '\0');
    track.resize(2320, '\x55');  // after the two pages: bytes the monitor must not load
    return track;
}

class DiskBoot : public Headless {
protected:
    // A configuration with our ROMs, and the image in drive A when one is given.
    fs::path config(const fs::path& image = {})
    {
        std::string text = "[ROM]\nBASIC=basic.rom\nKERNEL=monitor.rom\n[RAM]\nRAMTOP=0x7FFF\n";
        if (!image.empty())
            text += "[DISK]\nDRIVE_A=" + image.string() + "\n";
        fs::path ini = dir / "boot.ini";
        write_file(ini.string(), text);
        return ini;
    }
};

// Track 0 is loaded and started; the head starts on track 1, which holds another program
// that must not run, so the monitor has to step out to track 0 first.
TEST_F(DiskBoot, LoadsTrackZeroAndStartsIt)
{
    std::string image = boot_track("DISK OK") + boot_track("TRACK 1");
    image.resize(92192, '\0');
    write_file((dir / "boot.img").string(), image);

    fs::path memory = dir / "loaded.bin";
    Result r = run({"--headless", "--until", "D/C/W/M ?", "--type", "D", "--until-pc", "030D", "--save-binary",
                    memory.string() + "@0300:300", "--screen", config(dir / "boot.img").string()});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "QUARZEL MONITOR 1.0\n\nD/C/W/M ?D\n")) << r.out;
    EXPECT_TRUE(has(r, "\nDISK OK\n")) << r.out;
    EXPECT_FALSE(has(r, "TRACK 1")) << r.out;
    std::string loaded = slurp(memory);
    ASSERT_EQ(loaded.size(), 0x300u);
    EXPECT_EQ(loaded.substr(0, 0x200), image.substr(3, 0x200));
    EXPECT_NE(loaded.substr(0x200), image.substr(3 + 0x200, 0x100)) << "a page too many";
}

// After a reset the head is still on track 0, part of the way into it: a second boot starts
// at the index again.
TEST_F(DiskBoot, BootsAgainAfterAReset)
{
    std::string image = boot_track("DISK OK");
    image.resize(92192, '\0');
    write_file((dir / "boot.img").string(), image);
    std::string monitor = slurp(fs::path(QUARZEL_PROGRAM_DIR) / "monitor.rom");
    ASSERT_EQ(monitor.size(), 2048u);
    char reset[8];
    std::snprintf(reset, sizeof reset, "%04X", uint8_t(monitor[0x7FC]) | uint8_t(monitor[0x7FD]) << 8);

    Result r = run({"--headless", "--until", "D/C/W/M ?", "--type", "D", "--until-pc", "030D", "--pc", reset,
                    "--until", "D/C/W/M ?", "--type", "D", "--until-pc", "030D", "--screen",
                    config(dir / "boot.img").string()});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "\nDISK OK\n")) << r.out;
}

// With no diskette the monitor gives up, asks again and takes the next choice.
TEST_F(DiskBoot, WithoutADiskBackToThePrompt)
{
    Result r = run({"--headless", "--limit", "2000000", "--until", "D/C/W/M ?", "--type", "D", "--until",
                    "D/C/W/M ?D\nD/C/W/M ?", "--type", "M", "--until", "D/C/W/M ?M\n", "--screen",
                    config().string()});
    EXPECT_EQ(r.status, 0) << r.err << r.out;
}

} // namespace
