// The three memory file formats and the dialog's commands, against hand-made bytes.
#include "machine/memory_map.h"
#include "machine_setup.h"

#include "config/config.h"
#include "cpu/bus.h"
#include "debugger/memfile.h"
#include "host/ids.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Runs a dialog command with these fields, the chooser answering `file`.
void command(int id, const std::string& start, const std::string& length, const std::string& file)
{
    mfd.start = start;
    mfd.length = length;
    if (!file.empty())
        test_host->file_answers.push_back(file);
    memfile_command(id);
}

TEST(Memfile, FormatsOfAShortRange)
{
    build_from_ini("[RAM]\nRAMTOP=0x7FFF\n");
    load(0x0300, {0xA9, 0x0A, 0x60});
    mfd.autostart = true;
    command(MF_SAVE_TAPE, "0300", "2", temp_path("t.lod"));
    EXPECT_EQ(slurp(temp_path("t.lod")), ".0300/A9\r0A\r60\r.0300G");
    EXPECT_EQ(mfd.text, "");
    command(MF_AUTOSTART, "", "", "");
    command(MF_SAVE_TAPE, "0300", "2", temp_path("t.lod"));
    EXPECT_EQ(slurp(temp_path("t.lod")), ".0300/A9\r0A\r60\r.");

    command(MF_SAVE_CODE, "0300", "2", temp_path("l.txt"));
    EXPECT_EQ(slurp(temp_path("l.txt")), "6502 Disassembled Code by Quarzel Emulator\r\n"
                                         "\r\n$0300\tLDA #0A      A9 0A "
                                         "\r\n$0302\tRTS          60 ");

    command(MF_SAVE_BINARY, "0300", "0", temp_path("b.bin"));
    EXPECT_EQ(mfd.length, "0100") << "a zero length is a page";
    std::string page = slurp(temp_path("b.bin"));
    ASSERT_EQ(page.size(), 256u);
    EXPECT_EQ(page.substr(0, 3), "\xA9\x0A\x60");
    command(MF_SAVE_BINARY, "0300", "101", temp_path("b.bin"));
    EXPECT_EQ(slurp(temp_path("b.bin")).size(), 512u);

    command(MF_DISPLAY, "0300", "", "");
    EXPECT_EQ(mfd.text.substr(0, 44), "Adress  Code\r\n$0300   LDA #0A\r\n$0302   RTS\r\n");
    EXPECT_EQ(std::count(mfd.text.begin(), mfd.text.end(), '\n'), 201);
}

TEST(Memfile, RangesEndAtFFFF)
{
    build_from_ini("[RAM]\nRAMTOP=0x7FFF\n");
    RAMptr[0xFFFF] = 0x4C;
    mfd.autostart = true;
    command(MF_SAVE_TAPE, "FF00", "", temp_path("t.lod"));
    EXPECT_EQ(mfd.length, "00FF");
    EXPECT_EQ(mfd.text, "The range was cut at $FFFF, where memory ends");
    std::string tape = slurp(temp_path("t.lod"));
    EXPECT_EQ(tape.size(), 6 + 256 * 3 + 1 + 5u);
    EXPECT_EQ(tape.substr(tape.size() - 9), "4C\r.FF00G");
    command(MF_SAVE_BINARY, "FF00", "", temp_path("b.bin"));
    EXPECT_EQ(slurp(temp_path("b.bin")).size(), 256u);
    EXPECT_EQ(mfd.text, "") << "the page asked for ends at $FFFF: nothing was cut";

    command(MF_SAVE_BINARY, "0000", "FFFF", temp_path("b.bin"));
    EXPECT_EQ(slurp(temp_path("b.bin")).size(), 65536u);
    EXPECT_EQ(mfd.text, "") << "the whole memory was asked for";
    command(MF_SAVE_BINARY, "0001", "FFFE", temp_path("b.bin"));
    EXPECT_EQ(slurp(temp_path("b.bin")).size(), 65535u);
    command(MF_SAVE_BINARY, "FFFF", "", temp_path("b.bin"));
    EXPECT_EQ(mfd.length, "0000");
    EXPECT_EQ(slurp(temp_path("b.bin")).size(), 0u);
    command(MF_SAVE_TAPE, "FFFF", "", temp_path("t.lod"));
    EXPECT_EQ(slurp(temp_path("t.lod")).substr(0, 9), ".FFFF/4C\r");
}

TEST(Memfile, LoadsSayWhatTheyDid)
{
    build_from_ini("[RAM]\nRAMTOP=0x7FFF\n");
    write_file(temp_path("64k.bin"), std::string(65536, '\x5A'));
    command(MF_READ_BINARY, "0000", "", temp_path("64k.bin"));
    EXPECT_EQ(mfd.text, " Done !");
    EXPECT_EQ(RAMptr[0x0000], 0x5A);
    EXPECT_EQ(RAMptr[0xFFFF], 0x5A) << "a file of 64 KiB loads whole";

    write_file(temp_path("big.bin"), std::string(70000, '\x11'));
    command(MF_READ_BINARY, "8000", "", temp_path("big.bin"));
    EXPECT_EQ(mfd.text, "Only 32768 bytes fit below $FFFF; the rest was not read");
    EXPECT_EQ(RAMptr[0x8000], 0x11);
    EXPECT_EQ(RAMptr[0x7FFF], 0x5A);

    std::vector<uint32_t> before = test_host->surface().pixels;
    write_file(temp_path("screen.bin"), std::string(0x400, 'A'));
    command(MF_READ_BINARY, "D000", "", temp_path("screen.bin"));
    EXPECT_NE(test_host->surface().pixels, before) << "bytes loaded into video memory are drawn";

    command(MF_SAVE_BINARY, "0300", "", temp_path("no such folder/b.bin"));
    EXPECT_EQ(mfd.text, "Unable to create " + temp_path("no such folder/b.bin"));
    command(MF_READ_BINARY, "0300", "", temp_path("no such file.bin"));
    EXPECT_EQ(mfd.text, "Unable to read " + temp_path("no such file.bin"));
}

} // namespace
