// The real C1P ROMs booting and running through `quarzel --headless`.
#include "e2e/headless_fixture.h"
#include "machine/disk_image.h"
#include "machine/memory_map.h"

#include <fstream>

namespace {

class C1P : public Headless {
protected:
    // A configuration with the real C1P ROMs and 32 KB of RAM.
    std::string c1p_config()
    {
        std::string basic = testdata_path("osi/basic-osi.rom"), monitor = testdata_path("osi/syn600.rom");
        if (!fs::exists(basic) || !fs::exists(monitor))
            return "";
        fs::path ini = dir / "c1p.ini";
        write_file(ini, "[ROM]\nBASIC=" + basic + "\nKERNEL=" + monitor + "\n[RAM]\nRAMTOP=0x7FFF\n");
        return ini.string();
    }

    std::vector<std::string> to_basic(const std::string& config)
    {
        return {"--headless", config, "--until", "C/W/M ?", "--type", "C", "--until", "MEMORY SIZE",
                "--type", "\\r", "--until", "TERMINAL WIDTH", "--type", "\\r", "--until", "OK"};
    }
};

#define NEED_ROMS(config)                                                                  \
    if (config.empty())                                                                    \
        GTEST_SKIP() << "C1P ROM images not found in " << QUARZEL_TESTDATA_DIR << "/osi";

TEST_F(C1P, MonitorPromptThenBasicComputes)
{
    std::string config = c1p_config();
    NEED_ROMS(config);
    Result boot = run({"--headless", config, "--until", "C/W/M ?", "--screen"});
    EXPECT_EQ(boot.status, 0) << boot.err;
    EXPECT_NE(boot.out.find("C/W/M ?"), std::string::npos) << boot.out;

    auto args = to_basic(config);
    args.insert(args.end(), {"--type", "PRINT 2+3\\r", "--until", " 5\n", "--screen"});
    Result basic = run(args);
    EXPECT_EQ(basic.status, 0) << basic.err << basic.out;
    EXPECT_NE(basic.out.find("BYTES FREE"), std::string::npos);
}

// An OS-65D 3.1 system diskette recorded bit by bit, booted with the monitor's D.
TEST_F(C1P, Os65dBootsFromABitLevelImage)
{
    std::string config = c1p_config(), disk = testdata_path("osi/disks/c1p-os65d-3.1.os5");
    NEED_ROMS(config);
    if (!fs::exists(disk))
        GTEST_SKIP() << "no OS-65D diskette in " << QUARZEL_TESTDATA_DIR << "/osi/disks";
    std::vector<std::string> boot = {"--headless", config, "--disk-a", disk, "--until", "C/W/M ?", "--type", "D",
                                     "--until", "FUNCTION?"};

    auto args = boot;
    args.insert(args.end(), {"--type", "UNLOCK\\r", "--until", "SYSTEM OPEN", "--type", "EXIT\\r", "--until", "A*",
                             "--screen"});
    Result dos = run(args);
    ASSERT_EQ(dos.status, 0) << dos.err << dos.out;
    EXPECT_NE(dos.out.find("BASIC EXECUTIVE FOR"), std::string::npos) << dos.out;

    args = boot;
    args.insert(args.end(), {"--type", "DIR\\r", "--until", "DEVICE # 2 ?", "--type", "N\\r", "--until",
                             "ENTRIES FREE", "--screen"});
    Result dir = run(args);
    ASSERT_EQ(dir.status, 0) << dir.err << dir.out;
    for (const char* file : {"OS65D3       1  - 6", "BEXEC*", "ASAMPL"})
        EXPECT_NE(dir.out.find(file), std::string::npos) << file << "\n" << dir.out;
}

// Boots OS-65D from drive A into the DOS at "A*".
std::vector<std::string> to_dos(const std::string& config, std::vector<std::string> disks)
{
    std::vector<std::string> args = {"--headless", config};
    args.insert(args.end(), disks.begin(), disks.end());
    args.insert(args.end(), {"--until", "C/W/M ?", "--type", "D", "--until", "FUNCTION?", "--type", "UNLOCK\\r",
                             "--until", "SYSTEM OPEN", "--type", "EXIT\\r", "--until", "A*"});
    return args;
}

std::vector<DiskTrack> tracks_of(const std::string& bytes)
{
    DiskImage image;
    std::string why;
    int damaged;
    load_disk_image(std::vector<uint8_t>(bytes.begin(), bytes.end()), image, why, damaged);
    return image.tracks;
}

// The diskette's characters as a plain image, each track filled up with zeros.
std::string plain_copy(const std::string& os5)
{
    std::string plain;
    for (const DiskTrack& t : tracks_of(os5)) {
        std::string track(t.bytes.begin(), t.bytes.end());
        track.resize(plain.empty() || plain.size() == BOOTSIZ ? BOOTSIZ : TRKSIZ, '\0');
        plain += track;
    }
    return plain;
}

// SA saves a page on track 39 and a new process loads it back with CA; no other track changes.
// The same on a plain image made from the diskette.
TEST_F(C1P, Os65dSavesASectorThatLoadsBack)
{
    std::string config = c1p_config(), disk = testdata_path("osi/disks/c1p-os65d-3.1.os5");
    NEED_ROMS(config);
    if (!fs::exists(disk))
        GTEST_SKIP() << "no OS-65D diskette in " << QUARZEL_TESTDATA_DIR << "/osi/disks";
    std::string original = slurp(disk), page;
    for (int i = 0; i < 256; i++)
        page += char(i * 13 + 7);
    write_file(dir / "page.bin", page);
    for (std::string image : {original, plain_copy(original)}) {
        std::string path = (dir / (image == original ? "sys.os5" : "sys.img")).string();
        SCOPED_TRACE(path);
        write_file(path, image);
        auto args = to_dos(config, {"--disk-a", path});
        args.insert(args.end(), {"--load", (dir / "page.bin").string() + "@0300", "--type", "SA 39,1=0300/1\\r",
                                 "--wait", "3000000", "--screen"});
        Result save = run(args);
        ASSERT_EQ(save.status, 0) << save.err << save.out;
        EXPECT_EQ(save.out.find("ERR"), std::string::npos) << save.out;

        args = to_dos(config, {"--disk-a", path});
        args.insert(args.end(), {"--type", "CA 0400=39,1\\r", "--wait", "3000000", "--save-binary",
                                 (dir / "back.bin").string() + "@0400:100"});
        Result load = run(args);
        ASSERT_EQ(load.status, 0) << load.err << load.out;
        EXPECT_EQ(slurp(dir / "back.bin"), page);
        std::string written = slurp(path);
        size_t track_39 = image == original ? 256 + 39 * 0x0D00 : 2 * BOOTSIZ + 37 * TRKSIZ;
        ASSERT_EQ(written.size(), image.size());
        EXPECT_EQ(written.substr(0, track_39), image.substr(0, track_39)) << "the tracks before 39, byte for byte";
        EXPECT_NE(written, image);
    }
}

// A new diskette in drive B: INIT, then SA and CA on it. A protected drive A makes SA report
// ERR #4 and leaves its file as it was.
TEST_F(C1P, Os65dInitialisesANewDisketteAndRespectsProtection)
{
    std::string config = c1p_config(), disk = testdata_path("osi/disks/c1p-os65d-3.1.os5");
    NEED_ROMS(config);
    if (!fs::exists(disk))
        GTEST_SKIP() << "no OS-65D diskette in " << QUARZEL_TESTDATA_DIR << "/osi/disks";
    std::string sys = (dir / "sys.os5").string(), blank = (dir / "new.os5").string();
    write_file(sys, slurp(disk));
    write_file(dir / "page.bin", std::string(256, 'P'));
    auto args = to_dos(config, {"--new-disk", blank, "--disk-a", sys, "--disk-b", blank});
    args.insert(args.end(), {"--type", "SE B\\r", "--wait", "2000000", "--type", "INIT\\r", "--until", "SURE?",
                             "--type", "Y", "--limit", "200000000", "--wait", "60000000", "--load",
                             (dir / "page.bin").string() + "@0300", "--type", "SA 39,1=0300/1\\r", "--wait",
                             "3000000", "--screen"});
    Result init = run(args);
    ASSERT_EQ(init.status, 0) << init.err << init.out;
    EXPECT_EQ(init.out.find("ERR"), std::string::npos) << init.out;

    args = to_dos(config, {"--disk-a", sys, "--disk-b", blank});
    args.insert(args.end(), {"--type", "SE B\\r", "--wait", "2000000", "--type", "CA 0400=39,1\\r", "--wait",
                             "3000000", "--save-binary", (dir / "back.bin").string() + "@0400:100"});
    Result load = run(args);
    ASSERT_EQ(load.status, 0) << load.err << load.out;
    EXPECT_EQ(slurp(dir / "back.bin"), std::string(256, 'P'));
    EXPECT_EQ(slurp(sys), slurp(disk)) << "the system diskette was only read";

    args = to_dos(config, {"--disk-a", sys, "--protect-a"});
    args.insert(args.end(), {"--type", "SA 39,1=0300/1\\r", "--wait", "3000000", "--screen"});
    Result guarded = run(args);
    ASSERT_EQ(guarded.status, 0) << guarded.err << guarded.out;
    EXPECT_NE(guarded.out.find("ERR #4"), std::string::npos) << guarded.out;
    EXPECT_EQ(slurp(sys), slurp(disk));
}

// The same diskette from our own monitor's D, which also has the keyboard entry that OS-65D calls.
TEST_F(Headless, Os65dBootsFromOurOwnMonitor)
{
    std::string disk = testdata_path("osi/disks/c1p-os65d-3.1.os5");
    if (!fs::exists(disk))
        GTEST_SKIP() << "no OS-65D diskette in " << QUARZEL_TESTDATA_DIR << "/osi/disks";
    Result r = run({"--headless", "--disk-a", disk, "--until", "D/C/W/M ?", "--type", "D", "--until", "FUNCTION?",
                    "--type", "UNLOCK\\r", "--until", "SYSTEM OPEN", "--type", "EXIT\\r", "--until", "A*",
                    "--screen"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("OS-65D V3.1"), std::string::npos) << r.out;
}

// A typed program runs; a long line of mixed keys typed in one go arrives whole.
TEST_F(C1P, TypedProgramRuns)
{
    std::string config = c1p_config();
    NEED_ROMS(config);
    auto args = to_basic(config);
    args.insert(args.end(), {"--type", "10 FOR I=1 TO 3:PRINT \"N\";I*7:NEXT\\rRUN\\r", "--until", "N 21",
                             "--screen"});
    Result r = run(args);
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("N 7\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("N 14\n"), std::string::npos) << r.out;

    args = to_basic(config);
    args.insert(args.end(), {"--type", std::string("10 REM ") + mixed_line + "\\r", "--wait", "100000", "--screen"});
    Result line = run(args);
    EXPECT_EQ(line.status, 0) << line.err;
    EXPECT_NE(without_blanks(line.out).find(std::string("OK10REM") + mixed_line), std::string::npos) << line.out;
}

// The load mode then reads only the space bar's row: a RETURN typed there does not hold up the
// typing.
TEST_F(C1P, BasicListingLoadsFromTape)
{
    std::string config = c1p_config();
    NEED_ROMS(config);
    write_file(dir / "prog.bas", "10 PRINT \"FROM TAPE\"\r\n20 PRINT 6*7\r\n");
    auto args = to_basic(config);
    args.insert(args.end(), {"--tape-in", (dir / "prog.bas").string(), "--type", "LOAD\\r", "--until",
                             "20 PRINT 6*7", "--type", "\\r", "--type", " ", "--type", "RUN\\r", "--until", " 42",
                             "--screen"});
    Result r = run(args);
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("FROM TAPE\n"), std::string::npos) << r.out;
}

TEST_F(C1P, MachineCodeLoadsThroughTheMonitorAndStarts)
{
    std::string config = c1p_config();
    NEED_ROMS(config);
    // LDA #'Q'; STA $D100; JMP * in the monitor's tape format, ending in ".0300G".
    write_file(dir / "prog.lod", ".0300/A9\r51\r8D\r00\rD1\r4C\r05\r03\r.0300G");
    Result r = run({"--headless", config, "--until", "C/W/M ?", "--type", "M", "--tape-in", (dir / "prog.lod").string(),
                 "--type", "L", "--until-pc", "0305", "--screen", "--regs", "--trace", "3"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("\nQ\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("PC=0305 A=51"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n0305  A=51 X=FF Y=08 S=28 P=21  JMP $0305\n0305  A=51 X=FF Y=08 S=28 P=21  JMP $0305\n"
                         "0305  A=51 X=FF Y=08 S=28 P=21  JMP $0305\n"),
              std::string::npos)
        << r.out;
}

// The monitor's key routine at $FD00, called by a program that is busy between keys.
TEST_F(C1P, TypingWaitsForABusyProgram)
{
    std::string config = c1p_config();
    NEED_ROMS(config);
    write_file(dir / "busy.bin", busy_key_reader(0xFD00));
    Result r = run({"--headless", config, "--until", "C/W/M ?", "--load", (dir / "busy.bin").string() + "@0300",
                    "--pc", "0300", "--type", "HELLO WORLD", "--until", "HELLO WORLD", "--screen"});
    EXPECT_EQ(r.status, 0) << r.err << r.out;
}

// A program saved as an OSI tape file with the start command loads through the C1P monitor's
// own tape loader and starts by itself.
TEST_F(C1P, SavedTapeFileLoadsAndStartsThroughTheMonitor)
{
    std::string config = c1p_config();
    NEED_ROMS(config);
    write_file(dir / "prog.bin", std::string("\xA9\x51\x8D\x00\xD1\x4C\x05\x03", 8));  // LDA #'Q'; STA $D100; JMP *
    fs::path tape = dir / "prog.lod";
    Result saved = run({"--headless", config, "--load", (dir / "prog.bin").string() + "@0300", "--autostart",
                        "--save-tape", tape.string() + "@0300:7"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(slurp(tape), ".0300/A9\r51\r8D\r00\rD1\r4C\r05\r03\r.0300G");
    Result r = run({"--headless", config, "--until", "C/W/M ?", "--type", "M", "--tape-in", tape.string(), "--type",
                    "L", "--until-pc", "0305", "--screen"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("\nQ\n"), std::string::npos) << r.out;
}

// A 64 KiB test image of the shared test data, "" when it is absent.
std::string test_image(const char* name)
{
    std::ifstream f(testdata_path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST_F(C1P, FunctionalTestRunsThroughTheRunner)
{
    std::string image = test_image("6502_functional_test.bin");
    if (image.empty())
        GTEST_SKIP() << "6502_functional_test.bin not found in " << QUARZEL_TESTDATA_DIR;
    ASSERT_EQ(image.size(), 65536u);
    write_file(dir / "low.bin", image.substr(0, 0x4000));
    write_file(dir / "monitor.rom", image.substr(0xF800));
    write_file(dir / "basic.rom", image.substr(0xA000, 0x2000));
    write_file(dir / "klaus.ini", "[ROM]\nBASIC=" + (dir / "basic.rom").string() + "\nKERNEL=" +
                                (dir / "monitor.rom").string() + "\n[RAM]\nRAMTOP=0x7FFF\n");
    Result r = run({"--headless", (dir / "klaus.ini").string(), "--load", (dir / "low.bin").string() + "@0000", "--pc",
                 "0400", "--until-pc", "3469", "--limit", "200000000", "--regs"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("PC=3469"), std::string::npos) << r.out;
}

// The decimal test needs no ROM vectors: its first 16 KB run on our own ROMs' machine.
TEST_F(C1P, DecimalTestRunsThroughTheRunner)
{
    std::string image = test_image("6502_decimal_test.bin");
    if (image.empty())
        GTEST_SKIP() << "6502_decimal_test.bin not found in " << QUARZEL_TESTDATA_DIR;
    ASSERT_EQ(image.size(), 65536u);
    write_file(dir / "low.bin", image.substr(0, 0x4000));
    Result r = run({"--headless", "--load", (dir / "low.bin").string() + "@0000", "--pc", "0400", "--until-pc",
                    "3469", "--limit", "200000000", "--regs"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("PC=3469"), std::string::npos) << r.out;
}

TEST_F(C1P, ExitStatusesAndMessages)
{
    write_file(dir / "none.ini", "[ROM]\nBASIC=" + (dir / "missing.rom").string() + "\n");
    Result boot = run({"--headless", (dir / "none.ini").string()});
    EXPECT_EQ(boot.status, 1);
    EXPECT_NE(boot.err.find("ERROR during System Boot: Error opening"), std::string::npos) << boot.err;

    EXPECT_EQ(run({"--headless", "--wait"}).status, 2);
    EXPECT_EQ(run({"--headless", "--until-pc", "12345"}).status, 2);
    EXPECT_EQ(run({"--headless", "--bogus"}).status, 2);
    write_file(dir / "64k.bin", std::string(65536, '\x01'));
    Result big = run({"--headless", "--load", (dir / "64k.bin").string() + "@0100"});
    EXPECT_EQ(big.status, 2);
    EXPECT_NE(big.err.find("only 65280 bytes"), std::string::npos) << big.err;
    EXPECT_EQ(run({"--headless", "--load", (dir / "64k.bin").string() + "@0000"}).status, 0) << "64 KiB fit at 0";
    EXPECT_EQ(run({"--headless", "--save-tape", (dir / "none/x.lod").string() + "@0300:7"}).status, 2);
    Result folder = run({"--headless", "--load", dir.string() + "@0400"});
    EXPECT_EQ(folder.status, 2);
    EXPECT_NE(folder.err.find("cannot read " + dir.string()), std::string::npos) << folder.err;
    Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--until-pc ADDR"), std::string::npos);
    // The window's command line is checked before any window opens: no display is needed.
    Result bogus = run({"--bogus"});
    EXPECT_EQ(bogus.status, 2);
    EXPECT_EQ(bogus.err.rfind("quarzel: unknown option --bogus\nusage: quarzel [CONFIG]", 0), 0u) << bogus.err;
    EXPECT_EQ(run({"one.ini", "two.ini"}).status, 2);
    for (auto args : {std::vector<std::string>{"--version"}, {"--headless", "--version"}}) {
        Result version = run(args);
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out.rfind("Quarzel ", 0), 0u) << version.out;
    }

    std::string config = c1p_config();
    NEED_ROMS(config);
    Result timeout = run({"--headless", config, "--until", "NEVER SHOWN", "--limit", "200000"});
    EXPECT_EQ(timeout.status, 3);
    EXPECT_NE(timeout.err.find("timed out"), std::string::npos);

    Result tape = run({"--headless", config, "--tape-out", (dir / "no/such/folder/out.bas").string()});
    EXPECT_EQ(tape.status, 2);
    EXPECT_NE(tape.err.find("ERROR Message: Unable to create the tape output file"), std::string::npos) << tape.err;
}

TEST_F(C1P, ScreenshotShowsTheBootScreen)
{
    std::string config = c1p_config();
    NEED_ROMS(config);
    fs::path png = dir / "boot.png";
    Result r = run({"--headless", config, "--until", "C/W/M ?", "--screenshot", png.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string data = slurp(png);
    ASSERT_GT(data.size(), 33u);
    EXPECT_EQ(data.substr(1, 3), "PNG");
    auto be32 = [&](size_t at) {
        return uint32_t(uint8_t(data[at])) << 24 | uint32_t(uint8_t(data[at + 1])) << 16 |
               uint32_t(uint8_t(data[at + 2])) << 8 | uint8_t(data[at + 3]);
    };
    EXPECT_EQ(be32(16), 304u);
    EXPECT_EQ(be32(20), 296u);
    EXPECT_NE(data.find('\xFF'), std::string::npos) << "some pixel is lit";
}

} // namespace
