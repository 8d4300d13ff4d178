// Save states written and read in this process: everything comes back, and a file that cannot
// be used changes nothing.
#include "frontend/savestate.h"
#include "machine/memory_map.h"

#include "config/config.h"
#include "cpu/bus.h"
#include "frontend/speed.h"
#include "frontend/startup.h"
#include "host/ids.h"
#include "machine/board.h"
#include "machine/board_port.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/tape.h"
#include "machine/typist.h"
#include "machine_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        R.EA = eff_adr = 0x02FE;
        IEnable = 1, IRQ_Interrupt = 777, irq_counter = 55, stop_loc = 0x0300;
        Board600D = 1, board_control = CONTROL_DAC;
        build_memory_map();
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
    static std::string with_u32(std::string s, const char* section, size_t offset, uint32_t v)
    {
        for (int i = 0; i < 4; i++)
            s[body_of(s, section) + offset + i] = char(v >> (8 * i));
        return mended(s);
    }

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
    Board600D = 0, board_control = 0;
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
    EXPECT_EQ(board_control, CONTROL_DAC);
    EXPECT_EQ(readMEMORY[0x70], RAMREAD) << "the memory map is rebuilt";
    EXPECT_EQ(writeMEMORY[0xD8], CTRLWRITE) << "with the 600D board's register";
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
    const struct {
        const char* section;
        size_t offset;
        uint32_t value;
        const char* why;
    } values[] = {
        {"DISK", 4, 99, "its DISK value track_a is 99, not 0 to 39"},
        {"LOOP", 44, 0, "its LOOP value SpeedPos is 0, not 100 to 400"},
        {"LOOP", 44, 4000, "its LOOP value SpeedPos is 4000"},
        {"LOOP", 44, 250, "its LOOP value SpeedPos is no speed factor"},
        {"LOOP", 24, 5000, "its LOOP value irq_counter is 5000, not 0 to 777"},
        {"MAP ", 0, 0xFFFF, "its MAP value RAMTOP is 65535, not 1023 to 32767"},
        {"BRD ", 0, 2, "its BRD value Board600D is 2, not 0 to 1"},
        {"BRD ", 0, 0, "its BRD value board_control is set on a board without the register"},
        {"VID ", 0, 1, "its VID value screen is no display mode"},
    };
    for (auto v : values)
        expect_refused(with_u32(good, v.section, v.offset, v.value), v.why);
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
    EXPECT_EQ(missing, "The tape input " + path("tape.bas") + " is gone; the machine goes on without it.\n");
    EXPECT_EQ(in, nullptr);

    EXPECT_EQ(save_state(path("no/such/folder/x.qst")), "Unable to write the state file " + path("no/such/folder/x.qst"));

    test_host->file_answers = {path("named")};  // typed in the chooser without an extension
    save_state_command(false);
    EXPECT_TRUE(std::filesystem::exists(path("named.qst")));
}

// The tape output goes on in its file only when that is as the state left it; otherwise in a
// new file beside it, and neither file loses a byte. The disk's status byte comes back as
// saved, after the diskette is put in again.
TEST_F(SaveState, NoFileIsShortenedAndRegistersOutliveTheDisks)
{
    write_file(path("disk.img"), std::string(92192, 'd'));
    ASSERT_TRUE(disk_attach(0, path("disk.img")));
    RAMptr[0xC010] = 0x0E;
    test_host->file_answers = {path("out.bas")};
    FileSaveMenue();
    for (char c : std::string("AB\r"))
        tape_write(uint8_t(c));
    ASSERT_EQ(save_state(path("out.qst")), "");
    std::string state = read(path("out.qst"));
    std::string older = state;  // as a version before the output's checksum wrote it
    size_t tape = body_of(older, "TAPE");
    older.erase(tape + uint8_t(older[tape - 4]) - 4, 4);
    older[tape - 4] = char(uint8_t(older[tape - 4]) - 4);
    write_file(path("older.qst"), mended(older));
    tape_close_all();

    const struct {
        const char* what;
        std::string state, before, after, beside;
    } cases[] = {
        {"unchanged", "out.qst", "AB\r", "AB\rC", ""},
        {"edited to another file", "out.qst", std::string(5000, 'x'), std::string(5000, 'x'), "C"},
        {"finished after the save", "out.qst", "AB\rTAIL", "AB\rTAIL", "C"},
        {"a state without the checksum", "older.qst", "AB\r", "AB\r", "C"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(path("out.bas"), c.before);
        std::filesystem::remove(path("out-1.bas"));
        RAMptr[0xC010] = 0x0F;
        std::string notes;
        ASSERT_EQ(load_state(path(c.state), notes), "");
        EXPECT_EQ(RAMptr[0xC010], 0x0E);
        EXPECT_EQ(disk_name(0), path("disk.img"));
        tape_write('C');
        tape_close_all();
        EXPECT_EQ(read(path("out.bas")), c.after);
        EXPECT_EQ(read(path("out-1.bas")), c.beside);
        EXPECT_EQ(notes.find(path("out-1.bas")) != std::string::npos, !c.beside.empty()) << notes;
    }
}

// A state whose sections carry values this version does not know, or another section, loads.
TEST_F(SaveState, NewerSectionsAndValuesAreSkipped)
{
    std::string newer = good;
    size_t vid = body_of(newer, "VID ");
    newer.insert(vid + 8, "more");
    newer[vid - 4] = char(uint8_t(newer[vid - 4]) + 4);
    newer.insert(24, std::string("NEW ") + '\x02' + std::string(3, '\0') + "hi");
    write_file(path("newer.qst"), mended(newer));
    std::memset(RAMptr, 0, 0x8000);
    std::string notes;
    EXPECT_EQ(load_state(path("newer.qst"), notes), "");
    EXPECT_EQ(R.PC, 0x1234u);
    EXPECT_EQ(RAMptr[0x0101], uint8_t(0x101 * 31 + 1));
}

// While the speed test runs its program is in memory: no state is saved or loaded then.
TEST_F(SaveState, RefusedWhileTheSpeedTestRuns)
{
    test_host->open_speed();
    speed_command(SPD_RUN_TEST);
    ASSERT_GT(SpRun, 0);
    EXPECT_EQ(save_state(path("during.qst")), "No state can be saved while the speed test runs; try again when it has finished");
    EXPECT_FALSE(std::filesystem::exists(path("during.qst")));
    expect_refused(good, "No state can be loaded while the speed test runs");
    speed_closed();
}

std::string screen_text() { return std::string(reinterpret_cast<char*>(RAMptr) + 0xD000, 0x400); }

void slices_until(const char* text)
{
    for (int i = 0; i < 500 && screen_text().find(text) == std::string::npos; i++)
        run_slice();
}

// A state saved while text is being typed, a key held down, goes on typing after a load just
// as the straight run did, and lets go of the key, whatever the typist did since.
TEST(SaveStateTyping, TypingInterruptedByASaveGoesOnAfterALoad)
{
    fresh_machine();
    ASSERT_TRUE(start_machine(QUARZEL_PROGRAM_DIR "/quarzel", "")) << SYS[7];
    slices_until("C/W/M ?");
    type_text("C\r\r");
    slices_until("OK");
    type_text("10 PRINT \"SPLIT\";6*7\rLIST\rRUN\r");
    auto key_down = [] { return std::any_of(key_matrix, key_matrix + 7, [](uint32_t row) { return row != 0xFF; }); };
    for (int i = 0; i < 12 || (i < 100 && !key_down()); i++)
        run_slice();
    ASSERT_TRUE(type_busy());
    ASSERT_TRUE(key_down());
    std::string state = temp_path("typing.qst"), notes;
    ASSERT_EQ(save_state(state), "");
    for (int i = 0; i < 200; i++)
        run_slice();
    std::string straight = screen_text();
    ASSERT_NE(straight.find("SPLIT 42"), std::string::npos) << straight;

    ASSERT_EQ(load_state(state, notes), "");
    for (int i = 0; i < 200; i++)
        run_slice();
    EXPECT_EQ(screen_text(), straight);
    EXPECT_TRUE(std::all_of(key_matrix, key_matrix + 7, [](uint32_t row) { return row == 0xFF; })) << "all keys up";
    Terminate();
}

} // namespace
