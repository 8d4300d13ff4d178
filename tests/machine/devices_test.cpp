#include "machine/memory_map.h"
#include "machine_setup.h"

#include "frontend/savestate.h"
#include "frontend/screen.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/tape.h"
#include "machine/video.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

bool lit(int x, int y)
{
    const Surface& s = test_host->surface();
    return s.pixels[size_t(y) * s.width + x] == 0xFFFFFFFF;
}

constexpr uint8_t FULL_BLOCK = 0xCF;

TEST(Video, CellsLandInTheirRectangles)
{
    build_from_ini("");
    Poke(0xD400, FULL_BLOCK);
    EXPECT_EQ(Peek(0xD400), FULL_BLOCK);
    EXPECT_FALSE(lit(24, 16)) << "the second kilobyte is not shown in 32x32";

    screen = 2;
    SetScreenCheck(screen);  // the repaint draws every cell of the 64x32 format
    EXPECT_EQ(test_host->surface().width, 560);
    EXPECT_TRUE(lit(24, 16 + 8 * 16)) << "row 16, column 0";
    EXPECT_TRUE(lit(31, 16 + 8 * 16 + 7));
    EXPECT_FALSE(lit(32, 16 + 8 * 16));

    screen = 6;
    SetScreenCheck(screen);
    Poke(0xD001, FULL_BLOCK);
    EXPECT_EQ(test_host->surface().height, 568);
    EXPECT_TRUE(lit(24, 24));
    EXPECT_TRUE(lit(31, 39)) << "8 x 16 glyph";
    EXPECT_FALSE(lit(32, 24));
    EXPECT_FALSE(lit(24, 40));
    EXPECT_TRUE(test_host->marks[115] && test_host->marks[120] && !test_host->marks[116]);

    screen = 4;
    SetScreenCheck(screen);
    Poke(0xD000, FULL_BLOCK);
    EXPECT_TRUE(lit(16, 24));
    EXPECT_TRUE(lit(31, 39)) << "16 x 16 glyph";
}

TEST(Video, GraphicsOverlayAndText)
{
    build_from_ini("[RAM]\nRAMGDC=1\n");
    ToggleGraphik();
    EXPECT_TRUE(test_host->marks[119]);
    Poke(0x8000, 0x80);
    EXPECT_TRUE(lit(24, 16));
    EXPECT_FALSE(lit(25, 16));

    Poke(0xD000, ' ');  // text drawn over the graphics erases it until the slice ends
    EXPECT_FALSE(lit(24, 16));
    EXPECT_EQ(VIDCpoke, 1u);
    restgdc();
    EXPECT_TRUE(lit(24, 16));
    EXPECT_EQ(VIDCpoke, 0u);

    build_from_ini("");  // without graphics memory the pages are not memory at all
    Poke(0x8000, 0x80);
    EXPECT_EQ(Peek(0x8000), 0x80) << "unmapped page reads its page number";
    EXPECT_EQ(RAMptr[0x8000], 0);
}

// Without graphics memory, F8 neither paints nor clears what lies at $8000.
TEST(Video, GraphicsModeLeavesAnExtensionRomAlone)
{
    write_file(temp_path("ext.rom"), std::string(8192, '\xFF'));
    const std::string ini = "[EXTENSIONS]\nROMEXT1=0x8000,ext.rom\n";
    build_from_ini(ini);
    ToggleGraphik();
    EXPECT_TRUE(test_host->marks[119]);
    restgdc();
    EXPECT_FALSE(lit(24, 16)) << "ROM bytes are not graphics";
    build_from_ini(ini);  // Hard Reset with graphics on
    EXPECT_EQ(GEnable, 0u);
    EXPECT_EQ(Peek(0x8000), 0xFF);
    EXPECT_EQ(Peek(0x9FFF), 0xFF);
}

TEST(Keyboard, MatrixReadsThroughTheLatch)
{
    build_from_ini("");
    ASSERT_EQ(key_ref[0x1E].row, 6);
    ASSERT_EQ(key_ref[0x1E].mask, 0xBF);

    Poke(0xDF00, 0x00);  // all rows, nothing down
    EXPECT_EQ(Peek(0xDF00), 0xFF);

    gScan = irqkey = 0x1E;  // A down: CIA1 engages shift lock, the read applies the key
    CIA1();
    Poke(0xDF00, 0xFE);
    EXPECT_EQ(Peek(0xDF00), 0xFE) << "shift lock in row 7";
    Poke(0xDF00, 0xBF);
    EXPECT_EQ(Peek(0xDF00), 0xFF) << "row 1";
    Poke(0xDF00, 0xFD);
    EXPECT_EQ(Peek(0xDF00), 0xBF) << "row 6 has A";
    EXPECT_EQ(Peek(0xDF01), 0xFF);
    EXPECT_EQ(Peek(0xDC00), 0xBF) << "the keyboard repeats through its four pages";
    Poke(0xDE00, 0x00);
    EXPECT_EQ(RAMptr[0xDE00], 0x00);
    EXPECT_EQ(RAMptr[0xDF00], 0xFD) << "only $DF00-$DFFF reach the latch";

    gScan = irqkey = 0x9E;  // A up
    CIA1();
    EXPECT_EQ(Peek(0xDF00), 0xFF);
}

TEST(Keyboard, SpecialAndHotKeys)
{
    build_from_ini("");
    gScan = irqkey = 0x4B;  // Left: SHIFT + O
    CIA1();
    EXPECT_EQ(key_matrix[7] & 0x04, 0u);
    EXPECT_EQ(key_matrix[2], 0xDFu);
    EXPECT_EQ(gScan, 0x80u);
    gScan = irqkey = 0x1E;  // A goes down while Left is held
    CIA1();
    CIA2();
    EXPECT_EQ(key_matrix[6], 0xBFu);
    gScan = irqkey = 0xC8;  // Up released: every key lets go
    CIA1();
    EXPECT_EQ(gScan, 0u);
    for (uint32_t row : key_matrix)
        EXPECT_EQ(row, 0xFFu);

    gScan = irqkey = 0x57;  // F11
    CIA1();
    EXPECT_EQ(test_host->posted, std::vector<int>{109});

    RAMptr[0x0200] = 0x42;
    R.PC = 0x1234;
    gScan = irqkey = 0x58;  // F12 resets and keeps memory
    CIA1();
    EXPECT_EQ(R.PC, Peek(0xFFFC) | (Peek(0xFFFD) << 8));
    EXPECT_EQ(RAMptr[0x0200], 0x42);

    gScan = irqkey = 0x3A;  // Caps Lock toggles shift lock
    CIA1();
    EXPECT_EQ(caps, 0u);
}

TEST(Tape, InputIsPacedByTheCounter)
{
    build_from_ini("");
    write_file(temp_path("ab.bas"), "AB\n");
    test_host->file_answers.push_back(temp_path("ab.bas"));
    ASSERT_EQ(FileMenue(""), 1);
    EXPECT_EQ(Peek(0xF000), 0x0F);
    EXPECT_EQ(Peek(0xF001), 0x41);
    EXPECT_EQ(Peek(0xF000), 0x0E);
    EXPECT_EQ(Peek(0xF001), 0x41) << "no new byte before the counter runs out";
    EXPECT_EQ(Hardware_timer, 86u);
    Hardware_timer = 0;
    EXPECT_EQ(Peek(0xF000), 0x0F);
    EXPECT_EQ(Peek(0xF011), 0x42) << "odd addresses through the page are data";
    Hardware_timer = 0;
    EXPECT_EQ(Peek(0xF001), 0x0A);
    Hardware_timer = 0;
    EXPECT_EQ(Peek(0xF001), 0xFF) << "end of the file";
    EXPECT_EQ(Peek(0xF000), 0x0E);
    EXPECT_EQ(in, nullptr);

    build_from_ini("");
    EXPECT_EQ(Peek(0xF000), 0x0E) << "after the end and a rebuild the transmitter is still free";
}

TEST(Tape, OutputFiles)
{
    build_from_ini("");
    test_host->file_answers.push_back(temp_path("PROG"));
    FileSaveMenue();
    ASSERT_NE(out, nullptr);
    Poke(0xF001, 'X');
    Poke(0xC011, 'Y');  // the disk serial port writes to the tape output too
    Poke(0xF001, '\r');
    EXPECT_EQ(Peek(0xC010), 0x0F);
    std::ifstream saved(temp_path("PROG.BAS"), std::ios::binary);
    ASSERT_TRUE(saved) << "a name without extension gets .BAS";
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), "XY\r") << "on disk as the line ends";
    Poke(0xF001, 'Z');
    RAMptr[0x0205] = 7;
    CloseSavedFiles();
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(RAMptr[0x0205], 0);
    std::ifstream closed(temp_path("PROG.BAS"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(closed), {}), "XY\rZ");

    test_host->file_answers.push_back(temp_path("no/such/folder/x.bas"));
    FileSaveMenue();
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].icon, MSG_ERROR);

    FileSaveMenue();  // cancelled: nothing opened, nothing said
    EXPECT_EQ(test_host->messages.size(), 1u);
}

// Selects drive A through the PIA: control registers to 4, then port B bit 5 and port A bit 6 set.
void select_drive_a()
{
    Poke(0xC001, 4);
    Poke(0xC003, 4);
    Poke(0xC002, 0x20 | 0x08);
    Poke(0xC000, 0x40);
}

TEST(Disk, TracksIndexAndData)
{
    std::string image(92192, 0);
    for (size_t i = 0; i < image.size(); i++)
        image[i] = char(i * 7 + i / 2304);
    write_file(temp_path("disk.img"), image);
    build_from_ini("[DISK]\nDRIVE_A=disk.img\n");
    ASSERT_EQ(sel_drv, 1u);
    select_drive_a();
    ASSERT_EQ(drv_sel, sel_A);
    EXPECT_EQ(track_a, 1u);

    Poke(0xC002, 0x20 | 0x08 | 0x04);  // direction outward
    Poke(0xC002, 0x20 | 0x04);         // falling bit 3: one step
    EXPECT_EQ(track_a, 0u);
    Poke(0xC002, 0x20 | 0x08 | 0x04);
    Poke(0xC002, 0x20 | 0x04);
    EXPECT_EQ(track_a, 0u) << "clamped at track 0";

    drv_index = 100;
    for (int i = 0; i < 89; i++)
        ASSERT_EQ(Peek(0xC000), 0xEC) << i;
    for (int i = 0; i < 10; i++)
        ASSERT_EQ(Peek(0xC000), 0x6C) << "index hole " << i;
    EXPECT_EQ(Peek(0xC000), 0xEC);

    sector_a = 0;
    Peek(0xC000);
    for (int i = 0; i < 2320; i++) {
        Peek(0xC010);
        ASSERT_EQ(Peek(0xC011), uint8_t(image[i])) << i;
    }
    Peek(0xC010);
    EXPECT_EQ(Peek(0xC011), 0xFF) << "the revolution ends with its own track";

    for (int step = 0; step < 5; step++) {  // inward to track 5
        Poke(0xC002, 0x20 | 0x08);
        Poke(0xC002, 0x20);
    }
    EXPECT_EQ(track_a, 5u);
    Peek(0xC010);
    EXPECT_EQ(Peek(0xC011), uint8_t(image[11552])) << "track 5 starts at 4640 + 3 * 2304";
}

// The bytes of one revolution on track 5, then the idle line, the index and the same bytes again.
std::vector<uint8_t> revolution()
{
    std::vector<uint8_t> got;
    Peek(0xC010);
    for (uint8_t b = Peek(0xC011); drv_index != 10; b = Peek(0xC011)) {
        got.push_back(b);
        Peek(0xC010);
    }
    return got;
}

TEST(Disk, RevolutionReadsOnlyItsOwnTrack)
{
    std::string image(92192, 0);
    for (size_t i = 0; i < image.size(); i++)
        image[i] = char(1 + i % 251);
    write_file(temp_path("disk.img"), image);
    build_from_ini("[DISK]\nDRIVE_A=disk.img\n");
    select_drive_a();
    for (int step = 0; step < 4; step++) {
        Poke(0xC002, 0x20 | 0x08);
        Poke(0xC002, 0x20);
    }
    ASSERT_EQ(track_a, 5u);
    std::vector<uint8_t> first = revolution();
    ASSERT_EQ(first.size(), 2304u);
    EXPECT_EQ(first.front(), uint8_t(image[11552]));
    EXPECT_EQ(first.back(), uint8_t(image[11552 + 2303]));
    int index = 0;
    while (Peek(0xC000) & 0x80)
        ASSERT_LT(++index, 11) << "the index follows the idle line";
    while (!(Peek(0xC000) & 0x80))
        ;
    EXPECT_EQ(revolution(), first) << "the next revolution starts at the index";

    write_file(temp_path("short.img"), image.substr(0, 3000));  // track 1 ends after 680 bytes
    build_from_ini("[DISK]\nDRIVE_A=short.img\n");
    select_drive_a();
    Peek(0xC010);
    for (int i = 0; i < 680; i++)
        Peek(0xC011);
    *acia2dptr = 0x77;
    EXPECT_EQ(Peek(0xC011), 0x77) << "past the end of the file the data byte stays";
    EXPECT_EQ(*acia2cptr, 0x0E) << "no byte comes";
}

// A read of either port gives the output latch in its output bits: OS-65D changes a bit of
// port B by reading, masking and writing it back.
TEST(Disk, PortsReadBackTheirOutputLatches)
{
    write_file(temp_path("disk.img"), std::string(92192, 0));
    build_from_ini("[DISK]\nDRIVE_A=disk.img\n");
    Poke(0xC001, 0);
    Poke(0xC000, 0x40);  // port A: bit 6 out
    Poke(0xC001, 4);
    Poke(0xC003, 0);
    Poke(0xC002, 0xFF);  // port B: all out
    Poke(0xC003, 4);
    Poke(0xC000, 0x40);
    Poke(0xC002, 0x2C);
    ASSERT_EQ(drv_sel, sel_A);
    EXPECT_EQ(Peek(0xC002), 0x2C);
    Poke(0xC002, Peek(0xC002) & 0xFB);  // LDA #$FB : AND $C002 : STA $C002
    EXPECT_EQ(drv_sel, sel_A) << "the drive stays selected";
    EXPECT_EQ(Peek(0xC002), 0x28);
    EXPECT_EQ(Peek(0xC000) & 0x40, 0x40) << "port A bit 6 is the latch";
    Poke(0xC000, 0x00);
    EXPECT_EQ(Peek(0xC000) & 0x40, 0x00);

    Poke(0xC003, 0);
    Poke(0xC002, 0x0F);  // port B: low half out, high half in
    Poke(0xC003, 4);
    Poke(0xC002, 0xF5);
    EXPECT_EQ(Peek(0xC002), 0x05) << "inputs read what Reset left";
    Poke(0xC001, 0);
    Poke(0xC000, 0x00);  // port A: all in
    Poke(0xC001, 4);
    Poke(0xC000, 0x40);
    EXPECT_EQ(Peek(0xC000) & 0x13, 0x02) << "the drive's lines: bits 0 and 4 low, not on track 0";
}

// A revolution's serial line, cell by cell: first cell in bit 7 of the first byte.
struct BitStream {
    std::vector<uint8_t> bytes;
    size_t cells = 0;

    void put(bool one)
    {
        if (cells % 8 == 0)
            bytes.push_back(0xFF);
        if (!one)
            bytes.back() &= ~(0x80 >> (cells % 8));
        cells++;
    }
    void idle(int n)
    {
        while (n--)
            put(true);
    }
    // An 8E1 character; a bad parity or stop bit on request.
    void character(uint8_t v, bool parity_ok = true, bool stop_ok = true)
    {
        put(false);
        for (int b = 0; b < 8; b++)
            put(v >> b & 1);
        put((std::popcount(v) & 1) == parity_ok);
        put(stop_ok);
    }
};

TEST(Disk, BitStreamDecodesIntoCharacters)
{
    BitStream line;
    line.idle(700);  // the index hole
    line.character('O');
    line.character('S');
    line.idle(3);
    line.character(0x00, false);
    line.character(0xA5, true, false);
    line.idle(40);
    line.put(false);  // a start bit that the end of the revolution cuts off
    line.put(true);
    DiskTrack t = decode_bitstream(line.bytes.data(), line.cells);
    EXPECT_EQ(t.bytes, (std::vector<uint8_t>{'O', 'S', 0x00, 0xA5}));
    EXPECT_EQ(t.errors, (std::vector<uint8_t>{0, 0, 0x40, 0x10})) << "the serial chip's parity and framing bits";
}

// A '~' in a track's text is recorded with a wrong parity bit.
std::string bit_image(uint8_t version, uint8_t type, const std::vector<std::string>& tracks, uint8_t first_block = 1)
{
    std::string image = "OSIDISKBITSTREAM";
    image += char(version);
    image += char(type);
    image += char(first_block);
    image.resize(256, char(0xFF));
    for (const std::string& text : tracks) {
        BitStream line;
        line.idle(1000);
        for (char c : text)
            line.character(uint8_t(c), c != '~');
        line.bytes.resize(0x0D00, 0xFF);
        image.append(line.bytes.begin(), line.bytes.end());
    }
    return image;
}

TEST(Disk, BitLevelImagesAttachAndRead)
{
    write_file(temp_path("disk.os5"), bit_image(1, 0, {"TRACK~0", "TRACK 1~"}));  // a short file: two tracks
    build_from_ini("[DISK]\nDRIVE_A=disk.os5\n");
    ASSERT_EQ(sel_drv, 1u) << (test_host->messages.empty() ? "" : test_host->messages[0].text);
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].text, "The disk image " + temp_path("disk.os5") +
                                               " has 2 damaged characters (parity or framing errors)");
    EXPECT_EQ(test_host->messages[0].icon, MSG_INFO);
    EXPECT_EQ(std::string(image_a.tracks[0].bytes.begin(), image_a.tracks[0].bytes.end()), "TRACK~0");
    EXPECT_TRUE(image_a.tracks[5].bytes.empty());
    EXPECT_TRUE(image_a.tracks[5].cut);
    select_drive_a();  // the head is on track 1
    std::string got, status;
    for (int i = 0; i < 8; i++) {
        status += char(Peek(0xC010));
        got += char(Peek(0xC011));
    }
    EXPECT_EQ(got, "TRACK 1~");
    EXPECT_EQ(status, std::string(7, 0x0F) + "\x4F") << "the damaged character comes with the parity error bit";
    Peek(0xC010);
    EXPECT_EQ(Peek(0xC011), 0xFF) << "the idle line after the track's characters";
    EXPECT_EQ(drv_index, 10u) << "the index comes next";

    const struct {
        uint8_t version, type;
        const char* why;
    } refused[] = {{1, 1, "type 1 (not a 5.25\" 40-track diskette)"}, {1, 2, "type 2"}, {2, 0, "version 2"}};
    for (auto r : refused) {
        write_file(temp_path("bad.os5"), bit_image(r.version, r.type, {"X"}));
        build_from_ini("[DISK]\nDRIVE_A=bad.os5\n");
        EXPECT_EQ(sel_drv, 0u);
        ASSERT_EQ(test_host->messages.size(), 1u);
        EXPECT_NE(test_host->messages[0].text.find(r.why), std::string::npos) << test_host->messages[0].text;
    }
    write_file(temp_path("bad.os5"), bit_image(1, 0, {"X"}, 0));
    build_from_ini("[DISK]\nDRIVE_A=bad.os5\n");
    EXPECT_EQ(sel_drv, 0u);
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].text,
              "The disk image " + temp_path("bad.os5") + " cannot be used: its first track lies inside its header");
    write_file(temp_path("bad.os5"), "OSIDISKBITSTREAM\x01");
    build_from_ini("[DISK]\nDRIVE_A=bad.os5\n");
    EXPECT_EQ(sel_drv, 0u);
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].text, "The disk image " + temp_path("bad.os5") + " cannot be used: its header is cut short");
}

// Drive A selected with every port B line an output: the head loaded, the write current off.
void select_drive_a_to_write()
{
    Poke(0xC001, 4);
    Poke(0xC003, 0);
    Poke(0xC002, 0xFF);
    Poke(0xC003, 4);
    Poke(0xC002, 0x2B);
    Poke(0xC000, 0x40);
}

void write_current(bool on) { Poke(0xC002, on ? 0x2A : 0x2B); }

void to_index()
{
    while (Peek(0xC000) & 0x80)
        ;
}

std::string read_chars(int n)
{
    std::string got;
    for (int i = 0; i < n; i++) {
        Peek(0xC010);
        got += char(Peek(0xC011));
    }
    return got;
}

void write_chars(const std::string& text)
{
    for (char c : text)
        Poke(0xC011, uint8_t(c));
}

std::string read_file(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

std::vector<DiskTrack> tracks_of(const std::string& path)
{
    std::string file = read_file(path);
    DiskImage image;
    std::string why;
    int damaged;
    EXPECT_TRUE(load_disk_image(std::vector<uint8_t>(file.begin(), file.end()), image, why, damaged)) << why;
    return image.tracks;
}

// In both formats a written character is where the next read finds it, over the old ones or
// behind them; a protected drive records nothing; the write current held on through the index
// erases the rest of the revolution; the file gets it all a moment after the last write.
TEST(Disk, WrittenCharactersAreReadBackAndSaved)
{
    const struct {
        const char* name;
        char erased;
    } formats[] = {{"disk.img", '\0'}, {"disk.os5", '\xFF'}};
    for (auto [name, erased] : formats) {
        SCOPED_TRACE(name);
        ASSERT_EQ(disk_create(temp_path(name)), "");
        std::vector<DiskTrack> blank = tracks_of(temp_path(name));
        build_from_ini("[DISK]\nDRIVE_A=" + std::string(name) + "\n");
        select_drive_a_to_write();  // track 1
        to_index();
        write_current(true);
        write_chars("HEADER");
        write_current(false);
        to_index();
        EXPECT_EQ(read_chars(2), "HE");
        write_current(true);
        write_chars("XY");
        write_current(false);
        to_index();
        EXPECT_EQ(read_chars(6), "HEXYER");
        EXPECT_EQ(tracks_of(temp_path(name))[1].bytes, blank[1].bytes) << "not saved yet";

        disk_protect(0, true);
        EXPECT_FALSE(Peek(0xC000) & 0x20) << "port A bit 5 low: write-protected";
        to_index();
        write_current(true);
        write_chars("ZZ");
        write_current(false);
        to_index();
        EXPECT_EQ(read_chars(2), "HE");
        disk_protect(0, false);
        EXPECT_TRUE(Peek(0xC000) & 0x20);

        test_host->sleep_us(2'000'000);
        disk_tick();
        std::vector<DiskTrack> saved = tracks_of(temp_path(name));
        EXPECT_EQ(std::string(saved[1].bytes.begin(), saved[1].bytes.begin() + 6), "HEXYER");
        for (uint32_t t : {0u, 2u, 39u})
            EXPECT_EQ(saved[t].bytes, blank[t].bytes) << "track " << t;

        to_index();
        write_current(true);
        write_chars("AB");
        to_index();
        write_current(false);
        to_index();
        EXPECT_EQ(read_chars(3), std::string("AB") + erased) << "a whole revolution replaces the track";
    }
}

// A save that fails leaves the old file whole, says so once and keeps the changes for the next.
TEST(Disk, AFailedSaveKeepsTheOldImageAndTellsOnce)
{
    std::filesystem::create_directories(temp_path("box"));
    ASSERT_EQ(disk_create(temp_path("box/disk.img")), "");
    build_from_ini("[DISK]\nDRIVE_A=box/disk.img\n");
    select_drive_a_to_write();
    to_index();
    write_current(true);
    write_chars("NEW");
    write_current(false);
    std::filesystem::rename(temp_path("box"), temp_path("moved"));
    EXPECT_FALSE(disk_save(0));
    EXPECT_FALSE(disk_save(0));
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].text, "Unable to write the diskette image " + temp_path("box/disk.img") +
                                               "; its changes are kept in memory and written at the next save");
    EXPECT_EQ(read_file(temp_path("moved/disk.img")), std::string(92192, '\0')) << "the old image is whole";
    std::filesystem::rename(temp_path("moved"), temp_path("box"));
    EXPECT_TRUE(disk_save(0));
    EXPECT_EQ(read_file(temp_path("box/disk.img")).substr(2320, 3), "NEW");
}

// A state keeps what the machine wrote and the drives' protection. Its diskette goes to the file
// that is still as it was at the save, or that is gone; a file changed since keeps its bytes and
// the state's diskette goes on beside it.
TEST(Disk, StatesKeepWrittenDiskettes)
{
    ASSERT_EQ(disk_create(temp_path("w.img")), "");
    build_from_ini("[DISK]\nDRIVE_A=w.img\nProtectB=1\n");
    EXPECT_TRUE(disk_protected(1));
    select_drive_a_to_write();
    to_index();
    write_current(true);
    write_chars("STATE");
    write_current(false);
    ASSERT_EQ(save_state(temp_path("w.qst")), "");
    std::string blank(92192, '\0');

    const struct {
        const char* what;
        bool file_there;
        std::string file;     // the file at the load
        std::string file_after, beside_after;
        std::string note;
    } cases[] = {
        {"as at the save", true, blank, "STATE", "", ""},
        {"changed since", true, std::string(92192, 'x'), "xxxxx", "STATE", "has changed since the state was saved"},
        {"gone", false, "", "STATE", "", "was gone"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        build_from_ini("");
        EXPECT_FALSE(disk_protected(1));
        std::filesystem::remove(temp_path("w-1.img"));
        std::filesystem::remove(temp_path("w.img"));
        if (c.file_there)
            write_file(temp_path("w.img"), c.file);
        std::string notes;
        ASSERT_EQ(load_state(temp_path("w.qst"), notes), "");
        EXPECT_EQ(c.note.empty() ? notes.empty() : notes.find(c.note) != std::string::npos, true) << notes;
        EXPECT_TRUE(disk_protected(1));
        select_drive_a_to_write();
        to_index();
        EXPECT_EQ(read_chars(5), "STATE");
        disk_detach();
        EXPECT_EQ(read_file(temp_path("w.img")).substr(2320, 5), c.file_after);
        std::string beside = read_file(temp_path("w-1.img"));
        EXPECT_EQ(beside.size() > 2320 ? beside.substr(2320, 5) : "", c.beside_after);
    }
}

TEST(Disk, RegistersAndDirection)
{
    build_from_ini("");
    Poke(0xC001, 0x00);
    Poke(0xC000, 0xFF);
    EXPECT_EQ(ddrareg, 0xFF);
    EXPECT_EQ(Peek(0xC000), 0xFF);
    Poke(0xC001, 4);
    EXPECT_EQ(Peek(0xC000), 0x40) << "all outputs: the latch Reset left";
    Poke(0xC001, 0);
    Poke(0xC000, 0x00);
    Poke(0xC001, 4);
    EXPECT_EQ(Peek(0xC000), 0xEE) << "all inputs: no drive, no track 0, no index";
    Poke(0xC003, 0x37);
    EXPECT_EQ(Peek(0xC003), 0x37);
    EXPECT_EQ(Peek(0xC012), 0xFF);
    Peek(0xC010);
    *acia2dptr = 0x5A;
    EXPECT_EQ(Peek(0xC011), 0x5A) << "no drive: the data byte stays";
    EXPECT_EQ(Peek(0xC011), 0x5A);
}

} // namespace
