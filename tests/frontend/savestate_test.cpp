// Save states written and read in this process: everything comes back, and a file that cannot
// be used changes nothing.
#include "frontend/savestate.h"

#include "cpu/bus.h"
#include "cpu/loop.h"
#include "machine/disk.h"
#include "machine/tape.h"
#include "machine_setup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

class SaveState : public testing::Test {
protected:
    std::string good;  // the bytes of a state of the machine set up here

    void SetUp() override
    {
        fresh_machine();
        for (int a = 0; a < 0x8000; a++)
            RAMptr[a] = uint8_t(a * 31 + (a >> 8));
        R.A = 0x12, R.X = 0x34, R.Y = 0x56, R.S = 0xF0, R.P = 0xA5, R.PC = 0x1234;
        R.EA = eff_adr = uint32_t(-3);  // what a branch backwards leaves
        IEnable = 1, IRQ_Interrupt = 777, irq_counter = 55, stop_loc = 0x0300;
        ASSERT_EQ(save_state(path("good.qst")), "");
        good = read(path("good.qst"));
    }
    static std::string path(const std::string& name) { return temp_path(name); }
    static std::string read(const std::string& file)
    {
        std::ifstream f(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    // The length and checksum made right again after a change.
    static std::string mended(std::string s)
    {
        uint32_t length = uint32_t(s.size() - 24);
        uint32_t sum = state_checksum(reinterpret_cast<const uint8_t*>(s.data()) + 24, length);
        for (int i = 0; i < 4; i++) {
            s[16 + i] = char(length >> (8 * i));
            s[20 + i] = char(sum >> (8 * i));
        }
        return s;
    }
    static size_t body_of(const std::string& s, const char* section) { return s.find(section, 24) + 8; }

    void expect_refused(const std::string& bytes, const std::string& why)
    {
        write_file(path("bad.qst"), bytes);
        std::string memory(reinterpret_cast<char*>(RAMptr), 0x10002);
        Registers r = R;
        std::string missing;
        std::string problem = load_state(path("bad.qst"), missing);
        EXPECT_NE(problem.find(why), std::string::npos) << "wanted: " << why << "\ngot: " << problem;
        EXPECT_EQ(memory, std::string(reinterpret_cast<char*>(RAMptr), 0x10002)) << why;
        EXPECT_EQ(std::memcmp(&r, &R, sizeof r), 0) << why;
    }
};

TEST_F(SaveState, EverythingComesBack)
{
    std::string memory(reinterpret_cast<char*>(RAMptr), 0x10002);
    std::memset(RAMptr, 0, 0x8000);
    R.A = 0, R.PC = 0x0400;
    IEnable = 0, irq_counter = 0, stop_loc = 0xFFFF;
    RAMTOP = 0x0FFF;
    build_memory_map();
    std::string missing;
    ASSERT_EQ(load_state(path("good.qst"), missing), "");
    EXPECT_EQ(missing, "");
    EXPECT_EQ(memory, std::string(reinterpret_cast<char*>(RAMptr), 0x10002));
    EXPECT_EQ(R.A, 0x12);
    EXPECT_EQ(R.PC, 0x1234u);
    EXPECT_EQ(R.P, 0xA5);
    EXPECT_EQ(IEnable, 1);
    EXPECT_EQ(irq_counter, 55u);
    EXPECT_EQ(stop_loc, 0x0300u);
    EXPECT_EQ(RAMTOP, 0x7FFFu);
    EXPECT_EQ(readMEMORY[0x70], RAMREAD) << "the memory map is rebuilt";
}

TEST_F(SaveState, UnusableFilesChangeNothing)
{
    std::memset(RAMptr + 0x2000, 0xEE, 0x100);
    R.X = 0x99;
    expect_refused("hello, world: no state at all", "is not a Quarzel state file");
    expect_refused(good.substr(0, good.size() - 100), "is cut short");
    std::string flipped = good;
    flipped[good.size() / 2] ^= 1;
    expect_refused(flipped, "its checksum does not match");
    std::string version = good;
    version[8] = 2;
    expect_refused(version, "format version 2, which this Quarzel cannot read");
    std::string machine = good;
    machine[12] = 7;
    expect_refused(machine, "was saved on a different machine (type 7)");
    std::string track = good;
    track[body_of(track, "DISK") + 4] = 99;  // drive A's head past track 39
    expect_refused(mended(track), "its DISK section holds values no machine can have");
    std::string speed = good;
    std::memset(&speed[body_of(speed, "LOOP") + 4 + 8 + 4 * 8], 0, 4);  // a speed factor of 0
    expect_refused(mended(speed), "its LOOP section holds values");
    std::string section = good;
    section.replace(section.find("VID ", 24), 4, "XXXX");
    expect_refused(mended(section), "it has no VID section");
    EXPECT_EQ(load_state(path("nothing-here.qst"), good), "Unable to open the state file " + path("nothing-here.qst"));
}

TEST_F(SaveState, FilesThatAreGoneAreNamed)
{
    write_file(path("tape.bas"), "10 PRINT 1\r20 PRINT 2\r");
    ASSERT_TRUE(tape_open_input(path("tape.bas")));
    std::fgetc(in);
    std::fgetc(in);
    ASSERT_EQ(save_state(path("tape.qst")), "");
    std::string missing;
    ASSERT_EQ(load_state(path("tape.qst"), missing), "");
    EXPECT_EQ(missing, "");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(std::fgetc(in), ' ') << "the tape goes on where it stood";

    tape_close_all();  // an open file cannot be removed on Windows
    std::filesystem::remove(path("tape.bas"));
    ASSERT_EQ(load_state(path("tape.qst"), missing), "");
    EXPECT_EQ(missing, "the tape input " + path("tape.bas") + "\n");
    EXPECT_EQ(in, nullptr);

    EXPECT_EQ(save_state(path("no/such/folder/x.qst")), "Unable to write the state file " + path("no/such/folder/x.qst"));
}

} // namespace
