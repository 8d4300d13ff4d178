// BASIC programs of our own, run end to end on Quarzel's own ROMs through the headless
// runner: each listing is a plain text file loaded from the tape with LOAD, as OSI users load
// theirs, and then run; what it prints is read from the screen or, for long results, from the
// tape output, which BASIC writes while the monitor's SAVE flag ($0205) is set.
#include "e2e/headless_fixture.h"

#include <cmath>
#include <sstream>

namespace {

bool has(const Result& r, const std::string& text) { return r.out.find(text) != std::string::npos; }

// The screen once BASIC waits at a fresh prompt again.
const char* const PROMPT = "OK\n_";

class BasicPrograms : public Headless {
protected:
    // Cold-starts BASIC, loads `listing` (lines ending in LF) from the tape, then performs
    // `steps`; returns the screen.
    Result load_and(const std::string& listing, const std::vector<std::string>& steps)
    {
        write_file((dir / "prog.bas").string(), listing + "PRINT \"LOADED\"\n");
        std::vector<std::string> args = {"--headless", "--until", "C/W/M ?", "--type", "C\\r\\r", "--until", "OK",
                                         "--tape-in", (dir / "prog.bas").string(), "--type", "LOAD\\r",
                                         "--until", "\nLOADED\n", "--type", " "};
        args.insert(args.end(), steps.begin(), steps.end());
        args.push_back("--screen");
        return run(args);
    }
    // Loads and runs `listing` until BASIC is back at its prompt.
    Result run_listing(const std::string& listing)
    {
        return load_and(listing, {"--type", "RUN\\r", "--until", PROMPT});
    }
    // Runs `listing` with the tape output open and returns what went to the tape.
    std::string tape_output(const std::string& listing)
    {
        fs::path tape = dir / "out.bas";
        Result r = load_and(listing, {"--tape-out", tape.string(), "--type", "RUN\\r", "--until", PROMPT});
        EXPECT_EQ(r.status, 0) << r.err << r.out;
        return slurp(tape);
    }
    // Types `keys` in direct mode after a cold start and waits for the prompt.
    Result direct(const std::string& keys)
    {
        return run({"--headless", "--until", "C/W/M ?", "--type", "C\\r\\r", "--until", "OK", "--type", keys, "--until",
                    PROMPT, "--screen"});
    }
};

TEST_F(BasicPrograms, OperatorsInOrderOfPrecedence)
{
    Result r = run_listing("10 PRINT 2+3*4;(2+3)*4;2^3^2;-2^2;2*-3;10-4-3;2^-1;-(3)\n"
                           "20 PRINT 1<2;2<1;1=1;1<>1;2>=2;3<=2;\"A\"<\"B\";\"AB\">\"A\";\"A\"=\"A\"\n"
                           "30 PRINT 5 AND 3;5 OR 3;NOT 0;NOT -1;1<2 AND 3<4;1>2 OR 3<4;-12 AND 255\n"
                           "40 PRINT 7/2;INT(7/2);INT(-3.5);ABS(-2.5);SGN(-4);SGN(0);SGN(9)\n"
                           "50 A=5:B=A*2:LET C=B-A:PRINT A;B;C\n"
                           "60 AB=1:AC=2:ABC=3:PRINT AB;AC;ABC\n"
                           "70 X=1E3:Y=1.5E-2:Z=-.5:PRINT X;Y;Z;X*Y\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "RUN\n"
                       " 14  20  64 -4 -6  3  .5 -3\n"
                       "-1  0 -1  0 -1  0 -1 -1 -1\n"
                       " 1  7 -1  0 -1 -1  244\n"
                       " 3.5  3 -4  2.5 -1  0  1\n"
                       " 5  10  5\n"
                       " 3  2  3\n"  // AB and ABC are the same variable
                       " 1000  .015 -.5  15\n"))
        << r.out;
}

TEST_F(BasicPrograms, NumbersPrintAsTheyShould)
{
    std::string tape = tape_output("10 POKE 517,1\n"
                                   "20 PRINT 0;1;-1;32767;65536;123456789;1234567890;-98765.4321\n"
                                   "30 PRINT .5;-.25;.01;.001;1/3;2/3;1/7;100/3\n"
                                   "40 PRINT 1E9;999999999;1E-10;-1.5E37;1E38*1.7;6.02E23;1E-38\n"
                                   "50 PRINT .1+.2;1-.9;3*.1;100*1.1;2^31;2^32;SQR(16)\n"
                                   "60 PRINT \"[\";STR$(12.5);\"][\";STR$(-3);\"][\";STR$(0);\"]\"\n"
                                   "65 PRINT \"A\",\"B\";1,-2\n"
                                   "70 POKE 517,0\n");
    EXPECT_EQ(tape, " 0  1 -1  32767  65536  123456789  1.23456789E+09 -98765.4321 \r\n"
                    " .5 -.25  .01  1E-03  .333333333  .666666667  .142857143  33.3333333 \r\n"
                    " 1E+09  999999999  1E-10 -1.5E+37  1.7E+38  6.02E+23  1E-38 \r\n"
                    " .3  .1  .3  110  2.14748365E+09  4.2949673E+09  4 \r\n"
                    "[ 12.5][-3][ 0]\r\n"
                    "A             B 1           -2 \r\n");  // the comma's zones are 14 wide
}

// Each function against the C library's double result, to 7 significant digits; and the
// errors of overflow, division by zero and arguments out of range.
TEST_F(BasicPrograms, FunctionsAgreeWithTheCLibrary)
{
    struct Case {
        const char* basic;
        double expected;
    };
    const double pi = std::acos(-1.0);
    const Case cases[] = {
        {"SQR(2)", std::sqrt(2.0)},        {"SQR(1E10)", std::sqrt(1e10)},     {"SQR(.0003)", std::sqrt(.0003)},
        {"SQR(12345.678)", std::sqrt(12345.678)},
        {"LOG(2)", std::log(2.0)},         {"LOG(10)", std::log(10.0)},        {"LOG(1E-20)", std::log(1e-20)},
        {"LOG(12345.678)", std::log(12345.678)}, {"LOG(.75)", std::log(.75)},
        {"EXP(1)", std::exp(1.0)},         {"EXP(-10)", std::exp(-10.0)},      {"EXP(50)", std::exp(50.0)},
        {"EXP(.001)", std::exp(.001)},     {"EXP(-80)", std::exp(-80.0)},      {"EXP(88)", std::exp(88.0)},
        {"SIN(1)", std::sin(1.0)},         {"SIN(-2.5)", std::sin(-2.5)},      {"SIN(100)", std::sin(100.0)},
        {"SIN(1E-5)", std::sin(1e-5)},     {"SIN(3)", std::sin(3.0)},          {"COS(3)", std::cos(3.0)},
        {"COS(-.4)", std::cos(-.4)},       {"TAN(.5)", std::tan(.5)},          {"TAN(-1.3)", std::tan(-1.3)},
        {"ATN(1)", std::atan(1.0)},        {"ATN(-3)", std::atan(-3.0)},       {"ATN(1E5)", std::atan(1e5)},
        {"ATN(.1)", std::atan(.1)},        {"ATN(.5)", std::atan(.5)},
        {"2^.5", std::pow(2.0, .5)},       {"1.5^2.5", std::pow(1.5, 2.5)},    {"(-2)^3", -8.0},
        {"10^-3", .001},                   {"3^20", std::pow(3.0, 20.0)},      {"7^-.5", std::pow(7.0, -.5)},
        {"4*ATN(1)", pi},                  {"EXP(LOG(5))", 5.0},               {"1E30/7", 1e30 / 7},
        {"123456.7*891.2345", 123456.7 * 891.2345}, {"1/3-1/4", 1.0 / 3 - 1.0 / 4},
        // below 2^-128 a number is 0, typed or computed, and just above it keeps its digits; an
        // exponent of three digits is beyond the range either way
        {"1E-39", 0.0},                    {"-1E-45", 0.0},                    {"1E-30*1E-30", 0.0},
        {"1E-20/1E30", 0.0},               {"1E-38/10", 0.0},                  {"123456789E-45", 1.23456789e-37},
        {"1000E-40", 1e-37},               {"12345.6789E-42", 1.23456789e-38}, {"3E-39", 3e-39},
        {"1E-130", 0.0},                   {"2E-099", 0.0},                    {"1E+005", 1e5},
    };
    std::string listing = "10 POKE 517,1\n";
    int line = 20;
    for (const Case& c : cases)
        listing += std::to_string(line++) + " PRINT " + c.basic + "\n";
    listing += std::to_string(line) + " POKE 517,0\n";
    std::istringstream tape(tape_output(listing));
    std::string printed;
    for (const Case& c : cases) {
        ASSERT_TRUE(std::getline(tape, printed)) << "nothing for " << c.basic;
        double got = 0;
        ASSERT_NO_THROW(got = std::stod(printed)) << c.basic << " printed " << printed;
        EXPECT_NEAR(got, c.expected, std::fabs(c.expected) * 1e-7) << c.basic << " printed" << printed;
    }

    Result errors = direct("PRINT EXP( 89)\\rPRINT 1E38*10\\rPRINT 1/0\\rPRINT 0^-1\\rPRINT LOG(0)\\r"
                           "PRINT SQR(-1)\\rPRINT (-8)^(1/3)\\rPRINT 9.9E37+9.9E37\\rPRINT 1E39\\r");
    ASSERT_EQ(errors.status, 0) << errors.err << errors.out;
    EXPECT_TRUE(has(errors, "EXP( 89)\n?OV ERROR\nOK\n")) << errors.out;
    EXPECT_TRUE(has(errors, "1E38*10\n?OV ERROR\nOK\n")) << errors.out;
    EXPECT_TRUE(has(errors, "1/0\n?/0 ERROR\nOK\n")) << errors.out;
    EXPECT_TRUE(has(errors, "0^-1\n?/0 ERROR\nOK\n")) << errors.out;
    EXPECT_TRUE(has(errors, "LOG(0)\n?FC ERROR\nOK\n")) << errors.out;
    EXPECT_TRUE(has(errors, "SQR(-1)\n?FC ERROR\nOK\n")) << errors.out;
    EXPECT_TRUE(has(errors, "(1/3)\n?FC ERROR\nOK\n")) << errors.out;
    EXPECT_TRUE(has(errors, "9.9E37\n?OV ERROR\nOK\n")) << errors.out;
    EXPECT_TRUE(has(errors, "1E39\n?OV ERROR\nOK\n")) << errors.out;

    Result tiny = direct("A=1E-45:PRINT A;1E-39;-1E-99\\rPRINT 1E30*1E30\\rPRINT 1E130\\r");
    ASSERT_EQ(tiny.status, 0) << tiny.err << tiny.out;
    EXPECT_TRUE(has(tiny, "1E-99\n 0  0  0\nOK\nPRINT 1E30*1E30\n?OV ERROR\nOK\nPRINT 1E130\n?OV ERROR\nOK\n"))
        << tiny.out;
}

TEST_F(BasicPrograms, RandomNumbersRepeatFromASeed)
{
    Result r = run_listing("10 X=RND(-7):A=RND(1):B=RND(1):C=RND(0)\n"
                           "20 X=RND(-7):PRINT A=RND(1);B=RND(1);C=B;A<>B\n"
                           "30 FOR I=1 TO 200:R=RND(1):IF R<0 OR R>=1 THEN PRINT \"OUT\";R\n"
                           "40 S=S+R:NEXT:PRINT S>80;S<120\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "RUN\n-1 -1 -1 -1\n-1 -1\nOK\n")) << r.out;
}

TEST_F(BasicPrograms, LoopsSubroutinesAndBranches)
{
    Result r = run_listing("10 FOR I=1 TO 3:FOR J=1 TO 2:PRINT I*10+J;:NEXT J,I:PRINT\n"
                           "20 FOR I=5 TO 1 STEP -2:PRINT I;:NEXT:FOR X=0 TO 1 STEP .25:PRINT X;:NEXT X:PRINT\n"
                           "30 FOR I=3 TO 1:PRINT \"ONCE\";I:NEXT:PRINT I\n"
                           "40 FOR K=1 TO 3:FOR K=7 TO 8:NEXT:PRINT K\n"
                           "50 FOR I=1 TO 9:IF I=3 THEN 70\n"
                           "60 NEXT\n"
                           "70 PRINT \"OUT AT\";I:FOR I=1 TO 2:GOSUB 200:NEXT\n"
                           "80 ON 3 GOSUB 300,310,320:ON 1 GOSUB 300:ON 0 GOSUB 300:ON 4 GOSUB 300:PRINT\n"
                           "90 N=2:ON N GOTO 100,110\n"
                           "100 PRINT \"WRONG\"\n"
                           "110 IF N=2 THEN PRINT \"THEN\";:N=3:PRINT N\n"
                           "120 IF N>9 THEN PRINT \"NO\":PRINT \"NO\"\n"
                           "130 IF N=3 GOTO 150\n"
                           "140 PRINT \"SKIPPED\"\n"
                           "150 IF N THEN 170\n"
                           "160 PRINT \"SKIPPED\"\n"
                           "170 GOTO 190:REM A REMARK\n"
                           "180 PRINT \"SKIPPED\"\n"
                           "190 END\n"
                           "200 PRINT \"SUB\";I;:GOSUB 210:RETURN\n"
                           "210 FOR Q=1 TO 5:PRINT \"*\";:RETURN\n"
                           "300 PRINT \"A\";:RETURN\n"
                           "310 PRINT \"B\";:RETURN\n"
                           "320 PRINT \"C\";:RETURN\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "RUN\n"
                       " 11  12  21  22  31  32\n"
                       " 5  3  1  0  .25  .5  .75  1\n"
                       "ONCE 3\n"
                       " 4\n"
                       " 9\n"  // the second FOR K took the place of the first
                       "OUT AT 3\n"
                       "SUB 1 *SUB 2 *CA\n"
                       "THEN 3\n"
                       "OK\n"))
        << r.out;

    // IF typed in direct mode: its statements after THEN run, and BASIC comes back to the
    // prompt. The stack's page is filled first, so that a return taken from the wrong place
    // goes astray for certain.
    Result now = direct("FOR I=256 TO 447:POKE I,170:NEXT\\rIF 1 THEN PRINT \"YES\";:PRINT 2\\rIF 0 THEN PRINT \"NO\"\\r"
                        "10 PRINT \"TEN\"\\rIF 1<2 THEN 10\\rPRINT 3\\r");
    ASSERT_EQ(now.status, 0) << now.err << now.out;
    EXPECT_TRUE(has(now, "THEN PRINT \"YES\";:PRINT 2\nYES 2\nOK\nIF 0 THEN PRINT \"NO\"\nOK\n10 PRINT \"TEN\"\n"
                         "IF 1<2 THEN 10\nTEN\nOK\nPRINT 3\n 3\nOK\n"))
        << now.out;
}

TEST_F(BasicPrograms, DataReadRestoreAndFunctions)
{
    Result r = run_listing("10 READ A,B$,C:PRINT A;B$;C\n"
                           "20 READ D$,E$:PRINT \"[\";D$;\"][\";E$;\"]\"\n"
                           "30 RESTORE:READ F,G$,G,H$,H$,H:PRINT F;H\n"
                           "40 DEF FNS(X)=X*X+1:DEF FNH(X)=FNS(X)/2:X=10\n"
                           "50 PRINT FNS(3);FNH(3);FNS(FNS(1));X\n"
                           "60 DATA 5,\"AB,C\",-2.5E2\n"
                           "70 DATA  PLAIN TEXT ,\"\":PRINT \"AFTER DATA\"\n"
                           "80 DATA 7\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "RUN\n"
                       " 5 AB,C-250\n"
                       "[PLAIN TEXT ][]\n"
                       " 5  7\n"
                       " 10  5  5  10\n"
                       "AFTER DATA\n"
                       "OK\n"))
        << r.out;
}

TEST_F(BasicPrograms, StringsAndTheirFunctions)
{
    Result r = run_listing("10 A$=\"HELLO\":B$=\" WORLD\":C$=A$+B$:PRINT C$;LEN(C$);LEN(\"\")\n"
                           "20 PRINT LEFT$(C$,3);\"/\";RIGHT$(C$,5);\"/\";MID$(C$,2,3);\"/\";MID$(C$,7);\"/\";MID$(C$,20)\n"
                           "30 PRINT ASC(\"A\");CHR$(66);STR$(12.5);VAL(\"3.25\")+1;VAL(\"-1E2X\");VAL(\"Z\")\n"
                           "40 PRINT A$<B$;A$>B$;\"ABC\"<\"ABD\";\"AB\"<\"ABC\";\"B\">\"ABC\";A$=\"HELLO\"\n"
                           "50 D$=A$:A$=\"X\":PRINT D$;A$;LEFT$(D$,0);\"/\";RIGHT$(D$,9)\n"
                           "60 E$=\"\":FOR I=1 TO 5:E$=E$+CHR$(64+I):NEXT:PRINT E$;LEN(E$+E$)\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "RUN\n"
                       "HELLO WORLD 11  0\n"
                       "HEL/WORLD/ELL/WORLD/\n"
                       " 65 B 12.5 4.25 -100  0\n"
                       " 0 -1 -1 -1 -1 -1\n"
                       "HELLOX/HELLO\n"
                       "ABCDE 10\n"))
        << r.out;
}

// Strings are made and dropped in a small string space until it must be collected many times.
TEST_F(BasicPrograms, StringSpaceIsCollected)
{
    Result r = run_listing("10 DIM F(5900):F1=FRE(0):PRINT F1>1500;F1<2500\n"
                           "20 FOR I=1 TO 400\n"
                           "30 A$=STR$(I)+\"-ABCDEFGHIJKLMNOPQRSTUVWXYZ\"\n"
                           "40 B$(I-INT(I/4)*4)=LEFT$(A$,12)\n"
                           "50 C$=C$+\"X\":IF LEN(C$)>200 THEN C$=\"\"\n"
                           "60 NEXT\n"
                           "70 PRINT B$(0);\"/\";B$(1)\n"
                           "80 PRINT B$(2);\"/\";B$(3);\"/\";LEN(C$)\n"
                           "90 PRINT F1-FRE(0)\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "RUN\n-1 -1\n 400-ABCDEFG/ 397-ABCDEFG\n 398-ABCDEFG/ 399-ABCDEFG/ 199\n")) << r.out;
    // What the loop leaves in use: the variables I, A$ and C$ (7 bytes each), the array B$
    // (7 + 5 * 11), and the strings of B$ (4 * 12), C$ (199) and A$ (31).
    EXPECT_TRUE(has(r, "\n 361\nOK\n")) << r.out;
}

TEST_F(BasicPrograms, ArraysOfNumbersAndStrings)
{
    Result r = run_listing("10 DIM M(3,4),N$(2,2),V(20)\n"
                           "20 FOR I=0 TO 3:FOR J=0 TO 4:M(I,J)=I*10+J:NEXT J,I\n"
                           "30 PRINT M(0,0);M(3,4);M(2,1);M(1,3)\n"
                           "40 N$(1,2)=\"MID\":N$(2,2)=\"END\":PRINT N$(1,2);N$(2,2);\"[\";N$(0,0);\"]\"\n"
                           "50 FOR I=0 TO 10:W(I)=I*I:NEXT:PRINT W(10);V(20);W(M(0,3))\n"
                           "60 Z(10)=1:PRINT Z(10)\n"
                           "70 PRINT W(11)\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "RUN\n 0  34  21  13\nMIDEND[]\n 100  0  9\n 1\n?BS ERROR IN 70\nOK\n")) << r.out;

    Result dims = direct("DIM A(2):DIM A(3)\\rDIM B(2,2):PRINT B(1)\\rPRINT C(-1)\\rDIM D(10000)\\r");
    EXPECT_TRUE(has(dims, "?DD ERROR\n")) << dims.out;
    EXPECT_TRUE(has(dims, "PRINT B(1)\n?BS ERROR\n")) << dims.out;
    EXPECT_TRUE(has(dims, "C(-1)\n?FC ERROR\n")) << dims.out;
    EXPECT_TRUE(has(dims, "D(10000)\n?OM ERROR\n")) << dims.out;
}

TEST_F(BasicPrograms, InputAsksAgainWhenAnswersAreMissingOrWrong)
{
    // A bare RETURN, like an answer with too few values, asks for the rest with "??"; a value
    // that is not a number asks for the whole statement again; values too many are dropped.
    Result r = load_and("10 INPUT \"TWO\";A,B:PRINT A*B\n"
                        "20 INPUT M,N$:PRINT \"HI \";N$;M\n"
                        "30 INPUT C$,D:PRINT C$;D\n",
                        {"--type", "RUN\\r", "--until", "TWO? ", "--type", "\\r-6\\r\\r7\\r", "--until", "-42",
                         "--type", "X\\r5,\"BOB, JR\",9\\r", "--until", "HI BOB", "--type", "A\\rY\\rB,4,5\\r",
                         "--until", PROMPT});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "TWO?\n?? -6\n??\n?? 7\n-42\n"
                       "? X\n?REDO FROM START\n? 5,\"BOB, JR\",9\n?EXTRA IGNORED\nHI BOB, JR 5\n"
                       "? A\n?? Y\n?REDO FROM START\n? B,4,5\n?EXTRA IGNORED\nB 4\nOK\n"))
        << r.out;

    Result direct_input = direct("INPUT A\\r");
    EXPECT_TRUE(has(direct_input, "INPUT A\n?ID ERROR\n")) << direct_input.out;
}

TEST_F(BasicPrograms, ErrorsNameTheirCodeAndLine)
{
    // Keys to type, and what the screen then shows; in two groups that fit on the screen.
    const std::vector<std::pair<std::string, std::string>> groups[] = {
        {{"NEXT", "NEXT\n?NF ERROR\n"},
         {"RETURN", "RETURN\n?RG ERROR\n"},
         {"READ A", "READ A\n?OD ERROR\n"},
         {"GOTO 99", "GOTO 99\n?UL ERROR\n"},
         {"PRINT \"A\"+1", "\"A\"+1\n?TM ERROR\n"},
         {"A$=\"X\":PRINT A$*2", "A$*2\n?TM ERROR\n"},
         {"PRINT FNQ(1)", "FNQ(1)\n?UF ERROR\n"}},
        {{"CONT", "CONT\n?CN ERROR\n"},
         {"PRINT (1", "PRINT (1\n?SN ERROR\n"},
         {"PRINT CHR$(300)", "CHR$(300)\n?FC ERROR\n"},
         {"PRINT \"A\"+(\"B\"+(\"C\"+(\"D\"+(\"E\"+(\"F\"+(\"G\"+(\"H\"+(\"I\"+(\"J\"+(\"K\"+\"L\"))))))))))",
          "))))\n)\n?ST ERROR\n"},  // the echo of the line breaks at its 72nd character
         {"10 A$=\"X\":FOR I=1 TO 8:A$=A$+A$:NEXT\\rRUN", "RUN\n?LS ERROR IN 10\n"},
         {"10 GOSUB 10\\rRUN", "RUN\n?OM ERROR IN 10\n"}},
    };
    for (const auto& group : groups) {
        std::string keys;
        for (const auto& [typed, shown] : group)
            keys += typed + "\\r";
        Result r = direct(keys);
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        for (const auto& [typed, shown] : group)
            EXPECT_TRUE(has(r, shown)) << typed << "\n" << r.out;
    }

    Result line = run_listing("10 PRINT \"FIRST\"\n20 X=1:Y=2:PRINT X/(Y-2)\n");
    EXPECT_TRUE(has(line, "FIRST\n?/0 ERROR IN 20\nOK\n")) << line.out;
}

// Recursion deeper than the stacks allow ends in ?OM ERROR and BASIC goes on: through GOSUB
// and FOR on their own stack, and through expressions, whose brackets, operators, functions
// and subscripts nest on the processor's stack. Moderate nesting still works.
TEST_F(BasicPrograms, DeepRecursionRunsOutOfMemoryAndBasicGoesOn)
{
    auto repeat = [](const std::string& text, int times) {
        std::string all;
        for (int i = 0; i < times; i++)
            all += text;
        return all;
    };
    Result r = load_and("100 FOR I=1 TO 2:GOSUB 100\n"
                        "200 PRINT " + repeat("(", 55) + "1" + repeat(")", 55) + "\n"
                        "300 X=" + repeat("1+(", 20) + "1" + repeat(")", 20) + "\n"
                        "400 DEF FNA(X)=FNA(X)+1:PRINT FNA(1)\n"
                        "500 PRINT " + repeat("-", 100) + "1\n"
                        "600 A(1)=1:PRINT " + repeat("A(", 36) + "1" + repeat(")", 36) + "\n"
                        "700 DEF FNB(X)=X*2:DEF FNC(X)=FNB(X)+1\n"
                        "710 PRINT FNC(FNC(FNC(1)));(((((((((2)))))))))+(1+(2+(3+(4+(SIN(ABS(-5)))))))\n",
                        {"--type", "RUN 100\\rRUN 200\\rRUN 300\\rRUN 400\\rRUN 500\\rRUN 600\\rRUN 700\\r", "--until",
                         PROMPT, "--type", "PRINT " + repeat("(", 60) + "1" + repeat(")", 60) + "\\rPRINT 1\\r",
                         "--until", PROMPT});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    for (const char* line : {"100", "200", "300", "400", "500", "600"})
        EXPECT_TRUE(has(r, "RUN " + std::string(line) + "\n?OM ERROR IN " + line + "\nOK\n")) << r.out;
    EXPECT_TRUE(has(r, "RUN 700\n 15  11.0410757\nOK\n")) << r.out;
    EXPECT_TRUE(has(r, "))))\n?OM ERROR\nOK\nPRINT 1\n 1\nOK\n")) << r.out;
}

// A listing as magazines printed them for typing in: keywords without blanks, ? for PRINT,
// several statements on a line, and a picture POKEd into the screen memory at $D000.
TEST_F(BasicPrograms, TypeInListingWithCrunchedKeywordsAndScreenGraphics)
{
    Result r = load_and("10 PRINT CHR$(12);:REM A BOX\n"
                        "20 S=53248:W=32:FORI=0TO7:POKES+W*20+I,42:POKES+W*27+I,42:NEXT\n"
                        "30 FORI=21TO26:POKES+W*I,42:POKES+W*I+7,42:NEXTI\n"
                        "40 A=5:B=3:IFA>BTHEN60\n"
                        "50 ?\"WRONG\"\n"
                        "60 FORI=1TO9STEP4:?I;:NEXT:?:GOSUB80:GOTO100\n"
                        "70 ?\"WRONG\"\n"
                        "80 ?TAB(3);\"TAB\";SPC(2);\"SPC\";PEEK(S+W*20)\n"
                        "90 RETURN\n"
                        "100 ?PEEK(S+W*27+7)=42:END\n",
                        {"--type", "RUN\\r", "--until", PROMPT});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(r.out.substr(0, 30), " 1  5  9\n   TAB  SPC 42\n-1\nOK\n") << r.out;
    std::istringstream screen(r.out);
    std::vector<std::string> rows;
    for (std::string row; std::getline(screen, row);)
        rows.push_back(row);
    ASSERT_GE(rows.size(), 28u) << r.out;
    EXPECT_EQ(rows[20].substr(0, 8), "********") << r.out;
    for (int y = 21; y <= 26; y++)
        EXPECT_EQ(rows[y].substr(0, 8), "*      *") << r.out;
    EXPECT_EQ(rows[27].substr(0, 8), "********") << r.out;
}

TEST_F(BasicPrograms, StopEndContAndCtrlC)
{
    Result r = load_and("10 PRINT \"ONE\":STOP\n"
                        "20 PRINT \"TWO\":END\n"
                        "30 PRINT \"THREE\"\n"
                        "40 I=I+1:GOTO 40\n",
                        {"--type", "RUN\\r", "--until", "BREAK IN 10", "--type", "CONT\\r", "--until", "TWO",
                         "--type", "CONT\\r", "--until", "THREE", "--wait", "300000", "--type", "\\^C", "--until",
                         "BREAK IN 40", "--type", "PRINT I>0\\rCONT\\r", "--wait", "300000", "--type", "\\^C",
                         "--until", PROMPT});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "ONE\nBREAK IN 10\nOK\nCONT\nTWO\nOK\nCONT\nTHREE\n")) << r.out;
    EXPECT_TRUE(has(r, "BREAK IN 40\nOK\nPRINT I>0\n-1\nOK\nCONT\nBREAK IN 40\nOK\n")) << r.out;
}

TEST_F(BasicPrograms, ListRunNewClearNullWaitAndUsr)
{
    Result r = load_and("10 PRINT \"TEN\"\n"
                        "20 PRINT \"TW\";Q\n"
                        "30 Q=5:CLEAR:PRINT \"TH\";Q\n"
                        "40 POKE 760,1:WAIT 760,1\n"
                        "50 POKE 761,4:WAIT 761,6,2\n"
                        "60 PRINT \"WAITED\"\n",
                        {"--type", "LIST 20-30\\rLIST -10\\rLIST 50-\\rRUN 30\\rNEW\\rLIST\\rPRINT 1\\r", "--until",
                         PROMPT});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "LIST 20-30\n20 PRINT \"TW\";Q\n30 Q=5:CLEAR:PRINT \"TH\";Q\nOK\n")) << r.out;
    EXPECT_TRUE(has(r, "LIST -10\n10 PRINT \"TEN\"\nOK\n")) << r.out;
    EXPECT_TRUE(has(r, "LIST 50-\n50 POKE 761,4:WAIT 761,6,2\n60 PRINT \"WAITED\"\nOK\n")) << r.out;
    EXPECT_TRUE(has(r, "RUN 30\nTH 0\nWAITED\nOK\nNEW\nOK\nLIST\nOK\nPRINT 1\n 1\nOK\n")) << r.out;

    // USR calls the routine at $0B/$0C with its argument in the accumulator at $40 (its
    // exponent): INC $40, RTS doubles it. NULL 3 adds three NULs after each carriage return.
    fs::path tape = dir / "nulls.bas";
    Result usr = run({"--headless", "--until", "C/W/M ?", "--type", "C\\r\\r", "--until", "OK", "--type",
                      "POKE 752,230:POKE 753,64:POKE 754,96:POKE 11,240:POKE 12,2\\rPRINT USR(21);POS(0)\\r",
                      "--tape-out", tape.string(), "--type", "NULL 3:POKE 517,1:PRINT 7:POKE 517,0\\r", "--until",
                      PROMPT, "--screen"});
    EXPECT_TRUE(has(usr, "PRINT USR(21);POS(0)\n 42  4\n")) << usr.out;
    EXPECT_EQ(slurp(tape), std::string(" 7 \r") + std::string(3, '\0') + "\n");
}

// The line editor: "_" takes back the character before it (the next one takes its place on
// the screen), "@" cancels the whole line and a new one starts. LIST shows the blanks as typed.
TEST_F(BasicPrograms, TypedLinesTakeBackACharacterOrCancelTheLine)
{
    Result r = direct("PRINT 12@PRINT 3_4\\r10 PRINT 9@10 PRINT  A ;X_B\\r20 FOR I = 1 TO 2 : NEXT\\r30 REM@\\rLIST\\r");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "OK\nPRINT 12@\nPRINT 4\n 4\nOK\n10 PRINT 9@\n10 PRINT  A ;B\n20 FOR I = 1 TO 2 : NEXT\n30 REM@\n"
                       "\nLIST\n10 PRINT  A ;B\n20 FOR I = 1 TO 2 : NEXT\nOK\n"))
        << r.out;
}

TEST_F(BasicPrograms, SavedListingLoadsBackWithItsKeywords)
{
    fs::path tape = dir / "saved.bas";
    Result saved = load_and("10 FORI=1TO3:?I;:NEXT\n20 IF I>3 THEN PRINT \"DONE\";LEFT$(\"AB\",1)\n",
                            {"--tape-out", tape.string(), "--type", "SAVE\\r", "--until", PROMPT});
    ASSERT_EQ(saved.status, 0) << saved.err << saved.out;
    std::string nuls(10, '\0'), listing = slurp(tape);
    EXPECT_EQ(listing, "10 FORI=1TO3:PRINTI;:NEXT\r" + nuls + "\n" +
                           "20 IF I>3 THEN PRINT \"DONE\";LEFT$(\"AB\",1)\r" + nuls + "\n");

    Result loaded = load_and(listing, {"--type", "RUN\\r", "--until", PROMPT});
    EXPECT_TRUE(has(loaded, "RUN\n 1  2  3 DONEA\nOK\n")) << loaded.out;
}

} // namespace
