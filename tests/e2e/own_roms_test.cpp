// Quarzel's own monitor and BASIC, as the shipped program folder starts them.
#include "e2e/headless_fixture.h"
#include "machine/memory_map.h"

#include <cstdio>

namespace {

class OwnRoms : public Headless {
protected:
    // Runs to the BASIC prompt, then the given steps, and returns the screen.
    Result basic(std::vector<std::string> steps)
    {
        std::vector<std::string> args = {"--headless", "--until", "C/W/M ?", "--type", "C\\r\\r", "--until", "OK"};
        args.insert(args.end(), steps.begin(), steps.end());
        args.push_back("--screen");
        return run(args);
    }
};

bool has(const Result& r, const std::string& text) { return r.out.find(text) != std::string::npos; }

TEST_F(OwnRoms, BannerPromptAndMonitorMemory)
{
    Result r = run({"--headless", "--until", "C/W/M ?", "--type", "M", "--type", ".0300/A9\\r42\\r.0301", "--wait",
                    "100000", "--screen"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "QUARZEL MONITOR")) << r.out;
    EXPECT_TRUE(has(r, "C/W/M ?M\n")) << r.out;
    EXPECT_TRUE(has(r, "0301 42")) << r.out;
}

TEST_F(OwnRoms, SavedTapeFileLoadsAndStartsThroughTheMonitor)
{
    write_file(dir / "prog.bin", std::string("\xA9\x4B\x8D\x00\xD1\x4C\x05\x03", 8));  // LDA #'K'; STA $D100; JMP *
    fs::path tape = dir / "prog.lod";
    Result saved = run({"--headless", "--load", (dir / "prog.bin").string() + "@0300", "--autostart", "--save-tape",
                        tape.string() + "@0300:7"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    Result r = run({"--headless", "--until", "C/W/M ?", "--type", "M", "--tape-in", tape.string(), "--type", "L",
                    "--until-pc", "0305", "--screen"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "\nK\n")) << r.out;
}

TEST_F(OwnRoms, MonitorTapeLoadsAndStartsItself)
{
    // LDA #'K'; STA $D100; JMP * in the monitor's tape format, ending in ".0300G".
    write_file(dir / "prog.lod", ".0300/A9\r4B\r8D\r00\rD1\r4C\r05\r03\r.0300G");
    Result r = run({"--headless", "--until", "C/W/M ?", "--type", "M", "--tape-in", (dir / "prog.lod").string(),
                    "--type", "L", "--until-pc", "0305", "--regs", "--screen"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "PC=0305 A=4B")) << r.out;
    EXPECT_TRUE(has(r, "\nK\n")) << r.out;
}

TEST_F(OwnRoms, BasicComputesAndRunsPrograms)
{
    Result sum = basic({"--type", "PRINT 2+3\\r", "--until", " 5\n"});
    EXPECT_EQ(sum.status, 0) << sum.err << sum.out;
    EXPECT_TRUE(has(sum, "31743 BYTES FREE")) << "memory size found at cold start\n" << sum.out;

    Result loops = basic({"--type",
                          "10 FOR I=1 TO 9 STEP 4:PRINT I;:NEXT I:PRINT\\r"
                          "20 FOR J=2 TO 1 STEP -1:FOR K=1 TO 2:GOSUB 100:NEXT:NEXT\\r"
                          "30 PRINT:PRINT -7/2;100*3;ABS(-4);(2<3)+(3<2);\\r"
                          "40 END\\r"
                          "100 PRINT J*10+K;:RETURN\\rRUN\\r",
                          "--until", "OK\n_"});
    ASSERT_EQ(loops.status, 0) << loops.err << loops.out;
    EXPECT_TRUE(has(loops, "\n 1  5  9\n 21  22  11  12\n-3.5  300  4 -1\nOK\n")) << loops.out;
}

// MEMORY SIZE? takes a top below RAM and above the program area, TERMINAL WIDTH? 16 to 255;
// anything else asks again. Strings and arrays stay below the top; output breaks its lines at
// the width and commas begin a new line from the last zone in it.
TEST_F(OwnRoms, ColdStartQuestions)
{
    Result r = run({"--headless", "--until", "C/W/M ?", "--type", "C", "--until", "SIZE?", "--type",
                    "ABC\\r40000\\r1000\\r6000\\r", "--until", "WIDTH?", "--type", "300\\r10\\r30\\r", "--until",
                    "OK", "--type",
                    "POKE 6000,77:POKE 7000,88\\r"
                    "10 DIM B(500):FOR I=1 TO 50:A$=A$+\"XY\":NEXT:PRINT LEN(A$)\\rRUN\\rCLEAR\\r"
                    "PRINT PEEK(6000);PEEK(7000);FRE(0)\\rFOR I=1 TO 40:PRINT \"X\";:NEXT\\rPRINT 1,2,3,4\\r",
                    "--until", "4\nOK\n_", "--screen"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    for (const char* shown : {"?SN ERROR\nMEMORY SIZE? 40000\nMEMORY SIZE? 1000\nMEMORY SIZE? 6000\n"
                              "TERMINAL WIDTH? 300\nTERMINAL WIDTH? 10\nTERMINAL WIDTH? 30\n",
                              "4975 BYTES FREE\n", "RUN\n 100\n", "\n 77  88  4931\n",
                              "\nXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX\nXXXXXXXXXX\nOK\n",
                              "\n 1             2             3\n               4\n"})
        EXPECT_TRUE(has(r, shown)) << shown << "\n" << r.out;

    Result wide = basic({"--type", "PRINT 1,2,3,4,5,6,7\\r", "--until", "7\nOK"});
    EXPECT_TRUE(has(wide, "\n 1             2             3\n           4             5\n 6             7\n"))
        << "72 columns, commas up to 56\n" << wide.out;
}

// "(8" and "=-" press one OSI key twice with Shift between: the second press is not lost; a
// long line of mixed keys typed in one go arrives whole.
TEST_F(OwnRoms, TypedKeysThatShareAKeyAllArrive)
{
    Result r = basic({"--type", "PRINT (8)+(88)\\r", "--until", "96\n"});
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "PRINT (8)+(88)\n 96")) << r.out;

    Result line = basic({"--type", std::string("10 REM ") + mixed_line + "\\r", "--wait", "100000"});
    EXPECT_EQ(line.status, 0) << line.err;
    EXPECT_NE(without_blanks(line.out).find(std::string("OK10REM") + mixed_line + "_"), std::string::npos) << line.out;
}

TEST_F(OwnRoms, WarmStartKeepsTheProgram)
{
    std::string monitor = slurp(fs::path(QUARZEL_PROGRAM_DIR) / "monitor.rom");
    ASSERT_EQ(monitor.size(), 2048u);
    char reset[8];
    std::snprintf(reset, sizeof reset, "%04X", uint8_t(monitor[0x7FC]) | uint8_t(monitor[0x7FD]) << 8);
    Result r = basic({"--type", "10 PRINT 6*7\\r", "--pc", reset, "--until", "C/W/M ?", "--type", "W", "--until",
                      "OK", "--type", "RUN\\r", "--until", " 42"});
    EXPECT_EQ(r.status, 0) << r.err << r.out;
}

TEST_F(OwnRoms, ErrorsNameTheirLineAndCtrlCBreaks)
{
    Result error = basic({"--type", "10 PRINT 1\\r20 PRINT 1/0\\rRUN\\r", "--until", "IN 20\nOK"});
    EXPECT_TRUE(has(error, "?/0 ERROR IN 20\nOK")) << error.out;

    Result syntax = basic({"--type", "PRINT (1\\rGOTO 50\\r", "--until", "UL ERROR"});
    EXPECT_TRUE(has(syntax, "?SN ERROR\n")) << syntax.out;
    EXPECT_TRUE(has(syntax, "?UL ERROR\n")) << syntax.out;

    Result endless = basic({"--type", "10 GOTO 10\\rRUN\\r", "--wait", "500000", "--type", "\\^C", "--until",
                            "BREAK IN 10"});
    EXPECT_EQ(endless.status, 0) << endless.err << endless.out;
}

TEST_F(OwnRoms, SavedProgramLoadsBack)
{
    std::string tape = (dir / "prog.bas").string();
    std::string program = "10 REM SAVED\\r20 FOR I=1 TO 3:PRINT I*I;:NEXT\\r";
    Result saved = basic({"--type", program, "--tape-out", tape, "--type", "SAVE\\r", "--until", "OK\n_"});
    ASSERT_EQ(saved.status, 0) << saved.err << saved.out;
    std::string expected = std::string("10 REM SAVED\r") + std::string(10, '\0') + "\n" +
                           "20 FOR I=1 TO 3:PRINT I*I;:NEXT\r" + std::string(10, '\0') + "\n";
    EXPECT_EQ(slurp(tape), expected);

    Result loaded = basic({"--tape-in", tape, "--type", "LOAD\\r", "--until", ":NEXT\n", "--type", " ", "--type",
                           "LIST\\rRUN\\r", "--until", " 1  4  9"});
    ASSERT_EQ(loaded.status, 0) << loaded.err << loaded.out;
    EXPECT_TRUE(has(loaded, "LIST\n10 REM SAVED\n20 FOR I=1 TO 3:PRINT I*I;:NEXT\nOK")) << loaded.out;

    write_file(dir / "plain.bas", "10 print \"plain\";\n20 print 6*7\n");  // a text file with LF line ends
    Result plain = basic({"--tape-in", (dir / "plain.bas").string(), "--type", "LOAD\\r", "--until", "6*7\n",
                          "--type", " RUN\\r", "--until", "plain 42"});
    EXPECT_EQ(plain.status, 0) << plain.err << plain.out;
}

TEST_F(OwnRoms, Arrays)
{
    Result r = basic({"--type",
                      "10 DIM A(5),B(2)\\r20 FOR I=0 TO 5:A(I)=I*I:NEXT\\r30 B(2)=A(5)+A(A(2))\\r"
                      "40 PRINT A(3);B(2);A(0)\\r50 PRINT A(6)\\rRUN\\rDIM A(1)\\rPRINT Q(0)\\r",
                      "--until", "Q(0)\n 0\n"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "\n 9  41  0\n?BS ERROR IN 50\n")) << r.out;
    EXPECT_TRUE(has(r, "?DD ERROR")) << r.out;
}

TEST_F(OwnRoms, InputReadsNumbers)
{
    Result r = basic({"--type", "10 INPUT \"TWO\";A,B:PRINT A*B\\rRUN\\r", "--until", "TWO? ", "--type", "-6\\r",
                      "--until", "?? ", "--type", "7\\r", "--until", "-42"});
    EXPECT_EQ(r.status, 0) << r.err << r.out;
}

// Each entry point that software for the OSI ROMs calls, called as that software does: the
// program at $0300 ends in a JMP to itself; a routine of its own lies at $0310 (the key
// routine's last steps want the caller's X and Y pushed) or $0320 (an output vector).
TEST_F(OwnRoms, EntryPointsWhereOsiSoftwareCallsThem)
{
    auto bytes = [](std::initializer_list<int> list) { return std::string(list.begin(), list.end()); };
    // JSR $0310 with X=$11, Y=$22, then JMP *; at $0310 pushes X and Y and loads A with `mods`
    // and the key with `key`.
    auto key_tail = [&](int key, std::string tail) {
        return bytes({0xA2, 0x11, 0xA0, 0x22, 0x20, 0x10, 0x03, 0x4C, 0x07, 0x03}) + std::string(6, '\xEA') +
               bytes({0x8A, 0x48, 0x98, 0x48, 0xA9, key, 0x8D, 0x15, 0x02}) + tail;
    };
    struct Entry {
        const char* name;
        std::string code;
        std::vector<std::string> steps;
        std::string shown;
    } entries[] = {
        {"$FD00 waits for a key", bytes({0x20, 0x00, 0xFD, 0x4C, 0x03, 0x03}), {"--type", "Q", "--until-pc", "0303", "--regs"}, "A=51"},
        {"$FFEB reads through INVEC", bytes({0x20, 0xEB, 0xFF, 0x4C, 0x03, 0x03}), {"--type", "W", "--until-pc", "0303", "--regs"}, "A=57"},
        {"$BF2D prints", bytes({0xA9, 0x4B, 0x20, 0x2D, 0xBF, 0x4C, 0x05, 0x03}), {"--until-pc", "0305", "--screen"}, "C/W/M ?K_"},
        {"$FFEE prints", bytes({0xA9, 0x56, 0x20, 0xEE, 0xFF, 0x4C, 0x05, 0x03}), {"--until-pc", "0305", "--screen"}, "C/W/M ?V_"},
        {"$FFEE follows OUTVEC",  // OUTVEC = $0320: STA $D200; RTS
         bytes({0xA9, 0x20, 0x8D, 0x1A, 0x02, 0xA9, 0x03, 0x8D, 0x1B, 0x02, 0xA9, 0x52, 0x20, 0xEE, 0xFF, 0x4C, 0x0F,
                0x03}) + std::string(14, '\xEA') + bytes({0x8D, 0x00, 0xD2, 0x60}),
         {"--until-pc", "030F", "--screen"}, "\nR\n"},
        {"$FE00 starts the monitor", bytes({0x4C, 0x00, 0xFE}), {"--wait", "300000", "--screen"}, "0000 00_\n"},
        {"$FF00 restarts", bytes({0xA9, 0x5A, 0x8D, 0x00, 0xD1, 0x4C, 0x00, 0xFF}), {"--wait", "300000", "--screen"}, "QUARZEL MONITOR 1.0\n\nD/C/W/M ?_"},
        {"$BD11 starts BASIC cold", bytes({0x4C, 0x11, 0xBD}), {"--until", "SIZE?", "--screen"}, "MEMORY SIZE?"},
        {"$FDC8 numbers the highest bit", bytes({0xA9, 0x24, 0x20, 0xC8, 0xFD, 0x4C, 0x05, 0x03}), {"--until-pc", "0305", "--regs"}, "A=20 X=00 Y=05"},
        {"$FD8F shift adds $10", key_tail(0x51, bytes({0xA9, 0x01, 0x4C, 0x8F, 0xFD})), {"--until-pc", "0307", "--regs"}, "A=61 X=11 Y=22"},
        {"$FD8F shift takes $10 off a marked key", key_tail(0xB1, bytes({0xA9, 0x02, 0x4C, 0x8F, 0xFD})), {"--until-pc", "0307", "--regs"}, "A=21 X=11 Y=22"},
        {"$FD8F Ctrl", key_tail(0x43, bytes({0xA9, 0x20, 0x4C, 0x8F, 0xFD})), {"--until-pc", "0307", "--regs"}, "A=03 X=11 Y=22"},
        {"$FD8F nothing", key_tail(0x41, bytes({0xA9, 0x00, 0x4C, 0x8F, 0xFD})), {"--until-pc", "0307", "--regs"}, "A=41 X=11 Y=22"},
        {"$FDA7 adds Y", key_tail(0x41, bytes({0xA0, 0x20, 0x4C, 0xA7, 0xFD})), {"--until-pc", "0307", "--regs"}, "A=61 X=11 Y=22"},
        {"$FDA7 keeps a blank", key_tail(0x20, bytes({0xA0, 0x20, 0x4C, 0xA7, 0xFD})), {"--until-pc", "0307", "--regs"}, "A=20 X=11 Y=22"},
        {"$FDB7 returns A", key_tail(0x41, bytes({0xA9, 0x58, 0x4C, 0xB7, 0xFD})), {"--until-pc", "0307", "--regs"}, "A=58 X=11 Y=22"},
    };
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.name);
        write_file(dir / "entry.bin", e.code);
        std::vector<std::string> args = {"--headless", "--until", "C/W/M ?", "--load", (dir / "entry.bin").string() + "@0300",
                                         "--pc", "0300"};
        args.insert(args.end(), e.steps.begin(), e.steps.end());
        Result r = run(args);
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_TRUE(has(r, e.shown)) << r.out;
        if (e.shown.starts_with("QUARZEL")) {
            EXPECT_FALSE(has(r, "\nZ\n")) << "the screen was cleared\n" << r.out;
        }
    }

    // A machine-code routine called by USR that jumps to $0000 is back in BASIC, program kept.
    Result warm = basic({"--type", "10 PRINT 42\\rPOKE 11,0:POKE 12,0:X=USR(0)\\r", "--until", "OK\n_", "--type",
                         "LIST\\r", "--until", "42\nOK"});
    EXPECT_TRUE(has(warm, "X=USR(0)\nOK\nLIST\n10 PRINT 42\nOK\n")) << warm.out;
}

// A key must wait for a program that does not read the keyboard for a while, and a repeated
// key for its release to be seen; a program that never reads it ends the step.
TEST_F(OwnRoms, TypingWaitsForABusyProgram)
{
    write_file(dir / "busy.bin", busy_key_reader(0xFFE0));
    Result r = run({"--headless", "--until", "C/W/M ?", "--load", (dir / "busy.bin").string() + "@0300", "--pc",
                    "0300", "--type", "HELLO\\r\\rLL", "--until", "HELLO..LL", "--screen"});
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "\nHELLO..LL\n")) << r.out;

    write_file(dir / "stuck.bin", std::string("\x4C\x00\x03", 3));  // JMP $0300
    Result stuck = run({"--headless", "--until", "C/W/M ?", "--load", (dir / "stuck.bin").string() + "@0300", "--pc",
                        "0300", "--type", "AB", "--limit", "300000"});
    EXPECT_EQ(stuck.status, 3);
    EXPECT_NE(stuck.err.find("read no key"), std::string::npos) << stuck.err;
}

// Three shapes of keyboard routine that defeat a typist which presses the next key as soon as
// it has let go of the last, presses Shift before its key, or waits for a row the program no
// longer reads. Each routine runs at $0300 and keeps what it read from $0200.
TEST_F(OwnRoms, TypingIntoEveryShapeOfKeyRoutine)
{
    const struct {
        const char* shape;
        std::string code, typed, kept;
    } cases[] = {
        // waits until all keys are up (rows 1 to 7), waits 1,300 cycles, polls, takes the digit
        // row's column byte seen on two scans 5,000 cycles apart, waits until all are up again
        {"all keys up before and after",
         std::string("\xa2\x00\x20\x40\x03\xa0\x00\x88\xd0\xfd\xa9\x01\x8d\x00\xdf\xad\x00\xdf\xc9\xff\xf0\xf4\xa9"
                     "\x7f\x8d\x00\xdf\xad\x00\xdf\x85\xf0\xa9\x04\x85\xf1\x88\xd0\xfd\xc6\xf1\xd0\xf9\xad\x00\xdf"
                     "\xc5\xf0\xd0\xd8\xc9\xff\xf0\xd4\x9d\x00\x02\xe8\x20\x40\x03\x4c\x02\x03\xa9\x01\x8d\x00\xdf"
                     "\xad\x00\xdf\xc9\xff\xd0\xf9\x60", 77),
         "1234567", "\x7f\xbf\xdf\xef\xf7\xfb\xfd"},
        // polls rows 1 to 7, then reads the modifier row and the digit row once
        {"modifier row read only after a key",
         std::string("\xa9\x01\x8d\x00\xdf\xad\x00\xdf\xc9\xff\xf0\xf4\xa9\xfe\x8d\x00\xdf\xad\x00\xdf\x8d\x00\x02"
                     "\xa9\x7f\x8d\x00\xdf\xad\x00\xdf\x8d\x01\x02\x4c\x22\x03", 37),
         "!", "\xfa\x7f"},
        // reads the digit row until a key shows, then never again
        {"key read once", std::string("\xa9\x7f\x8d\x00\xdf\xad\x00\xdf\xc9\xff\xf0\xf4\x8d\x00\x02\x4c\x0f\x03", 18),
         "5", "\xf7"},
        // reads the space bar's row for ever, as a tape load waits for it
        {"one other row read", std::string("\xa9\xfd\x8d\x00\xdf\xad\x00\xdf\x4c\x00\x03", 11), "\\r", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shape);
        write_file(dir / "routine.bin", c.code);
        fs::path kept = dir / "kept.bin";
        fs::remove(kept);
        Result r = run({"--headless", "--until", "C/W/M ?", "--load", (dir / "routine.bin").string() + "@0300",
                        "--pc", "0300", "--type", c.typed, "--wait", "100000", "--save-binary",
                        kept.string() + "@0200:8"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(slurp(kept).substr(0, c.kept.size()), c.kept);
    }
}

// A configuration named on the command line comes from the current folder when it is there,
// else from the program folder; one that is nowhere is named as missing.
TEST_F(OwnRoms, ConfigurationFromTheCurrentFolder)
{
    write_file(dir / "mine.ini", "[ROM]\nBASIC=basic.rom\nKERNEL=monitor.rom\n[RAM]\nRAMTOP=0x7FFF\n");
    Result here = run({"--headless", "mine.ini", "--until", "C/W/M ?"}, dir);
    EXPECT_EQ(here.status, 0) << here.err;

    Result shipped = run({"--headless", "OSI.INI", "--until", "C/W/M ?"}, dir);
    EXPECT_EQ(shipped.status, 0) << shipped.err;

    Result nowhere = run({"--headless", "nowhere.ini"}, dir);
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_NE(nowhere.err.find("Configuration file not found: "), std::string::npos) << nowhere.err;
    EXPECT_NE(nowhere.err.find("nowhere.ini"), std::string::npos) << nowhere.err;
    EXPECT_EQ(nowhere.err.find("ROM"), std::string::npos) << nowhere.err;
}

// A breakpoint halts the program, the debugger shows it with the program's labels (in both
// formats), and steps go on from there; a watchpoint named by a label halts it again.
TEST_F(OwnRoms, DebuggerBreaksStepsAndShows)
{
    // $0300: LDA #$42; JSR $0310; STA $0200; JMP $0308. $0310: LDX #7; RTS.
    write_file(dir / "prog.bin", std::string("\xA9\x42\x20\x10\x03\x8D\x00\x02\x4C\x08\x03\0\0\0\0\0\xA2\x07\x60", 19));
    write_file(dir / "prog.lbl", "al 000300 .start\nal C:0310 .sub\r\n\nal C:0200 .result\n");
    write_file(dir / "wrong.lbl", "al 000300 .start\nal 0310\n");
    Result r = run({"--headless", "--until", "C/W/M ?", "--load", (dir / "prog.bin").string() + "@0300", "--labels",
                    (dir / "prog.lbl").string(), "--break", "0302", "--watch", "result:W", "--pc", "0300", "--wait",
                    "1000", "--debugger", "--step", "2", "--debugger", "--run", "--until-pc", "0308", "--debugger",
                    "--labels", (dir / "wrong.lbl").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("wrong.lbl: line 2 is no label (al ADDRESS .name)\n"), std::string::npos) << r.err;
    size_t watched = r.out.find("Stopped by watchpoint: $0305 STA result wrote $42 to $0200\nA: ");
    EXPECT_NE(watched, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("PC: 0x0308 ", watched), std::string::npos) << r.out;
    size_t second = r.out.find("\nA: ", r.out.find("A: ")) + 1;
    ASSERT_NE(second, std::string::npos) << r.out;
    std::string halted = r.out.substr(0, second), stepped = r.out.substr(second);
    auto shows = [](const std::string& text, const char* part) { return text.find(part) != std::string::npos; };
    EXPECT_TRUE(shows(halted, "A: 0x42 01000010\n")) << halted;
    EXPECT_TRUE(shows(halted, "PC: 0x0302 00000011 00000010\n")) << halted;
    EXPECT_TRUE(shows(halted, "Stopped at breakpoint 0302\nA: ")) << halted;
    EXPECT_TRUE(shows(halted, "Breakpoint: FFFF\nBreak 0302\nWatch 0200-0200:W\nMemory Start")) << halted;
    EXPECT_TRUE(shows(halted, "$Adress Code\n$0300   start: LDA #42\n$0302   JSR sub\n$0305   STA result\n"))
        << halted;
    EXPECT_TRUE(shows(stepped, "X: 0x07 00000111\n")) << stepped;
    EXPECT_TRUE(shows(stepped, "PC: 0x0312 00000011 00010010\n")) << stepped;
    EXPECT_TRUE(shows(stepped, "$Adress Code\n$0310   sub: LDX #07\n$0312   RTS\n")) << stepped;
}

// Scripts set breakpoints with conditions and watchpoints; each halts the machine and says why.
// The trace has the instructions that ran, with the registers before each.
TEST_F(OwnRoms, BreakpointConditionsWatchpointsAndTheTraceFromTheCommandLine)
{
    // $0300: LDX #0; INX; STX $0200; JMP $0302.
    write_file(dir / "count.bin", std::string("\xA2\x00\xE8\x8E\x00\x02\x4C\x02\x03", 9));
    write_file(dir / "count.lbl", "al 000200 .counter\n");
    Result r = run({"--headless", "--until", "C/W/M ?", "--load", (dir / "count.bin").string() + "@0300", "--break",
                    "0302:X=00", "--watch", "0200-0200:W", "--pc", "0300", "--wait", "1000", "--debugger", "--run",
                    "--wait", "1000", "--debugger", "--labels", (dir / "count.lbl").string(), "--break", "0302:X>",
                    "--watch", "0200:Q", "--trace", "2", "--trace-file", (dir / "trace.txt").string()});
    EXPECT_EQ(r.status, 2);
    const char* last = "0302  A=DB X=00 Y=20 S=FA P=27  INX\n0303  A=DB X=01 Y=20 S=FA P=25  STX counter\n";
    EXPECT_EQ(r.out.substr(r.out.size() - std::string(last).size()), last) << r.out;
    std::string trace = slurp(dir / "trace.txt");
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 10000);
    std::string three = "0300  A=DB X=00 Y=20 S=FA P=27  LDX #00\n" + std::string(last);
    EXPECT_EQ(trace.substr(trace.size() - three.size()), three);
    EXPECT_NE(r.err.find("--break has no hex byte after > in X>\n"), std::string::npos) << r.err;
    size_t second = r.out.find("Stopped", 1);
    ASSERT_NE(second, std::string::npos) << r.out;
    std::string first = r.out.substr(0, second), then = r.out.substr(second);
    EXPECT_EQ(first.find("Stopped at breakpoint 0302:X=00\nA: "), 0u) << first;
    EXPECT_NE(first.find("PC: 0x0302 "), std::string::npos) << first;
    EXPECT_NE(first.find("\nBreak 0302:X=00\nWatch 0200-0200:W\n"), std::string::npos) << first;
    EXPECT_EQ(then.find("Stopped by watchpoint: $0303 STX $0200 wrote $01 to $0200\n"), 0u) << then;
    EXPECT_NE(then.find("PC: 0x0306 "), std::string::npos) << then;
}

// Poked bytes go through the bus: the screen's page shows them, plain memory holds them, and
// they wrap past $FFFF.
TEST_F(OwnRoms, PokeWritesThroughTheBus)
{
    Result r = run({"--headless", "--until", "C/W/M ?", "--poke", "D105=48 49", "--poke", "0000=A9,42 8D0002",
                    "--poke", "FFFF=EA EA", "--debugger", "--screen", "--poke", "0300=A9 4G"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--poke takes hex bytes after =, not A9 4G\n"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("\n     HI\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n$0000  EA 42 8D 00 02 00 "), std::string::npos) << r.out;
}

// Steps forward and as many back give the machine as it was, saved in the same bytes; Run Back
// goes to where a breakpoint held before ($F9E5 is our monitor's key scan).
TEST_F(OwnRoms, BackInTimeFromTheCommandLine)
{
    std::string a = (dir / "a.qst").string(), b = (dir / "b.qst").string();
    Result r = run({"--headless", "--until", "C/W/M ?", "--step", "1", "--save-state", a, "--step", "25", "--back",
                    "25", "--save-state", b, "--debugger", "--run", "--type", "M", "--break", "F9E5", "--step", "3",
                    "--run-back", "--regs", "--back", "100000000"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--back The history reaches back "), std::string::npos) << r.err;
    EXPECT_TRUE(slurp(a) == slurp(b)) << "the whole state";
    EXPECT_EQ(r.out.find("Stepped back 25 instructions\nA: "), 0u) << r.out;
    EXPECT_NE(r.out.find("Ran back to breakpoint F9E5\nPC=F9E5 "), std::string::npos) << r.out;
}

} // namespace

// The speed meter's test from the command line: four results, then the BASIC screen and
// program are back as they were.
TEST_F(OwnRoms, SpeedTestReportsFourPhasesAndRestoresBasic)
{
    Result r = basic({"--type", "10 PRINT 6*7\\r", "--speed-test", "--type", "RUN\\r", "--until", "42"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    for (const char* name : {"OpCode: ", "Bitmap: ", "Screen: ", "Memory: "})
        EXPECT_TRUE(has(r, name)) << name << "\n" << r.out;
    EXPECT_TRUE(has(r, "10 PRINT 6*7\n")) << "the screen came back\n" << r.out;
}
