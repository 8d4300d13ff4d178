// The singlestep program over the chip's single-instruction cases in the shared test data, and
// over files of our own making, damaged in the ways a file can be.
#include "e2e/headless_fixture.h"

#include "host/process.h"

namespace {

Result singlestep(const std::vector<std::string>& args)
{
    std::string out = temp_path("singlestep.out"), err = temp_path("singlestep.err");
    std::vector<std::string> command = {QUARZEL_SINGLESTEP};
    command.insert(command.end(), args.begin(), args.end());
    int status = start_program(command, true, {"", out, err});
    return {status, text_of(slurp(out)), text_of(slurp(err))};
}

TEST(SingleStep, EveryOpcodeRunsAsTheNmosChip)
{
    std::string dir = testdata_path("singlestep-6502");
    if (!fs::is_directory(dir))
        GTEST_SKIP() << "no single-step cases in " << dir;
    Result r = singlestep({dir});
    EXPECT_EQ(r.out, "256 of 256 opcodes exact, 51200 of 51200 cases pass\n");
    EXPECT_EQ(r.status, 0);
}

// LDA #$42 at $0200 in the files' form, expected to leave `result` in A: the name, the states
// before and after (PC, S, A, X, Y, P, the RAM entries), the bus cycles.
std::string lda_case(const char* name, uint8_t result, char access = 'r')
{
    std::string b(name);
    b.resize(10, '\0');
    for (auto [pc, a, p] : {std::tuple{0x0200, 0x00, 0x22}, {0x0202, result, 0x20}})
        b += {char(pc >> 8), char(pc), char(0xFD), char(a), 0, 0, char(p), 2, 0x02, 0x00, char(0xA9), 0x02, 0x01, 0x42};
    b += {2, 0x02, 0x00, char(0xA9), 'r', 0x02, 0x01, 0x42, access};
    return b;
}

TEST(SingleStep, TellsEachOpcodeThatIsNotExactAndEachFileItCannotUse)
{
    fs::path dir = temp_path("cases");
    fs::create_directories(dir);
    write_file(dir / "a9.bin", lda_case("good", 0x42) + lda_case("wrong", 0x43));
    write_file(dir / "ea.bin", lda_case("short", 0x42).substr(0, 30));
    write_file(dir / "00.bin", lda_case("bus", 0x42, 'x'));
    write_file(dir / "01.bin", lda_case("elsewhere", 0x42));
    write_file(dir / "02.bin", "");
    Result r = singlestep({dir.string()});
    for (const char* line : {"$A9 LDA: 1 of 2 cases pass, first \"wrong\": A $42, expected $43",
                             "$EA NOP: ea.bin case 1 is cut short",
                             "$00 BRK: 00.bin case 1 has a bus cycle that is neither 'r' nor 'w'",
                             "$01 ORA: 01.bin case 1 does not start with the opcode of its file",
                             "$02 JAM: 02.bin holds no case", "$03 SLO: 03.bin cannot be read"})
        EXPECT_NE(r.out.find(std::string(line) + "\n"), std::string::npos) << line << "\n" << r.out;
    EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1), "0 of 256 opcodes exact, 1 of 2 cases pass\n");
    EXPECT_EQ(r.status, 1);

    write_file(dir / "a9.bin", lda_case("good", 0x42));
    r = singlestep({dir.string()});
    EXPECT_EQ(r.out.find("$A9"), std::string::npos) << "exact: not listed";
    EXPECT_NE(r.out.find("1 of 256 opcodes exact, 1 of 1 cases pass\n"), std::string::npos);

    r = singlestep({(dir / "none").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: singlestep DIR"), std::string::npos);
}

} // namespace
