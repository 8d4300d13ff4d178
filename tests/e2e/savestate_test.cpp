// A run in one go against the same run saved half way and finished by a new process: the
// screens and the tape files must be the same.
#include "e2e/headless_fixture.h"
#include "machine/memory_map.h"

namespace {

const char* const RANDOM_PROGRAM = "10 X=1\\r20 X=X*13+7\\r25 X=X-X/97*97\\r30 PRINT X;\\r40 GOTO 20\\r";

class StateFiles : public Headless {
protected:
    struct Outcome {
        std::string screen, tape;
    };

    // The steps before and after the save, run in a folder of their own (tape files are named
    // relative to it), once straight through and once split at a state file.
    Outcome expect_same(const std::vector<std::string>& before, const std::vector<std::string>& after,
                        const std::string& config = "")
    {
        Outcome straight = outcome("straight", before, after, config);
        Outcome split = outcome("split", before, after, config);
        EXPECT_EQ(split.screen, straight.screen);
        EXPECT_EQ(split.tape, straight.tape);
        EXPECT_NE(straight.screen, "");
        return straight;
    }

private:
    Outcome outcome(const std::string& name, std::vector<std::string> before, const std::vector<std::string>& after,
                    const std::string& config)
    {
        fs::path here = dir / name;
        fs::create_directories(here);
        write_file(here / "program.bas", program_listing());
        std::vector<std::string> args = {"--headless"};
        if (!config.empty())
            args.push_back(config);
        args.insert(args.end(), before.begin(), before.end());
        if (name == "split") {
            args.insert(args.end(), {"--save-state", "half.qst"});
            Result first = run(args, here);
            EXPECT_EQ(first.status, 0) << first.err;
            args = {"--headless"};
            if (!config.empty())
                args.push_back(config);
            args.insert(args.end(), {"--load-state", "half.qst"});
        }
        args.insert(args.end(), after.begin(), after.end());
        args.push_back("--screen");
        Result r = run(args, here);
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        return {r.out, slurp(here / "tape.bas")};
    }
    static std::string program_listing()
    {
        std::string text;
        for (int line = 10; line <= 400; line += 10)
            text += std::to_string(line) + " PRINT " + std::to_string(line) + "*3\r";
        return text;
    }
};

TEST_F(StateFiles, OwnRomsGoOnExactly)
{
    Outcome o = expect_same({"--until", "D/C/W/M ?", "--type", "C\\r\\r", "--until", "OK", "--type", RANDOM_PROGRAM,
                             "--tape-out", "tape.bas", "--type", "SAVE\\rRUN\\r", "--wait", "2000000"},
                            {"--wait", "3000000"});
    EXPECT_NE(o.tape.find("25 X=X-X/97*97"), std::string::npos) << o.tape;
}

TEST_F(StateFiles, ATapeBeingLoadedGoesOn)
{
    expect_same({"--until", "D/C/W/M ?", "--type", "C\\r\\r", "--until", "OK", "--tape-in", "program.bas", "--type",
                 "LOAD\\r", "--until", "200 PRINT"},
                {"--until", "400 PRINT", "--type", "\\rRUN\\r", "--until", "1200"});
}

TEST_F(StateFiles, C1pRomsGoOnExactly)
{
    std::string basic = testdata_path("osi/basic-osi.rom"), monitor = testdata_path("osi/syn600.rom");
    if (!fs::exists(basic) || !fs::exists(monitor))
        GTEST_SKIP() << "C1P ROM images not found in " << QUARZEL_TESTDATA_DIR << "/osi";
    write_file(dir / "c1p.ini", "[ROM]\nBASIC=" + basic + "\nKERNEL=" + monitor + "\n[RAM]\nRAMTOP=0x7FFF\n");
    // SAVE sends everything BASIC prints to the tape as well.
    Outcome o = expect_same({"--until", "C/W/M ?", "--type", "C", "--until", "MEMORY SIZE", "--type", "\\r", "--until",
                 "TERMINAL WIDTH", "--type", "\\r", "--until", "OK", "--type",
                 "10 X=RND(-1)\\r20 PRINT INT(RND(1)*1000);\\r30 GOTO 20\\r", "--tape-out", "tape.bas", "--type",
                 "SAVE\\rRUN\\r", "--wait", "2000000"},
                {"--wait", "3000000"}, (dir / "c1p.ini").string());
    EXPECT_GT(o.tape.size(), 500u) << "the numbers went to the tape too";
}

// A state saved by Quarzel 0.9.0 with a program typed into our BASIC: every later version must
// load it and run the program. The file is never made again.
TEST_F(Headless, AStateOfFormatOneLoadsForEver)
{
    Result r = run({"--headless", "--load-state", QUARZEL_SOURCE_DIR "/tests/states/format1-basic-program.qst",
                    "--type", "RUN\\r", "--until", "SAVED IN 0.9 3", "--screen"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("SAVED IN 0.9 1\nSAVED IN 0.9 2\nSAVED IN 0.9 3\nOK"), std::string::npos) << r.out;
}

} // namespace
